#include "player/engine/stream_volume.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "player/engine/volume.h"

namespace pell {
namespace {

std::vector<std::uint8_t> Constant(std::size_t samples, std::int16_t value) {
    std::vector<std::uint8_t> bytes(samples * 2);
    for (std::size_t i = 0; i < samples; ++i) std::memcpy(bytes.data() + 2 * i, &value, 2);
    return bytes;
}

std::int16_t At(const std::vector<std::uint8_t>& bytes, std::size_t sample) {
    std::int16_t v = 0;
    std::memcpy(&v, bytes.data() + 2 * sample, 2);
    return v;
}

TEST(StreamVolumeTest, SliderPositionsGiveTheDesktopsCubicCurve) {
    struct Case {
        int slider;
        double factor;
    } cases[] = {{32, 1.0}, {31, 0.9092}, {16, 0.1250}, {8, 0.0156}, {1, 0.0000305}, {0, 0.0}};
    for (const Case& c : cases) EXPECT_NEAR(VolumeFactor(SliderToVolume(c.slider)), c.factor, 1e-4) << c.slider;
    StreamVolume volume;
    EXPECT_EQ(volume.Get(), 65535u);
    volume.Set(70000);
    EXPECT_EQ(volume.Get(), 65535u);
}

TEST(StreamVolumeTest, RampGlidesToTheNewVolumeWithinOneBlockAndHoldsIt) {
    struct Case {
        const char* name;
        std::uint32_t from;
        std::uint32_t to;
        int channels;
        std::int16_t firstOfSecondBlock;
    } cases[] = {
        {"full stays bit for bit", 65535, 65535, 1, 16000},
        {"full to half way", 65535, 32768, 2, 2000},
        {"silence to full", 0, 65535, 1, 16000},
        {"half way to nothing", 32768, 0, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VolumeRamp ramp;
        ramp.Reset(c.from);
        const std::size_t frames = 100;
        const std::size_t samples = frames * static_cast<std::size_t>(c.channels);
        auto first = Constant(samples, 16000);
        ramp.Apply(first.data(), frames, c.channels, c.to);
        const double fromValue = 16000 * VolumeFactor(c.from);
        const double toValue = 16000 * VolumeFactor(c.to);
        // The glide starts next to the old level, ends on the new one, and never steps backwards.
        EXPECT_NEAR(At(first, 0), fromValue + (toValue - fromValue) / frames, 1.0);
        EXPECT_NEAR(At(first, samples - 1), toValue, 1.0);
        for (std::size_t f = 1; f < frames; ++f) {
            const int step = At(first, f * static_cast<std::size_t>(c.channels)) -
                             At(first, (f - 1) * static_cast<std::size_t>(c.channels));
            EXPECT_LE(std::abs(step), std::abs(toValue - fromValue) / frames + 1.0);
        }
        auto second = Constant(samples, 16000);
        ramp.Apply(second.data(), frames, c.channels, c.to);
        for (std::size_t i = 0; i < samples; ++i) ASSERT_EQ(At(second, i), c.firstOfSecondBlock) << i;
    }
}

}  // namespace
}  // namespace pell
