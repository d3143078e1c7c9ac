#pragma once

// Test material for the engine: MP3 files encoded at test time from generated PCM with
// libmp3lame, hand-built frame sequences for header and tag edge cases, and libmpg123's own
// decoding of a file as the reference PCM.

#include <cstdint>
#include <string>
#include <vector>

namespace pell::testing {

struct ToneParams {
    int sampleRate = 44100;
    int channels = 2;
    double seconds = 1.0;
    double leftHz = 440.0;
    double rightHz = 660.0;
    double amplitude = 12000.0;
};

// Interleaved 16-bit PCM of a sine per channel.
std::vector<std::int16_t> MakeTone(const ToneParams& tone);

struct EncodeOptions {
    int kbps = 64;        // constant bit rate, or the mean for VBR
    bool vbr = false;     // VBR with a "Xing" header
    bool infoTag = true;  // write LAME's header frame ("Info" for CBR, "Xing" for VBR)
};

// Interleaved 16-bit PCM of a logarithmic sweep from fromHz to toHz, the same on every channel.
std::vector<std::int16_t> MakeSweep(int sampleRate, int channels, double seconds, double fromHz, double toHz,
                                    double amplitude);

std::string EncodeMp3(const std::vector<std::int16_t>& pcm, int sampleRate, int channels, const EncodeOptions& options);
std::string EncodeTone(const ToneParams& tone, const EncodeOptions& options);

// Four header bytes. version: 1 (MPEG-1), 2 (MPEG-2) or 25 (MPEG-2.5); rateBits 0..2.
std::string FrameHeaderBytes(int version, int layer, int bitrateIndex, int rateBits, bool padding, bool mono);
// One frame: the header followed by zero bytes up to its size (silence for Layer III).
std::string SilentFrame(int version, int layer, int bitrateIndex, int rateBits, bool mono);
std::string SilentFrames(int count, int version, int layer, int bitrateIndex, int rateBits, bool mono);
// A Layer III frame carrying a "Xing" header; fields given by flags, table of contents 0..99 scaled.
std::string XingFrame(int version, int bitrateIndex, int rateBits, bool mono, std::uint32_t flags, std::uint32_t frames,
                      const std::vector<std::uint8_t>& toc);
// 128-byte ID3v1 tag and an ID3v2 tag of the given body (with a false frame sync inside if asked).
std::string Id3v1Tag();
std::string Id3v2Tag(std::size_t bodyBytes, bool falseSync);

// libmpg123 decoding the whole file on its own: 16-bit PCM, no gapless trimming.
std::vector<std::uint8_t> ReferenceDecode(const std::string& path, int* channels = nullptr, long* rate = nullptr);

}  // namespace pell::testing
