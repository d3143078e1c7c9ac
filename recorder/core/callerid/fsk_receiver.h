// FSK receiver for lines that are not clean: a band-pass front end and one-bit matched filters.
//
// How it works: a band-pass (fourth-order high-pass and low-pass) keeps only the tone band, so
// mains hum and its harmonics, low rumble and energy above the space tone never reach the
// decisions. Each tone is then mixed to 0 Hz and summed over 1.15 bits (a sliding DFT bin, close
// to the non-coherent matched filter of a 1200 bit/s symbol); the bit is the stronger tone. After
// a mark run of more than 50 bits, a change to space starts an asynchronous character: every
// bit is decided where the sum covers it (half a bit after the change, then one bit apart, the
// bit clock pulled half-way to every change inside the character), and a character counts only
// when its stop bit is a mark. It works at any rate from 8000 Hz on, on the samples as they come.
#pragma once

#include <array>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/core/recorder_settings.h"

namespace pell {

// Fourth-order Butterworth high-pass at lowHz followed by fourth-order low-pass at highHz.
class ToneBandFilter {
public:
    ToneBandFilter(double sampleRateHz, double lowHz, double highHz);
    // Adds high shelves that lift a tone at upperToneHz boostDb against one at lowerToneHz: the
    // inverse of a long loop's slope, so the weaker tone's filter no longer sees mostly the
    // stronger tone's leakage.
    void Tilt(double lowerToneHz, double upperToneHz, double boostDb);
    double Step(double x);
    // The filter's gain at hz.
    double GainAt(double hz) const;

private:
    struct Biquad {
        double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
        double z1 = 0, z2 = 0;
        double Step(double x);
        double GainAt(double omega) const;
    };
    double sampleRateHz_;
    std::vector<Biquad> stages_;
};

struct FskTonePair {
    double markHz;
    double spaceHz;
};
// The tones a six-sample correlation table was built for (their cosines at 8000 Hz).
FskTonePair TonesOfTable(const ToneTable& tones);

class FskReceiver {
public:
    // spaceBoostDb > 0 lifts the higher tone (the space tone of both pairs) by that much before
    // the bit decisions: a long loop leaves it that much weaker.
    FskReceiver(double sampleRateHz, FskTonePair tones, double spaceBoostDb = 0);
    void Feed(const int16_t* samples, size_t count);
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    // kMarkRun -> kIdle on a long mark run; kIdle -> kCharacter on a change to space;
    // kCharacter -> kIdle after a good stop bit or a false start, -> kWaitMark after a bad one;
    // kWaitMark -> kIdle on the next mark.
    enum class Frame { kMarkRun, kIdle, kCharacter, kWaitMark };

    void Step(double x);
    void Decide(double spaceness);
    double Crossing(double spaceness) const;

    ToneBandFilter filter_;
    double samplesPerBit_;
    size_t window_;
    std::complex<double> markRotation_, spaceRotation_;
    std::complex<double> markPhasor_{1, 0}, spacePhasor_{1, 0};
    std::complex<double> markSum_, spaceSum_;
    std::vector<std::complex<double>> markRing_, spaceRing_;
    size_t ringPosition_ = 0;
    int64_t sampleIndex_ = 0;
    double previousSpaceness_ = 0;  // (space - mark) / (space + mark) energy of the last sample

    Frame state_ = Frame::kMarkRun;
    int64_t markRunSamples_ = 0;
    double nextDecision_ = 0;  // sample index of the next bit decision
    int32_t bitIndex_ = 0;     // 0 start bit, 1..8 data bits, 9 stop bit
    uint32_t byte_ = 0;
    std::vector<uint8_t> bytes_;
};

}  // namespace pell
