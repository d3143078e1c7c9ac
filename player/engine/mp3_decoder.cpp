#include "player/engine/mp3_decoder.h"

#include <cstring>
#include <mutex>

#include <mpg123.h>

namespace pell {

namespace {

void InitLibraryOnce() {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

void ApplyGains(Mp3DecoderState& state) {
    const std::uint32_t version = state.gainsVersion.load(std::memory_order_acquire);
    if (version == state.appliedVersion) return;
    state.appliedVersion = version;
    bool flat = state.eqSwitch.load(std::memory_order_relaxed) == 0;
    if (!flat) {
        flat = true;
        for (const auto& row : state.gains)
            for (const auto& gain : row)
                if (gain.load(std::memory_order_relaxed) != 1.0) flat = false;
    }
    // A flat setting leaves the synthesis untouched, so it decodes exactly as without equalizer.
    if (flat) {
        mpg123_reset_eq(state.handle);
        return;
    }
    for (int band = 0; band < 32; ++band) {
        mpg123_eq(state.handle, MPG123_LEFT, band, state.gains[0][static_cast<std::size_t>(band)].load());
        mpg123_eq(state.handle, MPG123_RIGHT, band, state.gains[1][static_cast<std::size_t>(band)].load());
    }
}

}  // namespace

Mp3DecoderState::Mp3DecoderState() {
    for (auto& row : gains)
        for (auto& gain : row) gain.store(1.0);
    InitLibraryOnce();
    int error = 0;
    handle = mpg123_new(nullptr, &error);
    if (handle == nullptr) return;
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    // Every frame's samples are played; nothing is trimmed from the start or the end.
    mpg123_param(handle, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
    mpg123_format_none(handle);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i)
        mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
}

Mp3DecoderState::~Mp3DecoderState() {
    if (handle != nullptr) {
        if (open) mpg123_close(handle);
        mpg123_delete(handle);
    }
}

void InitMP3(Mp3DecoderState& state) {
    state.pendingBytes = 0;
    if (state.handle == nullptr) return;
    if (state.open) mpg123_close(state.handle);
    state.open = mpg123_open_feed(state.handle) == MPG123_OK;
    state.appliedVersion = 0;
}

int decodeMP3(Mp3DecoderState& state, const std::uint8_t* input, std::size_t inputLength, std::uint8_t* out,
              std::size_t capacity, std::size_t* done) {
    if (done != nullptr) *done = 0;
    if (state.handle == nullptr || !state.open || done == nullptr) return MP3_ERR;
    if (input != nullptr && inputLength > 0 && mpg123_feed(state.handle, input, inputLength) != MPG123_OK)
        return MP3_ERR;
    if (state.pendingBytes > 0) {
        if (state.pendingBytes > capacity) return MP3_NEED_MORE;
        std::memcpy(out, state.pending.data(), state.pendingBytes);
        *done = state.pendingBytes;
        state.pendingBytes = 0;
        return MP3_OK;
    }
    ApplyGains(state);
    for (;;) {
        off_t frameNumber = 0;
        unsigned char* audio = nullptr;
        std::size_t bytes = 0;
        const int r = mpg123_decode_frame(state.handle, &frameNumber, &audio, &bytes);
        if (r == MPG123_NEW_FORMAT) continue;
        if (r == MPG123_NEED_MORE) return MP3_NEED_MORE;
        if (r != MPG123_OK) return MP3_ERR;
        if (bytes == 0) continue;
        if (bytes > kMaxFramePcmBytes) return MP3_ERR;
        if (bytes > capacity) {
            std::memcpy(state.pending.data(), audio, bytes);
            state.pendingBytes = bytes;
            return MP3_NEED_MORE;
        }
        std::memcpy(out, audio, bytes);
        *done = bytes;
        return MP3_OK;
    }
}

void ExitMP3(Mp3DecoderState& state) {
    state.pendingBytes = 0;
    if (state.handle != nullptr && state.open) {
        mpg123_close(state.handle);
        state.open = false;
    }
}

}  // namespace pell
