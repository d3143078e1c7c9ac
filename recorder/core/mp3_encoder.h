// One MP3 encoder stream over libmp3lame: constant bit rate at the channel's rate, mono unless
// stereo, no resampling, original bit set, no CRC, no bit reservoir (so every encode call hands
// back whole frames and a file can be cut between two calls), Info tag frame at the start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct lame_global_struct;

namespace pell {

struct EncoderConfig {
    int32_t sampleRateHz = 8000;
    int32_t bitrateKbps = 24;
    bool stereo = false;  // interleaved left/right input
};

class Mp3Encoder {
public:
    // Status of Open: 0 success.
    static constexpr unsigned long kOutOfMemory = 0xFFFFFFFFul;

    Mp3Encoder() = default;
    ~Mp3Encoder();
    Mp3Encoder(const Mp3Encoder&) = delete;
    Mp3Encoder& operator=(const Mp3Encoder&) = delete;
    Mp3Encoder(Mp3Encoder&& other) noexcept;
    Mp3Encoder& operator=(Mp3Encoder&& other) noexcept;

    // Closes any stream first. 0 on success, kOutOfMemory when no encoder could be made,
    // otherwise the library's refusal of the configuration as a positive number.
    unsigned long Open(const EncoderConfig& config);
    bool IsOpen() const { return lame_ != nullptr; }
    // 16-bit values one encode call takes: one frame's samples times the channels.
    size_t SamplesPerChunk() const { return samplesPerChunk_; }

    // Appends the MP3 bytes of count 16-bit values (interleaved when stereo) to out.
    // 0 on success, else the library's error code as a positive number.
    int Encode(const int16_t* samples, size_t count, std::vector<uint8_t>& out);
    // Appends the last frames. 0 on success.
    int Flush(std::vector<uint8_t>& out);
    // The Info tag frame describing every frame produced so far; empty where the library
    // writes none (bit rates too low for it). Must be taken before Close.
    std::vector<uint8_t> InfoFrame() const;
    void Close();

private:
    lame_global_struct* lame_ = nullptr;
    size_t samplesPerChunk_ = 0;
    bool stereo_ = false;
};

}  // namespace pell
