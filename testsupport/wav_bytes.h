// WAV files that readers must refuse: the suite's own 16-bit PCM file with the format tag and the
// sample width overwritten, the two fields a reader's format check looks at besides channels and rate.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/core/wav_file.h"

namespace pell::testing {

inline std::string WavWithFormat(uint32_t sampleRateHz, uint16_t channels, const std::vector<int16_t>& samples,
                                 uint16_t formatTag, uint16_t bitsPerSample) {
    std::string bytes = EncodeWav(sampleRateHz, channels, samples);
    bytes[20] = static_cast<char>(formatTag & 0xFF);
    bytes[21] = static_cast<char>(formatTag >> 8);
    bytes[34] = static_cast<char>(bitsPerSample & 0xFF);
    bytes[35] = static_cast<char>(bitsPerSample >> 8);
    return bytes;
}

}  // namespace pell::testing
