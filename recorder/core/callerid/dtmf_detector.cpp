#include "recorder/core/callerid/dtmf_detector.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "recorder/core/callerid/sample_file.h"

namespace pell {
namespace {

constexpr DtmfFilterSet kSetA{
    {3497, 3369, 3212, 3027, 2384, 2040, 1635, 1164}, {103, 104, 103, 102, 106, 102, 103, 103}, 106, 8000.0};
constexpr DtmfFilterSet kSetB{
    {2869, 2617, 2311, 1957, 784, 196, -461, -1174}, {103, 100, 104, 100, 100, 103, 101, 101}, 104, 5512.5};
constexpr int kMaxWindow = 106;
constexpr int64_t kChunkLimit = 65536;
// Amplitude ratios are given in dB as 20 log10, power ratios as 10 log10.
constexpr int64_t kMinLevelSum = 1000;   // sum of |x| over a window: a sine of about -67 dBFS
constexpr int64_t kShortestToneMs = 40;  // the shortest digit a receiver must take
constexpr double kMinToneShare = 0.30;   // -10.5 dB: magnitude against the window's absolute level sum
constexpr double kMinPairPower = 0.60;   // -2.2 dB: the pair's power against the window's, against talk-off
// A strong twist leaves the weaker tone a smaller share: taken when the pair is nearly alone.
constexpr double kWeakToneShare = 0.28;        // -11.1 dB
constexpr double kWeakPairPower = 0.90;        // -0.5 dB
constexpr double kContinuingToneShare = 0.22;  // -13.2 dB: as kMinToneShare, for a tone that goes on
constexpr double kMaxSecondHarmonic = 0.30;    // -10.5 dB: magnitude at 2f against the tone's own
// A key's tone must lie within 1.5 % + 2 Hz and one 3.5 % off must be refused: the limit lies
// half-way, each tone judged on its own.
constexpr double kMaxToneOffsetShare = 0.025;
constexpr double kMaxToneOffsetHz = 1.0;
constexpr double kMinRelativePeak = 2.0;  // 6 dB: a key's tone against the others of its group
// A window whose key has fallen this far below the key's peak is a gap, whatever is left of it:
// an echo or a decaying tail of up to -12 dB must not fill the gap before the next digit.
constexpr double kGapDropPower = 0.125;  // -9 dB
// A key is switched on and off: its two tones rise from, or fall back to, this far below the
// key's strongest window just before or after it. Two notes of music that pass for a key
// mostly sound on around it, under the other notes that hid them.
constexpr double kEdgeDropPower = 0.063;  // -12 dB

constexpr double kToneHz[8] = {697, 770, 852, 941, 1209, 1336, 1477, 1633};

constexpr char kDigits[4][4] = {{'1', '2', '3', 'A'}, {'4', '5', '6', 'B'}, {'7', '8', '9', 'C'}, {'*', '0', '#', 'D'}};

// Two filters per SSE2 register; eight filters run side by side over the same samples.
using Pair = double __attribute__((vector_size(16)));

}  // namespace

bool SelectDtmfFilterSet(int32_t sampleRate, DtmfFilterSet* set, int32_t* step) {
    switch (sampleRate) {
        case 8000:
            *set = kSetA;
            *step = 1;
            return true;
        case 16000:
            *set = kSetA;
            *step = 2;
            return true;
        case 32000:
            *set = kSetA;
            *step = 4;
            return true;
        case 11025:
            *set = kSetB;
            *step = 2;
            return true;
        case 22050:
            *set = kSetB;
            *step = 4;
            return true;
        case 44100:
            *set = kSetB;
            *step = 8;
            return true;
        default:
            return false;
    }
}

char MapDtmfPair(const std::array<bool, 8>& flags) {
    int rows = 0, columns = 0, row = 0, column = 0;
    for (int k = 0; k < 4; ++k) {
        if (flags[k]) ++rows, row = k;
        if (flags[4 + k]) ++columns, column = k;
    }
    return rows == 1 && columns == 1 ? kDigits[row][column] : 0;
}

namespace {

// One window's analysed samples with the level sums the tone decisions need.
struct WindowSamples {
    double x[kMaxWindow];
    int32_t absPrefix[kMaxWindow + 1];  // sum of |x| over the first n samples, for n >= the shortest window
    double energy = 0;                  // sum of x^2 over the Nmax samples (exact in a double)
    int32_t levelSum = 0;               // sum of |x| over the Nmax samples
};

void LoadWindow(const DtmfFilterSet& set, int32_t step, int32_t shortest, const int16_t* window, WindowSamples& w) {
    const int nmax = set.maxWindow;  // even in both sets
    for (int i = 0; i < nmax; ++i) w.x[i] = window[static_cast<ptrdiff_t>(i) * step];
    // Sums of integers stay exact in doubles, so two running sums may be added in any order.
    Pair level{0.0, 0.0}, energy{0.0, 0.0};
    for (int i = 0; i < nmax; i += 2) {
        const Pair v = {w.x[i], w.x[i + 1]};
        level += v < 0.0 ? -v : v;
        energy += v * v;
    }
    w.energy = energy[0] + energy[1];
    auto sum = static_cast<int32_t>(level[0] + level[1]);
    w.levelSum = sum;
    // The per-tone sums differ only by the few samples past the shortest window.
    for (int i = nmax; i-- > shortest;) {
        w.absPrefix[i + 1] = sum;
        sum -= std::abs(static_cast<int32_t>(w.x[i]));
    }
    w.absPrefix[shortest] = sum;
}

int32_t Shortest(const DtmfFilterSet& set) { return *std::min_element(set.window.begin(), set.window.end()); }

// Goertzel magnitudes of the eight tones for `count` windows at once, `lanes` filters per
// vector: the recursions of different windows are independent, so running them together keeps
// the floating-point units busy.
template <typename Vector, int lanes, int count>
[[gnu::always_inline]] inline void GoertzelLanes(const DtmfFilterSet& set, const WindowSamples* const (&w)[count],
                                                 double (&magnitude)[count][8]) {
    constexpr int groups = 8 / lanes;
    Vector coefficient[groups], q1[count][groups], q2[count][groups];
    for (int g = 0; g < groups; ++g) {
        for (int l = 0; l < lanes; ++l) coefficient[g][l] = set.coefficient[g * lanes + l] / 2048.0;
        for (int n = 0; n < count; ++n) q1[n][g] = q2[n][g] = Vector{} + 0.0;
    }
    const int commonLength = Shortest(set);
    for (int i = 0; i < commonLength; ++i) {
#pragma GCC unroll 2
        for (int n = 0; n < count; ++n) {
            const Vector v = Vector{} + w[n]->x[i];
#pragma GCC unroll 4
            for (int g = 0; g < groups; ++g) {
                // Regrouped so only one multiply and one add lie on the recursion's path.
                const Vector q0 = q1[n][g] * coefficient[g] + (v - q2[n][g]);
                q2[n][g] = q1[n][g];
                q1[n][g] = q0;
            }
        }
    }
    for (int n = 0; n < count; ++n) {
        for (int k = 0; k < 8; ++k) {
            const double c = set.coefficient[k] / 2048.0;
            double a = q1[n][k / lanes][k % lanes];
            double b = q2[n][k / lanes][k % lanes];
            for (int i = commonLength; i < set.window[k]; ++i) {
                const double q0 = a * c + (w[n]->x[i] - b);
                b = a;
                a = q0;
            }
            magnitude[n][k] = std::sqrt(a * a + b * b - a * b * c);
        }
    }
}

#if defined(__x86_64__) || defined(__i386__)
#define PELL_DTMF_HAS_AVX2_PATH 1
using Quad = double __attribute__((vector_size(32)));

template <int count>
__attribute__((target("avx2"))) void MagnitudesAvx2(const DtmfFilterSet& set, const WindowSamples* const (&w)[count],
                                                    double (&magnitude)[count][8]) {
    GoertzelLanes<Quad, 4, count>(set, w, magnitude);
}
#endif

bool HasWideVectors() {
#ifdef PELL_DTMF_HAS_AVX2_PATH
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
#else
    return false;
#endif
}

template <int count>
void Magnitudes(const DtmfFilterSet& set, bool wide, const WindowSamples* const (&w)[count],
                double (&magnitude)[count][8]) {
#ifdef PELL_DTMF_HAS_AVX2_PATH
    if (wide) {
        MagnitudesAvx2<count>(set, w, magnitude);
        return;
    }
#endif
    (void)wide;
    GoertzelLanes<Pair, 2, count>(set, w, magnitude);
}

// Goertzel magnitude at twice tone k's frequency over tone k's window.
double SecondHarmonic(const DtmfFilterSet& set, const WindowSamples& w, int k) {
    const double cosine = set.coefficient[k] / 4096.0;
    const double c = 2.0 * (2.0 * cosine * cosine - 1.0);  // 2cos(2 w) from cos(w)
    double q1 = 0, q2 = 0;
    for (int i = 0; i < set.window[k]; ++i) {
        const double q0 = q1 * c - q2 + w.x[i];
        q2 = q1;
        q1 = q0;
    }
    return std::sqrt(std::max(0.0, q1 * q1 + q2 * q2 - q1 * q2 * c));
}

// Per tone, a Hann-windowed DFT kernel at the key's exact frequency over each half of the
// tone's window: the phase the tone turns between the halves is its offset from the key.
struct FrequencyProbe {
    int32_t half = 0;                          // samples per half
    std::vector<std::complex<double>> kernel;  // 2 * half taps
    double hzPerRadian = 0;                    // offset per radian turned between the halves
};

std::array<FrequencyProbe, 8> MakeProbes(const DtmfFilterSet& set) {
    std::array<FrequencyProbe, 8> probes;
    for (size_t k = 0; k < 8; ++k) {
        FrequencyProbe& p = probes[k];
        p.half = set.window[k] / 2;
        const double omega = 2 * std::numbers::pi * kToneHz[k] / set.rateHz;
        for (int32_t n = 0; n < 2 * p.half; ++n) {
            const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * (n % p.half + 0.5) / p.half);
            p.kernel.push_back(std::polar(hann, -omega * n));
        }
        p.hzPerRadian = set.rateHz / (2 * std::numbers::pi * p.half);
    }
    return probes;
}

const std::array<FrequencyProbe, 8>& ProbesOf(const DtmfFilterSet& set) {
    static const std::array<FrequencyProbe, 8> a = MakeProbes(kSetA);
    static const std::array<FrequencyProbe, 8> b = MakeProbes(kSetB);
    return set.rateHz == kSetA.rateHz ? a : b;
}

// The tone's frequency lies within the band of key tone k.
bool OnKeyFrequency(const DtmfFilterSet& set, const WindowSamples& w, int k) {
    const FrequencyProbe& p = ProbesOf(set)[static_cast<size_t>(k)];
    std::complex<double> first, second;
    for (int32_t n = 0; n < p.half; ++n) {
        first += w.x[n] * p.kernel[static_cast<size_t>(n)];
        second += w.x[n + p.half] * p.kernel[static_cast<size_t>(n) + static_cast<size_t>(p.half)];
    }
    const double offsetHz = std::arg(second * std::conj(first)) * p.hzPerRadian;
    return std::abs(offsetHz) <= kMaxToneOffsetShare * kToneHz[k] + kMaxToneOffsetHz;
}

char Decide(const DtmfFilterSet& set, const WindowSamples& w, const double (&magnitude)[8],
            DtmfDetector::KeyLevel* level) {
    *level = {};
    std::array<bool, 8> flags{};
    auto flag = [&](double share) {
        for (int k = 0; k < 8; ++k) {
            const int32_t levelSum = w.absPrefix[set.window[k]];
            flags[k] = levelSum > kMinLevelSum && magnitude[k] * 100.0 / levelSum > share * 100.0;
        }
        return MapDtmfPair(flags);
    };
    char digit = flag(kMinToneShare);
    // A pair at a strong twist leaves its weaker tone a smaller share: taken only when the pair
    // carries nearly all of the window's power, as a key on a quiet line does.
    const bool weak = digit == 0;
    if (weak) digit = flag(kWeakToneShare);
    if (digit == 0) return 0;

    int row = 0, column = 4;
    while (!flags[row]) ++row;
    while (!flags[column]) ++column;
    auto tonePower = [&](int k) {
        const double amplitude = magnitude[k] / set.window[k];
        return 2.0 * amplitude * amplitude;
    };
    const double windowPower = w.energy / set.maxWindow;
    const double pairPower = tonePower(row) + tonePower(column);
    if (pairPower < (weak ? kWeakPairPower : kMinPairPower) * windowPower) return 0;
    // Voiced speech puts energy at twice a tone's frequency (its harmonics come in series); a
    // tone pair has none there. Only the column tone is checked: twice a row tone lies within
    // a window's resolution of the column tones.
    if (SecondHarmonic(set, w, column) > kMaxSecondHarmonic * magnitude[column]) return 0;
    if (!OnKeyFrequency(set, w, row) || !OnKeyFrequency(set, w, column)) return 0;
    // Every other tone of each group well below the key's: chords of music fill a group.
    for (int k = 0; k < 8; ++k) {
        if (k != row && k != column && magnitude[k] * kMinRelativePeak > magnitude[k < 4 ? row : column]) return 0;
    }
    *level = {tonePower(row), tonePower(column)};
    return digit;
}

}  // namespace

