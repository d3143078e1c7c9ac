#pragma once

// The volume of the player's own output stream: the counterpart of one program's wave-output
// volume. It scales our samples just before they reach the sound system, so the desktop's
// master volume and every other program's sound stay as they are. The window reads and sets it
// as 0..65535 through GetWaveOutVolume and SetWaveOutVolume (slider mapping in volume.h); the
// sound card's callback applies it to every block it hands out, so a change is heard at once.

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace pell {

class StreamVolume {
public:
    static constexpr std::uint32_t kFull = 0xFFFF;

    void Set(std::uint32_t volume) { value_.store(volume > kFull ? kFull : volume, std::memory_order_relaxed); }
    std::uint32_t Get() const { return value_.load(std::memory_order_relaxed); }

private:
    // A program's own stream starts at full: the desktop's volume alone sets how loud that is.
    std::atomic<std::uint32_t> value_{kFull};
};

// The one stream volume of this process, which the sound-card output applies.
StreamVolume& ProcessStreamVolume();
std::uint32_t GetWaveOutVolume();
void SetWaveOutVolume(std::uint32_t volume);

// Sample factor for a volume: cubic, the curve the desktop's own volume sliders follow, so half
// way sounds about half as loud.
double VolumeFactor(std::uint32_t volume);

// Scales 16-bit interleaved PCM by a volume, gliding from the previous block's factor to the
// new one across the block so a change never clicks. Allocation-free, for the audio thread.
class VolumeRamp {
public:
    // Starts at volume without a glide.
    void Reset(std::uint32_t volume) { factor_ = VolumeFactor(volume); }
    void Apply(std::uint8_t* pcm, std::size_t frames, int channels, std::uint32_t volume);

private:
    double factor_ = 1.0;
};

}  // namespace pell
