// The transport's arithmetic: which row Next and Previous reach, what the time display, its
// digits and the position tool tip show, where the monitor's levels land on the meters.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <string>

namespace pell {

inline constexpr int kSecondsPerDay = 86400;
inline constexpr int kPlayBufferMs = 1000;

// Next from the last row wraps to row 0, Previous from row 0 to the last; -1 (no current row
// or an empty list) when there is nowhere to go.
int NextRow(int currentRow, int rowCount);
int PreviousRow(int currentRow, int rowCount);

// Seconds modulo a day, 0..86399 (negative values count back from midnight).
int SecondsOfDay(long long seconds);

// Seconds the display shows for a position: elapsed time, or in clock mode the wall-clock time
// of the recorded moment, both modulo a day.
int ShownSeconds(std::uint32_t positionSeconds, int startOfDay, int clockMode);

// "hh:mm:ss" of seconds modulo a day.
std::string ClockText(int seconds);

// The six digits of the time display, hours first, of a value modulo a day.
std::array<int, 6> TimeDigits(int seconds);

// The record's start as seconds since local midnight: its last write less its length.
int StartOfDay(std::time_t lastWrite, std::uint32_t lengthSeconds);

// A meter level (clamped later by the meter) from an engine level 0..100.
inline constexpr int MeterLevelFromVu(int vu) { return vu / 2 - 4; }

}  // namespace pell
