#include "player/ui/core/window_layout.h"

#include <gtest/gtest.h>

namespace pell {
namespace {

TEST(WindowLayoutTest, ControlsKeepTheirEdgesOrStretchAsTheWindowGrows) {
    const Rect place{10, 20, 100, 50};
    struct Case {
        Anchor anchor;
        int extraWidth;
        int extraHeight;
        Rect expected;
    };
    const Case cases[] = {
        {Anchor::kTopLeft, 300, 200, {10, 20, 100, 50}},
        {Anchor::kTopRight, 300, 200, {310, 20, 100, 50}},
        {Anchor::kTopWide, 300, 200, {10, 20, 400, 50}},
        {Anchor::kFill, 300, 200, {10, 20, 400, 250}},
        {Anchor::kBottomWide, 300, 200, {10, 220, 400, 50}},
        {Anchor::kBottomLeft, 300, 200, {10, 220, 100, 50}},
        {Anchor::kBottomRight, 300, 200, {310, 220, 100, 50}},
        // Below its smallest size the window is never laid out smaller.
        {Anchor::kFill, -40, -10, {10, 20, 100, 50}},
        {Anchor::kBottomRight, 0, 0, {10, 20, 100, 50}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PlaceAnchored(place, c.anchor, c.extraWidth, c.extraHeight), c.expected)
            << static_cast<int>(c.anchor) << " " << c.extraWidth << "x" << c.extraHeight;
    }
}

TEST(WindowLayoutTest, AHelperWindowMovesOffTheRowItWouldCover) {
    const Rect screen{0, 0, 1280, 800};
    struct Case {
        const char* name;
        Rect window;
        Rect row;
        Rect expected;
    };
    const Case cases[] = {
        {"the row is elsewhere: it stays", {500, 300, 400, 100}, {20, 100, 700, 18}, {500, 300, 400, 100}},
        {"below the row", {500, 300, 400, 100}, {20, 320, 900, 18}, {500, 346, 400, 100}},
        {"no room below: above", {500, 680, 400, 100}, {20, 720, 900, 18}, {500, 612, 400, 100}},
        // A row that fills the height leaves only its side.
        {"beside it", {500, 300, 400, 100}, {0, 0, 700, 800}, {708, 300, 400, 100}},
        {"no room anywhere: as low as the screen allows",
         {500, 300, 400, 100},
         {0, 0, 1280, 800},
         {500, 700, 400, 100}},
    };
    for (const Case& c : cases) EXPECT_EQ(PlaceClearOf(c.window, c.row, screen), c.expected) << c.name;
}

}  // namespace

void PrintTo(const Rect& r, std::ostream* out) { *out << r.x << "," << r.y << " " << r.width << "x" << r.height; }

}  // namespace pell
