// The two telephone lines: the Line type, one value per line, and the lines' hook states, written
// by the line-poll thread and read by block processing. Single flags and tick counts cross the
// threads, so plain atomics suffice.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace pell {

// One of the two telephone lines, made from a channel number: 0 is line 1 (left input), any
// other number line 2 (right input).
class Line {
public:
    constexpr Line(int channel) : index_(channel == 0 ? 0 : 1) {}  // implicit: callers pass 0 or 1
    constexpr size_t index() const { return index_; }
    constexpr int channel() const { return static_cast<int>(index_); }

private:
    size_t index_;
};

// One value per line, indexed by Line (and by plain index in loops over both).
template <typename T>
struct PerLine : std::array<T, 2> {
    using std::array<T, 2>::operator[];
    constexpr T& operator[](Line line) { return std::array<T, 2>::operator[](line.index()); }
    constexpr const T& operator[](Line line) const { return std::array<T, 2>::operator[](line.index()); }
};

struct LineStates {
    // Line seized (off hook) as the line interface last reported it; index 0 = line 1.
    PerLine<std::atomic<bool>> lineActive{};
    // Tick (ms) of the last idle-to-active change; 0 when never seized.
    PerLine<std::atomic<uint32_t>> lineSeizedAt{};
};

}  // namespace pell
