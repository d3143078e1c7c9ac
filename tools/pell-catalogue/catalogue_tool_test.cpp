#include "tools/pell-catalogue/catalogue_tool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "player/catalogue/catalogue_test_support.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

using test::kUtc;
using test::Layer3Audio;
using test::RecorderTag;
using test::TagString;

struct ToolRun {
    int code = 0;
    std::string out;
    std::string err;
};

ToolRun RunTool(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    ToolRun run;
    run.code = RunCatalogueTool(args, out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

struct DateCase {
    const char* text;
    bool valid;
};

class IsoDateTest : public testing::TestWithParam<DateCase> {};

TEST_P(IsoDateTest, AcceptsOnlyRealDatesInIsoForm) {
    EXPECT_EQ(ParseIsoDate(GetParam().text).has_value(), GetParam().valid) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts, IsoDateTest,
                         testing::Values(DateCase{"2009-03-05", true}, DateCase{"2008-02-29", true},
                                         DateCase{"9999-12-31", true}, DateCase{"2009-02-29", false},
                                         DateCase{"2009-13-01", false}, DateCase{"2009-00-10", false},
                                         DateCase{"2009-3-5", false}, DateCase{"05.03.2009", false},
                                         DateCase{"2009-03-05x", false}, DateCase{"2009-0a-05", false},
                                         DateCase{"", false}));

struct UsageCase {
    const char* name;
    std::vector<std::string> args;
};

class ToolUsageTest : public testing::TestWithParam<UsageCase> {};

TEST_P(ToolUsageTest, BadUsageExitsWithTwoAndSaysWhy) {
    const ToolRun run = RunTool(GetParam().args);
    EXPECT_EQ(run.code, 2);
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find("usage: pell-catalogue list"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Args, ToolUsageTest,
    testing::Values(UsageCase{"NoCommand", {}}, UsageCase{"UnknownCommand", {"play", "x"}},
                    UsageCase{"ListWithoutTo", {"list", "--from", "2009-03-05", "/r"}},
                    UsageCase{"ListWithoutRoot", {"list", "--from", "2009-03-05", "--to", "2009-03-05"}},
                    UsageCase{"ListBadDate", {"list", "--from", "2009-02-30", "--to", "2009-03-05", "/r"}},
                    UsageCase{"ListDateMissing", {"list", "--to", "2009-03-05", "/r", "--from"}},
                    UsageCase{"ListUnknownOption", {"list", "--from", "2009-03-05", "--to", "2009-03-05", "-x", "/r"}},
                    UsageCase{"MarkPlayedWithoutFile", {"mark-played"}},
                    UsageCase{"BookmarkWithoutText", {"bookmark", "/r/a.mp3"}}),
    [](const auto& info) { return info.param.name; });

TEST(ToolTest, ListsMarksAndBookmarksARecording) {
    test::ScopedTimeZone zone(kUtc);
    TempDir root;
    root.Write("05.03.2009/a0000001.mp3", Layer3Audio(125) + TagString(RecorderTag("0301234", "Line 1", 'O')));
    root.Write("06.03.2009/a0000002.mp3", Layer3Audio(5, 128));
    const std::string first = root.File("05.03.2009/a0000001.mp3");
    const std::string second = root.File("06.03.2009/a0000002.mp3");
    test::SetLastWrite(first, 1236262200);
    test::SetLastWrite(second, 1236262200 + 86400);
    const std::vector<std::string> list{"list", "--to", "2009-03-06", "--from", "2009-03-05", root.path()};

    ToolRun run = RunTool(list);
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, "Line 1\t05.03.2009 14:07:55\t00:02:05\t0301234\t\t" + first + "\t2\t0\n" +
                           "a0000002.mp3\t06.03.2009 14:09:55\t00:00:05\t\t\t" + second + "\t0\t0\n");

    EXPECT_EQ(RunTool({"mark-played", first}).code, 0);
    EXPECT_EQ(RunTool({"bookmark", first, "call\tback"}).code, 0);
    run = RunTool(list);
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')),
              "Line 1\t05.03.2009 14:07:55\t00:02:05\t0301234\tcall\\x09back\t" + first + "\t2\t1");

    run = RunTool({"mark-played", second});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("has no tag"), std::string::npos);
    EXPECT_EQ(RunTool({"bookmark", root.File("missing.mp3"), "x"}).code, 1);
}

TEST(ToolTest, BytesATerminalWouldActOnArePrintedEscaped) {
    struct Case {
        const char* name;
        std::string number, description, expectedNumber, expectedChannel;
    } cases[] = {
        {"screen-clearing escape", "\x1b[2J0301", "Line 1", "\\x1B[2J0301", "Line 1"},
        {"title-setting sequence", "\x1b]0;x\x07", "Line\r\n2", "\\x1B]0;x\\x07", "Line\\x0D\\x0A2"},
        {"bytes above ASCII and a backslash", "12\\34", "Caf\xc3\xa9", "12\\x5C34", "Caf\\xC3\\xA9"},
        {"delete character",
         "\x7f"
         "55",
         "L", "\\x7F55", "L"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::ScopedTimeZone zone(kUtc);
        TempDir root;
        root.Write("05.03.2009/a0000001.mp3", Layer3Audio(5) + TagString(RecorderTag(c.number, c.description, 'I')));
        const ToolRun run = RunTool({"list", "--from", "2009-03-05", "--to", "2009-03-05", root.path()});
        ASSERT_EQ(run.code, 0);
        EXPECT_EQ(run.out.substr(0, run.out.find('\t')), c.expectedChannel);
        EXPECT_NE(run.out.find("\t" + c.expectedNumber + "\t"), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find_first_of(std::string("\x1b\x07\x7f\r", 4)), std::string::npos);
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);
    }
}

}  // namespace
}  // namespace pell
