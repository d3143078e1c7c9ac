// What the recording core needs from the world around it: the window (meters, status texts,
// check boxes, tray icon), message boxes, free disk space, the file system and caller
// identification. The application implements them with widgets and real services; tests with fakes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "common/core/recorder_settings.h"

namespace pell {

enum class TrayIcon { Idle, Recording };

class RecorderView {
public:
    virtual ~RecorderView() = default;
    // channel 0 = line 1; position 0..100.
    virtual void SetMeter(int channel, int position) = 0;
    virtual void SetStatusText(int channel, const std::string& text) = 0;
    virtual void SetRecordingCheck(int channel, bool checked) = 0;
    virtual void SetTrayIcon(TrayIcon icon, const std::string& tip) = 0;
};

// Message boxes with the stop icon; the window's version may run a modal loop.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void ShowStop(const std::string& text) = 0;
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

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // fopen modes ("wb", "r+b", "ab"); null on failure.
    virtual FilePtr Open(const std::string& path, const char* mode) = 0;
    virtual bool Exists(const std::string& path) = 0;
    // Makes every missing folder along path; true when path is a folder afterwards.
    virtual bool MakeDirectories(const std::string& path) = 0;
    // Removes the folder's contents, then the folder; false when anything could not be removed.
    virtual bool RemoveTree(const std::string& path) = 0;
};

class RealFileSystem : public FileSystem {
public:
    FilePtr Open(const std::string& path, const char* mode) override;
    bool Exists(const std::string& path) override;
    bool MakeDirectories(const std::string& path) override;
    bool RemoveTree(const std::string& path) override;
};

// The calling number and direction mark ('I' incoming, 'O' outgoing, 'U' unknown) found in a
// closed temp file.
struct IdentifiedCaller {
    std::string number;
    char directionMark = 'U';
};
using IdentifyCallerFn = std::function<IdentifiedCaller(const std::string& tempFilePath, int32_t clip,
                                                        int32_t sampleRate, const ToneTable& toneTable)>;

// One finished recording file (a split recording gives one per part, all with the caller found
// at its end).
struct FiledRecording {
    int channel = 0;  // 0 = line 1
    std::string path;
    std::string number;
    char directionMark = 'U';
};
using FiledRecordingFn = std::function<void(const FiledRecording&)>;

}  // namespace pell
