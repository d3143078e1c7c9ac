#include "common/core/profile.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <limits>
#include <unordered_map>

namespace pell {
namespace {

// A settings file is a few hundred bytes; anything far larger is not one of ours.
constexpr std::streamsize kMaxFileBytes = 16 * 1024 * 1024;

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

int32_t LeadingDecimal(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min(value * 10 + (text[i] - '0'), kLimit);
    }
    if (negative) value = -value;
    return static_cast<int32_t>(
        std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

ProfileReader ProfileReader::FromText(std::string_view text) {
    ProfileReader reader;
    std::unordered_map<std::string, size_t> sectionIndex;
    Section* current = nullptr;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = Trim(text.substr(pos, end - pos));
        pos = end + 1;

        if (!line.empty() && line.front() == '[') {
            size_t close = line.find(']');
            if (close == std::string_view::npos) {
                current = nullptr;
                continue;
            }
            std::string name = Lower(Trim(line.substr(1, close - 1)));
            // Indexed, so a hostile file of a million headers still reads in linear time.
            auto [it, added] = sectionIndex.try_emplace(name, reader.sections_.size());
            if (added) reader.sections_.push_back(Section{std::move(name), {}});
            current = &reader.sections_[it->second];
            continue;
        }
        size_t equals = line.find('=');
        if (current == nullptr || equals == std::string_view::npos) continue;
        std::string key = Lower(Trim(line.substr(0, equals)));
        if (key.empty()) continue;
        std::string_view value = Trim(line.substr(equals + 1));
        current->entries.push_back(Entry{std::move(key), std::string(value)});
    }
    return reader;
}

ProfileReader ProfileReader::FromFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::string text;
    char chunk[4096];
    while (text.size() < static_cast<size_t>(kMaxFileBytes) && in.read(chunk, sizeof chunk).gcount() > 0) {
        text.append(chunk, static_cast<size_t>(in.gcount()));
    }
    if (text.size() > static_cast<size_t>(kMaxFileBytes)) text.resize(static_cast<size_t>(kMaxFileBytes));
    return FromText(text);
}

const std::string* ProfileReader::Find(std::string_view section, std::string_view key) const {
    const std::string sectionName = Lower(section);
    const std::string keyName = Lower(key);
    for (const Section& s : sections_) {
        if (s.name != sectionName) continue;
        for (const Entry& e : s.entries) {
            if (e.key == keyName) return &e.value;
        }
    }
    return nullptr;
}

bool ProfileReader::HasKey(std::string_view section, std::string_view key) const {
    return Find(section, key) != nullptr;
}

std::string ProfileReader::ReadString(std::string_view section, std::string_view key,
                                      std::string_view defaultValue) const {
    const std::string* value = Find(section, key);
    std::string_view text = value != nullptr ? std::string_view(*value) : defaultValue;
    return std::string(text.substr(0, kMaxStringChars));
}

int32_t ProfileReader::ReadInt(std::string_view section, std::string_view key, int32_t defaultValue) const {
    const std::string* value = Find(section, key);
    return value != nullptr ? LeadingDecimal(*value) : defaultValue;
}

}  // namespace pell
