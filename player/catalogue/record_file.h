// An open recording file: a POSIX descriptor owned for the life of the object. Opened without
// locks, so the recorder can go on writing while the player reads or changes the tag.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "player/catalogue/record_info.h"

namespace pell {

class RecordFile {
public:
    enum class Mode { Read, ReadWrite };

    // Opens a regular file; IsOpen() is false for anything else (folders, FIFOs, devices would
    // block or lie about their length).
    RecordFile(const std::string& path, Mode mode);
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;
    RecordFile(RecordFile&& other) noexcept;
    RecordFile& operator=(RecordFile&& other) noexcept;

    bool IsOpen() const { return fd_ >= 0; }
    // Status as of opening (length, times).
    const struct stat& Status() const { return status_; }
    int Descriptor() const { return fd_; }

    // Reads or writes exactly count bytes at offset, retrying short transfers; false otherwise.
    bool ReadExactly(int64_t offset, void* out, std::size_t count) const;
    bool WriteExactly(int64_t offset, const void* data, std::size_t count) const;

private:
    int fd_ = -1;
    struct stat status_ {};
};

// The bytes of an open file up to the length it had when opened.
class FileRecordBytes final : public RecordBytes {
public:
    explicit FileRecordBytes(const RecordFile& file) : file_(file) {}
    int64_t Length() const override { return static_cast<int64_t>(file_.Status().st_size); }
    std::size_t ReadAt(int64_t offset, std::span<uint8_t> out) const override;

private:
    const RecordFile& file_;
};

}  // namespace pell
