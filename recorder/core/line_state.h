// The two telephone lines: the Line type, one value per line, and the lines' hook states, written
// by the line-poll thread and read by block processing. Single flags and tick counts cross the
// threads, so plain atomics suffice.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace pell {

// One of the two telephone lines, made from a channel number: 0 is line 1 (left input), 1 line 2
// (right input). The numbers come from the code itself (loops, the two-entry tables), so any
// other is a programming error: it stops the program instead of filing a call on the wrong line,
// and fails to compile in a constant expression.
class Line {
public:
    explicit constexpr Line(int channel) : index_(Checked(channel)) {}
    constexpr size_t index() const { return index_; }
    constexpr int channel() const { return static_cast<int>(index_); }
    friend constexpr bool operator==(Line, Line) = default;

private:
    static constexpr size_t Checked(int channel) {
        if (channel != 0 && channel != 1) std::abort();
        return static_cast<size_t>(channel);
    }

    size_t index_;
};

// Both lines, line 1 first, for loops over the channels.
inline constexpr std::array<Line, 2> kLines{Line(0), Line(1)};

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
