#include "web/core/recorder_status.h"

#include <gtest/gtest.h>

#include "recorder/core/recorder_status.h"

namespace pell::web {
namespace {

using Presence = RecorderStatus::Presence;

constexpr int64_t kNow = 1'773'150'000;

constexpr const char* kHealthy = R"({
  "version": "0.2", "written": 1773149995, "box_present": true, "disk_free_bytes": 52000000000,
  "lines": [
    {"line": 1, "state": "recording", "call_start": "2026-03-10T13:38:00Z",
     "last_call": {"time": 1773149000, "number": "5551234"}},
    {"line": 2, "state": "idle", "last_problem": {"time": "2026-03-10T13:00:00+01:00", "message": "cannot write"}}
  ],
  "alarms": [{"condition": "disk_low", "since": 1773140000, "message": "free space under twice the limit"},
             "box missing"],
  "a_field_from_a_newer_recorder": {"x": [1, 2, 3]}
})";

TEST(RecorderStatusTest, ReadsEveryKnownFieldAndIgnoresUnknownOnes) {
    const RecorderStatus s = ParseRecorderStatus(kHealthy, kNow - 5, kNow);
    ASSERT_EQ(s.presence, Presence::kPresent) << s.problem;
    EXPECT_EQ(s.version, "0.2");
    EXPECT_EQ(s.written, 1773149995);
    EXPECT_FALSE(s.stale);
    EXPECT_EQ(s.boxPresent, true);
    EXPECT_EQ(s.diskFreeBytes, 52000000000);
    ASSERT_EQ(s.lines.size(), 2u);
    EXPECT_EQ(s.lines[0].line, 1);
    EXPECT_EQ(s.lines[0].state, "recording");
    EXPECT_EQ(s.lines[0].callStart, 1773149880);
    EXPECT_EQ(s.lines[0].lastCallTime, 1773149000);
    EXPECT_EQ(s.lines[0].lastCallNumber, "5551234");
    EXPECT_EQ(s.lines[1].lastProblem, "cannot write");
    EXPECT_EQ(s.lines[1].lastProblemTime, 1773144000);
    ASSERT_EQ(s.alarms.size(), 2u);
    EXPECT_EQ(s.alarms[0].condition, "disk_low");
    EXPECT_EQ(s.alarms[0].since, 1773140000);
    EXPECT_EQ(s.alarms[1].message, "box missing");
}

struct TolerantCase {
    const char* name;
    const char* text;
    Presence presence;
    std::size_t lines;
};

class TolerantStatusTest : public testing::TestWithParam<TolerantCase> {};

