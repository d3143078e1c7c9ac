#include "custody/core/utc_time.h"

#include <cstdio>
#include <ctime>

namespace pell {

std::string FormatUtc(int64_t secondsSinceEpoch) {
    const auto when = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm parts{};
    if (gmtime_r(&when, &parts) == nullptr) return "0000-00-00T00:00:00Z";
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

std::optional<int64_t> ParseUtc(std::string_view text) {
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != 'Z') {
        return std::nullopt;
    }
    const auto number = [&text](std::size_t start, std::size_t count) -> int {
        int value = 0;
        for (std::size_t i = start; i < start + count; ++i) {
            if (text[i] < '0' || text[i] > '9') return -1;
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    std::tm parts{};
    const int year = number(0, 4);
    const int month = number(5, 2);
    const int day = number(8, 2);
    const int hour = number(11, 2);
    const int minute = number(14, 2);
    const int second = number(17, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 60) {
        return std::nullopt;
    }
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    return static_cast<int64_t>(timegm(&parts));
}

std::string FormatLocalMoment(int64_t secondsSinceEpoch) {
    const auto when = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm parts{};
    if (localtime_r(&when, &parts) == nullptr) return {};
    char text[32];
    std::strftime(text, sizeof text, "%d.%m.%Y %H:%M:%S", &parts);
    return text;
}

}  // namespace pell
