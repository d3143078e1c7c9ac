// The conditions an unattended recorder must report, each told once when it begins (after a
// grace time for the box or sound device), repeated at most every reminder interval while it
// stands, and told again when it is over. Times are seconds since the epoch, from the caller's clock.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pell {

// The box or sound device may be away this long (a replug, a reconnect) before it is an alarm.
inline constexpr int64_t kMissingHardwareGraceSeconds = 60;

enum class AlarmChange { kRaised, kReminder, kCleared };

struct AlarmNotice {
    AlarmChange change = AlarmChange::kRaised;
    std::string key;
    std::string text;  // the condition's text as it was raised
};

// "Alarm: …", "Alarm still standing: …", "Alarm cleared: …".
std::string AlarmNoticeText(const AlarmNotice& notice);
// The mail's subject: "PellRecorder alarm: …" cut to a line's length.
std::string AlarmMailSubject(const AlarmNotice& notice);

class AlarmBook {
public:
    explicit AlarmBook(int64_t reminderSeconds) : reminderSeconds_(reminderSeconds) {}
    void SetReminderSeconds(int64_t seconds) { reminderSeconds_ = seconds; }

    // Whether the condition `key` holds at `now`; it is raised once it has held for
    // graceSeconds. Returns what is to be told, if anything.
    std::optional<AlarmNotice> Observe(const std::string& key, bool holds, const std::string& text, int64_t now,
                                       int64_t graceSeconds = 0);
    // Something that happened once (a day folder cleaned away, a cut call recovered): told, not kept.
    static AlarmNotice Event(const std::string& key, const std::string& text) {
        return {AlarmChange::kRaised, key, text};
    }
    // The texts of the raised conditions, in key order.
    std::vector<std::string> Standing() const;

private:
    struct Condition {
        int64_t since = 0;
        std::optional<int64_t> toldAt;  // set once raised
        std::string text;
    };
    int64_t reminderSeconds_;
    std::map<std::string, Condition> conditions_;
};

}  // namespace pell
