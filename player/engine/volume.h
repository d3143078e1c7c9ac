#pragma once

// The player's volume slider (0..32) against the stream volume (0..65535, stream_volume.h) and
// the icon beside it.

#include <cstdint>

namespace pell {

inline constexpr std::uint32_t SliderToVolume(int position) {
    return position < 32 ? static_cast<std::uint32_t>(position < 0 ? 0 : position) << 11 : 0xFFFFu;
}
inline constexpr int VolumeToSlider(std::uint32_t volume) { return static_cast<int>(volume >> 11); }

// Icon resource id for a slider position.
inline constexpr int VolumeIconForSlider(int position) {
    if (position <= 1) return 237;
    if (position <= 9) return 236;
    if (position <= 19) return 234;
    return 235;
}

}  // namespace pell
