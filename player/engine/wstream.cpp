#include "player/engine/wstream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace pell {

namespace {
constexpr std::uint32_t kCacheBytes = 65536;

// Last-error texts, character for character as the stream has always stored them (a closed
// stream's Read reports under Seek's name).
constexpr std::string_view kAlreadyOpen = "WStream::OpenFile\n\nStream already open.Close stream before!";
constexpr std::string_view kNeedFileName = "WStream::OpenFile\n\nNeed file name!";
constexpr std::string_view kCantOpenFile = "WStream::OpenFile\n\nCan't open file!";
constexpr std::string_view kFileTooLarge =
    "WStream::OpenFile\n\nFile too large! Files of 4 GiB or more are not supported.";
constexpr std::string_view kCantSeekToBeginning = "WStream::OpenFile\n\nCan't seek to begining!";
constexpr std::string_view kNotOpen = "WStream::Seek\n\nStream isn't open!";
constexpr std::string_view kSeekOutOfBounds = "WStream::Seek\n\nCan't seek stream !\nlDistanceToMove out of bounds.";
constexpr std::string_view kCantSeekFile = "WStream::Seek\n\nCan't seek file pointer!";
constexpr std::string_view kNoBytesReadPointer = "WStream::Read\n\nlpNumberOfBytesRead can't be 0 !";
constexpr std::string_view kNoBuffer = "WStream::Read\n\nlpBuffer can't be 0 !";
constexpr std::string_view kPositionOutOfBounds = "WStream::Read\n\nStream pointer out of bounds !";
constexpr std::string_view kCantRead = "WStream::Read\n\nCan't read from file";
}  // namespace

int WStream::OpenFile(const char* fileName) {
    if (fd_) {
        error_.Set(kAlreadyOpen);
        return 0;
    }
    if (fileName == nullptr || *fileName == '\0') {
        error_.Set(kNeedFileName);
        return 0;
    }
    UniqueFd fd = UniqueFd::Open(fileName, O_RDONLY);
    if (!fd) {
        error_.Set(kCantOpenFile);
        return 0;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        error_.Set(kCantOpenFile);
        return 0;
    }
    // Lengths and positions are 32-bit: a larger file would be silently cut to its low bits.
    if (static_cast<std::uint64_t>(st.st_size) > 0xFFFFFFFEull) {
        error_.Set(kFileTooLarge);
        return 0;
    }
    if (::lseek(fd.Get(), 0, SEEK_SET) != 0) {
        error_.Set(kCantSeekToBeginning);
        return 0;
    }
    fd_ = std::move(fd);
    cache_.resize(kCacheBytes);
    cacheStart_ = 0;
    cacheBytes_ = 0;
    fileSize_ = static_cast<std::uint32_t>(st.st_size);
    length_ = fileSize_;
    position_ = 0;
    return 1;
}

int WStream::Seek(std::int64_t distance, SeekFrom method) {
    if (!fd_) {
        error_.Set(kNotOpen);
        return 0;
    }
    const std::int64_t length = length_;
    const std::int64_t position = position_;
    std::int64_t target = 0;
    bool inBounds = false;
    switch (method) {
        case SeekFrom::kBegin:
            inBounds = distance >= 0 && distance <= length;
            target = distance;
            break;
        case SeekFrom::kCurrent:
            inBounds = distance >= 0 ? distance <= length - position : -distance <= position;
            target = position + distance;
            break;
        case SeekFrom::kEnd:
            inBounds = distance <= 0 && -distance <= length;
            target = length + distance;
            break;
        default:
            break;
    }
    if (!inBounds) {
        error_.Set(kSeekOutOfBounds);
        return 0;
    }
    off_t got = ::lseek(fd_.Get(), static_cast<off_t>(target), SEEK_SET);
    if (got < 0) {
        error_.Set(kCantSeekFile);
        return 0;
    }
    position_ = static_cast<std::uint32_t>(got);
    return 1;
}

int WStream::Read(void* buffer, std::uint32_t count, std::uint32_t* bytesRead) {
    if (!fd_) {
        error_.Set(kNotOpen);
        return 0;
    }
    if (bytesRead == nullptr) {
        error_.Set(kNoBytesReadPointer);
        return 0;
    }
    *bytesRead = 0;
    if (buffer == nullptr) {
        error_.Set(kNoBuffer);
        return 0;
    }
    if (position_ > length_) {
        error_.Set(kPositionOutOfBounds);
        return 0;
    }
    if (count > length_ - position_) count = length_ - position_;
    if (count == 0) {
        error_.Set(kCantRead);
        return 0;
    }
    const bool cached =
        position_ >= cacheStart_ && std::uint64_t{position_} + count <= std::uint64_t{cacheStart_} + cacheBytes_;
    if (!cached && count < kCacheBytes) {
        cacheBytes_ = 0;
        ssize_t got = -1;
        do {
            got = ::pread(fd_.Get(), cache_.data(), kCacheBytes, static_cast<off_t>(position_));
        } while (got < 0 && errno == EINTR);
        if (got > 0) {
            cacheStart_ = position_;
            cacheBytes_ = static_cast<std::uint32_t>(got);
        }
    }
    std::uint32_t delivered = 0;
    if (position_ >= cacheStart_ && position_ < cacheStart_ + cacheBytes_) {
        delivered = std::min(count, cacheStart_ + cacheBytes_ - position_);
        std::memcpy(buffer, cache_.data() + (position_ - cacheStart_), delivered);
    }
    // The rest of a read larger than the read-ahead comes straight from the file.
    while (delivered < count) {
        ssize_t got = -1;
        do {
            got = ::pread(fd_.Get(), static_cast<std::uint8_t*>(buffer) + delivered, count - delivered,
                          static_cast<off_t>(position_) + delivered);
        } while (got < 0 && errno == EINTR);
        if (got <= 0) break;
        delivered += static_cast<std::uint32_t>(got);
    }
    if (delivered == 0) {
        error_.Set(kCantRead);
        return 0;
    }
    position_ += delivered;
    *bytesRead = delivered;
    return 1;
}

}  // namespace pell
