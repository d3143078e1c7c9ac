#include "player/engine/mp3_decoder.h"

#include <array>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "player/engine/testing/mp3_fixtures.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

static_assert(!std::is_copy_constructible_v<Mp3Decoder> && !std::is_copy_assignable_v<Mp3Decoder>);
static_assert(std::is_nothrow_move_constructible_v<Mp3Decoder> && std::is_nothrow_move_assignable_v<Mp3Decoder>);

// Feeds the whole file and drains every frame.
std::vector<std::uint8_t> DecodeAll(Mp3Decoder& decoder, const std::string& bytes) {
    std::vector<std::uint8_t> pcm;
    std::vector<std::uint8_t> frame(8192);
    std::size_t done = 0;
    int r = DecodeMp3(decoder, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), frame.data(),
                      frame.size(), &done);
    while (r == kMp3Ok) {
        pcm.insert(pcm.end(), frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(done));
        r = DecodeMp3(decoder, nullptr, 0, frame.data(), frame.size(), &done);
    }
    EXPECT_EQ(r, kMp3NeedMore);
    return pcm;
}

TEST(Mp3DecoderTest, AMovedDecoderKeepsItsHandleAndTheEmptyOneRefusesWork) {
    TempDir dir;
    dir.Write("t.mp3", testing::EncodeTone({16000, 1, 1.0, 500, 0, 9000}, {32, false, true}));
    const std::string bytes = dir.Read("t.mp3");
    const std::vector<std::uint8_t> reference = testing::ReferenceDecode(dir.File("t.mp3"));

    Mp3Decoder first(nullptr);
    ASSERT_TRUE(first.Error().empty()) << first.Error();
    InitMP3(first);
    ASSERT_TRUE(first.Ready());
    Mp3Decoder second(std::move(first));
    EXPECT_FALSE(first.Ready());  // NOLINT(bugprone-use-after-move): the moved-from state is the point
    std::uint8_t out[8192];
    std::size_t done = 7;
    EXPECT_EQ(DecodeMp3(first, nullptr, 0, out, sizeof out, &done), kMp3Error);  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(DecodeAll(second, bytes), reference);

    Mp3Decoder third(nullptr);
    third = std::move(second);
    InitMP3(third);
    EXPECT_EQ(DecodeAll(third, bytes), reference);
    ExitMP3(third);
    EXPECT_FALSE(third.Ready());
}

TEST(Mp3DecoderTest, BoostsAreSynthesisedWithHeadroomAndReportedAsMakeUp) {
    struct Case {
        const char* name;
        bool enabled;
        double boost;
        double makeUp;
    } cases[] = {
        {"equalizer off", false, 5.08, 1.0},
        {"cuts only", true, 0.5, 1.0},
        {"a band at +10", true, 5.08, 5.08},
        {"preamp and band at +10", true, 2.12 * 5.08, 2.12 * 5.08},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SubbandGains gains;
        std::array<double, 32> g{};
        g.fill(1.0);
        g[6] = c.boost;
        gains.Set(g);
        gains.Enable(c.enabled);
        EXPECT_DOUBLE_EQ(MakeUpGainFor(gains), c.makeUp);
        Mp3Decoder decoder(&gains);
        InitMP3(decoder);
        TempDir dir;
        dir.Write("t.mp3", testing::EncodeTone({8000, 1, 0.5, 800, 0, 9000}, {16, false, true}));
        EXPECT_FALSE(DecodeAll(decoder, dir.Read("t.mp3")).empty());
        EXPECT_DOUBLE_EQ(decoder.MakeUpGain(), c.makeUp);
    }
}

}  // namespace
}  // namespace pell
