#pragma once

// Text from files or file names on its way to a terminal: a tag or a name may hold escape
// sequences that would rewrite the screen, or tabs and line breaks that would split a row.

#include <cstdio>
#include <string>
#include <string_view>

namespace pell {

// Every byte outside printable ASCII, and the backslash itself, becomes "\xHH"; the rest stays.
inline std::string EscapeUnprintable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F || c == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace pell
