// What an unattended recorder tells about itself, free of windows and devices: the causes and
// remedies added to its messages, the kept list of problems, the notification tip with each
// line's state, and the health file a script or monitoring system reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "common/core/clock.h"
#include "recorder/core/line_state.h"

namespace pell {

inline constexpr char kStatusFile[] = "status.json";
inline constexpr char kWaitingTip[] = "Pell2Recorder - waiting for the line box";
// The line box's line interface as the USB bus names it.
inline constexpr char kLineBoxHidName[] = "HID 08BB:2902";
inline constexpr char kPellGroup[] = "pell";

// The first maxCharacters characters of text; a UTF-8 character is never cut in half.
std::string CutUtf8(const std::string& text, size_t maxCharacters);

// What is known about the machine when a message is told, to name its cause.
struct CauseFacts {
    // Whether this user is in the group pell; nullopt when the machine has no such group.
    std::optional<bool> inPellGroup;
    std::string wantedDevice;               // the "device" setting, as searched
    std::vector<std::string> foundDevices;  // the capture devices there are
    bool soundPresent = true;               // a capture device matched and opened
    bool lineBoxPresent = true;             // the line interface answered
    bool hidControlled = false;             // a line records by the line interface's hook state
};

// The message with its cause and what to do added where one is known; text itself unchanged.
std::string WithCause(const std::string& text, const CauseFacts& facts);

// specText ("Could not open line source!" ...) with what is missing, what was found instead and
// that the recorder waits for it; specText alone when nothing is missing.
std::string WaitingText(const std::string& specText, const CauseFacts& facts);

struct Problem {
    LocalDateTime at;
    std::string text;
};

// The last messages, newest last, with the time each was told.
class ProblemList {
public:
    explicit ProblemList(size_t capacity = 50) : capacity_(capacity) {}
    void Add(const LocalDateTime& at, std::string text);
    const std::deque<Problem>& entries() const { return entries_; }
    // "09.12.2026 07:04:11  text"
    static std::string Row(const Problem& problem);

private:
    size_t capacity_;
    std::deque<Problem> entries_;
};

enum class LineCondition { kOff, kIdle, kRecording, kCannotWrite, kBoxMissing };

struct LineStatus {
    LineCondition condition = LineCondition::kIdle;
    std::optional<LocalDateTime> callStart;  // the running call's start
    std::string lastNumber;                  // the last filed call's caller ("" unknown)
    std::optional<LocalDateTime> lastFiledAt;
    std::string lastFiledPath;
    std::string lastProblem;
};

// "idle", "recording since 10:42", "cannot write", "box missing", "off".
std::string ConditionText(const LineStatus& line);
// "idle", "recording", "cannot_write", "box_missing", "off" (the health file's values).
const char* ConditionKey(LineCondition condition);

// The specified tip first, then per line "Line 1: recording since 10:42, last 0123"; within
// maxCharacters: the callers go first, then the lines are cut.
std::string TrayTip(const std::string& baseTip, const PerLine<LineStatus>& lines, size_t maxCharacters);

struct HealthReport {
    std::string version;
    LocalDateTime written;
    std::string state;  // "recording", "idle", "waiting for the line box"
    bool boxPresent = false;
    bool soundPresent = false;
    std::optional<uint64_t> diskFreeBytes;
    PerLine<LineStatus> lines;
    std::string lastProblem;
    std::optional<LocalDateTime> lastProblemAt;
    std::vector<std::string> alarms;  // the standing ones
};

// The health file's JSON text (an object, keys in a fixed order, ends with a line break).
std::string FormatHealthJson(const HealthReport& report);

// Text as a JSON string literal, quotes included.
std::string JsonString(const std::string& text);

}  // namespace pell
