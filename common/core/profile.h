// Reader for "settings.ini"-style profile files with the private-profile rules the recorder
// relies on: section and key names match without regard to case, the first occurrence wins,
// an integer is the leading signed decimal number of its value, a string is at most 4095
// characters, and anything absent or unreadable yields the caller's default.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pell {

class ProfileReader {
public:
    ProfileReader() = default;

    static ProfileReader FromText(std::string_view text);
    // A missing or unreadable file reads as an empty profile.
    static ProfileReader FromFile(const std::string& path);

    bool HasKey(std::string_view section, std::string_view key) const;
    std::string ReadString(std::string_view section, std::string_view key, std::string_view defaultValue = {}) const;
    int32_t ReadInt(std::string_view section, std::string_view key, int32_t defaultValue) const;

    static constexpr size_t kMaxStringChars = 4095;

private:
    struct Entry {
        std::string key;  // lower-cased
        std::string value;
    };
    struct Section {
        std::string name;  // lower-cased
        std::vector<Entry> entries;
    };
    const std::string* Find(std::string_view section, std::string_view key) const;

    std::vector<Section> sections_;
};

// Leading signed decimal number of text ("123abc" -> 123, "abc" -> 0, "" -> 0), saturated to
// the 32-bit range; leading blanks are skipped.
int32_t LeadingDecimal(std::string_view text);

}  // namespace pell
