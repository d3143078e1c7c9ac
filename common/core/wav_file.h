// RIFF WAVE files of 16-bit PCM: the header every tool writes and the chunk walk every reader
// shares. The walk checks the file's structure; which formats a reader accepts, and how it says
// no, stays with the reader, through a check called as soon as the format chunk has been read.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace pell {

// The highest rate any reader takes; above it a header is garbage, not audio.
inline constexpr uint32_t kMaxWavRateHz = 192000;

struct WavFormat {
    uint16_t formatTag = 0;   // 1 is PCM; an extensible file's sub-format when it names one
    bool extensible = false;  // the header said 0xFFFE
    uint16_t channels = 0;
    uint32_t sampleRateHz = 0;
    uint16_t bitsPerSample = 0;
};

struct WavLayout {
    WavFormat format;
    uint64_t dataOffset = 0;  // bytes from the start of the file to the first sample
    uint32_t dataBytes = 0;   // as the header says; a cut file may hold fewer
};

// The 44-byte header of 16-bit PCM with `dataBytes` of samples after it.
std::string WavHeader(uint32_t sampleRateHz, uint16_t channels, uint32_t dataBytes);
// A whole file: the header, then the interleaved samples little-endian.
std::string EncodeWav(uint32_t sampleRateHz, uint16_t channels, const std::vector<int16_t>& samples);
// Writes EncodeWav's bytes to `path`; false with errno set when a write or the close fails.
bool WriteWavFile(const std::string& path, uint32_t sampleRateHz, uint16_t channels,
                  const std::vector<int16_t>& samples);

// Returns "" when a format chunk suits the reader, else the reason, which ends the walk.
using WavFormatCheck = std::function<std::string(const WavFormat&)>;

// Walks `in` from its start to the data chunk and leaves `in` at its first sample. Returns "" or
// the reason the file cannot be read ("not a RIFF WAVE file", "no data chunk", ...). With
// `chunksMustFit` a chunk that claims more bytes than the file holds is an error; without it a cut
// recording still reads up to where it stops.
std::string ReadWavLayout(std::istream& in, const WavFormatCheck& check, bool chunksMustFit, WavLayout& layout);

}  // namespace pell
