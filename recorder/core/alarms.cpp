#include "recorder/core/alarms.h"

#include "common/core/escape_text.h"

namespace pell {

std::string AlarmNoticeText(const AlarmNotice& notice) {
    switch (notice.change) {
        case AlarmChange::kRaised:
            return "Alarm: " + notice.text;
        case AlarmChange::kReminder:
            return "Alarm still standing: " + notice.text;
        case AlarmChange::kCleared:
            return "Alarm cleared: " + notice.text;
    }
    return notice.text;
}

std::string AlarmMailSubject(const AlarmNotice& notice) {
    // A header line: no line breaks or control bytes from a path in the text.
    std::string subject = EscapeUnprintable("PellRecorder " + AlarmNoticeText(notice));
    constexpr size_t kMaxSubject = 150;
    if (subject.size() > kMaxSubject) subject = subject.substr(0, kMaxSubject - 3) + "...";
    return subject;
}

std::optional<AlarmNotice> AlarmBook::Observe(const std::string& key, bool holds, const std::string& text, int64_t now,
                                              int64_t graceSeconds) {
    const auto found = conditions_.find(key);
    if (!holds) {
        if (found == conditions_.end()) return std::nullopt;
        const bool wasRaised = found->second.toldAt.has_value();
        AlarmNotice cleared{AlarmChange::kCleared, key, found->second.text};
        conditions_.erase(found);
        if (!wasRaised) return std::nullopt;
        return cleared;
    }
    Condition& condition = found != conditions_.end() ? found->second : conditions_[key];
    if (found == conditions_.end()) condition.since = now;
    if (!condition.toldAt) {
        if (now - condition.since < graceSeconds) return std::nullopt;
        condition.toldAt = now;
        condition.text = text;
        return AlarmNotice{AlarmChange::kRaised, key, text};
    }
    if (now - *condition.toldAt < reminderSeconds_) return std::nullopt;
    condition.toldAt = now;
    return AlarmNotice{AlarmChange::kReminder, key, condition.text};
}

std::vector<std::string> AlarmBook::Standing() const {
    std::vector<std::string> texts;
    for (const auto& [key, condition] : conditions_) {
        if (condition.toldAt) texts.push_back(condition.text);
    }
    return texts;
}

}  // namespace pell
