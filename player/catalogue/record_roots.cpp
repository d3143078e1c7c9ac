#include "player/catalogue/record_roots.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "common/core/paths.h"
#include "common/core/settings_file.h"
#include "player/catalogue/ascii_case.h"

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

bool RecordRootLess(std::string_view a, std::string_view b) {
    const std::string foldedA = LowerAscii(a);
    const std::string foldedB = LowerAscii(b);
    if (foldedA != foldedB) return foldedA < foldedB;
    return a < b;
}

std::size_t InsertRecordRoot(std::vector<std::string>& roots, std::string root) {
    const auto at = std::upper_bound(roots.begin(), roots.end(), root,
                                     [](const std::string& x, const std::string& y) { return RecordRootLess(x, y); });
    const auto index = at - roots.begin();
    roots.insert(at, std::move(root));
    return static_cast<std::size_t>(index);
}

std::string FormatRecordRoots(const std::vector<std::string>& roots) {
    std::string text;
    for (const std::string& root : roots) {
        if (root.empty()) continue;
        text += root;
        text += "\r\n";
    }
    return text;
}

bool SaveRecordRoots(const std::string& programFolder, const std::vector<std::string>& roots) {
    return WriteFileAtomically(JoinPath(programFolder, kRecordRootsFile), FormatRecordRoots(roots)) == WriteResult::kOk;
}

}  // namespace pell
