#include "player/engine/peak_limiter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace pell {

namespace {

constexpr double kFullScale = 32767.0;

std::int16_t LoadSample(const std::uint8_t* at) {
    std::int16_t value = 0;
    std::memcpy(&value, at, sizeof value);
    return value;
}

void StoreSample(std::uint8_t* at, double value) {
    const auto sample = static_cast<std::int16_t>(std::lround(std::clamp(value, -kFullScale, kFullScale)));
    std::memcpy(at, &sample, sizeof sample);
}

}  // namespace

void PeakLimiter::Configure(int sampleRate, int channels) {
    channels_ = std::clamp(channels, 1, 2);
    const int rate = std::max(sampleRate, 1000);
    lookahead_ = static_cast<std::size_t>(std::max(1, rate * kLookaheadMs / 1000));
    release_ = 1.0 - std::exp(-1000.0 / (static_cast<double>(rate) * kReleaseMs));
    const std::size_t window = lookahead_ + 1;
    delay_.assign(window * static_cast<std::size_t>(channels_), 0.0);
    minQueue_.assign(window, MinEntry{0, 1.0});
    minima_.assign(window, 1.0);
    Reset();
}

void PeakLimiter::Reset() {
    head_ = 0;
    held_ = 0;
    envelope_ = 1.0;
    minHead_ = 0;
    minSize_ = 0;
    std::fill(minima_.begin(), minima_.end(), 1.0);
    minimaAt_ = 0;
    minimaSum_ = static_cast<double>(minima_.size());
    framesIn_ = 0;
}

void PeakLimiter::AdvanceGain(double gain) {
    envelope_ = std::min(gain, envelope_ + (1.0 - envelope_) * release_);
    // Close enough to 1 is 1, so a released limiter passes samples bit for bit again.
    if (envelope_ > 1.0 - 1e-9) envelope_ = 1.0;
    const std::size_t window = minima_.size();
    while (minSize_ > 0 && minQueue_[minHead_].frame + window <= framesIn_) {
        minHead_ = (minHead_ + 1) % window;
        --minSize_;
    }
    while (minSize_ > 0 && minQueue_[(minHead_ + minSize_ - 1) % window].gain >= envelope_) --minSize_;
    minQueue_[(minHead_ + minSize_) % window] = {framesIn_, envelope_};
    ++minSize_;
    const double minimum = minQueue_[minHead_].gain;
    minimaSum_ += minimum - minima_[minimaAt_];
    minima_[minimaAt_] = minimum;
    minimaAt_ = (minimaAt_ + 1) % window;
    if (minimaAt_ == 0) {
        // Re-adding keeps rounding from drifting the sum over hours of playback.
        minimaSum_ = 0;
        for (double m : minima_) minimaSum_ += m;
    }
    ++framesIn_;
}

void PeakLimiter::Push(const std::uint8_t* frame, double makeUp) {
    const std::size_t window = minima_.size();
    double* slot = &delay_[((head_ + held_) % window) * static_cast<std::size_t>(channels_)];
    double peak = 0;
    for (int c = 0; c < channels_; ++c) {
        slot[c] = LoadSample(frame + 2 * static_cast<std::size_t>(c)) * makeUp;
        peak = std::max(peak, std::abs(slot[c]));
    }
    ++held_;
    AdvanceGain(peak > kFullScale ? kCeiling / peak : 1.0);
}

void PeakLimiter::Pop(std::uint8_t* out) {
    const double gain = std::min(1.0, minimaSum_ / static_cast<double>(minima_.size()));
    const double* slot = &delay_[head_ * static_cast<std::size_t>(channels_)];
    for (int c = 0; c < channels_; ++c)
        StoreSample(out + 2 * static_cast<std::size_t>(c), gain == 1.0 ? slot[c] : slot[c] * gain);
    head_ = (head_ + 1) % minima_.size();
    --held_;
}

std::size_t PeakLimiter::Process(std::uint8_t* pcm, std::size_t frames, double makeUp) {
    const std::size_t frameBytes = 2 * static_cast<std::size_t>(channels_);
    std::size_t written = 0;
    for (std::size_t i = 0; i < frames; ++i) {
        Push(pcm + i * frameBytes, makeUp);
        // The frame leaving is older than the one just read, so writing in place is safe.
        if (held_ > lookahead_) Pop(pcm + written++ * frameBytes);
    }
    return written;
}

std::size_t PeakLimiter::Flush(std::uint8_t* out) {
    const std::size_t frameBytes = 2 * static_cast<std::size_t>(channels_);
    const std::size_t count = held_;
    for (std::size_t i = 0; i < count; ++i) {
        // Nothing follows the end, so the frames ahead ask for no reduction.
        AdvanceGain(1.0);
        Pop(out + i * frameBytes);
    }
    return count;
}

}  // namespace pell
