#pragma once

// The ten-band equalizer works on the decoder's 32 subbands: each band is a fixed group of
// subbands, its setting g (-10..+10) picks a factor from a table, and the preamp p (-5..+5)
// multiplies every subband. Slider positions run the other way: g = 10 - position, p = 5 - position.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace pell {

inline constexpr std::array<double, 21> kBandFactors = {0.112, 0.177, 0.214, 0.251, 0.303, 0.355, 0.527,
                                                        0.5,   0.603, 0.707, 1.0,   1.707, 1.414, 2.0,
                                                        2.121, 2.828, 3.404, 3.98,  4.08,  4.38,  5.08};
inline constexpr std::array<double, 11> kPreampFactors = {0.355, 0.5,   0.603, 0.707, 0.853, 1.0,
                                                          1.207, 1.414, 1.707, 2.0,   2.12};

struct SubbandRange {
    int first;
    int last;
};
// Subbands of bands 1..10 (index 0..9), lowest frequency first.
inline constexpr std::array<SubbandRange, 10> kBandSubbands = {
    {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 7}, {8, 13}, {14, 18}, {19, 23}, {24, 31}}};

// What band 1..10 (index 0..9) covers at a sample rate: each subband is sampleRate / 64 wide.
struct BandFrequencies {
    double lowHz;
    double highHz;
    double centreHz;  // the middle of the range, for a label
};
constexpr BandFrequencies BandFrequenciesAt(int bandIndex, int sampleRate) {
    const SubbandRange range = kBandSubbands[static_cast<std::size_t>(bandIndex)];
    const double width = sampleRate / 64.0;
    const double low = range.first * width;
    const double high = (range.last + 1) * width;
    return {low, high, (low + high) / 2};
}
// The rate of telephone recordings, which the window labels its bands for.
inline constexpr int kLabelSampleRate = 8000;

// Band-factor row (0..20) per subband and the gains they give with the preamp.
class EqualizerBands {
public:
    EqualizerBands() { bandRow_.fill(10); }
    // Same rules and results as WMp3::SetEqualizer.
    int Set(int preamp, int band, int gain);
    const std::array<double, 32>& Gains() const { return gains_; }
    int RowOfSubband(int subband) const { return bandRow_[static_cast<std::size_t>(subband)]; }

private:
    void Recompute(int preamp);
    std::array<int, 32> bandRow_{};
    std::array<double, 32> gains_ = MakeFlat();
    static std::array<double, 32> MakeFlat() {
        std::array<double, 32> g{};
        g.fill(1.0);
        return g;
    }
};

// Slider positions: ten band sliders (0..21, flat 10), then the preamp slider (0..11, flat 5).
using EqualizerSliders = std::array<int, 11>;
inline constexpr EqualizerSliders kFlatSliders = {10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 5};

// The arguments of SetEqualizer for slider k (0..9 a band, 10 the preamp).
struct EqualizerCall {
    int preamp;
    int band;
    int gain;
};
EqualizerCall EqualizerCallForSlider(const EqualizerSliders& sliders, int k);

// eq.ini: one position per line, each ending in CR LF, lines 1..10 the bands, line 11 the preamp.
// Lines present and not empty set their slider (leading decimal, no digits gives 0, kept inside
// the slider's range); the others leave it as it was. Either line end is read.
EqualizerSliders LoadEqualizer(std::string_view fileText, const EqualizerSliders& current);
std::string SaveEqualizer(const EqualizerSliders& sliders);

inline constexpr const char* kEqualizerFileName = "eq.ini";
// Whole-file helpers around the two above; a missing file gives nullopt, a failed write false.
std::optional<std::string> ReadEqualizerFile(const std::string& folder);
bool WriteEqualizerFile(const std::string& folder, const EqualizerSliders& sliders);

}  // namespace pell
