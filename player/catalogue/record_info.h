// Reads one recording for the record list: its tag, the bit rate of its first frame header,
// and from those and the file's length and last-write time the call's duration and start time.
// Never fails outward: whatever cannot be read keeps its default.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>

#include "player/catalogue/recording_tag.h"

namespace pell {

struct RecordInfo {
    std::string channel;
    std::string number;
    std::string duration = "00:00:00";
    std::string bookmark;
    std::string date;  // start time, "%d.%m.%Y %H:%M:%S" local time; empty when unknown
    int played = 0;
    CallDirection direction = CallDirection::kUnknown;

    friend bool operator==(const RecordInfo&, const RecordInfo&) = default;
};

// Random access to a recording's bytes, so the reading rules run on files and on memory alike.
class RecordBytes {
public:
    virtual ~RecordBytes() = default;
    virtual int64_t Length() const = 0;
    // Copies up to out.size() bytes from offset; returns how many were read (fewer on error or end).
    virtual std::size_t ReadAt(int64_t offset, std::span<uint8_t> out) const = 0;
};

// A recording held in memory (tests, and checking a tag writer's output).
class MemoryRecordBytes final : public RecordBytes {
public:
    explicit MemoryRecordBytes(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    int64_t Length() const override { return static_cast<int64_t>(bytes_.size()); }
    std::size_t ReadAt(int64_t offset, std::span<uint8_t> out) const override;

private:
    std::span<const uint8_t> bytes_;
};

// The first MPEG frame sync from the start of the file: a 0xFF followed by a byte whose three
// top bits are set. ID3 version 2 tags are not skipped.
struct FrameSync {
    int64_t offset = 0;
    unsigned versionBits = 0;   // 3 MPEG-1, 2 MPEG-2, 1 reserved, 0 MPEG-2.5
    unsigned layerBits = 0;     // 3 Layer I, 2 Layer II, 1 Layer III, 0 reserved
    unsigned bitrateIndex = 0;  // 0 free format and 15 have no bit rate
};

// Scans for the first sync. Ends without one when fewer than three bytes follow a 0xFF.
std::optional<FrameSync> FindFirstSync(const RecordBytes& bytes);

// kbit/s of a frame header, or 0 where none is defined (reserved layer, index 0 or 15).
// The reserved version shares the MPEG-1 rows.
int BitrateKbps(const FrameSync& sync);

// Whole seconds of a constant-bit-rate recording: (length - 128) bytes at the given rate.
// 0 when the rate is unknown or the file is not longer than a tag.
int64_t DurationSeconds(int64_t fileLength, int bitrateKbps);

// "%02d:%02d:%02d"; the hours may run past two digits.
std::string FormatDuration(int64_t seconds);

// "%d.%m.%Y %H:%M:%S" in the local time zone (TZ governs it); empty if the time is unusable.
std::string FormatStartTime(std::time_t when);

// Everything above for one recording whose last write was at `lastWrite`.
RecordInfo DescribeRecording(const RecordBytes& bytes, std::time_t lastWrite);

// Opens `path` for reading alongside a recorder that may still be writing it; a file that cannot
// be opened, or is no regular file, gives the defaults.
RecordInfo ReadRecordInfo(const std::string& path);

}  // namespace pell
