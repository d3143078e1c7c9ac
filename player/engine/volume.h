#pragma once

// The player's volume slider (0..32) against the system's wave-output volume (0..65535), the
// icon beside it, and the defaults when the mixer cannot be read.

#include <cstdint>

namespace pell {

inline constexpr std::uint32_t kVolumeNoMixer = 32000;
inline constexpr std::uint32_t kVolumeReadFailed = 3200;

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

enum class MixerRead { Ok, NoMixer, NoVolumeControl, ReadFailed };
// The value GetWaveOutVolume reports for what the mixer gave.
inline constexpr std::uint32_t ResolveVolumeRead(MixerRead result, std::uint32_t value) {
    switch (result) {
        case MixerRead::Ok:
            return value > 0xFFFFu ? 0xFFFFu : value;
        case MixerRead::ReadFailed:
            return kVolumeReadFailed;
        default:
            return kVolumeNoMixer;
    }
}

// Mixer steps (min..max) to and from the 0..65535 scale, rounded to nearest.
std::uint32_t MixerToVolume(long value, long min, long max);
long VolumeToMixer(std::uint32_t volume, long min, long max);

}  // namespace pell
