// Where the main window's controls go when it grows, and where a helper window may stand. Each
// control has its place at the window's smallest size and an anchor: it keeps its distance from
// the left or right edge and from the top or bottom, or stretches with the window. Pixels.
#pragma once

#include <cstdint>

namespace pell {

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    int Right() const { return x + width; }
    int Bottom() const { return y + height; }
    bool Intersects(const Rect& other) const {
        return x < other.Right() && other.x < Right() && y < other.Bottom() && other.y < Bottom();
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

enum class Anchor : std::uint8_t {
    kTopLeft,      // the date row
    kTopRight,     // the equalizer
    kTopWide,      // the menu bar: at the top, as wide as the window
    kFill,         // the record list: grows both ways
    kBottomWide,   // the waveform, the position slider, the status line: at the bottom, as wide
    kBottomLeft,   // the transport
    kBottomRight,  // levels and volume
};

// The control's place when the window is `extraWidth` and `extraHeight` pixels larger than its
// smallest size (never negative: the window cannot be smaller).
Rect PlaceAnchored(const Rect& smallest, Anchor anchor, int extraWidth, int extraHeight);

// Where a window of `window`'s size should stand so that it does not cover `keepVisible`: where
// it is when it covers nothing, else just below the row, else just above it, else beside it,
// inside `screen` as far as it fits.
Rect PlaceClearOf(const Rect& window, const Rect& keepVisible, const Rect& screen);

}  // namespace pell