TEST_P(TolerantStatusTest, DamagedOrPartialFileGivesWhatCanBeReadNeverAFault) {
    const RecorderStatus s = ParseRecorderStatus(GetParam().text, kNow, kNow);
    EXPECT_EQ(s.presence, GetParam().presence) << GetParam().name;
    EXPECT_EQ(s.lines.size(), GetParam().lines) << GetParam().name;
    if (GetParam().presence == Presence::kBroken) {
        EXPECT_FALSE(s.problem.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, TolerantStatusTest,
    testing::Values(TolerantCase{"empty file (being written)", "", Presence::kBroken, 0},
                    TolerantCase{"cut in the middle", R"({"version": "0.2", "lines": [{"li)", Presence::kBroken, 0},
                    TolerantCase{"an array", "[1,2]", Presence::kBroken, 0},
                    TolerantCase{"not JSON", "state=idle", Presence::kBroken, 0},
                    TolerantCase{"empty object", "{}", Presence::kPresent, 0},
                    TolerantCase{"wrong types", R"({"version": 2, "box_present": "yes", "lines": "none"})",
                                 Presence::kPresent, 0},
                    TolerantCase{"line without number or fields", R"({"lines": [{}, 7, null]})", Presence::kPresent, 3},
                    TolerantCase{"brackets inside strings are text",
                                 R"({"version": "[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[["})", Presence::kPresent, 0}));

TEST(RecorderStatusTest, NestingDeeperThanAHealthFileIsRefusedBeforeParsing) {
    const std::string deep = "{\"a\":" + std::string(100'000, '[') + std::string(100'000, ']') + "}";
    const RecorderStatus s = ParseRecorderStatus(deep, kNow, kNow);
    EXPECT_EQ(s.presence, Presence::kBroken);
    EXPECT_NE(s.problem.find("nested"), std::string::npos);
}

TEST(RecorderStatusTest, LinesWithoutNumbersAreCountedInOrder) {
    const RecorderStatus s =
        ParseRecorderStatus(R"({"lines": [{"state": "idle"}, {"state": "recording"}]})", kNow, kNow);
    ASSERT_EQ(s.lines.size(), 2u);
    EXPECT_EQ(s.lines[1].line, 2);
}

TEST(RecorderStatusTest, FileNotRewrittenForHalfAMinuteIsStale) {
    EXPECT_FALSE(ParseRecorderStatus("{}", kNow - 30, kNow).stale);
    EXPECT_TRUE(ParseRecorderStatus("{}", kNow - 31, kNow).stale);
    EXPECT_EQ(ParseRecorderStatus("{}", kNow - 31, kNow).written, kNow - 31);  // without its own time
}

// The file as the recorder writes it, by the recorder's own writer.
TEST(RecorderStatusTest, ReadsTheHealthFileTheRecorderWrites) {
    const auto at = [](int hour, int minute) {
        return LocalDateTime{std::chrono::year{2026} / 3 / 10, hour, minute, 0};
    };
    HealthReport report;
    report.version = "1.4";
    report.written = at(14, 7);
    report.state = "waiting for the line box";
    report.boxPresent = false;
    report.soundPresent = true;
    report.diskFreeBytes = 52'000'000'000;
    report.lines[0].condition = LineCondition::kRecording;
    report.lines[0].callStart = at(14, 2);
    report.lines[0].lastFiledAt = at(13, 50);
    report.lines[0].lastNumber = "5551234";
    report.lines[1].condition = LineCondition::kBoxMissing;
    report.lines[1].lastProblem = "Line 2: cannot write \"/srv/rec\"";
    report.lastProblem = "The line box is missing";
    report.lastProblemAt = at(14, 0);
    report.alarms = {"The line box has been missing for more than a minute"};
    const int64_t written = ToTimeT(at(14, 7));

    const RecorderStatus s = ParseRecorderStatus(FormatHealthJson(report), written, written + 5);
    ASSERT_EQ(s.presence, Presence::kPresent) << s.problem;
    EXPECT_EQ(s.version, "1.4");
    EXPECT_EQ(s.state, "waiting for the line box");
    EXPECT_EQ(s.written, written);
    EXPECT_EQ(s.boxPresent, false);
    EXPECT_EQ(s.soundPresent, true);
    EXPECT_EQ(s.diskFreeBytes, 52'000'000'000);
    EXPECT_EQ(s.lastProblem, "The line box is missing");
    EXPECT_EQ(s.lastProblemTime, ToTimeT(at(14, 0)));
    ASSERT_EQ(s.lines.size(), 2u);
    EXPECT_EQ(s.lines[0].state, "recording");
    EXPECT_EQ(s.lines[0].callStart, ToTimeT(at(14, 2)));
    EXPECT_EQ(s.lines[0].lastCallTime, ToTimeT(at(13, 50)));
    EXPECT_EQ(s.lines[0].lastCallNumber, "5551234");
    EXPECT_EQ(s.lines[1].line, 2);
    EXPECT_EQ(s.lines[1].state, "box_missing");
    EXPECT_EQ(s.lines[1].lastProblem, "Line 2: cannot write \"/srv/rec\"");
    EXPECT_FALSE(s.lines[1].lastCallTime.has_value());
    ASSERT_EQ(s.alarms.size(), 1u);
    EXPECT_EQ(s.alarms[0].message, "The line box has been missing for more than a minute");
}

TEST(RecorderStatusTest, LongTextsAreCut) {
    const std::string longText(10'000, 'x');
    const RecorderStatus s = ParseRecorderStatus(R"({"version": ")" + longText + R"("})", kNow, kNow);
    EXPECT_EQ(s.version.size(), 500u);
}

struct IsoCase {
    const char* text;
    int64_t expected;  // 0: refused
};

class IsoTimeTest : public testing::TestWithParam<IsoCase> {};

TEST_P(IsoTimeTest, ZonesAndFractionsAreHonoured) {
    const auto when = ParseIsoTime(GetParam().text);
    if (GetParam().expected == 0) {
        EXPECT_FALSE(when.has_value()) << GetParam().text;
    } else {
        EXPECT_EQ(when, GetParam().expected) << GetParam().text;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, IsoTimeTest,
                         testing::Values(IsoCase{"2026-03-10T13:38:00Z", 1773149880},
                                         IsoCase{"2026-03-10T14:38:00+01:00", 1773149880},
                                         IsoCase{"2026-03-10T08:38:00-0500", 1773149880},
                                         IsoCase{"2026-03-10T13:38:00.123Z", 1773149880},
                                         IsoCase{"2026-03-10 13:38:00Z", 1773149880}, IsoCase{"2026-03-10T13:38Z", 0},
                                         IsoCase{"2026-03-10T13:38:00+1", 0}, IsoCase{"yesterday", 0}));

}  // namespace
}  // namespace pell::web
