#include "recorder/devices/capture_format.h"

#include <gtest/gtest.h>

#include "recorder/devices/sample_ring.h"

namespace pell {
namespace {

struct RateCase {
    int32_t configured;
    uint32_t rate;
    size_t values;
};

void PrintTo(const RateCase& c, std::ostream* os) { *os << c.configured << "Hz"; }

class BlockSizeTest : public ::testing::TestWithParam<RateCase> {};

TEST_P(BlockSizeTest, HalfSecondOfWholeFrames) {
    const RateCase& c = GetParam();
    EXPECT_EQ(EffectiveSampleRate(c.configured), c.rate);
    EXPECT_EQ(ValuesPerBlock(EffectiveSampleRate(c.configured)), c.values);
    EXPECT_EQ(ValuesPerBlock(c.rate) % 2, 0u);
}

INSTANTIATE_TEST_SUITE_P(Rates, BlockSizeTest,
                         ::testing::Values(RateCase{8000, 8000, 8000}, RateCase{16000, 16000, 16000},
                                           RateCase{32000, 32000, 32000}, RateCase{11025, 11025, 11024},
                                           RateCase{44100, 44100, 44100}, RateCase{48000, 48000, 48000},
                                           RateCase{2, 2, 2}, RateCase{1, 8000, 8000}, RateCase{0, 8000, 8000},
                                           RateCase{-16000, 8000, 8000}, RateCase{48001, 8000, 8000},
                                           RateCase{96000, 8000, 8000}));

struct MatchCase {
    const char* name;
    std::vector<std::optional<std::string>> devices;
    std::string setting;
    std::optional<size_t> index;
};

void PrintTo(const MatchCase& c, std::ostream* os) { *os << c.name; }

class MatchCaptureDeviceTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(MatchCaptureDeviceTest, FirstDeviceWhoseNameContainsTheSetting) {
    const MatchCase& c = GetParam();
    EXPECT_EQ(MatchCaptureDevice(c.devices, c.setting), c.index);
}

const std::optional<std::string> kUnreadable = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Names, MatchCaptureDeviceTest,
    ::testing::Values(
        MatchCase{
            "TwoMatchesLowerIndex", {"HDA Intel PCH", "USB Audio CODEC: A", "USB Audio CODEC: B"}, "usb audio", 1},
        MatchCase{"CaseIgnoredBothWays", {"usb audio codec: - (hw:1,0)"}, "USB AUDIO", 0},
        MatchCase{"SettingInCapitals", {"HDA Intel", "USB AUDIO CODEC"}, "Usb Audio", 1},
        MatchCase{"EmptySettingFirstDevice", {"HDA Intel", "USB Audio CODEC"}, "", 0},
        MatchCase{"EmptySettingSkipsUnreadable", {kUnreadable, "USB Audio CODEC"}, "", 1},
        MatchCase{"UnreadableNotMatched", {kUnreadable, "box two"}, "box", 1},
        MatchCase{"NoMatch", {"HDA Intel", "pulse"}, "usb", std::nullopt}, MatchCase{"NoDevices", {}, "", std::nullopt},
        MatchCase{"WholeNameSearched", {"USB Audio CODEC (simulated line box)"}, "simulated line box", 0}),
    [](const ::testing::TestParamInfo<MatchCase>& info) { return std::string(info.param.name); });

TEST(SampleRingTest, KeepsOrderAcrossTheWrapAndRefusesOverflow) {
    SampleRing ring(10);
    int16_t next = 0;
    int16_t expected = 0;
    for (int round = 0; round < 7; ++round) {
        int16_t in[7];
        for (int16_t& v : in) v = next++;
        ASSERT_EQ(ring.Write(in, 7), 7u);
        int16_t out[7] = {};
        ASSERT_TRUE(ring.Read(out, 7));
        for (int16_t v : out) EXPECT_EQ(v, expected++);
    }
    int16_t in[12] = {};
    EXPECT_EQ(ring.Write(in, 12), 10u);
    EXPECT_EQ(ring.Available(), 10u);
    int16_t out[11];
    EXPECT_FALSE(ring.Read(out, 11));
    EXPECT_TRUE(ring.Read(out, 10));
    EXPECT_EQ(ring.Available(), 0u);
}

}  // namespace
}  // namespace pell
