#pragma once

// A look-ahead peak limiter for the equalizer's boost: it raises 16-bit PCM by a make-up factor
// and keeps the result within full scale without clipping it.
//
// How it works: every frame (one sample per channel) is scaled by its make-up factor and enters
// a delay line of kLookaheadMs. A frame whose scaled peak would pass full scale asks for the
// gain that brings it to kCeiling; the envelope takes that gain at once and releases towards 1
// with a kReleaseMs time constant. The gain applied to the frame leaving the delay line is the
// mean, over the look-ahead, of the envelope's running minimum, so it ramps down over the
// look-ahead before a peak (no step, no click) and is never above what any frame in reach asked
// for. Frames that fit full scale pass unchanged while nothing louder is in reach.
//
// Sample counts are kept: the first kLookaheadMs of a run come out of later calls, and Flush
// hands out what is still held at the end. A streaming object: Configure sizes it (the one call
// that allocates), Reset starts a new run.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pell {

class PeakLimiter {
public:
    static constexpr int kCeiling = 31000;  // about -0.5 dB, so the DAC's inter-sample peaks fit
    static constexpr int kLookaheadMs = 5;
    static constexpr int kReleaseMs = 100;

    void Configure(int sampleRate, int channels);
    // Forgets the held frames and the envelope.
    void Reset();

    // Limits frames interleaved frames of 16-bit little-endian PCM in place, each scaled by makeUp
    // first; returns the frames written from pcm's start (fewer while the look-ahead fills).
    std::size_t Process(std::uint8_t* pcm, std::size_t frames, double makeUp);
    // Writes the held frames to out (room for HeldFrames()); returns how many.
    std::size_t Flush(std::uint8_t* out);
    std::size_t HeldFrames() const { return held_; }
    std::size_t LookaheadFrames() const { return lookahead_; }

private:
    struct MinEntry {
        std::uint64_t frame;
        double gain;
    };
    // Moves the envelope, its running minimum and their mean on by one frame asking for gain.
    void AdvanceGain(double gain);
    void Push(const std::uint8_t* frame, double makeUp);
    void Pop(std::uint8_t* out);

    int channels_ = 1;
    std::size_t lookahead_ = 1;  // D: frames of delay
    double release_ = 0;         // per-frame step of the envelope towards 1
    // Delay line of scaled samples, lookahead_ + 1 frames.
    std::vector<double> delay_;
    std::size_t head_ = 0;
    std::size_t held_ = 0;
    double envelope_ = 1.0;
    // Running minimum of the envelope over the last lookahead_ + 1 frames (a monotonic queue).
    std::vector<MinEntry> minQueue_;
    std::size_t minHead_ = 0;
    std::size_t minSize_ = 0;
    // The last lookahead_ + 1 minima and their sum, for the mean.
    std::vector<double> minima_;
    std::size_t minimaAt_ = 0;
    double minimaSum_ = 0;
    std::uint64_t framesIn_ = 0;
};

}  // namespace pell
