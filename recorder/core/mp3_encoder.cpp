#include "recorder/core/mp3_encoder.h"

#include <lame/lame.h>

#include <utility>

namespace pell {

Mp3Encoder::~Mp3Encoder() { Close(); }

Mp3Encoder::Mp3Encoder(Mp3Encoder&& other) noexcept
    : lame_(std::exchange(other.lame_, nullptr)), samplesPerChunk_(other.samplesPerChunk_), stereo_(other.stereo_) {}

Mp3Encoder& Mp3Encoder::operator=(Mp3Encoder&& other) noexcept {
    if (this != &other) {
        Close();
        lame_ = std::exchange(other.lame_, nullptr);
        samplesPerChunk_ = other.samplesPerChunk_;
        stereo_ = other.stereo_;
    }
    return *this;
}

unsigned long Mp3Encoder::Open(const EncoderConfig& config) {
    Close();
    lame_global_flags* lame = lame_init();
    if (lame == nullptr) return kOutOfMemory;
    stereo_ = config.stereo;
    lame_set_num_channels(lame, stereo_ ? 2 : 1);
    lame_set_in_samplerate(lame, config.sampleRateHz);
    lame_set_out_samplerate(lame, config.sampleRateHz);
    lame_set_mode(lame, stereo_ ? STEREO : MONO);
    lame_set_VBR(lame, vbr_off);
    lame_set_brate(lame, config.bitrateKbps);
    lame_set_original(lame, 1);
    lame_set_copyright(lame, 0);
    lame_set_extension(lame, 0);
    lame_set_error_protection(lame, 0);
    lame_set_emphasis(lame, 0);
    lame_set_strict_ISO(lame, 0);
    lame_set_disable_reservoir(lame, 1);
    lame_set_bWriteVbrTag(lame, 1);
    // The library tags its own output with an ID3 tag unless told not to; ours is appended at the end.
    lame_set_write_id3tag_automatic(lame, 0);
    const int status = config.sampleRateHz > 0 && config.bitrateKbps > 0 ? lame_init_params(lame) : -1;
    if (status < 0) {
        lame_close(lame);
        return static_cast<unsigned long>(-static_cast<long>(status));
    }
    lame_ = lame;
    samplesPerChunk_ = static_cast<size_t>(lame_get_framesize(lame)) * (stereo_ ? 2 : 1);
    return 0;
}

int Mp3Encoder::Encode(const int16_t* samples, size_t count, std::vector<uint8_t>& out) {
    if (lame_ == nullptr) return 1;
    const size_t frames = stereo_ ? count / 2 : count;
    if (frames == 0) return 0;
    // Worst case the library documents: 1.25 x samples + 7200 bytes.
    const size_t room = frames * 5 / 4 + 7200;
    const size_t before = out.size();
    out.resize(before + room);
    int written;
    if (stereo_) {
        // The library reads the samples only; its signature lacks the const.
        written = lame_encode_buffer_interleaved(lame_, const_cast<int16_t*>(samples), static_cast<int>(frames),
                                                 out.data() + before, static_cast<int>(room));
    } else {
        written = lame_encode_buffer(lame_, samples, nullptr, static_cast<int>(frames), out.data() + before,
                                     static_cast<int>(room));
    }
    out.resize(before + (written > 0 ? static_cast<size_t>(written) : 0));
    return written < 0 ? -written : 0;
}

int Mp3Encoder::Flush(std::vector<uint8_t>& out) {
    if (lame_ == nullptr) return 1;
    const size_t room = 7200 * 4;
    const size_t before = out.size();
    out.resize(before + room);
    const int written = lame_encode_flush(lame_, out.data() + before, static_cast<int>(room));
    out.resize(before + (written > 0 ? static_cast<size_t>(written) : 0));
    return written < 0 ? -written : 0;
}

std::vector<uint8_t> Mp3Encoder::InfoFrame() const {
    std::vector<uint8_t> frame;
    if (lame_ == nullptr) return frame;
    const size_t size = lame_get_lametag_frame(lame_, nullptr, 0);
    if (size == 0) return frame;
    frame.resize(size);
    const size_t copied = lame_get_lametag_frame(lame_, frame.data(), frame.size());
    frame.resize(copied <= size ? copied : 0);
    return frame;
}

void Mp3Encoder::Close() {
    if (lame_ != nullptr) lame_close(lame_);
    lame_ = nullptr;
    samplesPerChunk_ = 0;
}

}  // namespace pell
