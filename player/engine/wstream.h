#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/core/unique_fd.h"
#include "player/engine/error_text.h"

namespace pell {

// Where a WStream::Seek distance counts from.
enum class SeekFrom { kBegin, kCurrent, kEnd };

// A seekable read-only byte stream over one file, with bounds checked against the length it had
// when opened. Every operation returns 1 on success and 0 with a last-error text on failure.
class WStream {
public:
    WStream() = default;
    WStream(const WStream&) = delete;
    WStream& operator=(const WStream&) = delete;

    int OpenFile(const char* fileName);
    // distance in bytes; files are below 4 GiB, so 64-bit distances reach every byte.
    int Seek(std::int64_t distance, SeekFrom method);
    int Read(void* buffer, std::uint32_t count, std::uint32_t* bytesRead);
    std::uint32_t GetSize() const { return length_; }
    std::uint32_t GetPosition() const { return position_; }
    bool IsOpen() const { return static_cast<bool>(fd_); }
    const std::string& GetError() const { return error_.Get(); }

private:
    UniqueFd fd_;
    std::uint32_t fileSize_ = 0;
    std::uint32_t length_ = 0;
    std::uint32_t position_ = 0;
    // Read-ahead: the engine reads frame by frame, a few hundred bytes at a time.
    std::vector<std::uint8_t> cache_;
    std::uint32_t cacheStart_ = 0;
    std::uint32_t cacheBytes_ = 0;
    ErrorText error_;
};

}  // namespace pell
