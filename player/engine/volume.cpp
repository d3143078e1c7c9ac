#include "player/engine/volume.h"

#include <algorithm>

namespace pell {

std::uint32_t MixerToVolume(long value, long min, long max) {
    if (max <= min) return 0;
    const long long clamped = std::clamp(value, min, max) - min;
    const long long span = static_cast<long long>(max) - min;
    return static_cast<std::uint32_t>((clamped * 65535 + span / 2) / span);
}

long VolumeToMixer(std::uint32_t volume, long min, long max) {
    if (max <= min) return min;
    const long long span = static_cast<long long>(max) - min;
    const long long v = std::min<std::uint32_t>(volume, 0xFFFFu);
    return static_cast<long>(min + (v * span + 32767) / 65535);
}

}  // namespace pell
