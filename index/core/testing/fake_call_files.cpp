#include "index/core/testing/fake_call_files.h"

#include <cerrno>
#include <span>

#include "custody/core/hold_list.h"
#include "custody/core/manifest.h"

namespace pell::test {

int64_t FakeCallFiles::Tick() { return clockNs_ += 1'000; }

std::string FakeCallFiles::Parent(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? "/" : path.substr(0, slash);
}

void FakeCallFiles::Touch(const std::string& path) {
    auto found = nodes_.find(path);
    if (found == nodes_.end()) return;
    const int64_t now = Tick();
    found->second.stamp.mtimeNs = now;
    found->second.stamp.ctimeNs = now;
}

void FakeCallFiles::AddFolder(const std::string& path) {
    if (path.empty() || nodes_.count(path) != 0) return;
    const std::string parent = Parent(path);
    if (!parent.empty() && parent != path) AddFolder(parent);
    Node node;
    node.folder = true;
    node.stamp.inode = nextInode_++;
    node.stamp.mtimeNs = node.stamp.ctimeNs = Tick();
    nodes_[path] = node;
    Touch(parent);
}

void FakeCallFiles::Write(const std::string& path, const std::string& bytes, int64_t mtimeSeconds) {
    AddFolder(Parent(path));
    const bool isNew = nodes_.count(path) == 0;
    Node& node = nodes_[path];
    node.bytes = bytes;
    node.stamp.size = static_cast<int64_t>(bytes.size());
    node.stamp.mtimeNs = mtimeSeconds * 1'000'000'000;
    node.stamp.ctimeNs = Tick();
    if (isNew) {
        node.stamp.inode = nextInode_++;
        Touch(Parent(path));
    }
}

void FakeCallFiles::Rewrite(const std::string& path, const std::string& bytes) {
    Node& node = nodes_.at(path);
    node.bytes = bytes;
    node.stamp.size = static_cast<int64_t>(bytes.size());
    node.stamp.ctimeNs = Tick();
}

void FakeCallFiles::Remove(const std::string& path) {
    const std::string prefix = path + "/";
    std::erase_if(nodes_, [&](const auto& node) { return node.first == path || node.first.starts_with(prefix); });
    Touch(Parent(path));
}

void FakeCallFiles::SetError(const std::string& path, int error) { nodes_.at(path).error = error; }

void FakeCallFiles::SetUnreadable(const std::string& path, bool unreadable) { nodes_.at(path).unreadable = unreadable; }

FolderListing FakeCallFiles::List(const std::string& folder, const EntryFilter& wanted) {
    ++lists_;
    FolderListing listing;
    const auto found = nodes_.find(folder);
    if (found == nodes_.end() || !found->second.folder) {
        listing.error = found == nodes_.end() ? ENOENT : ENOTDIR;
        return listing;
    }
    if (found->second.error != 0) {
        listing.error = found->second.error;
        return listing;
    }
    const std::string prefix = folder == "/" ? folder : folder + "/";
    for (auto it = nodes_.lower_bound(prefix); it != nodes_.end() && it->first.starts_with(prefix); ++it) {
        const std::string name = it->first.substr(prefix.size());
        if (name.find('/') != std::string::npos || !wanted(name)) continue;
        listing.entries.push_back({name, it->second.stamp, it->second.folder, !it->second.folder});
    }
    return listing;
}

std::optional<CallFacts> FakeCallFiles::Read(const std::string& path, const std::string& name,
                                             const FileStamp& listed) {
    ++reads_;
    const auto found = nodes_.find(path);
    if (found == nodes_.end()) return std::nullopt;
    if (found->second.folder || found->second.unreadable) {
        CallFacts facts;
        facts.name = name;
        facts.stamp = listed;
        return facts;
    }
    const std::string& bytes = found->second.bytes;
    const MemoryRecordBytes memory(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    return DescribeCall(memory, name, found->second.stamp);
}

FolderCustody FakeCallFiles::ReadCustody(const std::string& folder) {
    const auto text = [this, &folder](const char* name) {
        const auto found = nodes_.find(folder + "/" + name);
        return found == nodes_.end() || found->second.folder ? std::string() : found->second.bytes;
    };
    return ParseFolderCustody(text(kHoldFileName), text(kManifestFileName));
}

}  // namespace pell::test
