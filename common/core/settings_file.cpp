#include "common/core/settings_file.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pell {
namespace {

void Line(std::string& out, const char* key, const std::string& value) {
    out += key;
    out += '=';
    out += value;
    out += "\r\n";
}

void Channel(std::string& out, int number, const SettingsChannelEntries& c) {
    out += "\r\n[channel" + std::to_string(number) + "]\r\n";
    Line(out, "exists", c.exists);
    out += "stereo=0\r\n";
    Line(out, "preffix", c.prefix);
    Line(out, "gain", c.gain);
    Line(out, "description", c.description);
    Line(out, "drop_folder", c.dropFolder);
    Line(out, "bitrate", c.bitrate);
    Line(out, "sensitive_control", c.sensitiveControl);
    Line(out, "sensitive_level", c.sensitiveLevel);
    Line(out, "end_of_file", c.endOfFile);
    Line(out, "min_file_length", c.minFileLength);
    Line(out, "max_file_length", c.maxFileLength);
    Line(out, "clip", c.clip);
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string FormatSettingsFile(const SettingsDocument& doc) {
    std::string out = "[common]\r\n";
    Line(out, "device", doc.device);
    Line(out, "number", doc.number);
    Line(out, "samplerate", doc.samplerate);
    Line(out, "cleaning", doc.cleaning);
    Line(out, "free_disk_space", doc.freeDiskSpace);
    Channel(out, 1, doc.channels[0]);
    Channel(out, 2, doc.channels[1]);
    return out;
}

WriteResult WriteFileAtomically(const std::string& path, const std::string& text) {
    std::string temp = path + ".tmp-XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return WriteResult::CannotCreate;
    ::fchmod(fd, 0644);
    bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        std::remove(temp.c_str());
        return WriteResult::WriteFailed;
    }
    return WriteResult::Ok;
}

}  // namespace pell
