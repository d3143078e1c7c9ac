// Time as the recorder sees it: a wrapping 32-bit millisecond tick for intervals (a stored tick
// of 0 means "timer not running") and the local calendar date and time for names and folders.
// Passed in through constructors; tests use a manual clock.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>

namespace pell {

struct LocalDateTime {
    std::chrono::year_month_day date{std::chrono::year{2008}, std::chrono::month{1}, std::chrono::day{1}};
    int hour = 0;
    int minute = 0;
    int second = 0;

    friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual uint32_t TickMs() = 0;
    virtual LocalDateTime Now() = 0;
};

// Steady clock for ticks, the system's local time zone for dates.
class SystemClock final : public Clock {
public:
    uint32_t TickMs() override;
    LocalDateTime Now() override;
};

// strftime over a local date and time ("%d.%m.%Y", "%X", ...).
std::string FormatLocal(const LocalDateTime& when, const char* format);

// The moment a local date and time names, in seconds since the epoch (the local time zone decides).
std::time_t ToTimeT(const LocalDateTime& when);

// Milliseconds from tick `from` to tick `to` across the 32-bit wrap.
inline uint32_t TicksSince(uint32_t from, uint32_t to) { return to - from; }

}  // namespace pell
