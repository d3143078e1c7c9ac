#include "player/ui/core/equalizer_labels.h"

#include <cmath>
#include <cstdio>

namespace pell {

std::string FrequencyLabel(double hz) {
    if (!(hz > 0)) return "0";
    const double magnitude = std::pow(10.0, std::floor(std::log10(hz)) - 1);
    const double rounded = std::round(hz / magnitude) * magnitude;
    char text[16];
    if (rounded < 1000) {
        std::snprintf(text, sizeof text, "%.0f", rounded);
    } else if (rounded < 10000 && std::fmod(rounded, 1000) != 0) {
        std::snprintf(text, sizeof text, "%.1fk", rounded / 1000);
    } else {
        std::snprintf(text, sizeof text, "%.0fk", rounded / 1000);
    }
    return text;
}

std::string BandTip(int band, double lowHz, double highHz) {
    char text[64];
    std::snprintf(text, sizeof text, "Band %d: %.0f to %.0f Hz", band, lowHz, highHz);
    return text;
}

}  // namespace pell
