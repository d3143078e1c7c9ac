#include "recorder/core/testing/mp3_decode.h"

#include <mpg123.h>

#include <cstring>
#include <fstream>
#include <vector>

namespace pell {

DecodedMp3 DecodeMp3File(const std::string& path) {
    DecodedMp3 out;
    {
        std::ifstream in(path, std::ios::binary);
        std::vector<char> head(4096);
        in.read(head.data(), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<size_t>(in.gcount()));
        const auto* b = reinterpret_cast<const unsigned char*>(head.data());
        out.startsWithFrame = head.size() >= 4 && b[0] == 0xFF && (b[1] & 0xE0) == 0xE0;
        for (size_t i = 0; i + 4 <= std::min<size_t>(head.size(), 200); ++i) {
            if (std::memcmp(head.data() + i, "Info", 4) == 0 || std::memcmp(head.data() + i, "Xing", 4) == 0) {
                out.hasInfoFrame = true;
            }
        }
    }
#if MPG123_API_VERSION < 46
    mpg123_init();
#endif
    int error = MPG123_OK;
    mpg123_handle* handle = mpg123_new(nullptr, &error);
    if (handle == nullptr) return out;
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    if (mpg123_open(handle, path.c_str()) != MPG123_OK) {
        mpg123_delete(handle);
        return out;
    }
    out.opened = true;
    int encoding = 0;
    if (mpg123_getformat(handle, &out.rateHz, &out.channels, &encoding) != MPG123_OK) {
        out.decodeError = true;
    }
    out.lengthFromHeader = mpg123_length(handle);
    std::vector<unsigned char> buffer(65536);
    int64_t bytes = 0;
    for (;;) {
        size_t done = 0;
        const int status = mpg123_read(handle, buffer.data(), buffer.size(), &done);
        bytes += static_cast<int64_t>(done);
        if (status == MPG123_DONE) break;
        if (status == MPG123_NEW_FORMAT || status == MPG123_OK) continue;
        out.decodeError = true;
        break;
    }
    if (out.channels > 0) out.samplesDecoded = bytes / 2 / out.channels;
    mpg123_close(handle);
    mpg123_delete(handle);
    return out;
}

}  // namespace pell