double DtmfDetector::KeyPowerAt(int64_t at, char digit) const {
    const int64_t span = static_cast<int64_t>(set_.maxWindow) * step_;
    const int64_t historyStart = origin_ - static_cast<int64_t>(history_.size());
    if (at + span <= 0 && at < historyStart) return 0;  // before the recording: silence
    if (at < historyStart && at >= 0) return -1;        // no longer kept
    const char* const keys = &kDigits[0][0];
    const auto k = static_cast<int>(std::find(keys, keys + 16, digit) - keys);
    if (k == 16) return -1;
    double power = 0;
    for (const int tone : {k / 4, 4 + k % 4}) {
        const double c = set_.coefficient[tone] / 2048.0;
        double q1 = 0, q2 = 0;
        for (int32_t i = 0; i < set_.window[tone]; ++i) {
            const int64_t n = at + static_cast<int64_t>(i) * step_;
            double x = 0;  // outside the recording: silence
            if (n >= origin_ && n - origin_ < chunkCount_) {
                x = chunkData_[n - origin_];
            } else if (n >= historyStart && n < origin_) {
                x = history_[static_cast<size_t>(n - historyStart)];
            }
            const double q0 = q1 * c - q2 + x;
            q2 = q1;
            q1 = q0;
        }
        const double amplitude = std::sqrt(std::max(0.0, q1 * q1 + q2 * q2 - q1 * q2 * c)) / set_.window[tone];
        power += 2.0 * amplitude * amplitude;
    }
    return power;
}

