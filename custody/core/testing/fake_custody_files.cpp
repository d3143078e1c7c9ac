#include "custody/core/testing/fake_custody_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace pell::test {

class FakeLockedLog final : public LockedLog {
public:
    FakeLockedLog(FakeCustodyFiles& files, std::string path) : files_(files), path_(std::move(path)) {}

    FileText ReadAll() override {
        FileText out;
        out.error = files_.Call(path_);
        if (out.error == 0) out.text = files_.nodes_.at(path_).bytes;
        return out;
    }

    FileText ReadTail(std::size_t count) override {
        FileText out = ReadAll();
        if (out.text.size() > count) out.text = out.text.substr(out.text.size() - count);
        return out;
    }

    int Append(std::string_view bytes) override {
        if (const int error = files_.Call(path_); error != 0) return error;
        std::string& file = files_.nodes_.at(path_).bytes;
        if (files_.cutAppend_) {
            file.append(bytes.substr(0, std::min(*files_.cutAppend_, bytes.size())));
            files_.cutAppend_.reset();
            return EIO;
        }
        file.append(bytes);
        return 0;
    }

    int Replace(std::string_view text) override {
        if (const int error = files_.Call(path_); error != 0) return error;
        files_.nodes_.at(path_).bytes = std::string(text);
        return 0;
    }

private:
    FakeCustodyFiles& files_;
    std::string path_;
};

class FakeByteSource final : public ByteSource {
public:
    FakeByteSource(FakeCustodyFiles& files, std::string path) : files_(files), path_(std::move(path)) {}

    int64_t Read(std::span<uint8_t> out) override {
        error_ = files_.Call(path_);
        if (error_ != 0) return -1;
        const std::string& bytes = files_.nodes_.at(path_).bytes;
        const std::size_t count = std::min(out.size(), bytes.size() - std::min(offset_, bytes.size()));
        std::memcpy(out.data(), bytes.data() + offset_, count);
        offset_ += count;
        return static_cast<int64_t>(count);
    }
    int Error() const override { return error_; }

private:
    FakeCustodyFiles& files_;
    std::string path_;
    std::size_t offset_ = 0;
    int error_ = 0;
};

int FakeCustodyFiles::Call(const std::string& path) {
    ++calls_;
    if (failAt_ != 0 && calls_ == failAt_) {
        failAt_ = 0;
        return failError_;
    }
    const auto found = errors_.find(path);
    return found != errors_.end() ? found->second : 0;
}

void FakeCustodyFiles::FailCall(int n, int error) {
    failAt_ = n == 0 ? 0 : calls_ + n;
    failError_ = error;
}

void FakeCustodyFiles::AddFolder(const std::string& path) {
    if (path.empty() || nodes_.count(path) != 0) return;
    const std::string parent = ParentOf(path);
    if (!parent.empty() && parent != path) AddFolder(parent);
    nodes_[path].folder = true;
}

void FakeCustodyFiles::Write(const std::string& path, const std::string& bytes) {
    AddFolder(ParentOf(path));
    nodes_[path] = Node{false, bytes};
}

std::optional<std::string> FakeCustodyFiles::Read(const std::string& path) const {
    const auto found = nodes_.find(path);
    if (found == nodes_.end() || found->second.folder) return std::nullopt;
    return found->second.bytes;
}

void FakeCustodyFiles::Erase(const std::string& path) {
    const std::string prefix = path + "/";
    std::erase_if(nodes_, [&](const auto& node) { return node.first == path || node.first.starts_with(prefix); });
}

FileText FakeCustodyFiles::ReadWhole(const std::string& path) {
    FileText out;
    out.error = Call(path);
    if (out.error != 0) return out;
    const auto found = nodes_.find(path);
    if (found == nodes_.end()) {
        out.error = ENOENT;
    } else if (found->second.folder) {
        out.error = EISDIR;
    } else {
        out.text = found->second.bytes;
    }
    return out;
}

FileText FakeCustodyFiles::ReadLog(const std::string& path) { return ReadWhole(path); }

LockedLogResult FakeCustodyFiles::LockLog(const std::string& path, bool create) {
    LockedLogResult out;
    out.error = Call(path);
    if (out.error != 0) return out;
    const auto found = nodes_.find(path);
    if (found == nodes_.end()) {
        const auto parent = nodes_.find(ParentOf(path));
        if (!create || parent == nodes_.end() || !parent->second.folder) {
            out.error = ENOENT;
            return out;
        }
        nodes_[path] = Node{};
    } else if (found->second.folder) {
        out.error = EISDIR;
        return out;
    }
    out.log = std::make_unique<FakeLockedLog>(*this, path);
    return out;
}

CustodyListing FakeCustodyFiles::List(const std::string& folder) {
    CustodyListing listing;
    listing.error = Call(folder);
    if (listing.error != 0) return listing;
    const auto found = nodes_.find(folder);
    if (found == nodes_.end() || !found->second.folder) {
        listing.error = found == nodes_.end() ? ENOENT : ENOTDIR;
        return listing;
    }
    const std::string prefix = folder == "/" ? folder : folder + "/";
    for (auto it = nodes_.lower_bound(prefix); it != nodes_.end() && it->first.starts_with(prefix); ++it) {
        const std::string name = it->first.substr(prefix.size());
        if (name.find('/') != std::string::npos) continue;
        listing.entries.push_back(
            {name, it->second.folder, !it->second.folder, static_cast<int64_t>(it->second.bytes.size())});
    }
    return listing;
}

FileStatus FakeCustodyFiles::Status(const std::string& path) {
    FileStatus status;
    status.error = Call(path);
    if (status.error != 0) return status;
    const auto found = nodes_.find(path);
    if (found == nodes_.end()) {
        status.error = ENOENT;
        return status;
    }
    status.isFolder = found->second.folder;
    status.isRegular = !found->second.folder;
    status.size = static_cast<int64_t>(found->second.bytes.size());
    return status;
}

int FakeCustodyFiles::RemoveFile(const std::string& path) {
    if (const int error = Call(path); error != 0) return error;
    const auto found = nodes_.find(path);
    if (found == nodes_.end()) return ENOENT;
    if (found->second.folder) return EISDIR;
    nodes_.erase(found);
    return 0;
}

int FakeCustodyFiles::RemoveFolder(const std::string& path) {
    if (const int error = Call(path); error != 0) return error;
    const auto found = nodes_.find(path);
    if (found == nodes_.end()) return ENOENT;
    if (!found->second.folder) return ENOTDIR;
    const auto inside = nodes_.lower_bound(path + "/");
    if (inside != nodes_.end() && inside->first.starts_with(path + "/")) return ENOTEMPTY;
    nodes_.erase(found);
    return 0;
}

ByteSourceResult FakeCustodyFiles::OpenRead(const std::string& path) {
    ByteSourceResult out;
    out.error = Call(path);
    if (out.error != 0) return out;
    const auto found = nodes_.find(path);
    if (found == nodes_.end()) {
        out.error = ENOENT;
    } else if (found->second.folder) {
        out.error = EISDIR;
    } else {
        out.source = std::make_unique<FakeByteSource>(*this, path);
    }
    return out;
}

std::string FakeCustodyFiles::RandomHex(std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        random_ ^= random_ << 13;
        random_ ^= random_ >> 7;
        random_ ^= random_ << 17;
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned>(random_ & 0xFF));
        out += digits;
    }
    return out;
}

}  // namespace pell::test
