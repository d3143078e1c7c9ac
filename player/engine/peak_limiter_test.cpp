#include "player/engine/peak_limiter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "player/engine/testing/mp3_fixtures.h"

namespace pell {
namespace {

std::vector<std::uint8_t> Bytes(const std::vector<std::int16_t>& samples) {
    std::vector<std::uint8_t> bytes(samples.size() * 2);
    std::memcpy(bytes.data(), samples.data(), bytes.size());
    return bytes;
}

std::vector<std::int16_t> Samples(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// Runs pcm through a limiter in chunks of the given frames (cycled), then flushes it.
std::vector<std::int16_t> Limit(const std::vector<std::int16_t>& pcm, int rate, int channels, double makeUp,
                                const std::vector<std::size_t>& chunks = {4096}) {
    PeakLimiter limiter;
    limiter.Configure(rate, channels);
    std::vector<std::uint8_t> bytes = Bytes(pcm);
    const std::size_t frameBytes = 2 * static_cast<std::size_t>(channels);
    const std::size_t frames = bytes.size() / frameBytes;
    std::vector<std::uint8_t> out;
    std::size_t at = 0;
    for (std::size_t c = 0; at < frames; ++c) {
        const std::size_t n = std::min(chunks[c % chunks.size()], frames - at);
        std::uint8_t* chunk = bytes.data() + at * frameBytes;
        const std::size_t written = limiter.Process(chunk, n, makeUp);
        out.insert(out.end(), chunk, chunk + written * frameBytes);
        at += n;
    }
    std::vector<std::uint8_t> tail(limiter.HeldFrames() * frameBytes);
    EXPECT_EQ(limiter.Flush(tail.data()) * frameBytes, tail.size());
    out.insert(out.end(), tail.begin(), tail.end());
    return Samples(out);
}

int Peak(const std::vector<std::int16_t>& pcm) {
    int peak = 0;
    for (std::int16_t s : pcm) peak = std::max(peak, std::abs(static_cast<int>(s)));
    return peak;
}

TEST(PeakLimiterTest, KeepsEveryBoostWithinFullScaleWithoutClipping) {
    struct Case {
        const char* name;
        int rate;
        int channels;
        double amplitude;
        double makeUp;
    } cases[] = {
        {"all bands at +10 on a loud sweep", 8000, 1, 20000, 5.08},
        {"preamp and band at +10 together", 8000, 1, 12000, 2.12 * 5.08},
        {"stereo at 44.1 kHz", 44100, 2, 30000, 2.0},
        {"full-scale input at make-up 1", 16000, 1, 32767, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto pcm = testing::MakeSweep(c.rate, c.channels, 2.0, 100, c.rate / 2.0 * 0.9, c.amplitude);
        const auto out = Limit(pcm, c.rate, c.channels, c.makeUp, {577, 64, 1152});
        ASSERT_EQ(out.size(), pcm.size());
        EXPECT_LE(Peak(out), 32767);
        if (c.amplitude * c.makeUp > 32767) {
            EXPECT_LE(Peak(out), PeakLimiter::kCeiling + 1);
        }
        // Only samples already at full scale in the input (make-up 1 passes them as they are) sit there.
        const auto atFullScale = [](const std::vector<std::int16_t>& v) {
            return std::count_if(v.begin(), v.end(), [](std::int16_t s) { return std::abs(s) >= 32767; });
        };
        EXPECT_EQ(atFullScale(out), c.makeUp == 1.0 ? atFullScale(pcm) : 0);
    }
}

TEST(PeakLimiterTest, SamplesThatFitPassBitForBitWithTheirCountKept) {
    struct Case {
        const char* name;
        int channels;
        double amplitude;
        double makeUp;
        std::vector<std::size_t> chunks;
    } cases[] = {
        {"make-up 1, one chunk", 1, 9000, 1.0, {100000}},
        {"make-up 1, frame-sized chunks", 2, 9000, 1.0, {1152}},
        {"make-up 1, chunks shorter than the look-ahead", 1, 32767, 1.0, {1, 3, 7}},
        {"a boost that fits keeps its factor", 1, 2000, 4.0, {576}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto pcm = testing::MakeTone({8000, c.channels, 1.0, 300, 700, c.amplitude});
        const auto out = Limit(pcm, 8000, c.channels, c.makeUp, c.chunks);
        ASSERT_EQ(out.size(), pcm.size());
        for (std::size_t i = 0; i < pcm.size(); ++i)
            ASSERT_EQ(out[i], static_cast<std::int16_t>(std::lround(pcm[i] * c.makeUp))) << "sample " << i;
    }
}

TEST(PeakLimiterTest, GainRampsDownBeforeAPeakAndReleasesSlowly) {
    // Quiet tone, one loud burst in the middle, quiet again.
    constexpr int kRate = 8000;
    std::vector<std::int16_t> pcm = testing::MakeTone({kRate, 1, 1.0, 200, 0, 1000});
    for (std::size_t i = 4000; i < 4080; ++i) pcm[i] = static_cast<std::int16_t>(pcm[i] * 20);
    const double makeUp = 3.0;
    const auto out = Limit(pcm, kRate, 1, makeUp, {333});
    ASSERT_EQ(out.size(), pcm.size());
    PeakLimiter probe;
    probe.Configure(kRate, 1);
    const std::size_t lookahead = probe.LookaheadFrames();
    EXPECT_EQ(lookahead, 40u);
    EXPECT_LE(Peak(out), PeakLimiter::kCeiling + 1);
    // Well before the burst (beyond the look-ahead) the boost is whole.
    for (std::size_t i = 0; i < 4000 - lookahead - 1; ++i) ASSERT_EQ(out[i], std::lround(pcm[i] * makeUp)) << i;
    // The gain the limiter applied, where the input is large enough to read it.
    double previous = 1.0;
    for (std::size_t i = 4000 - lookahead; i < 4000; ++i) {
        if (std::abs(pcm[i]) < 500) continue;
        const double gain = out[i] / (pcm[i] * makeUp);
        EXPECT_LE(gain, previous + 1e-3) << i;
        previous = gain;
    }
    // 50 ms after the burst the gain is still coming back up, and back near 1 after half a second.
    const auto gainAt = [&](std::size_t from) {
        double g = 0;
        for (std::size_t i = from; i < from + 40; ++i)
            if (std::abs(pcm[i]) > 800) g = std::max(g, out[i] / (pcm[i] * makeUp));
        return g;
    };
    EXPECT_LT(gainAt(4480), 0.9);
    EXPECT_GT(gainAt(7900), 0.99);
}

TEST(PeakLimiterTest, ResetDropsWhatItHeldAndStartsAFreshRun) {
    PeakLimiter limiter;
    limiter.Configure(8000, 1);
    std::vector<std::uint8_t> loud = Bytes(std::vector<std::int16_t>(100, 30000));
    EXPECT_EQ(limiter.Process(loud.data(), 100, 3.0), 100u - limiter.LookaheadFrames());
    EXPECT_EQ(limiter.HeldFrames(), limiter.LookaheadFrames());
    limiter.Reset();
    EXPECT_EQ(limiter.HeldFrames(), 0u);
    std::vector<std::uint8_t> quiet = Bytes(std::vector<std::int16_t>(100, 1000));
    const std::size_t written = limiter.Process(quiet.data(), 100, 1.0);
    for (std::int16_t s :
         Samples(std::vector<std::uint8_t>(quiet.begin(), quiet.begin() + static_cast<std::ptrdiff_t>(2 * written))))
        EXPECT_EQ(s, 1000);
}

TEST(PeakLimiterTest, NoiseAtAnyBoostNeverLeavesFullScale) {
    const std::uint32_t seed = std::random_device{}();
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> sample(-32768, 32767);
    std::uniform_real_distribution<double> boost(1.0, 12.0);
    std::vector<std::int16_t> pcm(20000);
    for (auto& s : pcm) s = static_cast<std::int16_t>(sample(random));
    const auto out = Limit(pcm, 22050, 2, boost(random), {1, 500, 17});
    ASSERT_EQ(out.size(), pcm.size());
    EXPECT_LE(Peak(out), PeakLimiter::kCeiling + 1);
}

}  // namespace
}  // namespace pell
