// Block reader for the recorder's temp files: headerless signed 16-bit little-endian mono
// samples, read from the start, so detectors can be fed without holding a whole recording.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/core/unique_fd.h"

namespace pell {

class SampleFileReader {
public:
    explicit SampleFileReader(const std::string& path);

    bool isOpen() const { return static_cast<bool>(file_); }
    // Fills out with up to maxSamples samples in host order; returns how many were read. Fewer
    // than asked means the end of the file (a trailing odd byte is dropped) or a read error;
    // failed() tells them apart.
    size_t Read(int16_t* out, size_t maxSamples);
    bool failed() const { return !file_ || readFailed_; }

private:
    UniqueFd file_;
    bool readFailed_ = false;
};

}  // namespace pell
