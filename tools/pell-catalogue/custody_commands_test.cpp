#include "tools/pell-catalogue/custody_commands.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "custody/posix/custody.h"
#include "player/catalogue/catalogue_test_support.h"
#include "testsupport/temp_dir.h"
#include "tools/pell-catalogue/catalogue_tool.h"

namespace pell {
namespace {

using test::Layer3Audio;
using test::RecorderTag;
using test::TagString;

struct ToolRun {
    int code = 0;
    std::string out;
    std::string err;
};

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class CustodyCommandTest : public testing::Test {
protected:
    CustodyCommandTest() {
        environment_.currentFolder = dir_.path();
        environment_.xdgCacheHome = dir_.File("cache");
        environment_.xdgConfigDirs = dir_.File("no-config");
        ::mkdir(dir_.File("rec").c_str(), 0755);
    }

    // A recording filed as the recorder files it: the file, then its manifest entry.
    std::string Filed(const std::string& day, const std::string& name, const std::string& number,
                      const std::string& line = "Line 1") {
        const std::string relative = "rec/" + day + "/" + name;
        dir_.Write(relative, Layer3Audio(5) + TagString(RecorderTag(number, line, 'I', 0, "")));
        std::string path = dir_.File(relative);
        const AudioHashResult hash = HashAudio(path);
        EXPECT_EQ(hash.error, 0);
        EXPECT_EQ(RecordFiled(dir_.File("rec/" + day),
                              FiledFacts{name, 1'772'700'000, 1'772'700'005, line, number, 'I',
                                         static_cast<int64_t>(dir_.Read(relative).size())},
                              hash.digest),
                  0);
        return path;
    }

    ToolRun Tool(const std::vector<std::string>& args) {
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

TEST_F(CustodyCommandTest, ErasureTakesEveryUnprotectedCallOfTheNumberAndRecordsItWithoutTheNumber) {
    const std::string first = Filed("01.03.2026", "a0000001.mp3", "0171 555 1234");
    const std::string held = Filed("02.03.2026", "a0000002.mp3", "0171 555 1234", "Line 2");
    const std::string third = Filed("03.03.2026", "a0000003.mp3", "0171 555 1234", "Line 2");
    const std::string other = Filed("03.03.2026", "a0000004.mp3", "0207 946 0000");
    ASSERT_EQ(Tool({"protect", "--reason", "case 17", held}).code, 0);

    const ToolRun asked = Tool({"erase", "--number", "0171 555 1234", dir_.File("rec")});
    EXPECT_EQ(asked.code, 0) << asked.err;
    EXPECT_TRUE(Has(asked.out, "run again with --yes")) << asked.out;
    EXPECT_TRUE(Has(asked.out, "protected, would stay\t" + held)) << asked.out;
    EXPECT_EQ(test::FileLength(first), test::FileLength(other));

    const std::string into = dir_.File("for-the-caller");
    const ToolRun erased = Tool({"erase", "--number", "0171 555 1234", "--export", into, "--yes", dir_.File("rec")});
    EXPECT_EQ(erased.code, 1) << "a protected call stays, and the tool says so";
    EXPECT_TRUE(Has(erased.err, "kept " + held + ": protected")) << erased.err;
    EXPECT_TRUE(Has(erased.out, "2 of 3 calls erased for good")) << erased.out;
    EXPECT_EQ(test::FileLength(into + "/01.03.2026/a0000001.mp3"), test::FileLength(other));
    EXPECT_EQ(test::FileLength(into + "/02.03.2026/a0000002.mp3"), test::FileLength(other));
    struct stat status {};
    EXPECT_NE(::stat(first.c_str(), &status), 0);
    EXPECT_NE(::stat(third.c_str(), &status), 0);
    EXPECT_EQ(::stat(held.c_str(), &status), 0);
    EXPECT_EQ(::stat(other.c_str(), &status), 0);
    const ToolRun left = Tool({"search", "--number", "0171 555", dir_.File("rec")});
    EXPECT_TRUE(Has(left.out, held)) << left.out;
    EXPECT_FALSE(Has(left.out, "a0000001.mp3")) << left.out;

    // The record of the erasure: when, who, how many, which line; the number nowhere.
    const ToolRun audit = Tool({"audit", dir_.File("rec")});
    EXPECT_EQ(audit.code, 0) << audit.err;
    EXPECT_TRUE(Has(audit.out, "\terase\t" + first + "\ton request; line Line 1")) << audit.out;
    EXPECT_TRUE(Has(audit.out, "2 recordings erased on request (Line 1: 1, Line 2: 1); 1 protected")) << audit.out;
    for (const std::string& file : {std::string("rec/audit.log"), std::string("rec/01.03.2026/manifest.log"),
                                    std::string("rec/03.03.2026/manifest.log")}) {
        const std::string text = dir_.Read(file);
        for (const char* form : {"555 1234", "555\\x201234", "5551234"}) EXPECT_FALSE(Has(text, form)) << file;
    }
    EXPECT_TRUE(Has(dir_.Read("rec/03.03.2026/manifest.log"), "kind=erased"));
}

// The copies for the caller come first: when they cannot all be made, nothing is erased.
TEST_F(CustodyCommandTest, ErasureWhoseExportFailsErasesNothing) {
    const std::string first = Filed("01.03.2026", "a0000001.mp3", "0171 555 1234");
    const std::string second = Filed("02.03.2026", "a0000002.mp3", "0171 555 1234");
    dir_.Write("plain.txt", "a file, not a folder");
    dir_.Write("full/earlier.txt", "left from another export");
    struct Case {
        const char* name;
        std::string into;
        const char* says;
    };
    for (const Case& c : {Case{"under a file", dir_.File("plain.txt/for-caller"), "the export is incomplete"},
                          Case{"not empty", dir_.File("full"), "is not an empty folder"}}) {
        const ToolRun run = Tool({"erase", "--number", "5551234", "--export", c.into, "--yes", dir_.File("rec")});
        EXPECT_EQ(run.code, 1) << c.name;
        EXPECT_TRUE(Has(run.err, c.says)) << c.name << ": " << run.err;
        EXPECT_FALSE(Has(run.out, "erased for good")) << c.name;
        struct stat status {};
        EXPECT_EQ(::stat(first.c_str(), &status), 0) << c.name << ": still there";
        EXPECT_EQ(::stat(second.c_str(), &status), 0) << c.name << ": still there";
        EXPECT_FALSE(Has(dir_.Read("rec/01.03.2026/manifest.log"), "kind=erased")) << c.name;
    }
    EXPECT_EQ(dir_.Read("full/earlier.txt"), "left from another export");
}

TEST_F(CustodyCommandTest, SearchAndExportGiveEachCallsAudioHashFromItsManifest) {
    const std::string filed = Filed("01.03.2026", "a0000001.mp3", "0171 555 1234");
    dir_.Write("rec/01.03.2026/a0000002.mp3", Layer3Audio(5) + TagString(RecorderTag("0171 555 9999", "Line 1")));
    const std::string hash = HashAudio(filed).digest.sha256;
    ASSERT_EQ(hash.size(), 64u);
    const ToolRun json = Tool({"search", "--json", dir_.File("rec")});
    EXPECT_TRUE(Has(json.out, "\"audio_sha256\":\"" + hash + "\"}")) << json.out;
    EXPECT_TRUE(Has(json.out, "\"audio_sha256\":\"\"}")) << "the copied-in file has none: " << json.out;
    const ToolRun csv = Tool({"search", "--csv", "--number", "1234", dir_.File("rec")});
    EXPECT_TRUE(Has(csv.out, ",played,audio_sha256\r\n")) << csv.out;
    EXPECT_TRUE(Has(csv.out, "," + hash + "\r\n")) << csv.out;
    const ToolRun tsv = Tool({"search", "--number", "1234", dir_.File("rec")});
    EXPECT_FALSE(Has(tsv.out, hash)) << "the tab-separated list keeps the list's columns";

    ASSERT_EQ(Tool({"export", "--into", dir_.File("out"), "--number", "1234", dir_.File("rec")}).code, 0);
    const std::string list = dir_.Read("out/calls.csv");
    EXPECT_TRUE(Has(list, ",content_key,audio_sha256\r\n")) << list;
    EXPECT_TRUE(Has(list, "," + hash + "\r\n")) << list;
}

TEST_F(CustodyCommandTest, ProtectBySearchHoldsEveryMatchAndTheIndexSeesItAtOnce) {
    Filed("01.03.2026", "a0000001.mp3", "0171 555 1234");
    Filed("02.03.2026", "a0000002.mp3", "0171 555 7777");
    const std::string other = Filed("02.03.2026", "a0000003.mp3", "0207 946 0000");
    ASSERT_EQ(Tool({"search", dir_.File("rec")}).code, 0);
    const ToolRun held = Tool({"protect", "--number", "555", dir_.File("rec")});
    ASSERT_EQ(held.code, 0) << held.err;
    EXPECT_EQ(std::count(held.out.begin(), held.out.end(), '\n'), 2) << held.out;
    const ToolRun listed = Tool({"search", "--protected", "yes", dir_.File("rec")});
    EXPECT_TRUE(Has(listed.out, "a0000001.mp3") && Has(listed.out, "a0000002.mp3")) << listed.out;
    EXPECT_FALSE(Has(listed.out, "a0000003.mp3")) << listed.out;
    EXPECT_TRUE(Has(Tool({"protect", "--number", "555", dir_.File("rec")}).out, "already protected"));

    ASSERT_EQ(Tool({"unprotect", "--number", "0171 555 1234", dir_.File("rec")}).code, 0);
    const ToolRun after = Tool({"search", "--protected", "yes", dir_.File("rec")});
    EXPECT_FALSE(Has(after.out, "a0000001.mp3")) << after.out;
    EXPECT_TRUE(Has(after.out, "a0000002.mp3")) << after.out;
    EXPECT_FALSE(IsProtected(other));
}

struct AuditedCase {
    std::vector<std::string> args;  // "@" stands for the recording
    const char* entry;              // expected in the trail's line of the recording
};

class AuditedCommandTest : public CustodyCommandTest, public testing::WithParamInterface<AuditedCase> {};

TEST_P(AuditedCommandTest, EveryChangeByTheToolIsInTheTrailWithoutABookmarksText) {
    const std::string path = Filed("01.03.2026", "a0000001.mp3", "0171 555 1234");
    std::vector<std::string> args = GetParam().args;
    for (std::string& arg : args) {
        if (arg == "@") arg = path;
        if (arg == "@root") arg = dir_.File("rec");
        if (arg == "@into") arg = dir_.File("out");
    }
    const ToolRun run = Tool(args);
    ASSERT_EQ(run.code, 0) << run.err;
    const ToolRun audit = Tool({"audit", "--recording", path});
    EXPECT_EQ(audit.code, 0) << audit.err;
    EXPECT_TRUE(Has(audit.out, std::string("\tpell-catalogue\t") + GetParam().entry)) << audit.out;
    EXPECT_FALSE(Has(dir_.Read("rec/audit.log"), "refund")) << "a bookmark's words stay out of the trail";
}

INSTANTIATE_TEST_SUITE_P(Commands, AuditedCommandTest,
                         testing::Values(AuditedCase{{"bookmark", "@", "refund promised"}, "bookmark\t"},
                                         AuditedCase{{"mark-played", "@"}, "mark-played\t"},
                                         AuditedCase{{"export", "--into", "@into", "@root"}, "export\t"},
                                         AuditedCase{{"protect", "--reason", "case 17", "@"}, "protect\t"}));

struct TamperCase {
    const char* name;
    int line;           // 1-based line of the trail to change
    bool remove;        // remove the line, else change a letter in it
    const char* where;  // what the tool names
};

class AuditTamperTest : public CustodyCommandTest, public testing::WithParamInterface<TamperCase> {};

TEST_P(AuditTamperTest, ABrokenChainIsReportedWithItsLine) {
    const std::string path = Filed("01.03.2026", "a0000001.mp3", "0171 555 1234");
    for (int i = 0; i < 3; ++i) ASSERT_EQ(Tool({"mark-played", path}).code, 0);
    std::istringstream in(dir_.Read("rec/audit.log"));
    std::string text;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        if (++number == GetParam().line) {
            if (GetParam().remove) continue;
            line.replace(line.find("mark-played"), 4, "play");
        }
        text += line + "\n";
    }
    dir_.Write("rec/audit.log", text);
    const ToolRun audit = Tool({"audit", dir_.File("rec")});
    EXPECT_EQ(audit.code, 1);
    EXPECT_TRUE(Has(audit.err, std::string("audit.log is broken at ") + GetParam().where)) << audit.err;
    EXPECT_TRUE(Has(audit.err, "tampered with"));
}

INSTANTIATE_TEST_SUITE_P(Edits, AuditTamperTest,
                         testing::Values(TamperCase{"EntryRemoved", 2, true, "line 2: entry 2 was removed"},
                                         TamperCase{"EntryEdited", 2, false, "line 2: entry 2 was changed"},
                                         TamperCase{"FirstEdited", 1, false, "line 1: entry 1 was changed"}),
                         [](const testing::TestParamInfo<TamperCase>& info) { return info.param.name; });

struct VerifyCase {
    const char* name;
    void (*change)(TempDir& dir);
    int code;
    const char* output;
};

class VerifyCommandTest : public CustodyCommandTest, public testing::WithParamInterface<VerifyCase> {};

TEST_P(VerifyCommandTest, FindsWhatChangedByNameAndPassesATagChange) {
    Filed("01.03.2026", "a0000001.mp3", "0171 555 1234");
    Filed("01.03.2026", "a0000002.mp3", "0207 946 0000");
    GetParam().change(dir_);
    const ToolRun run = Tool({"verify", dir_.File("rec")});
    EXPECT_EQ(run.code, GetParam().code) << run.out << run.err;
    EXPECT_TRUE(Has(run.out, GetParam().output)) << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Changes, VerifyCommandTest,
    testing::Values(VerifyCase{"Untouched", [](TempDir&) {}, 0, "2 recordings verified, 0 problems"},
                    VerifyCase{"AudioByteChanged",
                               [](TempDir& dir) {
                                   std::string bytes = dir.Read("rec/01.03.2026/a0000001.mp3");
                                   bytes[200] = static_cast<char>(bytes[200] ^ 1);
                                   dir.Write("rec/01.03.2026/a0000001.mp3", bytes);
                               },
                               1, "altered\t"},
                    VerifyCase{"TagChangedOnly",
                               [](TempDir& dir) {
                                   std::string bytes = dir.Read("rec/01.03.2026/a0000001.mp3");
                                   bytes[bytes.size() - 20] = 'X';
                                   dir.Write("rec/01.03.2026/a0000001.mp3", bytes);
                               },
                               0, "2 recordings verified, 0 problems"},
                    VerifyCase{"FileMissing",
                               [](TempDir& dir) { std::remove(dir.File("rec/01.03.2026/a0000002.mp3").c_str()); }, 1,
                               "missing\t"},
                    VerifyCase{"FileAdded",
                               [](TempDir& dir) { dir.Write("rec/01.03.2026/a0000009.mp3", Layer3Audio(2)); }, 1,
                               "unlisted\t"}),
    [](const testing::TestParamInfo<VerifyCase>& info) { return info.param.name; });

struct RefusalCase {
    std::vector<std::string> args;
    int code;
    const char* message;
};

class CustodyRefusalTest : public CustodyCommandTest, public testing::WithParamInterface<RefusalCase> {};

TEST_P(CustodyRefusalTest, SaysWhatIsWrongAndChangesNothing) {
    const ToolRun run = Tool(GetParam().args);
    EXPECT_EQ(run.code, GetParam().code);
    EXPECT_TRUE(Has(run.err, GetParam().message)) << run.err;
    struct stat status {};
    EXPECT_NE(::stat(dir_.File("rec/audit.log").c_str(), &status), 0);
}

INSTANTIATE_TEST_SUITE_P(Arguments, CustodyRefusalTest,
                         testing::Values(RefusalCase{{"protect", "/r"}, 2, "protect needs FILE... or search criteria"},
                                         RefusalCase{{"unprotect"}, 2, "unprotect needs FILE... or search criteria"},
                                         RefusalCase{{"erase", "/r"}, 2, "erase needs --number DIGITS"},
                                         RefusalCase{{"audit"}, 2, "audit needs a ROOT"},
                                         RefusalCase{{"verify"}, 2, "verify needs a ROOT or FILE"},
                                         RefusalCase{{"audit", "/nonexistent-root"}, 0, "has no audit trail yet"}));

}  // namespace
}  // namespace pell
