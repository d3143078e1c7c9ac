#include "player/engine/stream_volume.h"

#include <cmath>
#include <cstring>

namespace pell {

StreamVolume& ProcessStreamVolume() {
    static StreamVolume volume;
    return volume;
}

std::uint32_t GetWaveOutVolume() { return ProcessStreamVolume().Get(); }

void SetWaveOutVolume(std::uint32_t volume) { ProcessStreamVolume().Set(volume); }

double VolumeFactor(std::uint32_t volume) {
    if (volume >= StreamVolume::kFull) return 1.0;
    const double linear = static_cast<double>(volume) / StreamVolume::kFull;
    return linear * linear * linear;
}

void VolumeRamp::Apply(std::uint8_t* pcm, std::size_t frames, int channels, std::uint32_t volume) {
    const double target = VolumeFactor(volume);
    if (target == 1.0 && factor_ == 1.0) return;
    const double step = frames > 0 ? (target - factor_) / static_cast<double>(frames) : 0;
    const std::size_t perFrame = static_cast<std::size_t>(channels > 0 ? channels : 1);
    double factor = factor_;
    for (std::size_t f = 0; f < frames; ++f) {
        factor += step;
        for (std::size_t c = 0; c < perFrame; ++c) {
            std::uint8_t* at = pcm + 2 * (f * perFrame + c);
            std::int16_t sample = 0;
            std::memcpy(&sample, at, 2);
            sample = static_cast<std::int16_t>(std::lround(sample * factor));
            std::memcpy(at, &sample, 2);
        }
    }
    factor_ = target;
}

}  // namespace pell
