#include "player/ui/core/level_meter_model.h"

#include <gtest/gtest.h>

namespace pell {
namespace {

TEST(LevelMeterModelTest, SegmentsBelowThirtyFourAreGreenTheRestRed) {
    int low = 0, middle = 0, high = 0;
    for (int j = 0; j < 40; ++j) {  // level 40
        switch (SegmentBrush(j)) {
            case MeterBrush::kLow:
                ++low;
                break;
            case MeterBrush::kMiddle:
                ++middle;
                break;
            case MeterBrush::kHigh:
                ++high;
                break;
        }
    }
    EXPECT_EQ(low, 34);
    EXPECT_EQ(middle, 0);
    EXPECT_EQ(high, 6);
}

TEST(LevelMeterModelTest, LevelsClampAndRepaintOnlyTheChangedSegments) {
    struct Step {
        int request;
        std::optional<MeterSpan> span;
        int shownAfterPaint;
    };
    const Step steps[] = {
        {-5, std::nullopt, 0},  // clamps to 0, nothing changes
        {60, MeterSpan{0, 137}, 46}, {46, std::nullopt, 46},
        {0, MeterSpan{0, 137}, 0},  // falling from 46 erases to x = 137
        {20, MeterSpan{0, 59}, 20},  {10, MeterSpan{30, 60}, 10},
    };
    LevelMeterModel model;
    for (const Step& s : steps) {
        EXPECT_EQ(model.SetLevel(s.request), s.span) << s.request;
        if (model.Pending() != LevelMeterModel::Repaint::kNone) model.TakeLevelToPaint();
        EXPECT_EQ(model.ShownLevel(), s.shownAfterPaint) << s.request;
    }
}

TEST(LevelMeterModelTest, RequestsWhileARepaintIsPendingAreDropped) {
    LevelMeterModel model;
    ASSERT_TRUE(model.SetLevel(10));
    EXPECT_FALSE(model.SetLevel(30));
    EXPECT_EQ(model.TakeLevelToPaint(), 10);
    model.RequestFullRepaint();
    EXPECT_FALSE(model.SetLevel(30));
    EXPECT_EQ(model.TakeLevelToPaint(), 10);
    EXPECT_TRUE(model.SetLevel(30));
}

}  // namespace
}  // namespace pell
