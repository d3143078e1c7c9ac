#include "recorder/core/recording_names.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/core/tag_text.h"

namespace pell {
namespace {

std::string DateText(std::chrono::year_month_day date, bool dayFirst) {
    char text[32];
    const int year = static_cast<int>(date.year());
    const unsigned month = static_cast<unsigned>(date.month());
    const unsigned day = static_cast<unsigned>(date.day());
    if (dayFirst) {
        std::snprintf(text, sizeof text, "%02u.%02u.%04d", day, month, year);
    } else {
        std::snprintf(text, sizeof text, "%04d%02u%02u", year, month, day);
    }
    return text;
}

void PutField(std::array<uint8_t, RecordingTag::kSize>& bytes, size_t offset, const std::string& text) {
    const std::string stored = EncodeTagText(text, kTagTextLength);
    std::memcpy(bytes.data() + offset, stored.data(), stored.size());
}

}  // namespace

std::string DayFolderPath(const std::string& dropFolder, std::chrono::year_month_day date) {
    return dropFolder + "/" + DateText(date, true);
}

std::string RecordingFilePath(const std::string& dropFolder, std::chrono::year_month_day date,
                              const std::string& prefix, uint32_t counter) {
    char number[16];
    std::snprintf(number, sizeof number, "%.7u", static_cast<unsigned>(counter));
    return DayFolderPath(dropFolder, date) + "/" + prefix + number + ".mp3";
}

std::string CounterFileName(int channel) { return "channel" + std::to_string(channel + 1); }
std::string FolderDateFileName(int channel) { return "folder" + std::to_string(channel + 1); }

std::string FormatFolderDate(std::chrono::year_month_day date) { return DateText(date, false); }

std::array<uint8_t, RecordingTag::kSize> RecordingTag::Bytes() const {
    std::array<uint8_t, kSize> bytes{};
    std::memcpy(bytes.data(), "TAG", 3);
    PutField(bytes, tag_offset::kTitle, number);
    PutField(bytes, tag_offset::kArtist, description);
    bytes[tag_offset::kDirection] = static_cast<uint8_t>(directionMark);
    bytes[tag_offset::kRecorderFlag] = 1;
    bytes[tag_offset::kGenre] = kSpeechGenre;
    return bytes;
}

}  // namespace pell
