#include "index/core/criteria_text.h"

#include <chrono>
#include <ctime>

namespace pell {

namespace {

// The digits text[start, start + count) as a number; nothing when one is not a digit.
std::optional<int> Digits(std::string_view text, std::size_t start, std::size_t count) {
    if (start + count > text.size()) return std::nullopt;
    int value = 0;
    for (std::size_t k = start; k < start + count; ++k) {
        if (text[k] < '0' || text[k] > '9') return std::nullopt;
        value = value * 10 + (text[k] - '0');
    }
    return value;
}

// "YYYY-MM-DD" at the start of `text` as the midnight that starts it, in local time.
std::optional<std::tm> LocalDate(std::string_view text) {
    if (text.size() < 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    const auto year = Digits(text, 0, 4);
    const auto month = Digits(text, 5, 2);
    const auto day = Digits(text, 8, 2);
    if (!year || !month || !day) return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year{*year}, std::chrono::month{static_cast<unsigned>(*month)},
                                           std::chrono::day{static_cast<unsigned>(*day)}};
    if (!date.ok()) return std::nullopt;
    std::tm when{};
    when.tm_year = *year - 1900;
    when.tm_mon = *month - 1;
    when.tm_mday = *day;
    when.tm_isdst = -1;
    return when;
}

}  // namespace

std::optional<int64_t> ParseLocalTime(std::string_view text, bool end) {
    std::optional<std::tm> when = LocalDate(text);
    if (!when) return std::nullopt;
    if (text.size() == 10) {
        // The day's end is the next day's midnight, whatever daylight saving does between.
        if (end) when->tm_mday += 1;
        return static_cast<int64_t>(std::mktime(&*when));
    }
    if ((text[10] != ' ' && text[10] != 'T') || (text.size() != 16 && text.size() != 19) || text[13] != ':') {
        return std::nullopt;
    }
    const auto hour = Digits(text, 11, 2);
    const auto minute = Digits(text, 14, 2);
    std::optional<int> second = 0;
    if (text.size() == 19) second = text[16] == ':' ? Digits(text, 17, 2) : std::nullopt;
    if (!hour || !minute || !second || *hour > 23 || *minute > 59 || *second > 59) return std::nullopt;
    when->tm_hour = *hour;
    when->tm_min = *minute;
    when->tm_sec = *second;
    const auto moment = static_cast<int64_t>(std::mktime(&*when));
    // An end at 14:00 still takes a call that started at 14:00 itself (or 14:00:59 when no seconds are given).
    if (end) return moment + (text.size() == 16 ? 60 : 1);
    return moment;
}

std::optional<int64_t> ParseDuration(std::string_view text) {
    if (text.empty()) return std::nullopt;
    int64_t total = 0;
    int64_t part = 0;
    int parts = 1;
    bool digit = false;
    for (const char c : text) {
        if (c == ':') {
            if (!digit || ++parts > 3 || (parts > 2 && part > 59)) return std::nullopt;
            total = total * 60 + part;
            part = 0;
            digit = false;
        } else if (c >= '0' && c <= '9') {
            part = part * 10 + (c - '0');
            if (part > 10'000'000) return std::nullopt;
            digit = true;
        } else {
            return std::nullopt;
        }
    }
    if (!digit || (parts > 1 && part > 59)) return std::nullopt;
    return total * 60 + part;
}

}  // namespace pell
