#include "tools/pell-mp3/capture_compare.h"

#include <algorithm>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace pell {
namespace {

constexpr int kRate = 8000;

// Noise shaped like speech: bursts and pauses, never periodic, so no false alignment exists.
std::vector<std::int16_t> Talk(double seconds, int channels, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0, 4000);
    const auto frames = static_cast<std::size_t>(seconds * kRate);
    std::vector<std::int16_t> pcm(frames * static_cast<std::size_t>(channels));
    for (std::size_t f = 0; f < frames; ++f) {
        const bool pause = (f / 2400) % 4 == 3;  // 0.3 s of quiet after every 0.9 s
        for (int c = 0; c < channels; ++c)
            pcm[f * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] =
                static_cast<std::int16_t>(pause ? 0.0 : std::clamp(noise(random), -30000.0, 30000.0));
    }
    return pcm;
}

std::vector<std::int16_t> Silence(double ms, int channels) {
    return std::vector<std::int16_t>(static_cast<std::size_t>(ms * kRate / 1000) * static_cast<std::size_t>(channels));
}

TEST(CaptureCompareTest, FindsGapsLostEndsAndClipping) {
    struct Case {
        const char* name;
        int channels;
        double leadMs;
        std::vector<std::pair<double, double>> gaps;  // at, length (ms of reference)
        double cutMs;
        std::size_t clipped;
    } cases[] = {
        {"played whole after a delay", 1, 300, {}, 0, 0},
        {"a 50 ms gap", 1, 120, {{500, 50}}, 0, 0},
        {"two gaps, stereo", 2, 40, {{700, 8}, {2600, 400}}, 0, 0},
        {"the end cut off", 1, 10, {}, 507, 0},
        {"a gap and a cut end", 1, 200, {{1500, 17}}, 83, 0},
        {"clipped samples", 1, 50, {}, 0, 12},
        {"the capture began 52 ms into the sound", 2, -52, {{1600, 30}}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::int16_t> reference = Talk(3.0, c.channels, 7);
        const std::size_t perMs = kRate / 1000 * static_cast<std::size_t>(c.channels);
        std::vector<std::int16_t> capture = Silence(std::max(c.leadMs, 0.0), c.channels);
        std::size_t from = c.leadMs < 0 ? static_cast<std::size_t>(-c.leadMs) * perMs : 0;
        for (const auto& [at, length] : c.gaps) {
            const std::size_t to = static_cast<std::size_t>(at) * perMs;
            capture.insert(capture.end(), reference.begin() + static_cast<std::ptrdiff_t>(from),
                           reference.begin() + static_cast<std::ptrdiff_t>(to));
            const auto silence = Silence(length, c.channels);
            capture.insert(capture.end(), silence.begin(), silence.end());
            from = to;
        }
        const std::size_t end = reference.size() - static_cast<std::size_t>(c.cutMs) * perMs;
        capture.insert(capture.end(), reference.begin() + static_cast<std::ptrdiff_t>(from),
                       reference.begin() + static_cast<std::ptrdiff_t>(end));
        for (std::size_t i = 0; i < c.clipped; ++i) capture[capture.size() / 2 + i] = 32767;
        const auto tail = Silence(250, c.channels);
        capture.insert(capture.end(), tail.begin(), tail.end());

        const CaptureReport report = CompareCapture(reference, capture, kRate, c.channels);
        ASSERT_TRUE(report.aligned);
        EXPECT_NEAR(report.startDelayMs, c.leadMs, 0.2);
        EXPECT_NEAR(report.lostAtStartMs, std::max(-c.leadMs, 0.0), 0.2);
        ASSERT_EQ(report.gaps.size(), c.gaps.size());
        double total = 0;
        for (std::size_t g = 0; g < c.gaps.size(); ++g) {
            EXPECT_NEAR(report.gaps[g].atMs, c.gaps[g].first, kCompareBlockMs);
            EXPECT_NEAR(report.gaps[g].lengthMs, c.gaps[g].second, 0.2);
            total += c.gaps[g].second;
        }
        EXPECT_NEAR(report.gapMs, total, 0.5);
        EXPECT_NEAR(report.lostAtEndMs, c.cutMs, kCompareBlockMs);
        EXPECT_NEAR(report.referenceMs, 3000, 0.2);
        EXPECT_EQ(report.clippedSamples, c.clipped);
        EXPECT_EQ(report.mismatchedBlocks, c.clipped > 0 ? 1u : 0u);
    }
}

TEST(CaptureCompareTest, SoundMissingFromTheCaptureIsNotAligned) {
    const std::vector<std::int16_t> reference = Talk(1.0, 1, 1);
    struct Case {
        const char* name;
        std::vector<std::int16_t> capture;
    } cases[] = {
        {"silence", Silence(2000, 1)},
        {"other sound", Talk(2.0, 1, 2)},
        {"nothing", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CaptureReport report = CompareCapture(reference, c.capture, kRate, 1);
        EXPECT_FALSE(report.aligned);
        EXPECT_EQ(report.gaps.size(), 0u);
    }
}

}  // namespace
}  // namespace pell
