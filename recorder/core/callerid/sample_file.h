// Block reader for the recorder's temp files: headerless signed 16-bit little-endian mono
// samples, read from the start, so detectors can be fed without holding a whole recording.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace pell {

class SampleFileReader {
public:
    explicit SampleFileReader(const std::string& path);
    ~SampleFileReader();
    SampleFileReader(const SampleFileReader&) = delete;
    SampleFileReader& operator=(const SampleFileReader&) = delete;
    SampleFileReader(SampleFileReader&& other) noexcept;
    SampleFileReader& operator=(SampleFileReader&& other) noexcept;

    bool isOpen() const { return file_ != nullptr; }
    // Fills out with up to maxSamples samples in host order; returns how many were read. Fewer
    // than asked means the end of the file (a trailing odd byte is dropped) or a read error;
    // failed() tells them apart.
    size_t Read(int16_t* out, size_t maxSamples);
    bool failed() const { return file_ == nullptr || std::ferror(file_) != 0; }

private:
    std::FILE* file_ = nullptr;
};

}  // namespace pell
