#include "player/catalogue/catalogue_test_support.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace pell::test {

ScopedTimeZone::ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) {
        hadZone_ = true;
        previous_ = old;
    }
    ::setenv("TZ", zone, 1);
    ::tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
    if (hadZone_) {
        ::setenv("TZ", previous_.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}

TagBytes RecorderTag(const std::string& number, const std::string& channel, char mark, uint8_t played,
                     const std::string& bookmark) {
    TagBytes tag{};
    std::memcpy(tag.data(), "TAG", 3);
    std::memcpy(tag.data() + tag_offset::kTitle, number.data(), std::min<std::size_t>(number.size(), 30));
    std::memcpy(tag.data() + tag_offset::kArtist, channel.data(), std::min<std::size_t>(channel.size(), 30));
    tag[tag_offset::kPlayed] = played;
    tag[tag_offset::kDirection] = static_cast<uint8_t>(mark);
    tag[96] = 1;
    std::memcpy(tag.data() + tag_offset::kComment, bookmark.data(), std::min<std::size_t>(bookmark.size(), 30));
    tag[tag_offset::kGenre] = kSpeechGenre;
    return tag;
}

std::string TagString(const TagBytes& tag) { return std::string(tag.begin(), tag.end()); }

std::string Layer3Audio(int seconds, int extraBytes) {
    std::string audio(static_cast<std::size_t>(seconds * 2000 + extraBytes), '\0');
    if (audio.size() >= 4) audio.replace(0, 4, "\xFF\xF3\x20\xC4", 4);
    return audio;
}

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

void SetLastWrite(const std::string& path, std::time_t when, long nanoseconds) {
    const struct timespec times[2] = {{0, UTIME_OMIT}, {when, nanoseconds}};
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) throw std::runtime_error("utimensat " + path);
}

struct timespec LastWrite(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) throw std::runtime_error("stat " + path);
    return status.st_mtim;
}

int64_t FileLength(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return -1;
    return status.st_size;
}

}  // namespace pell::test
