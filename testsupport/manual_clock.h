#pragma once

#include "common/core/clock.h"

namespace pell {

// A clock that moves only when told: the tick and the local time advance together, without
// daylight-saving jumps. The tick wraps at 2^32 like the real one.
class ManualClock final : public Clock {
public:
    explicit ManualClock(LocalDateTime start = {}, uint32_t startTickMs = 1000) : now_(start), tickMs_(startTickMs) {}

    uint32_t TickMs() override { return tickMs_; }
    LocalDateTime Now() override { return now_; }

    void AdvanceMs(uint32_t ms);
    void Set(const LocalDateTime& when) { now_ = when; }

private:
    LocalDateTime now_;
    uint32_t tickMs_;
    uint32_t subSecondMs_ = 0;
};

// "2026-12-06 23:59:58" style helper for tests.
LocalDateTime MakeLocal(int year, unsigned month, unsigned day, int hour = 0, int minute = 0, int second = 0);

}  // namespace pell
