#include "recorder/core/callerid/sample_file.h"

#include <bit>
#include <utility>

namespace pell {

SampleFileReader::SampleFileReader(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {}

SampleFileReader::~SampleFileReader() {
    if (file_ != nullptr) std::fclose(file_);
}

SampleFileReader::SampleFileReader(SampleFileReader&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)) {}

SampleFileReader& SampleFileReader::operator=(SampleFileReader&& other) noexcept {
    if (this != &other) {
        if (file_ != nullptr) std::fclose(file_);
        file_ = std::exchange(other.file_, nullptr);
    }
    return *this;
}

size_t SampleFileReader::Read(int16_t* out, size_t maxSamples) {
    if (file_ == nullptr || maxSamples == 0) return 0;
    const size_t bytes = std::fread(out, 1, maxSamples * 2, file_);
    const size_t samples = bytes / 2;
    if constexpr (std::endian::native == std::endian::big) {
        for (size_t i = 0; i < samples; ++i) {
            const auto u = static_cast<uint16_t>(out[i]);
            out[i] = static_cast<int16_t>(static_cast<uint16_t>((u >> 8) | (u << 8)));
        }
    }
    return samples;
}

}  // namespace pell
