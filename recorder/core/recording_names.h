// Names and small byte formats of the filed recordings: day folders, file names, the per-channel
// counter text, and the 128-byte tag appended to every finished file.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

#include "common/core/recording_tag_layout.h"

namespace pell {

inline constexpr uint32_t kMaxFileCounter = 9999999;

// The counter after counter: 9999999 wraps to 0.
inline uint32_t NextFileCounter(uint32_t counter) { return counter >= kMaxFileCounter ? 0 : counter + 1; }

// dropFolder + "/dd.mm.yyyy" (no trailing separator).
std::string DayFolderPath(const std::string& dropFolder, std::chrono::year_month_day date);

// Day folder + "/" + prefix + counter with at least seven digits + ".mp3".
std::string RecordingFilePath(const std::string& dropFolder, std::chrono::year_month_day date,
                              const std::string& prefix, uint32_t counter);

// "channel1" / "channel2" for channel index 0 / 1; "folder1" / "folder2" likewise.
std::string CounterFileName(int channel);
std::string FolderDateFileName(int channel);

// "%Y%m%d" of a date.
std::string FormatFolderDate(std::chrono::year_month_day date);

// Title = number, artist = line description (each cut to 30 bytes), direction mark at 95,
// byte 96 = 1, genre 101 (speech); all else zero.
struct RecordingTag {
    static constexpr size_t kSize = kTagSize;
    std::string number;
    std::string description;
    char directionMark = 'U';

    std::array<uint8_t, kSize> Bytes() const;
};

}  // namespace pell
