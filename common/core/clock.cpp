#include "common/core/clock.h"

#include <ctime>

namespace pell {

uint32_t SystemClock::TickMs() {
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<uint32_t>(ms.count());
}

LocalDateTime SystemClock::Now() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    LocalDateTime out;
    out.date = std::chrono::year_month_day{std::chrono::year{local.tm_year + 1900},
                                           std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)},
                                           std::chrono::day{static_cast<unsigned>(local.tm_mday)}};
    out.hour = local.tm_hour;
    out.minute = local.tm_min;
    out.second = local.tm_sec;
    return out;
}

namespace {

std::tm ToTm(const LocalDateTime& when) {
    std::tm t{};
    t.tm_year = static_cast<int>(when.date.year()) - 1900;
    t.tm_mon = static_cast<int>(static_cast<unsigned>(when.date.month())) - 1;
    t.tm_mday = static_cast<int>(static_cast<unsigned>(when.date.day()));
    t.tm_hour = when.hour;
    t.tm_min = when.minute;
    t.tm_sec = when.second;
    t.tm_isdst = -1;
    return t;
}

}  // namespace

std::time_t ToTimeT(const LocalDateTime& when) {
    std::tm t = ToTm(when);
    return std::mktime(&t);
}

std::string FormatLocal(const LocalDateTime& when, const char* format) {
    std::tm t = ToTm(when);
    std::chrono::weekday wd{std::chrono::sys_days{when.date}};
    t.tm_wday = static_cast<int>(wd.c_encoding());
    char buffer[256];
    size_t n = std::strftime(buffer, sizeof buffer, format, &t);
    return std::string(buffer, n);
}

}  // namespace pell
