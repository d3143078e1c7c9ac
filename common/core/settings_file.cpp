#include "common/core/settings_file.h"

#include <cerrno>
#include <cstdio>
#include <optional>
#include <random>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/core/unique_fd.h"

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

// The file a chain of symbolic links ends at (path itself when it is no link); none for a loop.
std::optional<std::string> FollowLinks(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= link.size()) return std::nullopt;
        link.resize(static_cast<std::size_t>(n));
        const std::size_t slash = current.rfind('/');
        current = link.front() == '/' || slash == std::string::npos ? link : current.substr(0, slash + 1) + link;
    }
    return std::nullopt;
}

// A rename is only durable once the folder that holds the name is on disk too.
void SyncFolderOf(const std::string& file) {
    const std::size_t slash = file.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : file.substr(0, slash);
    const UniqueFd fd = UniqueFd::Open(folder, O_RDONLY | O_DIRECTORY);
    if (fd) ::fsync(fd.Get());
}

// Creates a new file beside target with a free name; like any new file it gets mode filtered
// by the umask or the folder's default ACL, so a group-shared program folder stays shared.
UniqueFd CreateTemporaryBeside(const std::string& target, mode_t mode, std::string& temp) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = target + ".tmp-";
        for (int i = 0; i < 6; ++i) temp += kLetters[random() % (sizeof kLetters - 1)];
        UniqueFd fd = UniqueFd::Open(temp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, mode);
        if (fd || errno != EEXIST) return fd;
    }
    return UniqueFd();
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

WriteResult WriteFileAtomically(const std::string& path, const std::string& text, unsigned newFileMode) {
    const std::optional<std::string> target = FollowLinks(path);
    if (!target) return WriteResult::kCannotCreate;
    std::string temp;
    UniqueFd fd = CreateTemporaryBeside(*target, static_cast<mode_t>(newFileMode & 07777), temp);
    if (!fd) return WriteResult::kCannotCreate;
    struct stat existing {};
    if (::stat(target->c_str(), &existing) == 0) {
        // Owner first: a change of owner may clear mode bits that fchmod then sets again.
        [[maybe_unused]] const bool ownerKept = ::fchown(fd.Get(), existing.st_uid, existing.st_gid) == 0;
        ::fchmod(fd.Get(), existing.st_mode & 07777);
    }
    bool ok = fd.WriteAll(text.data(), text.size()) && ::fsync(fd.Get()) == 0;
    ok = fd.Close() && ok;
    if (ok) ok = std::rename(temp.c_str(), target->c_str()) == 0;
    if (!ok) {
        const int error = errno;
        std::remove(temp.c_str());
        errno = error;
        return WriteResult::kWriteFailed;
    }
    SyncFolderOf(*target);
    return WriteResult::kOk;
}

}  // namespace pell
