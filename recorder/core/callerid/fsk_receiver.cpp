#include "recorder/core/callerid/fsk_receiver.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace pell {
namespace {

constexpr double kBitRate = 1200.0;                            // bit/s
constexpr int32_t kMarkBitsToFrame = 50;                       // as the six-sample demodulator: more than 50 marks
constexpr double kButterworthQ[2] = {0.54119610, 1.30656296};  // the two sections of a 4th order
// Summing a little over one bit costs some interference between bits but gains more against
// noise (measured: the last noise and combined failures of the set went at 1.15, and 1.3 lost one).
constexpr double kSumBits = 1.15;
constexpr double kClockPull = 0.5;           // share of a timing error corrected at each change
constexpr int64_t kRenormaliseEvery = 4096;  // samples between phasor renormalisations

// p *= r without the library's infinity and NaN handling, which costs a call per product.
void Rotate(std::complex<double>& p, const std::complex<double>& r) {
    p = {p.real() * r.real() - p.imag() * r.imag(), p.real() * r.imag() + p.imag() * r.real()};
}

}  // namespace

double ToneBandFilter::Biquad::Step(double x) {
    const double y = b0 * x + z1;
    z1 = b1 * x - a1 * y + z2;
    z2 = b2 * x - a2 * y;
    return y;
}

double ToneBandFilter::Biquad::GainAt(double omega) const {
    const std::complex<double> z = std::polar(1.0, -omega);
    return std::abs((b0 + b1 * z + b2 * z * z) / (1.0 + a1 * z + a2 * z * z));
}

ToneBandFilter::ToneBandFilter(double sampleRateHz, double lowHz, double highHz)
    : sampleRateHz_(sampleRateHz), stages_(4) {
    // Both corners stay below Nyquist at every rate the decoder analyses (8000 Hz and up).
    highHz = std::min(highHz, 0.45 * sampleRateHz);
    for (int section = 0; section < 2; ++section) {
        for (const bool highPass : {true, false}) {
            const double w0 = 2 * std::numbers::pi * (highPass ? lowHz : highHz) / sampleRateHz;
            const double alpha = std::sin(w0) / (2 * kButterworthQ[section]);
            const double c = std::cos(w0);
            const double a0 = 1 + alpha;
            Biquad& b = stages_[static_cast<size_t>(section * 2 + (highPass ? 0 : 1))];
            const double edge = highPass ? (1 + c) / 2 : (1 - c) / 2;
            b.b0 = edge / a0;
            b.b1 = (highPass ? -2 * edge : 2 * edge) / a0;
            b.b2 = edge / a0;
            b.a1 = -2 * c / a0;
            b.a2 = (1 - alpha) / a0;
        }
    }
}

double ToneBandFilter::Step(double x) {
    for (Biquad& b : stages_) x = b.Step(x);
    return x;
}

double ToneBandFilter::GainAt(double hz) const {
    double gain = 1;
    for (const Biquad& b : stages_) gain *= b.GainAt(2 * std::numbers::pi * hz / sampleRateHz_);
    return gain;
}

namespace {

// Second-order high shelf (slope 1) with its corner at cornerHz, lifting the highs by gainDb.
void HighShelf(double sampleRateHz, double cornerHz, double gainDb, double& b0, double& b1, double& b2, double& a1,
               double& a2) {
    const double a = std::pow(10.0, gainDb / 40);
    const double w0 = 2 * std::numbers::pi * cornerHz / sampleRateHz;
    const double c = std::cos(w0), alpha = std::sin(w0) / 2 * std::numbers::sqrt2;
    const double root = 2 * std::sqrt(a) * alpha;
    const double a0 = (a + 1) - (a - 1) * c + root;
    b0 = a * ((a + 1) + (a - 1) * c + root) / a0;
    b1 = -2 * a * ((a - 1) + (a + 1) * c) / a0;
    b2 = a * ((a + 1) + (a - 1) * c - root) / a0;
    a1 = 2 * ((a - 1) - (a + 1) * c) / a0;
    a2 = ((a + 1) - (a - 1) * c - root) / a0;
}

}  // namespace

void ToneBandFilter::Tilt(double lowerToneHz, double upperToneHz, double boostDb) {
    if (boostDb <= 0) return;
    // Shelves of at most 6 dB of lift between the tones each, their gain found by bisection.
    const int shelves = static_cast<int>(std::ceil(boostDb / 6.0));
    const double corner = std::sqrt(lowerToneHz * upperToneHz);
    const double omegaLow = 2 * std::numbers::pi * lowerToneHz / sampleRateHz_;
    const double omegaHigh = 2 * std::numbers::pi * upperToneHz / sampleRateHz_;
    Biquad shelf;
    auto lift = [&](double gainDb) {
        HighShelf(sampleRateHz_, corner, gainDb, shelf.b0, shelf.b1, shelf.b2, shelf.a1, shelf.a2);
        return 20 * std::log10(shelf.GainAt(omegaHigh) / shelf.GainAt(omegaLow));
    };
    double below = 0, above = 60;
    for (int i = 0; i < 50; ++i) {
        const double mid = (below + above) / 2;
        (lift(mid) < boostDb / shelves ? below : above) = mid;
    }
    lift(above);
    for (int i = 0; i < shelves; ++i) stages_.push_back(shelf);
}

