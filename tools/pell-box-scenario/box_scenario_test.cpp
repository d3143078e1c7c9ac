#include "tools/pell-box-scenario/box_scenario.h"

#include <gtest/gtest.h>
#include <vector>

#include "recorder/devices/scenario.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

bool Loud(const Scenario& scenario, double atSeconds) {
    std::vector<int16_t> frames(size_t{1600});
    scenario.FramesAt(static_cast<uint64_t>(atSeconds * 8000), 800, 8000, frames.data());
    int peak = 0;
    for (const int16_t v : frames) peak = std::max(peak, std::abs(int{v}));
    return peak > 1000;
}

TEST(BoxScenarioTest, TheLongScenarioHasAsManyCallsAsAskedEachWithSound) {
    TempDir dir;
    ASSERT_EQ(WriteBoxScenario(dir.path(), {.sampleRateHz = 8000, .calls = 5}), "");
    Scenario scenario;
    ASSERT_EQ(LoadScenario(dir.path(), scenario), "");
    for (int call = 0; call < 5; ++call) {
        SCOPED_TRACE(call);
        const double start = call * 60.0;
        EXPECT_EQ(scenario.StateByteAt(static_cast<uint32_t>((start + 30) * 1000)), 0x00) << "both lines seized";
        EXPECT_EQ(scenario.StateByteAt(static_cast<uint32_t>((start + 59.7) * 1000)), 0x06) << "both lines idle";
        EXPECT_TRUE(Loud(scenario, start + 30)) << "a call without sound";
    }
    EXPECT_EQ(scenario.StateByteAt(5 * 60 * 1000 + 30000), 0x06) << "no sixth call";
    EXPECT_FALSE(Loud(scenario, 5 * 60 + 30));
}

}  // namespace
}  // namespace pell
