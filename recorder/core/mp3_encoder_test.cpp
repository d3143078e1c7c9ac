#include "recorder/core/mp3_encoder.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "recorder/core/testing/mp3_decode.h"
#include "recorder/core/testing/recorder_fakes.h"

namespace pell {
namespace {

struct EncodeCase {
    int32_t rateHz;
    int32_t bitrateKbps;
    bool stereo;
    bool expectInfoFrame;  // the library writes none at bit rates too low for it
};

class Mp3EncoderTest : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(Mp3EncoderTest, TwoSecondsEncodeIntoAFileThatPlaysAtTheInputRateAndReportsItsLength) {
    const EncodeCase& p = GetParam();
    Mp3Encoder encoder;
    ASSERT_EQ(encoder.Open({p.rateHz, p.bitrateKbps, p.stereo}), 0u);
    const size_t perChannel = static_cast<size_t>(p.rateHz) / 2;
    std::vector<uint8_t> bytes;
    for (int block = 0; block < 4; ++block) {
        std::vector<int16_t> stereo = ToneBlock(perChannel, 8000, 3000, perChannel * block);
        std::vector<int16_t> mono(perChannel);
        for (size_t i = 0; i < perChannel; ++i) mono[i] = stereo[2 * i];
        const std::vector<int16_t>& in = p.stereo ? stereo : mono;
        // Fed in encoder-sized chunks as the recorder does.
        for (size_t taken = 0; taken < in.size(); taken += encoder.SamplesPerChunk()) {
            ASSERT_EQ(encoder.Encode(in.data() + taken, std::min(encoder.SamplesPerChunk(), in.size() - taken), bytes),
                      0);
        }
    }
    ASSERT_EQ(encoder.Flush(bytes), 0);
    const std::vector<uint8_t> info = encoder.InfoFrame();
    EXPECT_EQ(!info.empty(), p.expectInfoFrame);
    ASSERT_LE(info.size(), bytes.size());
    std::copy(info.begin(), info.end(), bytes.begin());

    TempDir dir;
    dir.Write("x.mp3", std::string(bytes.begin(), bytes.end()));
    const DecodedMp3 decoded = DecodeMp3File(dir.File("x.mp3"));
    ASSERT_TRUE(decoded.opened);
    EXPECT_FALSE(decoded.decodeError);
    EXPECT_TRUE(decoded.startsWithFrame);
    EXPECT_EQ(decoded.hasInfoFrame, p.expectInfoFrame);
    EXPECT_EQ(decoded.rateHz, p.rateHz);
    EXPECT_EQ(decoded.channels, p.stereo ? 2 : 1);
    EXPECT_NEAR(static_cast<double>(decoded.samplesDecoded), 2.0 * p.rateHz, 1152 * 2);
    EXPECT_NEAR(static_cast<double>(decoded.lengthFromHeader), static_cast<double>(decoded.samplesDecoded), 1152);
}

INSTANTIATE_TEST_SUITE_P(Configurations, Mp3EncoderTest,
                         ::testing::Values(EncodeCase{8000, 8, false, false}, EncodeCase{8000, 24, false, true},
                                           EncodeCase{8000, 24, true, true}, EncodeCase{16000, 32, false, false},
                                           EncodeCase{16000, 64, false, true}, EncodeCase{32000, 128, true, true},
                                           EncodeCase{44100, 320, true, true}));

TEST(Mp3EncoderOpenTest, ImpossibleConfigurationsAreRefusedWithAStatusAndNothingIsEncoded) {
    for (const EncoderConfig config : {EncoderConfig{8000, 0, false}, EncoderConfig{8000, -24, false},
                                       EncoderConfig{0, 24, false}, EncoderConfig{-8000, 24, true}}) {
        Mp3Encoder encoder;
        EXPECT_NE(encoder.Open(config), 0u) << config.sampleRateHz << " Hz " << config.bitrateKbps << " kbit/s";
        EXPECT_FALSE(encoder.IsOpen());
        std::vector<uint8_t> out;
        const int16_t samples[4] = {1, 2, 3, 4};
        EXPECT_NE(encoder.Encode(samples, 4, out), 0);
        EXPECT_TRUE(out.empty());
        EXPECT_TRUE(encoder.InfoFrame().empty());
    }
}

}  // namespace
}  // namespace pell
