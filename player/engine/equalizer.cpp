#include "player/engine/equalizer.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "common/core/paths.h"

namespace pell {

int EqualizerBands::Set(int preamp, int band, int gain) {
    if (preamp < -5 || preamp > 5) return 0;
    if (band >= 1 && band <= 10) {
        if (gain < -10 || gain > 10) return 0;
        const SubbandRange range = kBandSubbands[static_cast<std::size_t>(band - 1)];
        for (int k = range.first; k <= range.last; ++k) bandRow_[static_cast<std::size_t>(k)] = gain + 10;
    }
    Recompute(preamp);
    return 1;
}

void EqualizerBands::Recompute(int preamp) {
    const double pre = kPreampFactors[static_cast<std::size_t>(preamp + 5)];
    for (std::size_t k = 0; k < 32; ++k) gains_[k] = pre * kBandFactors[static_cast<std::size_t>(bandRow_[k])];
}

EqualizerCall EqualizerCallForSlider(const EqualizerSliders& sliders, int k) {
    const int preamp = 5 - sliders[10];
    if (k >= 0 && k < 10) return {preamp, k + 1, 10 - sliders[static_cast<std::size_t>(k)]};
    return {preamp, 0, 0};
}

EqualizerSliders LoadEqualizer(std::string_view fileText, const EqualizerSliders& current) {
    EqualizerSliders out = current;
    std::size_t at = 0;
    for (std::size_t i = 0; i < out.size() && at < fileText.size(); ++i) {
        std::size_t end = fileText.find('\n', at);
        if (end == std::string_view::npos) end = fileText.size();
        std::string line(fileText.substr(at, end - at));
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        const int value = std::atoi(line.c_str());
        const int maxPosition = i < 10 ? 21 : 11;
        out[i] = std::clamp(value, 0, maxPosition);
    }
    return out;
}

std::string SaveEqualizer(const EqualizerSliders& sliders) {
    std::string text;
    for (int position : sliders) text += std::to_string(position) + "\r\n";
    return text;
}

std::optional<std::string> ReadEqualizerFile(const std::string& folder) {
    std::ifstream in(JoinPath(folder, kEqualizerFileName), std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool WriteEqualizerFile(const std::string& folder, const EqualizerSliders& sliders) {
    std::ofstream out(JoinPath(folder, kEqualizerFileName), std::ios::binary | std::ios::trunc);
    if (!out) return false;
    const std::string text = SaveEqualizer(sliders);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return static_cast<bool>(out.flush());
}

}  // namespace pell
