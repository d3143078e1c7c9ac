// What the recording core needs from the world around it: the window (meters, status texts,
// check boxes, tray icon), message boxes, free disk space, the file system and caller
// identification. The application implements them with widgets and real services; tests with fakes.
#pragma once

#include <cstdint>
#include <cstddef>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/core/recorder_settings.h"
#include "recorder/core/line_state.h"

namespace pell {

enum class TrayIcon { kIdle, kRecording };

class RecorderView {
public:
    virtual ~RecorderView() = default;
    // position 0..100.
    virtual void SetMeter(Line line, int position) = 0;
    virtual void SetStatusText(Line line, const std::string& text) = 0;
    virtual void SetRecordingCheck(Line line, bool checked) = 0;
    virtual void SetTrayIcon(TrayIcon icon, const std::string& tip) = 0;
};

// Message boxes with the stop icon; the window's version may run a modal loop.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void ShowStop(const std::string& text) = 0;
    // One line for the operator's log; standard error unless the window keeps a log of its own.
    virtual void Log(const std::string& line);
};

class FreeSpaceProvider {
public:
    virtual ~FreeSpaceProvider() = default;
    // Free bytes of the file system that holds folder; nullopt when the query failed.
    virtual std::optional<uint64_t> FreeBytes(const std::string& folder) = 0;
};

// std::filesystem::space on the folder itself.
class DiskFreeSpace final : public FreeSpaceProvider {
public:
    std::optional<uint64_t> FreeBytes(const std::string& folder) override;
};

// Where an open file is now: its folder may have been moved, replaced or deleted while it was written.
struct FilePlace {
    enum class Kind { kAtPath, kMoved, kDeleted, kUnknown };
    Kind kind = Kind::kAtPath;
    std::string path;  // kMoved: where the file is now
};

// What an open file does for the core. Every operation reports failure; nothing is buffered, so a
// write that returned true is in the operating system's hands. Used on one thread at a time; a
// handle never outlives the file system that made it.
class FileHandle {
public:
    virtual ~FileHandle() = default;
    // All size bytes, or false (some of them may have been written).
    virtual bool Write(const void* data, size_t size) = 0;
    virtual bool Seek(uint64_t offset) = 0;
    // Moves to the end; the file's size, or nullopt.
    virtual std::optional<uint64_t> SeekEnd() = 0;
    virtual bool Truncate(uint64_t size) = 0;
    // Puts what was written, and the size, on the disk; false when the system says it may be lost.
    virtual bool Sync() = 0;
    // Whether the file opened at openedAt is still there, or where it went.
    virtual FilePlace Locate(const std::string& openedAt) const = 0;
    // Closes once; false when the system reported that written data may be lost.
    virtual bool Close() = 0;
    // The reason of the last failure, as the system words it.
    virtual std::string LastError() const = 0;
};

// One open file, move-only. The destructor closes without reporting: call Close to learn whether
// the data reached the disk.
class File {
public:
    File() = default;
    explicit File(std::unique_ptr<FileHandle> handle) : handle_(std::move(handle)) {}
    File(File&&) noexcept = default;
    File& operator=(File&&) noexcept = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() = default;

    explicit operator bool() const { return handle_ != nullptr; }
    bool Write(const void* data, size_t size) { return handle_ && handle_->Write(data, size); }
    bool Seek(uint64_t offset) { return handle_ && handle_->Seek(offset); }
    std::optional<uint64_t> SeekEnd() { return handle_ ? handle_->SeekEnd() : std::nullopt; }
    bool Truncate(uint64_t size) { return handle_ && handle_->Truncate(size); }
    bool Sync() { return handle_ && handle_->Sync(); }
    FilePlace Locate(const std::string& openedAt) const {
        return handle_ ? handle_->Locate(openedAt) : FilePlace{FilePlace::Kind::kUnknown, {}};
    }
    // Closes and releases the file; false when nothing was open or the close failed.
    bool Close() {
        if (!handle_) return false;
        const bool closed = handle_->Close();
        if (!closed) lastError_ = handle_->LastError();
        handle_.reset();
        return closed;
    }
    std::string LastError() const { return handle_ ? handle_->LastError() : lastError_; }

private:
    std::unique_ptr<FileHandle> handle_;
    std::string lastError_;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // fopen-like modes: "wb" creates or truncates, "r+b" opens an existing file, "ab" appends and
    // creates. An empty File on failure, with the reason in *error when given.
    virtual File Open(const std::string& path, const char* mode, std::string* error = nullptr) = 0;
    virtual bool Exists(const std::string& path) = 0;
    // Makes every missing folder along path; true when path is a folder afterwards.
    virtual bool MakeDirectories(const std::string& path) = 0;
    // Removes the folder's contents, then the folder; false when anything could not be removed.
    virtual bool RemoveTree(const std::string& path) = 0;
    // Removes one file; true when it is gone afterwards.
    virtual bool Remove(const std::string& path) = 0;
    // Replaces a small state file whole, never leaving it half written; false (reason in *error)
    // when the old content stays.
    virtual bool WriteWhole(const std::string& path, const std::string& text, std::string* error = nullptr) = 0;
    // Sets the file's modification time (the catalogue dates a recording by it).
    virtual bool SetModified(const std::string& path, std::time_t when) = 0;
    // The names (not paths) in a folder; empty when it cannot be read.
    virtual std::vector<std::string> List(const std::string& folder) = 0;
};

class RealFileSystem : public FileSystem {
public:
    File Open(const std::string& path, const char* mode, std::string* error = nullptr) override;
    bool Exists(const std::string& path) override;
    bool MakeDirectories(const std::string& path) override;
    bool RemoveTree(const std::string& path) override;
    bool Remove(const std::string& path) override;
    bool WriteWhole(const std::string& path, const std::string& text, std::string* error = nullptr) override;
    bool SetModified(const std::string& path, std::time_t when) override;
    std::vector<std::string> List(const std::string& folder) override;
};

// The calling number and direction mark ('I' incoming, 'O' outgoing, 'U' unknown) found in a
// closed temp file.
struct IdentifiedCaller {
    std::string number;
    char directionMark = 'U';
};
using IdentifyCallerFn = std::function<IdentifiedCaller(const std::string& tempFilePath, ClipMode clip,
                                                        int32_t sampleRate, const ToneTable& toneTable)>;

// One finished recording file (a split recording gives one per part, all with the caller found
// at its end).
struct FiledRecording {
    int channel = 0;  // 0 = line 1
    std::string path;
    std::string number;
    char directionMark = 'U';
    uint32_t seconds = 0;  // of sound in the file, as it is on disk
};
using FiledRecordingFn = std::function<void(const FiledRecording&)>;

}  // namespace pell
