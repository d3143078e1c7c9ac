// The injected clock's wrapping 32-bit tick widened to 64 bits, so a session or a throttle
// window never looks fresh again after the tick wraps (every 49.7 days). Called often enough
// (the server's housekeeping runs every minute), no wrap is missed. Not thread-safe: each user
// holds its own lock around it.
#pragma once

#include <cstdint>

#include "common/core/clock.h"

namespace pell::web {

class MonotonicMs {
public:
    explicit MonotonicMs(Clock& clock) : clock_(clock), lastTick_(clock.TickMs()) {}

    int64_t Now() {
        const uint32_t tick = clock_.TickMs();
        nowMs_ += TicksSince(lastTick_, tick);
        lastTick_ = tick;
        return nowMs_;
    }

private:
    Clock& clock_;
    uint32_t lastTick_;
    int64_t nowMs_ = 0;
};

}  // namespace pell::web