FskTonePair TonesOfTable(const ToneTable& tones) {
    // Table entry 1 is cos(2 pi f / 7999.2) in Q15 (a period of 6.666 samples at 1200 Hz).
    auto hz = [](int32_t cosine) {
        return std::acos(std::clamp(cosine / 32767.0, -1.0, 1.0)) * 6.666 * 1200 / (2 * std::numbers::pi);
    };
    return {hz(tones.cosMark[1]), hz(tones.cosSpace[1])};
}

FskReceiver::FskReceiver(double sampleRateHz, FskTonePair tones, double spaceBoostDb)
    : filter_(sampleRateHz, 0.6 * std::min(tones.markHz, tones.spaceHz), 1.3 * std::max(tones.markHz, tones.spaceHz)),
      samplesPerBit_(sampleRateHz / kBitRate),
      window_(static_cast<size_t>(std::max(1L, std::lround(kSumBits * samplesPerBit_)))),
      markRotation_(std::polar(1.0, -2 * std::numbers::pi * tones.markHz / sampleRateHz)),
      spaceRotation_(std::polar(1.0, -2 * std::numbers::pi * tones.spaceHz / sampleRateHz)),
      markRing_(window_),
      spaceRing_(window_) {
    filter_.Tilt(std::min(tones.markHz, tones.spaceHz), std::max(tones.markHz, tones.spaceHz), spaceBoostDb);
}

void FskReceiver::Feed(const int16_t* samples, size_t count) {
    for (size_t i = 0; i < count; ++i) Step(samples[i]);
}

void FskReceiver::Step(double x) {
    x = filter_.Step(x);
    const std::complex<double> mark = x * markPhasor_;
    const std::complex<double> space = x * spacePhasor_;
    markSum_ += mark - markRing_[ringPosition_];
    spaceSum_ += space - spaceRing_[ringPosition_];
    markRing_[ringPosition_] = mark;
    spaceRing_[ringPosition_] = space;
    ringPosition_ = ringPosition_ + 1 == window_ ? 0 : ringPosition_ + 1;
    Rotate(markPhasor_, markRotation_);
    Rotate(spacePhasor_, spaceRotation_);
    if (++sampleIndex_ % kRenormaliseEvery == 0) {
        markPhasor_ /= std::abs(markPhasor_);
        spacePhasor_ /= std::abs(spacePhasor_);
    }
    const double markEnergy = std::norm(markSum_), spaceEnergy = std::norm(spaceSum_);
    const double total = markEnergy + spaceEnergy;
    const double spaceness = total > 0 ? (spaceEnergy - markEnergy) / total : 0.0;
    Decide(spaceness);
    previousSpaceness_ = spaceness;
}

double FskReceiver::Crossing(double spaceness) const {
    // Where the soft value passed zero between the previous sample and this one.
    const double now = static_cast<double>(sampleIndex_);
    const double step = spaceness - previousSpaceness_;
    if (step == 0) return now;
    return now - std::clamp(spaceness / step, 0.0, 1.0);
}

void FskReceiver::Decide(double spaceness) {
    const bool mark = spaceness < 0;
    const double now = static_cast<double>(sampleIndex_);
    switch (state_) {
        case Frame::kMarkRun:
            markRunSamples_ = mark ? markRunSamples_ + 1 : 0;
            if (static_cast<double>(markRunSamples_) > kMarkBitsToFrame * samplesPerBit_) state_ = Frame::kIdle;
            break;
        case Frame::kWaitMark:
            if (mark) state_ = Frame::kIdle;
            break;
        case Frame::kIdle:
            if (!mark) {
                // The one-bit sum turns to space half a bit after the start bit began.
                nextDecision_ = Crossing(spaceness) + samplesPerBit_ / 2;
                bitIndex_ = 0;
                byte_ = 0;
                state_ = Frame::kCharacter;
            }
            break;
        case Frame::kCharacter:
            if (mark != (previousSpaceness_ < 0) && bitIndex_ > 0) {
                // Every change inside a character pulls the bit clock half-way to it.
                const double error = Crossing(spaceness) - (nextDecision_ - samplesPerBit_ / 2);
                nextDecision_ += kClockPull * std::clamp(error, -samplesPerBit_ / 2, samplesPerBit_ / 2);
            }
            if (now + 0.5 < nextDecision_) break;
            if (bitIndex_ == 0 && mark) {
                state_ = Frame::kIdle;  // a glitch, not a start bit
                break;
            }
            if (bitIndex_ >= 1 && bitIndex_ <= 8 && mark) byte_ |= 1u << (bitIndex_ - 1);
            if (bitIndex_ == 9) {
                if (mark) bytes_.push_back(static_cast<uint8_t>(byte_));
                state_ = mark ? Frame::kIdle : Frame::kWaitMark;
                break;
            }
            ++bitIndex_;
            nextDecision_ += samplesPerBit_;
            break;
    }
}

}  // namespace pell