double DtmfDetector::WeakestAround(int64_t from, int64_t direction, char digit) const {
    // Five windows a quarter stride apart, covering two strides beside the key.
    double weakest = -1;
    for (int64_t j = 0; j <= 4; ++j) {
        const int64_t at = direction > 0 ? from + j * stride_ / 4 : from - stride_ - j * stride_ / 4;
        const double power = KeyPowerAt(at, digit);
        if (power >= 0 && (weakest < 0 || power < weakest)) weakest = power;
    }
    return weakest;
}

DtmfDetector::DtmfDetector(int32_t sampleRate, Kernel kernel) : sampleRate_(sampleRate) {
    supported_ = SelectDtmfFilterSet(sampleRate, &set_, &step_);
    wideVectors_ = kernel == Kernel::kFastest && HasWideVectors();
    if (!supported_) return;
    half_ = static_cast<int64_t>(set_.maxWindow / 2) * step_;
    // Three windows of the 8000 Hz set span 40 ms; at 5512.5 Hz two already span 38 ms.
    windowsToHold_ = set_.maxWindow * 3 * step_ <= kShortestToneMs * sampleRate / 1000 ? 3 : 2;
    stride_ = static_cast<int64_t>(set_.maxWindow) * step_;
    chunkSamples_ = static_cast<size_t>(kChunkLimit / stride_ * stride_);
    chunk_.reserve(chunkSamples_);
}

