#include "recorder/devices/capture_format.h"

#include <algorithm>
#include <cctype>

namespace pell {

uint32_t EffectiveSampleRate(int32_t configuredHz) {
    // Below 2 Hz a half-second block holds no frame, and empty blocks would follow one another
    // without pause.
    if (configuredHz < 2 || configuredHz > kMaxSampleRate) return kFallbackSampleRate;
    return static_cast<uint32_t>(configuredHz);
}

size_t FramesPerBlock(uint32_t sampleRateHz) { return sampleRateHz / 2; }

std::string ToLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::optional<size_t> MatchCaptureDevice(const std::vector<std::optional<std::string>>& names,
                                         const std::string& setting) {
    const std::string wanted = ToLower(setting);
    for (size_t i = 0; i < names.size(); ++i) {
        if (!names[i]) continue;
        if (ToLower(*names[i]).find(wanted) != std::string::npos) return i;
    }
    return std::nullopt;
}

}  // namespace pell
