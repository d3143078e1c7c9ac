// The plain "key=value under [section]" text of pell-web's own files (web.ini, the users file):
// a key may repeat (one line per record root, per permitted line), lines starting with '#' or
// ';' are remarks, blanks around names and values are dropped. Section and key names are
// lower-cased; values keep their bytes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pell::web {

struct IniEntry {
    std::string section;  // lower-cased; empty before the first section
    std::string key;      // lower-cased
    std::string value;
    int line = 0;  // 1-based, for messages
};

struct IniText {
    std::vector<IniEntry> entries;
    // Every section header, lower-cased, with its line: a section may have no keys.
    std::vector<std::pair<std::string, int>> sections;
    std::string error;  // the first line that is neither remark, section nor key=value; empty when fine
};

IniText ParseIniText(std::string_view text);

// Blanks and tabs removed at both ends.
std::string_view TrimBlanks(std::string_view text);

}  // namespace pell::web
