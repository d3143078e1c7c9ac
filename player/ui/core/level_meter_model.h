// The level meter's bar: 46 segments of 2 pixels and a 1-pixel gap, green up to the first
// threshold, yellow to the second, red above (both thresholds are 34, so no yellow shows).
// Level requests that arrive while a repaint is pending are dropped, not queued, so a meter fed
// ten times a second never falls behind; a partial repaint covers only the changed segments.
#pragma once

#include <optional>

namespace pell {

inline constexpr int kMeterSegments = 46;
inline constexpr int kMeterSegmentPitchPx = 3;
inline constexpr int kMeterSegmentWidthPx = 2;
inline constexpr int kMeterFirstThreshold = 34;
inline constexpr int kMeterSecondThreshold = 34;
inline constexpr int kMeterFullWidthPx = 137;  // right end of the last segment's gap

enum class MeterBrush { kLow, kMiddle, kHigh };
MeterBrush SegmentBrush(int segment);

// Pixels [fromX, toX) of the bar that a change touches.
struct MeterSpan {
    int fromX = 0;
    int toX = 0;
    friend bool operator==(const MeterSpan&, const MeterSpan&) = default;
};

class LevelMeterModel {
public:
    enum class Repaint { kNone, kFull, kPartial };

    // Clamps to 0..46; returns the span to repaint, or nothing when the request is dropped
    // (repaint pending) or changes nothing.
    std::optional<MeterSpan> SetLevel(int level);
    void RequestFullRepaint() { repaint_ = Repaint::kFull; }

    // Called by the paint: the level to draw now; clears the pending repaint.
    int TakeLevelToPaint();

    int ShownLevel() const { return shownLevel_; }
    Repaint Pending() const { return repaint_; }

private:
    int shownLevel_ = 0;
    int newLevel_ = 0;
    Repaint repaint_ = Repaint::kNone;
};

}  // namespace pell
