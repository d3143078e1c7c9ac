#include "testsupport/manual_clock.h"

namespace pell {

void ManualClock::AdvanceMs(uint32_t ms) {
    tickMs_ += ms;
    uint64_t total = uint64_t{subSecondMs_} + ms;
    subSecondMs_ = static_cast<uint32_t>(total % 1000);
    int64_t seconds = now_.hour * 3600 + now_.minute * 60 + now_.second + static_cast<int64_t>(total / 1000);
    const int64_t days = seconds / 86400;
    seconds %= 86400;
    now_.date = std::chrono::sys_days{now_.date} + std::chrono::days{days};
    now_.hour = static_cast<int>(seconds / 3600);
    now_.minute = static_cast<int>(seconds / 60 % 60);
    now_.second = static_cast<int>(seconds % 60);
}

LocalDateTime MakeLocal(int year, unsigned month, unsigned day, int hour, int minute, int second) {
    LocalDateTime t;
    t.date = std::chrono::year_month_day{std::chrono::year{year}, std::chrono::month{month}, std::chrono::day{day}};
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    return t;
}

}  // namespace pell
