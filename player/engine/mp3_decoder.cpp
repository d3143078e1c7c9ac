#include "player/engine/mp3_decoder.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>

#include <mpg123.h>

namespace pell {

namespace {

void InitLibraryOnce() {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

}  // namespace

SubbandGains::SubbandGains() {
    for (auto& row : gains_)
        for (auto& gain : row) gain.store(1.0);
}

void SubbandGains::Set(const std::array<double, 32>& gains) {
    for (std::size_t k = 0; k < 32; ++k) {
        gains_[0][k].store(gains[k], std::memory_order_relaxed);
        gains_[1][k].store(gains[k], std::memory_order_relaxed);
    }
    version_.fetch_add(1, std::memory_order_release);
}

void SubbandGains::Enable(bool enable) {
    switch_.store(enable ? 1 : 0, std::memory_order_relaxed);
    version_.fetch_add(1, std::memory_order_release);
}

double SubbandGains::Gain(int channel, int subband) const {
    return gains_[static_cast<std::size_t>(channel)][static_cast<std::size_t>(subband)].load(std::memory_order_relaxed);
}

double MakeUpGainFor(const SubbandGains& gains) {
    if (!gains.Enabled()) return 1.0;
    double largest = 1.0;
    for (int channel = 0; channel < 2; ++channel)
        for (int k = 0; k < 32; ++k) largest = std::max(largest, gains.Gain(channel, k));
    return largest;
}

Mp3Decoder::Mp3Decoder(const SubbandGains* gains) : gains_(gains) {
    InitLibraryOnce();
    int error = MPG123_OK;
    handle_ = mpg123_new(nullptr, &error);
    if (handle_ == nullptr) {
        error_ = std::string("mpg123_new: ") + mpg123_plain_strerror(error);
        return;
    }
    mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    // Every frame's samples are played; nothing is trimmed from the start or the end.
    mpg123_param(handle_, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
    mpg123_format_none(handle_);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i)
        mpg123_format(handle_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
}

Mp3Decoder::~Mp3Decoder() { Release(); }

Mp3Decoder::Mp3Decoder(Mp3Decoder&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      gains_(other.gains_),
      open_(std::exchange(other.open_, false)),
      appliedVersion_(other.appliedVersion_),
      makeUp_(other.makeUp_),
      error_(std::move(other.error_)),
      pending_(other.pending_),
      pendingBytes_(std::exchange(other.pendingBytes_, 0)) {}

Mp3Decoder& Mp3Decoder::operator=(Mp3Decoder&& other) noexcept {
    if (this == &other) return *this;
    Release();
    handle_ = std::exchange(other.handle_, nullptr);
    gains_ = other.gains_;
    open_ = std::exchange(other.open_, false);
    appliedVersion_ = other.appliedVersion_;
    makeUp_ = other.makeUp_;
    error_ = std::move(other.error_);
    pending_ = other.pending_;
    pendingBytes_ = std::exchange(other.pendingBytes_, 0);
    return *this;
}

void Mp3Decoder::Release() noexcept {
    if (handle_ == nullptr) return;
    if (open_) mpg123_close(handle_);
    mpg123_delete(handle_);
    handle_ = nullptr;
    open_ = false;
}

void Mp3Decoder::Init() {
    pendingBytes_ = 0;
    if (handle_ == nullptr) return;
    if (open_) mpg123_close(handle_);
    open_ = mpg123_open_feed(handle_) == MPG123_OK;
    if (!open_) error_ = std::string("mpg123_open_feed: ") + mpg123_strerror(handle_);
    appliedVersion_ = 0;
}

void Mp3Decoder::ApplyGains() {
    if (gains_ == nullptr) return;
    const std::uint32_t version = gains_->Version();
    if (version == appliedVersion_) return;
    appliedVersion_ = version;
    bool flat = !gains_->Enabled();
    for (int channel = 0; channel < 2 && !flat; ++channel) {
        flat = true;
        for (int k = 0; k < 32; ++k)
            if (gains_->Gain(channel, k) != 1.0) flat = false;
        if (!flat) break;
    }
    // A flat setting leaves the synthesis untouched, so it decodes exactly as without equalizer.
    if (flat) {
        mpg123_reset_eq(handle_);
        makeUp_ = 1.0;
        return;
    }
    makeUp_ = MakeUpGainFor(*gains_);
    for (int band = 0; band < 32; ++band) {
        mpg123_eq(handle_, MPG123_LEFT, band, gains_->Gain(0, band) / makeUp_);
        mpg123_eq(handle_, MPG123_RIGHT, band, gains_->Gain(1, band) / makeUp_);
    }
}

int Mp3Decoder::Decode(const std::uint8_t* input, std::size_t inputLength, std::uint8_t* out, std::size_t capacity,
                       std::size_t* done) {
    if (done != nullptr) *done = 0;
    if (!Ready() || done == nullptr) return kMp3Error;
    if (input != nullptr && inputLength > 0 && mpg123_feed(handle_, input, inputLength) != MPG123_OK) {
        error_ = std::string("mpg123_feed: ") + mpg123_strerror(handle_);
        return kMp3Error;
    }
    if (pendingBytes_ > 0) {
        if (pendingBytes_ > capacity) return kMp3NeedMore;
        std::memcpy(out, pending_.data(), pendingBytes_);
        *done = pendingBytes_;
        pendingBytes_ = 0;
        return kMp3Ok;
    }
    ApplyGains();
    for (;;) {
        off_t frameNumber = 0;
        unsigned char* audio = nullptr;
        std::size_t bytes = 0;
        const int r = mpg123_decode_frame(handle_, &frameNumber, &audio, &bytes);
        if (r == MPG123_NEW_FORMAT) continue;
        if (r == MPG123_NEED_MORE) return kMp3NeedMore;
        if (r != MPG123_OK) {
            error_ = std::string("mpg123_decode_frame: ") + mpg123_strerror(handle_);
            return kMp3Error;
        }
        if (bytes == 0) continue;
        if (bytes > kMaxFramePcmBytes) return kMp3Error;
        if (bytes > capacity) {
            std::memcpy(pending_.data(), audio, bytes);
            pendingBytes_ = bytes;
            return kMp3NeedMore;
        }
        std::memcpy(out, audio, bytes);
        *done = bytes;
        return kMp3Ok;
    }
}

bool Mp3Decoder::Format(int* sampleRate, int* channels) const {
    if (!Ready()) return false;
    long rate = 0;
    int count = 0;
    int encoding = 0;
    if (mpg123_getformat(handle_, &rate, &count, &encoding) != MPG123_OK) return false;
    *sampleRate = static_cast<int>(rate);
    *channels = count;
    return rate > 0 && count > 0;
}

void Mp3Decoder::Exit() {
    pendingBytes_ = 0;
    if (handle_ != nullptr && open_) {
        mpg123_close(handle_);
        open_ = false;
    }
}

void InitMP3(Mp3Decoder& decoder) { decoder.Init(); }

int DecodeMp3(Mp3Decoder& decoder, const std::uint8_t* input, std::size_t inputLength, std::uint8_t* out,
              std::size_t capacity, std::size_t* done) {
    return decoder.Decode(input, inputLength, out, capacity, done);
}

void ExitMP3(Mp3Decoder& decoder) { decoder.Exit(); }

}  // namespace pell
