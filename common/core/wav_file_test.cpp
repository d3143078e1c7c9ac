#include "common/core/wav_file.h"

#include <gtest/gtest.h>

#include <sstream>

#include "testsupport/temp_dir.h"

namespace pell {
namespace {

std::string Le32(uint32_t v) {
    std::string out;
    for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (8 * i) & 0xFF);
    return out;
}
std::string Chunk(const std::string& id, const std::string& body) {
    return id + Le32(static_cast<uint32_t>(body.size())) + body + std::string(body.size() & 1, '\0');
}
std::string Riff(const std::string& chunks) {
    return "RIFF" + Le32(static_cast<uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}
// A format chunk of `size` bytes: `tag`, 2 channels, 8000 Hz, 16 bits, then zeros.
std::string Fmt(size_t size, uint16_t tag = 1) {
    std::string body = EncodeWav(8000, 2, {}).substr(20, 16) + std::string(24, '\0');
    body[0] = static_cast<char>(tag & 0xFF);
    body[1] = static_cast<char>(tag >> 8);
    return body.substr(0, size);
}

// Takes only PCM, as every reader here does, so the check's verdict shows in the result.
std::string PcmOnly(const WavFormat& f) { return f.formatTag == 1 ? "" : "format " + std::to_string(f.formatTag); }

TEST(WavFileTest, WrittenFilesReadBackWithTheirFormatAndSamples) {
    const std::pair<uint32_t, uint16_t> formats[] = {{8000, 1}, {8000, 2}, {11025, 1}, {16000, 2}, {44100, 2}};
    for (const auto& [rate, channels] : formats) {
        const std::vector<int16_t> samples = {0, 1, -1, 32767, -32768, 258};
        const std::string bytes = EncodeWav(rate, channels, samples);
        std::istringstream in(bytes);
        WavLayout layout;
        ASSERT_EQ(ReadWavLayout(in, PcmOnly, true, layout), "") << rate << " Hz, " << channels;
        EXPECT_EQ(layout.format.channels, channels);
        EXPECT_EQ(layout.format.sampleRateHz, rate);
        EXPECT_EQ(layout.format.bitsPerSample, 16);
        EXPECT_EQ(layout.dataOffset, 44u);
        ASSERT_EQ(layout.dataBytes, samples.size() * 2);
        std::vector<int16_t> back(samples.size());
        in.read(reinterpret_cast<char*>(back.data()), layout.dataBytes);
        EXPECT_EQ(back, samples) << "little-endian samples right after the header";
    }
    TempDir dir;
    ASSERT_TRUE(WriteWavFile(dir.File("x.wav"), 16000, 2, {5, -6}));
    EXPECT_EQ(dir.Read("x.wav"), EncodeWav(16000, 2, {5, -6}));
    EXPECT_FALSE(WriteWavFile(dir.File("missing/x.wav"), 16000, 2, {5, -6}));
}

struct LayoutCase {
    const char* name;
    std::string bytes;
    bool chunksMustFit;
    std::string error;
    uint64_t dataOffset;
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

class ReadWavLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(ReadWavLayoutTest, FindsTheDataChunkOrSaysWhyNot) {
    const LayoutCase& c = GetParam();
    std::istringstream in(c.bytes);
    WavLayout layout;
    EXPECT_EQ(ReadWavLayout(in, PcmOnly, c.chunksMustFit, layout), c.error);
    if (c.error.empty()) {
        EXPECT_EQ(layout.dataOffset, c.dataOffset);
    }
}

const std::string kData = Chunk("data", "abcd");
const std::string kCutData = EncodeWav(8000, 2, {1, 2, 3, 4}).substr(0, 50);

INSTANTIATE_TEST_SUITE_P(
    Files, ReadWavLayoutTest,
    ::testing::Values(
        LayoutCase{"Empty", "", false, "not a RIFF WAVE file", 0},
        LayoutCase{"Rifx", "RIFX" + std::string(40, '\0'), true, "not a RIFF WAVE file", 0},
        LayoutCase{"Text", "hello world, not a wave file", false, "not a RIFF WAVE file", 0},
        LayoutCase{"OddChunkIsPadded", Riff(Chunk("fmt ", Fmt(16)) + Chunk("LIST", "abc") + kData), true, "", 56},
        LayoutCase{"LongFormatChunk", Riff(Chunk("fmt ", Fmt(18)) + kData), true, "", 46},
        LayoutCase{"ShortFormatChunk", Riff(Chunk("fmt ", Fmt(14)) + kData), false, "format chunk too short", 0},
        LayoutCase{"CheckRefusesFormat", Riff(Chunk("fmt ", Fmt(16, 3)) + kData), false, "format 3", 0},
        LayoutCase{"ExtensiblePcm", Riff(Chunk("fmt ", Fmt(26, 0xFFFE).replace(24, 1, "\1")) + kData), false, "", 54},
        LayoutCase{"ExtensibleFloat", Riff(Chunk("fmt ", Fmt(26, 0xFFFE).replace(24, 1, "\3")) + kData), false,
                   "format 3", 0},
        LayoutCase{"DataFirst", Riff(kData + Chunk("fmt ", Fmt(16))), false, "data before the format chunk", 0},
        LayoutCase{"NoFormat", Riff(Chunk("LIST", "ab")), false, "no format chunk", 0},
        LayoutCase{"NoData", EncodeWav(8000, 2, {}).substr(0, 36), false, "no data chunk", 0},
        LayoutCase{"CutDataReadsWhatIsThere", kCutData, false, "", 44},
        LayoutCase{"CutDataWhenChunksMustFit", kCutData, true, "chunk \"data\" runs past the end of the file", 0},
        LayoutCase{"CutListWhenChunksMustFit", Riff(Chunk("fmt ", Fmt(16))) + "LIST" + Le32(9), true,
                   "chunk \"LIST\" runs past the end of the file", 0}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pell