char DtmfDetector::AnalyseWindow(const int16_t* window) const {
    KeyLevel level;
    return AnalyseWindow(window, &level);
}

char DtmfDetector::AnalyseWindow(const int16_t* window, KeyLevel* level) const {
    *level = {};
    WindowSamples w;
    LoadWindow(set_, step_, Shortest(set_), window, w);
    // Every tone's level sum is at most the whole window's: too quiet for any tone.
    if (w.levelSum <= kMinLevelSum) return 0;
    const WindowSamples* const one[1] = {&w};
    double magnitude[1][8];
    Magnitudes<1>(set_, wideVectors_, one, magnitude);
    return Decide(set_, w, magnitude[0], level);
}

bool DtmfDetector::PairContinues(const int16_t* window, char digit) const {
    WindowSamples w;
    LoadWindow(set_, step_, Shortest(set_), window, w);
    if (w.levelSum <= kMinLevelSum) return false;
    const WindowSamples* const one[1] = {&w};
    double magnitude[1][8];
    Magnitudes<1>(set_, wideVectors_, one, magnitude);
    const double* m = magnitude[0];
    int row = 0, column = 4;
    for (int k = 1; k < 4; ++k) {
        if (m[k] > m[row]) row = k;
        if (m[4 + k] > m[column]) column = 4 + k;
    }
    // The strongest tone of each group, each a fair share of the level: a weak tone near the
    // detection limit (strong twist) still continues its digit.
    if (kDigits[row][column - 4] != digit) return false;
    double pairPower = 0;
    for (const int k : {row, column}) {
        if (m[k] < kContinuingToneShare * w.absPrefix[set_.window[k]]) return false;
        const double amplitude = m[k] / set_.window[k];
        pairPower += 2.0 * amplitude * amplitude;
    }
    return pairPower >= kMinPairPower * w.energy / set_.maxWindow;
}

