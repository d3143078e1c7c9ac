#pragma once

// The level meter reads 20 ms of the buffer the device is playing: where that window starts in
// the buffer, and the 0..105 level of a mean sample magnitude (100 at 23169, 0 below 54.12).

#include <cstdint>

namespace pell {

struct VuWindow {
    bool nextBuffer = false;   // the device has moved past the buffer looked at
    std::uint32_t offset = 0;  // bytes, whole sample frames
};

// Bytes of 20 ms in whole sample frames.
std::uint32_t VuWindowBytes(int sampleRate, int channels);
// played: bytes the device has played; done: bytes of the buffers completed before this one;
// length: valid bytes of the buffer looked at; window: VuWindowBytes.
VuWindow ComputeVuWindow(std::uint64_t played, std::uint64_t done, std::uint32_t length, std::uint32_t window,
                         std::uint32_t blockAlign);
int VuLevel(double meanMagnitude);

}  // namespace pell
