#include "index/core/index_settings.h"

#include <fstream>
#include <iterator>

#include "common/core/paths.h"
#include "common/core/profile.h"
#include "player/catalogue/ascii_case.h"

namespace pell {
namespace {

std::string Trimmed(std::string text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.back())) text.pop_back();
    std::size_t start = 0;
    while (start < text.size() && blank(text[start])) ++start;
    return text.substr(start);
}

// A value may carry a "; remark" after it, as the example in the header does.
std::string Value(const ProfileReader& profile, std::string_view section, std::string_view key) {
    std::string value = profile.ReadString(section, key);
    const std::size_t remark = value.find(" ;");
    if (remark != std::string::npos) value.resize(remark);
    return Trimmed(std::move(value));
}

IndexSettings FromProfile(const ProfileReader& profile) {
    IndexSettings settings;
    const std::string store = LowerAscii(Value(profile, "index", "store"));
    if (store == "postgresql" || store == "postgres") {
        settings.store = IndexStoreKind::kPostgresql;
    } else if (!store.empty() && store != "sqlite") {
        settings.error = "index.ini: store=" + store + " is neither sqlite nor postgresql";
    }
    settings.sqliteFile = Value(profile, "index", "file");
    settings.connection = Value(profile, "index", "connection");
    if (settings.store == IndexStoreKind::kPostgresql && settings.connection.empty() && settings.error.empty()) {
        settings.error = "index.ini: store=postgresql needs connection= (for example host=db1 dbname=pell)";
    }
    settings.numbers.countryCode = Value(profile, "numbers", "country_code");
    settings.numbers.nationalPrefix = Value(profile, "numbers", "national_prefix");
    if (profile.HasKey("numbers", "international_prefix")) {
        settings.numbers.internationalPrefix = Value(profile, "numbers", "international_prefix");
    }
    for (const std::string* digits :
         {&settings.numbers.countryCode, &settings.numbers.nationalPrefix, &settings.numbers.internationalPrefix}) {
        if (NumberDigits(*digits) != *digits && settings.error.empty()) {
            settings.error = "index.ini: [numbers] values are digits only, not \"" + *digits + "\"";
        }
    }
    return settings;
}

}  // namespace

IndexSettings ParseIndexSettings(std::string_view text) {
    IndexSettings settings = FromProfile(ProfileReader::FromText(text));
    settings.fromFile = true;
    return settings;
}

IndexSettings LoadIndexSettings(const std::string& programFolder) {
    std::ifstream in(JoinPath(programFolder, kIndexSettingsFile), std::ios::binary);
    if (!in) return {};
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ParseIndexSettings(text);
}

std::string CacheIndexFolder(const char* xdgCacheHome, const char* home) {
    if (xdgCacheHome != nullptr && xdgCacheHome[0] == '/') return JoinPath(xdgCacheHome, "pell");
    if (home != nullptr && home[0] != '\0') return JoinPath(JoinPath(home, ".cache"), "pell");
    return {};
}

}  // namespace pell
