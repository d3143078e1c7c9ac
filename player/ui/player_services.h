// What the player window asks of the system, behind interfaces that tests replace: the wave
// output the engine plays into and the output volume of the mixer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "player/engine/wave_output.h"

namespace pell::player {

// The system's wave-output volume, 0..65535. Called on the GUI thread only.
class VolumeMixer {
public:
    virtual ~VolumeMixer() = default;
    virtual std::uint32_t GetWaveOutVolume() = 0;
    virtual void SetWaveOutVolume(std::uint32_t volume) = 0;
};

// Makes the engine's output when the window creates its engine.
using WaveOutputFactory = std::function<std::unique_ptr<WaveOutput>()>;

}  // namespace pell::player
