// The recorder's settings beyond "settings.ini": alarms, e-mail and the retention of each line's
// recordings, in "recorder.ini" beside it in the recorder's program folder. Pell2CFG edits the
// file; the recorder reads it at start-up and at every reload. Everything is off without it, so
// a recorder without the file behaves as one that never heard of it.
//
//   [alarms]
//   reminder_hours=24        ; a standing alarm is repeated at most this often (1..720)
//   [mail]
//   server=smtp://mail.example.com:587   ; smtp:// (STARTTLS when offered) or smtps://; empty: no mail
//   from=recorder@example.com
//   to=office@example.com, it@example.com
//   user=                    ; log-in at the server, when it asks for one
//   password=
//   [line1]                  ; and [line2]
//   no_call_days=0           ; alarm when the line had no call for this many days; 0: off
//   keep_days=0              ; cleaning for space never removes a day younger than this; 0: off
//   delete_after_days=0      ; recordings older than this are removed by a daily pass; 0: off
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pell {

inline constexpr char kRecorderOptionsFile[] = "recorder.ini";

inline constexpr int32_t kDefaultReminderHours = 24;
inline constexpr int32_t kMaxReminderHours = 720;
// A hundred years: beyond that a day count is a typing slip.
inline constexpr int32_t kMaxRetentionDays = 36500;

struct MailOptions {
    std::string server;  // URL with scheme smtp:// or smtps://; empty: no mail is sent
    std::string from;
    std::vector<std::string> to;
    std::string user;
    std::string password;
    bool Enabled() const { return !server.empty() && !to.empty(); }
};

struct LineOptions {
    int32_t noCallDays = 0;       // 0: no alarm for a quiet line
    int32_t keepDays = 0;         // 0: cleaning for space may remove any day
    int32_t deleteAfterDays = 0;  // 0: recordings are never removed for their age
};

struct RecorderOptions {
    bool fromFile = false;  // recorder.ini was there
    int32_t reminderHours = kDefaultReminderHours;
    MailOptions mail;
    std::array<LineOptions, 2> lines;  // index 0 = line 1
    // Values the load refused, one message each naming the key and the value used instead.
    std::vector<std::string> messages;
};

// The addresses of a "to" value: separated by commas or semicolons, blanks around them dropped.
std::vector<std::string> SplitMailAddresses(std::string_view text);

RecorderOptions ParseRecorderOptions(std::string_view text);

// recorder.ini of the program folder; defaults (everything off) when it is missing.
RecorderOptions LoadRecorderOptions(const std::string& programFolder);

// The whole file as Pell2CFG writes it: every key in the order above, LF line ends, with the
// comments that tell an administrator editing it by hand what each key does.
std::string FormatRecorderOptions(const RecorderOptions& options);

}  // namespace pell
