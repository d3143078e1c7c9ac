#include "recorder/core/callerid/sample_file.h"

#include <bit>
#include <fcntl.h>

namespace pell {

SampleFileReader::SampleFileReader(const std::string& path) : file_(UniqueFd::Open(path, O_RDONLY)) {}

size_t SampleFileReader::Read(int16_t* out, size_t maxSamples) {
    if (!file_ || maxSamples == 0) return 0;
    const ssize_t bytes = file_.ReadFull(out, maxSamples * 2);
    if (bytes < 0) {
        readFailed_ = true;
        return 0;
    }
    const size_t samples = static_cast<size_t>(bytes) / 2;
    if constexpr (std::endian::native == std::endian::big) {
        for (size_t i = 0; i < samples; ++i) {
            const auto u = static_cast<uint16_t>(out[i]);
            out[i] = static_cast<int16_t>(static_cast<uint16_t>((u >> 8) | (u << 8)));
        }
    }
    return samples;
}

}  // namespace pell
