// An open recording file: a POSIX descriptor owned for the life of the object. Opened without
// locks, so the recorder can go on writing while the player reads or changes the tag.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/core/unique_fd.h"
#include "player/catalogue/record_info.h"

namespace pell {

// A file's last-write time as the file system keeps it.
struct FileTime {
    int64_t seconds = 0;
    long nanoseconds = 0;
};

class RecordFile {
public:
    enum class Mode { kRead, kReadWrite };

    // Opens a regular file; IsOpen() is false for anything else (folders, FIFOs, devices would
    // block or lie about their length).
    RecordFile(const std::string& path, Mode mode);

    bool IsOpen() const { return static_cast<bool>(file_); }
    // Length and last-write time as they were when the file was opened.
    int64_t Length() const { return length_; }
    FileTime LastWrite() const { return lastWrite_; }
    // Last change of content or status, and the file's inode: an index tells changed files by them.
    FileTime LastChange() const { return lastChange_; }
    uint64_t Inode() const { return inode_; }

    // Reads or writes exactly count bytes at offset, retrying short transfers; false otherwise.
    bool ReadExactly(int64_t offset, void* out, std::size_t count) const;
    bool WriteExactly(int64_t offset, const void* data, std::size_t count) const;
    // Reads up to count bytes at offset; returns how many were read.
    std::size_t ReadSome(int64_t offset, void* out, std::size_t count) const;
    bool Truncate(int64_t length) const;
    // Sets the last-write time and leaves the last-access time alone.
    bool SetLastWrite(FileTime when) const;
    // A write lost on a full or network file system shows up here; false with errno set.
    bool Close();

private:
    UniqueFd file_;
    int64_t length_ = 0;
    FileTime lastWrite_;
    FileTime lastChange_;
    uint64_t inode_ = 0;
};

// The bytes of an open file up to the length it had when opened.
class FileRecordBytes final : public RecordBytes {
public:
    explicit FileRecordBytes(const RecordFile& file) : file_(file) {}
    int64_t Length() const override { return file_.Length(); }
    std::size_t ReadAt(int64_t offset, std::span<uint8_t> out) const override;

private:
    const RecordFile& file_;
};

}  // namespace pell
