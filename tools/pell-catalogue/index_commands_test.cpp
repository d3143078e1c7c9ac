#include "tools/pell-catalogue/index_commands.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "player/catalogue/catalogue_test_support.h"
#include "testsupport/temp_dir.h"
#include "tools/pell-catalogue/catalogue_tool.h"

namespace pell {
namespace {

using test::Layer3Audio;
using test::RecorderTag;
using test::TagString;

struct TimeCase {
    const char* text;
    bool end;
    std::optional<int64_t> seconds;
};

class ParseLocalTimeTest : public testing::TestWithParam<TimeCase> {};

// 1 March 2026 00:00 UTC.
constexpr int64_t kMarch = 1'772'323'200;

TEST_P(ParseLocalTimeTest, DatesAndTimesAsLocalTimeWithTheEndOfWhatIsNamed) {
    const test::ScopedTimeZone utc(test::kUtc);
    EXPECT_EQ(ParseLocalTime(GetParam().text, GetParam().end), GetParam().seconds) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseLocalTimeTest,
    testing::Values(TimeCase{"2026-03-01", false, kMarch}, TimeCase{"2026-03-01", true, kMarch + 86'400},
                    TimeCase{"2026-03-01 14:00", false, kMarch + 14 * 3600},
                    TimeCase{"2026-03-01T14:00", true, kMarch + 14 * 3600 + 60},
                    TimeCase{"2026-03-01 14:00:30", true, kMarch + 14 * 3600 + 31},
                    TimeCase{"2026-02-29", false, std::nullopt}, TimeCase{"2026-03-01 24:00", false, std::nullopt},
                    TimeCase{"2026-03-01 14", false, std::nullopt}, TimeCase{"01.03.2026", false, std::nullopt},
                    TimeCase{"", false, std::nullopt}));

struct DurationCase {
    const char* text;
    std::optional<int64_t> seconds;
};

class ParseDurationTest : public testing::TestWithParam<DurationCase> {};

TEST_P(ParseDurationTest, SecondsMinutesAndHours) { EXPECT_EQ(ParseDuration(GetParam().text), GetParam().seconds); }

INSTANTIATE_TEST_SUITE_P(Texts, ParseDurationTest,
                         testing::Values(DurationCase{"95", 95}, DurationCase{"1:35", 95}, DurationCase{"0:01:35", 95},
                                         DurationCase{"2:00:00", 7200}, DurationCase{"1:60", std::nullopt},
                                         DurationCase{"1:2:3:4", std::nullopt}, DurationCase{":30", std::nullopt},
                                         DurationCase{"1.5", std::nullopt}, DurationCase{"", std::nullopt}));

TEST(PlayerProgramFolderTest, FoundWhereThePlayersSettingsAreInTheXdgConfigFolders) {
    TempDir first;
    TempDir second;
    second.Write("Zorvek Software/TeluvaPlayer.conf", "[General]\nPathToProg=/var/lib/pell/player\n");
    EXPECT_EQ(PlayerProgramFolder(first.path() + ":" + second.path()), "/var/lib/pell/player");
    first.Write("Zorvek Software/TeluvaPlayer.conf", "[General]\nPathToProg=\"/srv/player\"\n");
    EXPECT_EQ(PlayerProgramFolder(first.path() + ":" + second.path()), "/srv/player");
    EXPECT_EQ(PlayerProgramFolder(first.path() + "/none"), std::nullopt);
}

struct ToolRun {
    int code = 0;
    std::string out;
    std::string err;
};

class IndexCommandTest : public testing::Test {
protected:
    IndexCommandTest() {
        environment_.currentFolder = dir_.path();
        environment_.xdgCacheHome = dir_.File("cache");
        environment_.xdgConfigDirs = dir_.File("no-config");
        ::mkdir(dir_.File("rec").c_str(), 0755);
    }

    // A recording of `seconds` in root/day, last written at local `hour`:00 of that day.
    std::string File(const std::string& root, const std::string& day, const std::string& name,
                     const std::string& number, const std::string& bookmark = "", int seconds = 30) {
        const std::string relative = root + "/" + day + "/" + name;
        dir_.Write(relative, Layer3Audio(seconds) + TagString(RecorderTag(number, "Line 1", 'I', 0, bookmark)));
        const int d = std::stoi(day.substr(0, 2));
        const int m = std::stoi(day.substr(3, 2));
        const int y = std::stoi(day.substr(6, 4));
        test::SetLastWrite(dir_.File(relative), test::LocalTime(y, m, d, 12, 0, 0));
        return dir_.File(relative);
    }

    ToolRun Tool(std::vector<std::string> args) {
        std::ostringstream out;
        std::ostringstream err;
        ToolRun run;
        run.code = RunCatalogueTool(args, out, err, environment_);
        run.out = out.str();
        run.err = err.str();
        return run;
    }

    test::ScopedTimeZone zone_{test::kUtc};
    TempDir dir_;
    ToolEnvironment environment_;
};

TEST_F(IndexCommandTest, SearchPrintsTheListsLineForEachCallOfEveryDay) {
    File("rec", "01.03.2026", "a0000001.mp3", "0171 555 1234", "refund promised");
    File("rec", "15.04.2026", "a0000002.mp3", "0207 946 0000");
    File("rec", "02.05.2026", "a0000003.mp3", "0171 555 9999");
    const ToolRun found = Tool({"search", "--number", "555", dir_.File("rec")});
    ASSERT_EQ(found.code, 0) << found.err;
    const ToolRun listed = Tool({"list", "--from", "2026-03-01", "--to", "2026-05-02", dir_.File("rec")});
    std::istringstream lines(listed.out);
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);) rows.push_back(line + "\n");
    ASSERT_EQ(rows.size(), 3u);
    // Newest first, line for line the list's own.
    EXPECT_EQ(found.out, rows[2] + rows[0]);
    EXPECT_EQ(Tool({"search", "--text", "REFU", dir_.File("rec")}).out, rows[0]);
    EXPECT_EQ(Tool({"search", "--from", "2026-04-01", "--to", "2026-04-30", dir_.File("rec")}).out, rows[1]);
    EXPECT_EQ(Tool({"search", "--sort", "number", "--ascending", "--limit", "1", dir_.File("rec")}).out, rows[0]);
}

TEST_F(IndexCommandTest, CallFiledAfterTheLastSearchIsFoundByTheNext) {
    File("rec", "01.03.2026", "a0000001.mp3", "0171 555 1234");
    ASSERT_EQ(Tool({"search", "--number", "0207", dir_.File("rec")}).out, "");
    File("rec", "01.03.2026", "a0000002.mp3", "0207 946 0000");
    EXPECT_NE(Tool({"search", "--number", "0207", dir_.File("rec")}).out.find("a0000002.mp3"), std::string::npos);
}

TEST_F(IndexCommandTest, CsvAndJsonCarryTheSameColumns) {
    File("rec", "01.03.2026", "a0000001.mp3", "0171 555 1234", "refund, soon");
    const ToolRun csv = Tool({"search", "--csv", dir_.File("rec")});
    EXPECT_EQ(csv.out,
              "channel,date,duration,number,bookmark,placement,direction,played,audio_sha256\r\n"
              "Line 1,01.03.2026 11:59:30,00:00:30,0171 555 1234,\"refund, soon\"," +
                  dir_.File("rec/01.03.2026/a0000001.mp3") + ",1,0,\r\n")
        << "a file in no manifest has an empty audio hash";
    const ToolRun json = Tool({"search", "--json", dir_.File("rec")});
    EXPECT_NE(json.out.find("\"number\":\"0171 555 1234\",\"bookmark\":\"refund, soon\""), std::string::npos)
        << json.out;
    EXPECT_EQ(json.out.rfind("{\"id\":", 0), 0u);
}

struct RefusalCase {
    std::vector<std::string> args;
    int code;
    const char* message;
};

class IndexCommandRefusalTest : public IndexCommandTest, public testing::WithParamInterface<RefusalCase> {};

TEST_P(IndexCommandRefusalTest, SaysWhatIsWrong) {
    const ToolRun run = Tool(GetParam().args);
    EXPECT_EQ(run.code, GetParam().code);
    EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, IndexCommandRefusalTest,
    testing::Values(RefusalCase{{"search", "--number"}, 2, "--number needs a value"},
                    RefusalCase{{"search", "--from", "yesterday", "/r"}, 2, "not a date"},
                    RefusalCase{{"search", "--direction", "sideways", "/r"}, 2, "--direction is in, out or unknown"},
                    RefusalCase{{"search", "--sort", "colour", "/r"}, 2, "cannot sort by colour"},
                    RefusalCase{{"search", "--verify", "/r"}, 2, "unknown option --verify"},
                    RefusalCase{{"index", "--number", "5", "/r"}, 2, "unknown option --number"},
                    RefusalCase{{"export", "/r"}, 2, "export needs --into FOLDER"},
                    RefusalCase{{"search", "--number", "private", "/r"}, 1, "the number to search for has no digit"},
                    RefusalCase{{"search"}, 1, "no record folder"}));

TEST_F(IndexCommandTest, WithoutRootsThePlayersFoldersAndIndexAreUsed) {
    File("rec", "01.03.2026", "a0000001.mp3", "5551234");
    dir_.Write("player/paths.ini", dir_.File("rec") + "\r\n");
    const ToolRun found = Tool({"search", "--number", "555", "--program-folder", dir_.File("player")});
    EXPECT_EQ(found.code, 0) << found.err;
    EXPECT_NE(found.out.find("5551234"), std::string::npos);
    struct stat status {};
    EXPECT_EQ(::stat(dir_.File("player/index.sqlite").c_str(), &status), 0);
    dir_.Write("player/index.ini", "[index]\nstore=mysql\n");
    const ToolRun refused = Tool({"search", "--program-folder", dir_.File("player")});
    EXPECT_EQ(refused.code, 1);
    EXPECT_NE(refused.err.find("player/index.ini: store=mysql"), std::string::npos) << refused.err;
}

TEST_F(IndexCommandTest, InterruptedBuildSaysSoAndTheNextRunFinishesIt) {
    for (int day = 1; day <= 9; ++day) {
        File("rec", "0" + std::to_string(day) + ".03.2026", "a0000001.mp3", std::to_string(day));
    }
    int polls = 0;
    environment_.interrupted = [&polls] { return ++polls > 4; };
    const ToolRun stopped = Tool({"index", dir_.File("rec")});
    EXPECT_EQ(stopped.code, 130);
    EXPECT_NE(stopped.err.find("interrupted"), std::string::npos);
    environment_.interrupted = nullptr;
    const ToolRun done = Tool({"index", dir_.File("rec")});
    EXPECT_EQ(done.code, 0) << done.err;
    EXPECT_EQ(done.out.rfind("9 recordings in SQLite " + dir_.File("cache/pell/index.sqlite"), 0), 0u) << done.out;
}

TEST_F(IndexCommandTest, ExportCopiesWithTimesAndListsThemInACsv) {
    const std::string first = File("rec", "01.03.2026", "a0000001.mp3", "0171 555 1234", "=cmd|' /C calc'!A0");
    File("rec2", "01.03.2026", "a0000001.mp3", "0171 555 7777");
    File("rec", "02.03.2026", "a0000002.mp3", "0207 946 0000");
    const std::string into = dir_.File("request-42");
    const ToolRun run = Tool({"export", "--number", "0171 555", "--into", into, dir_.File("rec"), dir_.File("rec2")});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "2 recordings copied into " + into + ", listed in calls.csv\n");
    EXPECT_EQ(test::LastWrite(into + "/01.03.2026/a0000001.mp3").tv_sec, test::LastWrite(first).tv_sec);
    EXPECT_EQ(test::FileLength(into + "/01.03.2026/a0000001-2.mp3"), test::FileLength(first));
    const std::string list = dir_.Read("request-42/calls.csv");
    EXPECT_EQ(
        list.rfind(
            "file,channel,date,duration,number,bookmark,direction,played,source,size,content_key,audio_sha256\r\n", 0),
        0u);
    EXPECT_NE(list.find("'=cmd|' /C calc'!A0"), std::string::npos) << list;
    EXPECT_NE(list.find(",incoming,0," + first + ","), std::string::npos) << list;

    const ToolRun again = Tool({"export", "--into", into, dir_.File("rec")});
    EXPECT_EQ(again.code, 1);
    EXPECT_NE(again.err.find("is not an empty folder"), std::string::npos);
}

}  // namespace
}  // namespace pell
