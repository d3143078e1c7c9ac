#include "player/catalogue/record_roots.h"

#include <fstream>
#include <iterator>

#include "common/core/paths.h"

namespace pell {

std::vector<std::string> ParseRecordRoots(std::string_view text) {
    std::vector<std::string> roots;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty()) roots.emplace_back(line);
    }
    return roots;
}

std::vector<std::string> ReadRecordRoots(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return {};
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ParseRecordRoots(text);
}

std::vector<std::string> LoadRecordRoots(const std::string& programFolder) {
    return ReadRecordRoots(JoinPath(programFolder, kRecordRootsFile));
}

}  // namespace pell
