#include "player/ui/core/level_meter_model.h"

#include <algorithm>

namespace pell {

MeterBrush SegmentBrush(int segment) {
    if (segment < kMeterFirstThreshold) return MeterBrush::kLow;
    if (segment < kMeterSecondThreshold) return MeterBrush::kMiddle;
    return MeterBrush::kHigh;
}

std::optional<MeterSpan> LevelMeterModel::SetLevel(int level) {
    if (repaint_ != Repaint::kNone) return std::nullopt;
    level = std::clamp(level, 0, kMeterSegments);
    if (level == shownLevel_) return std::nullopt;
    newLevel_ = level;
    repaint_ = Repaint::kPartial;
    if (level > shownLevel_) {
        return MeterSpan{kMeterSegmentPitchPx * shownLevel_, kMeterSegmentPitchPx * (level - 1) + kMeterSegmentWidthPx};
    }
    const int toX = shownLevel_ == kMeterSegments ? kMeterFullWidthPx : kMeterSegmentPitchPx * shownLevel_;
    return MeterSpan{kMeterSegmentPitchPx * level, toX};
}

int LevelMeterModel::TakeLevelToPaint() {
    repaint_ = Repaint::kNone;
    shownLevel_ = newLevel_;
    return newLevel_;
}

}  // namespace pell
