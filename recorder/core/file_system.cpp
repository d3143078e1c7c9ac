#include <filesystem>
#include <system_error>

#include "recorder/core/recorder_ports.h"

namespace pell {

namespace fs = std::filesystem;

std::optional<uint64_t> DiskFreeSpace::FreeBytes(const std::string& folder) {
    std::error_code error;
    const fs::space_info info = fs::space(folder, error);
    if (error) return std::nullopt;
    return static_cast<uint64_t>(info.available);
}

FilePtr RealFileSystem::Open(const std::string& path, const char* mode) {
    return FilePtr(std::fopen(path.c_str(), mode));
}

bool RealFileSystem::Exists(const std::string& path) {
    std::error_code error;
    return fs::exists(path, error);
}

bool RealFileSystem::MakeDirectories(const std::string& path) {
    std::error_code error;
    fs::create_directories(path, error);
    return fs::is_directory(path, error);
}

bool RealFileSystem::RemoveTree(const std::string& path) {
    std::error_code error;
    fs::remove_all(path, error);
    return !error && !fs::exists(path, error);
}

}  // namespace pell
