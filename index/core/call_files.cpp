#include "index/core/call_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "common/core/unique_fd.h"
#include "custody/posix/posix_custody_files.h"
#include "player/catalogue/record_file.h"

namespace pell {
namespace {

FileStamp StampOf(const struct stat& status) {
    FileStamp stamp;
    stamp.size = static_cast<int64_t>(status.st_size);
    stamp.mtimeNs = static_cast<int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec;
    stamp.ctimeNs = static_cast<int64_t>(status.st_ctim.tv_sec) * 1'000'000'000 + status.st_ctim.tv_nsec;
    stamp.inode = static_cast<uint64_t>(status.st_ino);
    return stamp;
}

int64_t FloorSeconds(int64_t ns) { return ns >= 0 ? ns / 1'000'000'000 : -((-ns + 999'999'999) / 1'000'000'000); }

// Owns a DIR stream.
class DirStream {
public:
    explicit DirStream(DIR* dir) : dir_(dir) {}
    ~DirStream() {
        if (dir_ != nullptr) ::closedir(dir_);
    }
    DirStream(const DirStream&) = delete;
    DirStream& operator=(const DirStream&) = delete;
    DIR* Get() const { return dir_; }

private:
    DIR* dir_;
};

}  // namespace

HeadTailBytes::HeadTailBytes(const RecordBytes& source) : source_(source), length_(source.Length()) {
    head_.resize(static_cast<std::size_t>(std::min<int64_t>(length_, static_cast<int64_t>(kHeadSize))));
    head_.resize(source_.ReadAt(0, head_));
    if (length_ > static_cast<int64_t>(head_.size())) {
        tailStart_ = std::max<int64_t>(static_cast<int64_t>(head_.size()), length_ - static_cast<int64_t>(kTagSize));
        tail_.resize(static_cast<std::size_t>(length_ - tailStart_));
        tail_.resize(source_.ReadAt(tailStart_, tail_));
    }
}

std::size_t HeadTailBytes::ReadAt(int64_t offset, std::span<uint8_t> out) const {
    if (offset < 0 || offset >= length_) return 0;
    const auto headEnd = static_cast<int64_t>(head_.size());
    if (offset + static_cast<int64_t>(out.size()) <= headEnd) {
        std::memcpy(out.data(), head_.data() + offset, out.size());
        return out.size();
    }
    const int64_t tailEnd = tailStart_ + static_cast<int64_t>(tail_.size());
    if (!tail_.empty() && offset >= tailStart_ && offset + static_cast<int64_t>(out.size()) <= tailEnd) {
        std::memcpy(out.data(), tail_.data() + (offset - tailStart_), out.size());
        return out.size();
    }
    if (offset < headEnd && tail_.empty() && headEnd == length_) {
        // The whole file is in the head: a read past its end gets what there is.
        const auto count = static_cast<std::size_t>(headEnd - offset);
        std::memcpy(out.data(), head_.data() + offset, count);
        return count;
    }
    return source_.ReadAt(offset, out);
}

