// Rules for the half-second capture blocks and for choosing the capture device by name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pell {

inline constexpr uint32_t kFallbackSampleRate = 8000;
inline constexpr int32_t kMaxSampleRate = 48000;
inline constexpr size_t kCaptureChannels = 2;
// Host-side slack behind the two capture buffers, in half-second blocks (10 s), so a main
// thread busy finishing a long recording loses no sound.
inline constexpr size_t kHostBufferBlocks = 20;

// The configured rate, or 8000 Hz for a rate below 2 Hz (no whole frame in a half-second
// block) or above 48000 Hz.
uint32_t EffectiveSampleRate(int32_t configuredHz);
// Frames in a half-second block: rate / 2 rounded down, so a block never splits a frame.
size_t FramesPerBlock(uint32_t sampleRateHz);
// 16-bit values (both channels) in a half-second block.
inline size_t ValuesPerBlock(uint32_t sampleRateHz) { return FramesPerBlock(sampleRateHz) * kCaptureChannels; }

std::string ToLower(std::string text);

// Index of the first device whose lower-cased name contains the lower-cased setting; an empty
// setting matches the first readable device. Unreadable devices (nullopt) are skipped.
std::optional<size_t> MatchCaptureDevice(const std::vector<std::optional<std::string>>& names,
                                         const std::string& setting);

}  // namespace pell
