#include "common/core/wav_file.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <istream>

#include "common/core/unique_fd.h"

namespace pell {
namespace {

void PutLittleEndian(std::string& out, uint32_t value, int width) {
    for (int i = 0; i < width; ++i) out += static_cast<char>(value >> (8 * i) & 0xFF);
}

uint32_t LittleEndian(const unsigned char* bytes, int width) {
    uint32_t value = 0;
    for (int i = 0; i < width; ++i) value |= uint32_t{bytes[i]} << (8 * i);
    return value;
}

}  // namespace

std::string WavHeader(uint32_t sampleRateHz, uint16_t channels, uint32_t dataBytes) {
    std::string out = "RIFF";
    PutLittleEndian(out, 36 + dataBytes, 4);
    out += "WAVEfmt ";
    PutLittleEndian(out, 16, 4);
    PutLittleEndian(out, 1, 2);
    PutLittleEndian(out, channels, 2);
    PutLittleEndian(out, sampleRateHz, 4);
    PutLittleEndian(out, sampleRateHz * channels * 2, 4);
    PutLittleEndian(out, channels * 2u, 2);
    PutLittleEndian(out, 16, 2);
    out += "data";
    PutLittleEndian(out, dataBytes, 4);
    return out;
}

std::string EncodeWav(uint32_t sampleRateHz, uint16_t channels, const std::vector<int16_t>& samples) {
    std::string out = WavHeader(sampleRateHz, channels, static_cast<uint32_t>(samples.size() * 2));
    out.reserve(out.size() + samples.size() * 2);
    for (const int16_t sample : samples) PutLittleEndian(out, static_cast<uint16_t>(sample), 2);
    return out;
}

bool WriteWavFile(const std::string& path, uint32_t sampleRateHz, uint16_t channels,
                  const std::vector<int16_t>& samples) {
    const std::string bytes = EncodeWav(sampleRateHz, channels, samples);
    UniqueFd file = UniqueFd::Open(path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    return file && file.WriteAll(bytes.data(), bytes.size()) && file.Close();
}

std::string ReadWavLayout(std::istream& in, const WavFormatCheck& check, bool chunksMustFit, WavLayout& layout) {
    uint64_t fileBytes = UINT64_MAX;
    if (chunksMustFit) {
        in.seekg(0, std::ios::end);
        fileBytes = static_cast<uint64_t>(in.tellg());
        in.seekg(0);
    }
    unsigned char riff[12];
    if (!in.read(reinterpret_cast<char*>(riff), 12) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0) {
        return "not a RIFF WAVE file";
    }
    bool haveFormat = false;
    unsigned char head[8];
    for (uint64_t at = 12; in.read(reinterpret_cast<char*>(head), 8);) {
        const std::string id(reinterpret_cast<const char*>(head), 4);
        const uint32_t size = LittleEndian(head + 4, 4);
        const uint64_t body = at + 8;
        if (chunksMustFit && size > fileBytes - body) return "chunk \"" + id + "\" runs past the end of the file";
        // Chunks start on even offsets: an odd-sized one is followed by a pad byte.
        uint64_t skip = uint64_t{size} + (size & 1);
        if (id == "fmt ") {
            unsigned char b[40] = {};
            const std::streamsize want = std::min<uint32_t>(size, sizeof b);
            const std::streamsize available = in.read(reinterpret_cast<char*>(b), want).gcount();
            if (available < 16) return "format chunk too short";
            WavFormat& format = layout.format;
            format.formatTag = static_cast<uint16_t>(LittleEndian(b, 2));
            format.channels = static_cast<uint16_t>(LittleEndian(b + 2, 2));
            format.sampleRateHz = LittleEndian(b + 4, 4);
            format.bitsPerSample = static_cast<uint16_t>(LittleEndian(b + 14, 2));
            // WAVE_FORMAT_EXTENSIBLE names its real format in the first two bytes of the sub-format.
            format.extensible = format.formatTag == 0xFFFE;
            if (format.extensible && available >= 26) format.formatTag = static_cast<uint16_t>(LittleEndian(b + 24, 2));
            if (std::string why = check(format); !why.empty()) return why;
            haveFormat = true;
            skip -= static_cast<uint64_t>(available);
        } else if (id == "data") {
            if (!haveFormat) return "data before the format chunk";
            layout.dataOffset = body;
            layout.dataBytes = size;
            return {};
        }
        in.seekg(static_cast<std::streamoff>(skip), std::ios::cur);
        at = body + size + (size & 1);
    }
    return haveFormat ? "no data chunk" : "no format chunk";
}

}  // namespace pell