void DtmfDetector::AnalyseWindowPair(const int16_t* first, const int16_t* second, char* firstDigit,
                                     char* secondDigit) const {
    KeyLevel firstLevel, secondLevel;
    AnalyseWindowPair(first, second, firstDigit, secondDigit, &firstLevel, &secondLevel);
}

void DtmfDetector::AnalyseWindowPair(const int16_t* first, const int16_t* second, char* firstDigit, char* secondDigit,
                                     KeyLevel* firstLevel, KeyLevel* secondLevel) const {
    WindowSamples a, b;
    LoadWindow(set_, step_, Shortest(set_), first, a);
    LoadWindow(set_, step_, Shortest(set_), second, b);
    if (a.levelSum <= kMinLevelSum || b.levelSum <= kMinLevelSum) {
        *firstLevel = *secondLevel = {};
        *firstDigit = a.levelSum <= kMinLevelSum ? 0 : AnalyseWindow(first, firstLevel);
        *secondDigit = b.levelSum <= kMinLevelSum ? 0 : AnalyseWindow(second, secondLevel);
        return;
    }
    const WindowSamples* const two[2] = {&a, &b};
    double magnitude[2][8];
    Magnitudes<2>(set_, wideVectors_, two, magnitude);
    *firstDigit = Decide(set_, a, magnitude[0], firstLevel);
    *secondDigit = Decide(set_, b, magnitude[1], secondLevel);
}

void DtmfDetector::AnalyseChunk(const int16_t* samples, int64_t count) {
    chunkData_ = samples;
    chunkCount_ = count;
    const int64_t span = static_cast<int64_t>(set_.maxWindow) * step_;
    int64_t aheadPosition = -1;  // the window analysed ahead with the previous one
    char aheadDigit = 0;
    KeyLevel aheadLevel;
    for (int64_t pos = 0; pos < count && pos + span <= count; pos += stride_) {
        char d = 0;
        KeyLevel level;
        if (pos == aheadPosition) {
            d = aheadDigit;
            level = aheadLevel;
        } else if (pos + stride_ + span <= count) {
            AnalyseWindowPair(samples + pos, samples + pos + stride_, &d, &aheadDigit, &level, &aheadLevel);
            aheadPosition = pos + stride_;
        } else {
            d = AnalyseWindow(samples + pos, &level);
        }
        if (d != 0) d = AgainstPeak(d, &level);
        if (!pending_ && d != 0 && !realign_ && pos > half_ && d != last_) {
            // A new digit: look half a window earlier for the start of its tone.
            pos -= 3 * half_;
            realign_ = true;
            saved_ = d;
            continue;
        }
        if (d != 0 && realign_) {
            realign_ = false;
            startCounted_ = false;
        } else if (d == 0 && realign_) {
            // The earlier window was too early; the first window is analysed again next.
            pos -= half_;
            realign_ = false;
            d = saved_;
            startCounted_ = true;
        }
        if (d != 0) NoteKeyWindow(d, origin_ + pos, origin_ + pos + span, level);
        Debounce(d, samples, count, pos);
    }
}

