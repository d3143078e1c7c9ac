// Builders for recordings on disk and a scoped time zone, shared by the catalogue's tests.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "player/catalogue/recording_tag.h"

namespace pell::test {

// Zones as POSIX rules, so the tests need no time-zone database: UTC, and Central Europe with
// summer time from the last Sunday of March, 02:00, to the last Sunday of October, 03:00.
inline constexpr const char* kUtc = "UTC0";
inline constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

// Sets TZ for the life of the object and puts the previous value back.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    bool hadZone_ = false;
    std::string previous_;
};

// A tag as the recorder lays it out: title, artist, direction mark, 1 at byte 96, genre 101.
TagBytes RecorderTag(const std::string& number, const std::string& channel, char mark = 'I', uint8_t played = 0,
                     const std::string& bookmark = "");

std::string TagString(const TagBytes& tag);

// MPEG-2 Layer III 16 kbit/s frame sync (2000 bytes a second) followed by zero bytes, so that
// the audio part lasts `seconds` (plus `extraBytes`).
std::string Layer3Audio(int seconds, int extraBytes = 0);

// Local wall-clock time in the current TZ.
std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second);

void SetLastWrite(const std::string& path, std::time_t when, long nanoseconds = 0);
struct timespec LastWrite(const std::string& path);
int64_t FileLength(const std::string& path);

}  // namespace pell::test
