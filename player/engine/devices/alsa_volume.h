#pragma once

#include <cstdint>

#include "player/engine/volume.h"

namespace pell {

// The system's wave-output volume (0..65535) on the ALSA simple mixer "Master" of "default".
// Reading answers 32000 without a mixer or volume control and 3200 when the read fails;
// setting fails silently.
std::uint32_t GetWaveOutVolume();
void SetWaveOutVolume(std::uint32_t volume);

}  // namespace pell
