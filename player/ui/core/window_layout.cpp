#include "player/ui/core/window_layout.h"

#include <algorithm>

namespace pell {

Rect PlaceAnchored(const Rect& smallest, Anchor anchor, int extraWidth, int extraHeight) {
    const int dx = std::max(0, extraWidth);
    const int dy = std::max(0, extraHeight);
    Rect r = smallest;
    switch (anchor) {
        case Anchor::kTopLeft:
            break;
        case Anchor::kTopRight:
            r.x += dx;
            break;
        case Anchor::kTopWide:
            r.width += dx;
            break;
        case Anchor::kFill:
            r.width += dx;
            r.height += dy;
            break;
        case Anchor::kBottomWide:
            r.y += dy;
            r.width += dx;
            break;
        case Anchor::kBottomLeft:
            r.y += dy;
            break;
        case Anchor::kBottomRight:
            r.x += dx;
            r.y += dy;
            break;
    }
    return r;
}

namespace {

// Moved inside the screen as far as it fits (the top left wins on a screen too small).
Rect KeptOnScreen(Rect r, const Rect& screen) {
    r.x = std::max(screen.x, std::min(r.x, screen.Right() - r.width));
    r.y = std::max(screen.y, std::min(r.y, screen.Bottom() - r.height));
    return r;
}

}  // namespace

Rect PlaceClearOf(const Rect& window, const Rect& keepVisible, const Rect& screen) {
    if (!window.Intersects(keepVisible)) return window;
    constexpr int kGapPx = 8;
    const Rect tries[] = {
        {window.x, keepVisible.Bottom() + kGapPx, window.width, window.height},
        {window.x, keepVisible.y - kGapPx - window.height, window.width, window.height},
        {keepVisible.Right() + kGapPx, window.y, window.width, window.height},
        {keepVisible.x - kGapPx - window.width, window.y, window.width, window.height},
    };
    for (const Rect& r : tries) {
        const Rect onScreen = KeptOnScreen(r, screen);
        if (onScreen == r && !onScreen.Intersects(keepVisible)) return r;
    }
    // Nowhere clear on the screen: below the row, as far down as the screen allows.
    return KeptOnScreen(tries[0], screen);
}

}  // namespace pell
