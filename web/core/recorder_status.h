// A recorder's health file, "status.json" in its program folder, which the recorder rewrites
// every 5 seconds. Read tolerantly: the file may be missing (a recorder that does not write
// one, or has not yet), half-written, or from a newer recorder with fields this reader does
// not know; whatever can be read is shown and the rest is left out. The fields read:
//
//   {"version": "0.2", "written": "2026-03-10T14:07:55", "state": "recording",
//    "box_present": true, "sound_present": true, "disk_free_bytes": 52000000000,
//    "lines": [{"line": 1, "state": "recording", "call_start": "...", "last_call": "...",
//               "last_number": "5551234", "last_problem": "..."}],
//    "last_problem": "...", "last_problem_at": "...",
//    "alarms": ["Alarm text", ...]}
//
// An alarm may also be an object {"condition", "since", "message"}, a line's last call
// {"time", "number"} and its last problem {"time", "message"}.
//
// Times are ISO 8601 texts (with "Z" or an offset, else local time) or seconds since the epoch.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pell::web {

struct LineStatus {
    int line = 0;             // 1 or 2; 0 when the file does not say
    std::string description;  // from the recorder's settings, for the page and for rights
    std::string state;        // as the recorder words it: "idle", "recording", ...
    std::optional<int64_t> callStart;
    std::optional<int64_t> lastCallTime;
    std::string lastCallNumber;
    std::optional<int64_t> lastProblemTime;
    std::string lastProblem;
};

struct RecorderAlarm {
    std::string condition;
    std::string message;
    std::optional<int64_t> since;
};

struct RecorderStatus {
    enum class Presence {
        kAbsent,      // no status.json: "no status yet"
        kUnreadable,  // there, but cannot be read (permissions)
        kBroken,      // not JSON, or not an object (written half, or by something else)
        kPresent
    };
    Presence presence = Presence::kAbsent;
    std::string problem;  // for Unreadable and Broken, in words
    std::string version;
    std::string state;               // "idle", "recording", "waiting for the line box", "stopped"
    std::optional<int64_t> written;  // the file's own time, else its modification time
    bool stale = false;              // not rewritten for a while: the recorder may not be running
    std::optional<bool> boxPresent;
    std::optional<bool> soundPresent;
    std::optional<int64_t> diskFreeBytes;
    std::string lastProblem;
    std::optional<int64_t> lastProblemTime;
    std::vector<LineStatus> lines;
    std::vector<RecorderAlarm> alarms;
};

// Six times the recorder's period: a file older than this is from a recorder that stopped
// without saying so, or cannot write its program folder.
inline constexpr int64_t kStatusStaleSeconds = 30;

// `text` is the file's content, `modifiedSeconds` its modification time, `now` the present.
RecorderStatus ParseRecorderStatus(std::string_view text, int64_t modifiedSeconds, int64_t now);

// "2026-03-10T14:07:55Z", "...+01:00", "...+0100", or without zone as local time; fractions of
// a second ignored.
std::optional<int64_t> ParseIsoTime(std::string_view text);

}  // namespace pell::web
