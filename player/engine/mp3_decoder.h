#pragma once

// The engine's MPEG audio decoder: libmpg123 in feed mode behind the three calls the engine
// makes. decodeMP3 hands out one frame of 16-bit PCM (interleaved for two channels) per call.
// The equalizer's 2 x 32 subband gains live here and reach libmpg123 through mpg123_eq before
// the next frame is decoded, so a gain set from another thread never touches the decoder itself.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

struct mpg123_handle_struct;

namespace pell {

inline constexpr int MP3_ERR = -1;
inline constexpr int MP3_OK = 0;
inline constexpr int MP3_NEED_MORE = 1;

// One frame of 1152 samples in two 16-bit channels.
inline constexpr std::size_t kMaxFramePcmBytes = 1152 * 2 * 2;

struct Mp3DecoderState {
    Mp3DecoderState();
    ~Mp3DecoderState();
    Mp3DecoderState(const Mp3DecoderState&) = delete;
    Mp3DecoderState& operator=(const Mp3DecoderState&) = delete;

    // Written by the window's thread, read before each frame by the worker.
    std::array<std::array<std::atomic<double>, 32>, 2> gains;
    std::atomic<int> eqSwitch{0};
    std::atomic<std::uint32_t> gainsVersion{1};

    // Decoder side, used by the worker only.
    mpg123_handle_struct* handle = nullptr;
    bool open = false;
    std::uint32_t appliedVersion = 0;
    // A decoded frame that did not fit the room it was offered; handed out by the next call.
    std::array<std::uint8_t, kMaxFramePcmBytes> pending{};
    std::size_t pendingBytes = 0;
    int lastChannels = 0;
};

// Resets the decoder; the gains and the switch stay.
void InitMP3(Mp3DecoderState& state);
// input may be null with length 0 to drain what was fed before. Returns MP3_OK with one frame's
// PCM in out (*done bytes), MP3_NEED_MORE when the input is used up or the next frame does not
// fit capacity, MP3_ERR when the decoder fails.
int decodeMP3(Mp3DecoderState& state, const std::uint8_t* input, std::size_t inputLength, std::uint8_t* out,
              std::size_t capacity, std::size_t* done);
void ExitMP3(Mp3DecoderState& state);

}  // namespace pell
