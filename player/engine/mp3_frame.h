#pragma once

// MPEG audio frame headers and the arithmetic around them: header validity and parsing, frame
// sizes, samples per frame, the Xing VBR header, the stream's measured length and the byte
// offset of a position in seconds. Pure functions; the stream work lives in WMp3.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace pell {

inline constexpr std::array<int, 9> kSampleRates = {44100, 48000, 32000, 22050, 24000, 16000, 11025, 12000, 8000};

// kbit/s by [lsf][layer - 1][bitrate index]; MPEG-2.5 uses the lsf rows.
extern const int kBitrates[2][3][16];

struct FrameHeader {
    int channels = 0;  // 1 for single channel, else 2
    int lsf = 0;       // 1 for MPEG-2 and MPEG-2.5
    int mpeg25 = 0;
    int layer = 0;  // 1, 2 or 3
    int bitrateIndex = 0;
    int sampleRateIndex = 0;  // into kSampleRates
    int padding = 0;
    int size = 0;  // bytes including the 4 header bytes
};

struct XingInfo {
    std::uint32_t flags = 0;
    std::uint32_t frames = 0;
    std::uint32_t bytes = 0;
    std::array<std::uint8_t, 100> toc{};
    std::int32_t quality = -1;
};

inline constexpr std::uint32_t kXingFrames = 1;
inline constexpr std::uint32_t kXingBytes = 2;
inline constexpr std::uint32_t kXingToc = 4;
inline constexpr std::uint32_t kXingQuality = 8;

struct StreamInfo {
    std::uint32_t startOffset = 0;
    std::uint32_t regionLength = 0;
    std::uint32_t audioStart = 0;
    std::uint32_t audioBytes = 0;
    int requiredLayer = -1;  // -1: any
    int requiredSampleRateIndex = -1;
    int requiredChannels = -1;
    int sampleRate = 0;
    int channels = 0;
    int lsf = 0;
    int mpeg25 = 0;
    int layer = 0;
    int samplesPerFrame = 0;
    int vbr = 0;
    int xing = 0;
    std::uint32_t frames = 0;
    std::uint32_t averageFrameBytes = 0;
    std::uint32_t lengthSeconds = 0;
    XingInfo xingInfo;
};

// h: the four header bytes read big-endian.
bool IsValidHeader(std::uint32_t h);
bool ParseFrameHeader(const std::uint8_t* bytes, FrameHeader& header);

// Layer I 384, Layer II 1152, Layer III 1152 for MPEG-1 and 576 for MPEG-2/2.5.
int SamplesPerFrame(int layer, int lsf);

// Side-information bytes of a Layer III frame, which the Xing tag follows.
int SideInfoSize(int lsf, int channels);

// Looks for "Xing" in one whole frame copy; fields that would lie beyond the copy count as absent.
bool ParseXingFrame(std::span<const std::uint8_t> frame, const FrameHeader& header, XingInfo& xing);

// Frames and length from the sampled sizes; zero counts or sizes leave the length at 0.
void FinishMeasurement(StreamInfo& info, std::uint32_t currentHeaderSize, std::uint64_t sampledTotal,
                       std::uint32_t sampledCount);

// Byte offset relative to the audio start, interpolated in the Xing table of contents.
std::uint64_t TocSeekOffset(const StreamInfo& info, std::uint32_t seconds);
// Absolute byte offset of a whole second (already clamped to 0..length).
std::uint64_t ByteOffsetForSeconds(const StreamInfo& info, std::uint32_t seconds);

// Windows' MulDiv: a * b / c rounded to nearest, halves away from zero; -1 when c is 0.
int MulDiv(int a, int b, int c);

struct BufferPlan {
    int framesPerBuffer = 0;  // F: frames of about 100 ms
    int bufferMs = 0;         // M: one frame more than F
    int bufferCount = 0;      // N
};
BufferPlan MakeBufferPlan(int sampleRate, int samplesPerFrame, int totalMs);

// Bytes of one output buffer, as the wave output sizes it.
std::uint32_t OutputBufferBytes(int sampleRate, int channels, int bufferMs);

}  // namespace pell
