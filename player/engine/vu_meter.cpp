#include "player/engine/vu_meter.h"

#include <cmath>

namespace pell {

std::uint32_t VuWindowBytes(int sampleRate, int channels) {
    return static_cast<std::uint32_t>(sampleRate / 50) * static_cast<std::uint32_t>(channels) * 2;
}

VuWindow ComputeVuWindow(std::uint64_t played, std::uint64_t done, std::uint32_t length, std::uint32_t window,
                         std::uint32_t blockAlign) {
    VuWindow out;
    if (window == 0 || blockAlign == 0 || length / window < 2) return out;
    // The device may report fewer bytes than the completed buffers hold (positions lag).
    std::uint64_t off = played > done ? played - done : 0;
    off -= off % blockAlign;
    if (length < off) {
        out.nextBuffer = true;
        off = 0;
    }
    if (length < off + window + blockAlign) off = length - window - blockAlign;
    out.offset = static_cast<std::uint32_t>(off);
    return out;
}

int VuLevel(double meanMagnitude) {
    if (meanMagnitude < 54.12) return 0;
    return static_cast<int>(std::log10(meanMagnitude / 23169.0) * 38.0 + 100.0);
}

}  // namespace pell
