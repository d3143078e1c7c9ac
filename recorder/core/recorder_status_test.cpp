#include "recorder/core/recorder_status.h"

#include <gtest/gtest.h>

namespace pell {
namespace {

LocalDateTime At(int hour, int minute) {
    LocalDateTime at;
    at.date = std::chrono::year{2026} / 12 / 9;
    at.hour = hour;
    at.minute = minute;
    return at;
}

TEST(WithCauseTest, NamesTheGroupOnlyForAccessTextsOfAUserOutsideIt) {
    struct Case {
        const char* text;
        std::optional<bool> inGroup;
        bool namesGroup;
    };
    const Case cases[] = {
        {"Line 1: the recording file x could not be created (Permission denied).", false, true},
        {"The file /opt/pell/settings.ini cannot be read.", false, true},
        {"No drop folder is set for channel 1.", false, true},
        {"Line 1: the recording file x could not be created (Permission denied).", true, false},
        {"Line 1: the recording file x could not be created (Permission denied).", std::nullopt, false},
        {"The counter file x could not be written (No space left on device).", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CauseFacts facts;
        facts.inPellGroup = c.inGroup;
        const std::string told = WithCause(c.text, facts);
        EXPECT_EQ(told.rfind(c.text, 0), 0u) << "the specified text comes first, unchanged";
        EXPECT_EQ(told.find("not in the group pell yet: log out and in again") != std::string::npos, c.namesGroup)
            << told;
    }
}

TEST(WaitingTextTest, SaysWhatIsMissingAndWhatWasFound) {
    struct Case {
        const char* name;
        CauseFacts facts;
        std::string expected;
    };
    const std::string waits = ". The recorder waits for the line box and starts recording as soon as it is plugged in.";
    const Case cases[] = {
        {"other cards",
         {std::nullopt, "usb audio", {"HDA Intel PCH", "Webcam"}, false, true, false},
         "Could not open line source! no capture device's name contains \"usb audio\"; found: HDA Intel PCH, Webcam" +
             waits},
        {"no card, no box",
         {std::nullopt, "usb audio", {}, false, false, true},
         "Could not open line source! no capture device's name contains \"usb audio\"; found: none; the line box "
         "(HID 08BB:2902) is not plugged in" +
             waits},
        {"no device named",
         {std::nullopt, "", {}, false, true, false},
         "Could not open line source! no capture device is there; found: none" + waits},
        {"sound there, HID line without its box",
         {std::nullopt, "usb audio", {"USB Audio"}, true, false, true},
         "Could not open line source! the line box (HID 08BB:2902) is not plugged in" + waits},
        {"sound there, VOX lines only",
         {std::nullopt, "usb audio", {"USB Audio"}, true, false, false},
         "Could not open line source!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WaitingText("Could not open line source!", c.facts), c.expected);
    }
}

TEST(TrayTipTest, KeepsTheSpecifiedTipFirstAndCutsCallersBeforeLines) {
    PerLine<LineStatus> lines;
    lines[0] = {LineCondition::kRecording, At(10, 42), "0123456789", {}, {}, {}};
    lines[1] = {LineCondition::kIdle, {}, "555", {}, {}, {}};
    PerLine<LineStatus> longCallers = lines;
    longCallers[0].lastNumber = std::string(60, '7');
    longCallers[1].lastNumber = std::string(60, '8');
    PerLine<LineStatus> broken;
    broken[0].condition = LineCondition::kCannotWrite;
    broken[1].condition = LineCondition::kBoxMissing;
    struct Case {
        const char* name;
        std::string base;
        PerLine<LineStatus> lines;
        size_t max;
        std::string expected;
    };
    const Case cases[] = {
        {"everything fits", "Pell2Recorder - recording", lines, 127,
         "Pell2Recorder - recording\nLine 1: recording since 10:42, last 0123456789\nLine 2: idle, last 555"},
        {"callers too long: left out", "Pell2Recorder - recording", longCallers, 127,
         "Pell2Recorder - recording\nLine 1: recording since 10:42\nLine 2: idle"},
        {"states", "Pell2Recorder - problem", broken, 127,
         "Pell2Recorder - problem\nLine 1: cannot write\nLine 2: box missing"},
        {"even the states are too long: cut", "Pell2Recorder - recording", lines, 40,
         "Pell2Recorder - recording\nLine 1: record"},
        {"a multi-byte character is not halved", "Pell2Recorder \xc3\xa9t\xc3\xa9", lines, 15,
         "Pell2Recorder \xc3\xa9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string tip = TrayTip(c.base, c.lines, c.max);
        EXPECT_EQ(tip, c.expected);
        EXPECT_EQ(CutUtf8(tip, c.max), tip);
    }
}

TEST(ProblemListTest, KeepsTheNewestWithTheirTimes) {
    ProblemList list(2);
    list.Add(At(7, 1), "first");
    list.Add(At(7, 2), "second");
    list.Add(At(7, 3), "third");
    ASSERT_EQ(list.entries().size(), 2u);
    EXPECT_EQ(ProblemList::Row(list.entries().front()), "09.12.2026 07:02:00  second");
    EXPECT_EQ(list.entries().back().text, "third");
}

TEST(HealthJsonTest, WritesEveryFieldAndEscapesText) {
    HealthReport report;
    report.version = "0.2";
    report.written = At(7, 5);
    report.state = "recording";
    report.boxPresent = true;
    report.soundPresent = true;
    report.diskFreeBytes = 123456789;
    report.lines[0] = {LineCondition::kRecording, At(7, 4), "0123", At(6, 58), "/rec/a0000001.mp3", ""};
    report.lines[1].condition = LineCondition::kCannotWrite;
    report.lines[1].lastProblem = "Line 2: \"x\" failed\n(No space)";
    report.lastProblem = report.lines[1].lastProblem;
    report.lastProblemAt = At(7, 3);
    report.alarms = {"a\\b"};
    EXPECT_EQ(FormatHealthJson(report),
              "{\n"
              "  \"version\": \"0.2\",\n"
              "  \"written\": \"2026-12-09T07:05:00\",\n"
              "  \"state\": \"recording\",\n"
              "  \"box_present\": true,\n"
              "  \"sound_present\": true,\n"
              "  \"disk_free_bytes\": 123456789,\n"
              "  \"lines\": [\n"
              "    {\"line\": 1, \"state\": \"recording\", \"call_start\": \"2026-12-09T07:04:00\", \"last_call\": "
              "\"2026-12-09T06:58:00\", \"last_file\": \"/rec/a0000001.mp3\", \"last_number\": \"0123\", "
              "\"last_problem\": \"\"},\n"
              "    {\"line\": 2, \"state\": \"cannot_write\", \"call_start\": null, \"last_call\": null, "
              "\"last_file\": \"\", \"last_number\": \"\", \"last_problem\": \"Line 2: \\\"x\\\" failed\\u000a(No "
              "space)\"}\n"
              "  ],\n"
              "  \"last_problem\": \"Line 2: \\\"x\\\" failed\\u000a(No space)\",\n"
              "  \"last_problem_at\": \"2026-12-09T07:03:00\",\n"
              "  \"alarms\": [\"a\\\\b\"]\n"
              "}\n");
}

}  // namespace
}  // namespace pell