std::string ContentKey(const RecordBytes& bytes) {
    const int64_t length = bytes.Length();
    int64_t audioLength = length;
    if (length >= static_cast<int64_t>(kTagSize)) {
        TagBytes tag{};
        if (bytes.ReadAt(length - static_cast<int64_t>(kTagSize), tag) == kTagSize && HasTagMarker(tag)) {
            audioLength -= static_cast<int64_t>(kTagSize);
        }
    }
    uint64_t hash = 0xcbf29ce484222325ULL;
    const auto mix = [&hash](uint8_t byte) {
        hash ^= byte;
        hash *= 0x100000001b3ULL;
    };
    for (int shift = 0; shift < 64; shift += 8) mix(static_cast<uint8_t>(static_cast<uint64_t>(audioLength) >> shift));
    std::vector<uint8_t> head(static_cast<std::size_t>(std::clamp<int64_t>(audioLength, 0, HeadTailBytes::kHeadSize)));
    head.resize(bytes.ReadAt(0, head));
    for (const uint8_t byte : head) mix(byte);
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

CallFacts DescribeCall(const RecordBytes& bytes, const std::string& name, const FileStamp& stamp) {
    CallFacts facts;
    facts.name = name;
    facts.stamp = stamp;
    facts.readable = true;
    const int64_t length = bytes.Length();
    if (length >= static_cast<int64_t>(kTagSize)) {
        TagBytes tag{};
        if (bytes.ReadAt(length - static_cast<int64_t>(kTagSize), tag) == kTagSize) {
            if (auto fields = ParseRecordingTag(tag)) {
                facts.number = std::move(fields->number);
                facts.line = std::move(fields->channel);
                facts.bookmark = std::move(fields->bookmark);
                facts.played = fields->played != 0;
                facts.direction = fields->direction;
            }
        }
    }
    facts.contentKey = ContentKey(bytes);
    if (length < 3) return facts;
    const auto sync = FindFirstSync(bytes);
    facts.durationSeconds = DurationSeconds(length, sync ? BitrateKbps(*sync) : 0);
    facts.startTime = FloorSeconds(stamp.mtimeNs) - facts.durationSeconds;
    facts.timesKnown = true;
    return facts;
}

FolderListing PosixCallFiles::List(const std::string& folder, const EntryFilter& wanted) {
    FolderListing listing;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        listing.error = errno;
        return listing;
    }
    DirStream dir(::fdopendir(fd));
    if (dir.Get() == nullptr) {
        listing.error = errno;
        ::close(fd);
        return listing;
    }
    std::vector<std::pair<ino_t, std::string>> names;
    for (;;) {
        errno = 0;
        const struct dirent* entry = ::readdir(dir.Get());
        if (entry == nullptr) {
            if (errno != 0) listing.error = errno;
            break;
        }
        const std::string_view name(entry->d_name);
        if (name == "." || name == ".." || !wanted(name)) continue;
        names.emplace_back(entry->d_ino, std::string(name));
    }
    // In inode order the inodes, and the files' first blocks after them, are read from a cold
    // disk in one sweep rather than in the folder's hash order.
    std::sort(names.begin(), names.end());
    listing.entries.reserve(names.size());
    for (auto& [inode, name] : names) {
        struct stat status {};
        if (::fstatat(::dirfd(dir.Get()), name.c_str(), &status, 0) != 0) continue;
        FolderEntry out;
        out.name = std::move(name);
        out.stamp = StampOf(status);
        out.isFolder = S_ISDIR(status.st_mode);
        out.isRegular = S_ISREG(status.st_mode);
        listing.entries.push_back(std::move(out));
    }
    return listing;
}

std::optional<CallFacts> PosixCallFiles::Read(const std::string& path, const std::string& name,
                                              const FileStamp& listed) {
    RecordFile file(path, RecordFile::Mode::Read);
    if (!file.IsOpen()) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 && errno == ENOENT) return std::nullopt;
        CallFacts facts;
        facts.name = name;
        facts.stamp = listed;
        return facts;
    }
    FileStamp stamp;
    stamp.size = file.Length();
    stamp.mtimeNs = file.LastWrite().seconds * 1'000'000'000 + file.LastWrite().nanoseconds;
    stamp.ctimeNs = file.LastChange().seconds * 1'000'000'000 + file.LastChange().nanoseconds;
    stamp.inode = file.Inode();
    const FileRecordBytes bytes(file);
    const HeadTailBytes buffered(bytes);
    return DescribeCall(buffered, name, stamp);
}

void PosixCallFiles::Prefetch(const std::string& folder, const std::vector<std::string>& names) {
    const UniqueFd dir = UniqueFd::Open(folder, O_RDONLY | O_DIRECTORY);
    if (!dir) return;
    for (const std::string& name : names) {
        const int fd = ::openat(dir.Get(), name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat status {};
        if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
            ::posix_fadvise(fd, 0, static_cast<off_t>(HeadTailBytes::kHeadSize), POSIX_FADV_WILLNEED);
            if (status.st_size > static_cast<off_t>(HeadTailBytes::kHeadSize)) {
                ::posix_fadvise(fd, status.st_size - static_cast<off_t>(kTagSize), static_cast<off_t>(kTagSize),
                                POSIX_FADV_WILLNEED);
            }
        }
        ::close(fd);
    }
}

FolderCustody PosixCallFiles::ReadCustody(const std::string& folder) {
    PosixCustodyFiles files;
    return ReadFolderCustody(files, folder);
}

void ApplyCustody(const FolderCustody& custody, CallFacts& facts) {
    facts.isProtected = custody.held.count(facts.name) != 0;
    const auto start = custody.startTimes.find(facts.name);
    if (start != custody.startTimes.end() && facts.timesKnown) facts.startTime = start->second;
    const auto audio = custody.audioHashes.find(facts.name);
    facts.audioSha256 = audio != custody.audioHashes.end() ? audio->second : std::string();
}

}  // namespace pell
