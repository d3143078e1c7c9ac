// The two lines' hook states, written by the line-poll thread and read by block processing.
// Single flags and tick counts cross the threads, so plain atomics suffice.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace pell {

struct LineStates {
    // Line seized (off hook) as the line interface last reported it; index 0 = line 1.
    std::array<std::atomic<bool>, 2> lineActive{};
    // Tick (ms) of the last idle-to-active change; 0 when never seized.
    std::array<std::atomic<uint32_t>, 2> lineSeizedAt{};
};

}  // namespace pell