char DtmfDetector::AgainstPeak(char digit, KeyLevel* level) {
    const double power = level->row + level->column;
    if (digit != peakDigit_) {
        peakDigit_ = digit;
        peakPower_ = power;
    } else if (power < kGapDropPower * peakPower_) {
        *level = {};
        return 0;  // what is left of the key after it ended: echo or tail
    } else {
        peakPower_ = std::max(peakPower_, power);
    }
    return digit;
}

void DtmfDetector::Debounce(char digit, const int16_t* samples, int64_t count, int64_t pos) {
    if (digit == last_) {
        ++count_;
    } else if (!pending_) {
        count_ = 0;
        last_ = digit;
        pending_ = true;
    } else {
        pending_ = false;  // a change right after a change is ignored
    }
    if (count_ < windowsToHold_ - 1) return;
    pending_ = false;
    if (last_ != 0) {
        if (held_ == last_ || LongEnough(samples, count, pos)) Hold(last_);
        return;
    }
    // A gap as long as a key's: the next key has a peak and a run of its own.
    peakDigit_ = 0;
    EndRun();
    if (held_ != 0) Emit();
}

void DtmfDetector::NoteKeyWindow(char digit, int64_t start, int64_t end, const KeyLevel& level) {
    if (digit != run_.key) {
        EndRun();
        run_ = {digit, start, end, 0};
        runRow_ = runColumn_ = 0;
        runHeld_ = false;
        runPeak_ = 0;
        runBefore_ = WeakestAround(start, -1, digit);
    }
    run_.end = std::max(run_.end, end);
    runRow_ += level.row;
    runColumn_ += level.column;
    runPeak_ = std::max(runPeak_, level.row + level.column);
    if (runHeld_) {
        heldKey_ = RunKey();
        heldPeak_ = runPeak_;
    }
}

DtmfKey DtmfDetector::RunKey() const {
    DtmfKey key = run_;
    key.twistDb = runRow_ > 0 && runColumn_ > 0 ? 10 * std::log10(runColumn_ / runRow_) : 0.0;
    return key;
}

void DtmfDetector::EndRun() {
    // A pair that came and went without filling its windows: a key may have been lost there.
    if (run_.key != 0 && !runHeld_) doubts_.push_back(run_.start);
    run_ = {};
    runHeld_ = false;
}

void DtmfDetector::Hold(char digit) {
    if (held_ != 0 && held_ != digit) doubts_.push_back(heldKey_.start);  // replaced without a gap: lost
    held_ = digit;
    if (run_.key == digit) {
        runHeld_ = true;
        heldKey_ = RunKey();
        heldPeak_ = runPeak_;
        heldBefore_ = runBefore_;
    }
}

bool DtmfDetector::SwitchedOnOrOff() const {
    if (heldKey_.key != held_ || heldPeak_ <= 0) return true;  // nothing to judge by
    const double after = WeakestAround(heldKey_.end, 1, held_);
    const double limit = kEdgeDropPower * heldPeak_;
    return (heldBefore_ >= 0 && heldBefore_ <= limit) || (after >= 0 && after <= limit) ||
           (heldBefore_ < 0 && after < 0);
}

void DtmfDetector::Emit() {
    if (!SwitchedOnOrOff()) {
        // Tones that neither rose nor fell with the key: music, not a key. A key may lie there.
        doubts_.push_back(heldKey_.start);
        held_ = 0;
        heldKey_ = {};
        return;
    }
    digits_ += held_;
    keys_.push_back(heldKey_.key == held_ ? heldKey_ : DtmfKey{held_, -1, -1, 0});
    held_ = 0;
    heldKey_ = {};
}

bool DtmfDetector::LongEnough(const int16_t* samples, int64_t count, int64_t pos) const {
    // With its first window counted twice, a digit has filled a stride less than asked: the
    // same pair half a window on (a whole stride where two windows suffice) shows the shortest
    // tone a key gives (40 ms), which a speech harmonic rarely holds.
    if (!startCounted_ || count_ > windowsToHold_ - 1) return true;
    const int64_t after = pos + (windowsToHold_ == 2 ? stride_ : half_);
    if (after + stride_ > count) return true;  // the chunk ends: judged as before
    if (PairContinues(samples + after, last_)) return true;
    // A weak tone (strong twist) may have missed the realignment window: the tone may go back.
    const int64_t before = pos - (windowsToHold_ - 2) * stride_ - half_;
    return before >= 0 && PairContinues(samples + before, last_);
}

void DtmfDetector::KeepHistory(const int16_t* samples, size_t count) {
    const auto keep = static_cast<size_t>(8 * stride_);
    if (count >= keep) {
        history_.assign(samples + (count - keep), samples + count);
    } else {
        history_.insert(history_.end(), samples, samples + count);
        if (history_.size() > keep) history_.erase(history_.begin(), history_.end() - static_cast<ptrdiff_t>(keep));
    }
    chunkData_ = nullptr;
    chunkCount_ = 0;
}

void DtmfDetector::Feed(const int16_t* samples, size_t count) {
    if (!supported_ || finished_) return;
    while (count > 0) {
        if (chunk_.empty() && count >= chunkSamples_) {
            AnalyseChunk(samples, static_cast<int64_t>(chunkSamples_));
            KeepHistory(samples, chunkSamples_);
            origin_ += static_cast<int64_t>(chunkSamples_);
            samples += chunkSamples_;
            count -= chunkSamples_;
            continue;
        }
        const size_t take = std::min(count, chunkSamples_ - chunk_.size());
        chunk_.insert(chunk_.end(), samples, samples + take);
        samples += take;
        count -= take;
        if (chunk_.size() == chunkSamples_) {
            AnalyseChunk(chunk_.data(), static_cast<int64_t>(chunk_.size()));
            KeepHistory(chunk_.data(), chunk_.size());
            origin_ += static_cast<int64_t>(chunk_.size());
            chunk_.clear();
        }
    }
}

std::string DtmfDetector::Finish() {
    if (!supported_) return {};
    if (!finished_) {
        finished_ = true;
        chunkData_ = chunk_.data();
        chunkCount_ = static_cast<int64_t>(chunk_.size());
        if (chunkCount_ >= stride_) AnalyseChunk(chunk_.data(), chunkCount_);
        if (held_ != 0) Emit();
        chunk_.clear();
        chunkData_ = nullptr;
        chunkCount_ = 0;
        EndRun();
    }
    return digits_;
}

DtmfScan DtmfDetector::Scan() {
    Finish();
    return {digits_, keys_, doubts_, supported_ ? sampleRate_ : 0};
}

DtmfScan ScanDtmf(const int16_t* samples, size_t count, int32_t sampleRate) {
    DtmfDetector detector(sampleRate);
    detector.Feed(samples, count);
    return detector.Scan();
}

DtmfScan ScanDtmf(const std::string& tempFilePath, int32_t sampleRate) {
    DtmfDetector detector(sampleRate);
    if (!detector.supported()) return {};
    SampleFileReader reader(tempFilePath);
    if (!reader.isOpen()) return {};
    std::vector<int16_t> buffer(detector.chunkSamples());
    for (;;) {
        const size_t n = reader.Read(buffer.data(), buffer.size());
        detector.Feed(buffer.data(), n);
        if (n < buffer.size()) break;
    }
    if (reader.failed()) return {};  // unreadable: no digits rather than part of them
    return detector.Scan();
}

std::string DetectDtmfDigits(const int16_t* samples, size_t count, int32_t sampleRate) {
    return ScanDtmf(samples, count, sampleRate).digits;
}

std::string DetectDtmfDigits(const std::string& tempFilePath, int32_t sampleRate) {
    return ScanDtmf(tempFilePath, sampleRate).digits;
}

ToneClip ParseToneClip(const std::string& digits) {
    auto untilC = [&](size_t from) {
        const std::string rest = digits.substr(from);
        return rest.substr(0, rest.find('C'));
    };
    if (!digits.empty() && (digits[0] == 'A' || digits[0] == 'D')) return {untilC(1), true};
    if (!digits.empty() && digits[0] == 'B') {
        std::string code = untilC(1);
        if (code == "10")
            code = kWithheldText;
        else if (code == "00")
            code = kUnavailableText;
        return {code, true};
    }
    if (digits.rfind("**", 0) == 0) {
        const std::string rest = digits.substr(2);
        return {rest.empty() ? std::string(kWithheldText) : rest, true};
    }
    return {digits, false};
}

}  // namespace pell
