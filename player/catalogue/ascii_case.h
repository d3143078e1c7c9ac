// The player folds case for the letters A to Z only: searching and ordering record folders treat
// every other byte as it is, so no locale can change what matches or how folders sort.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace pell {

inline char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string LowerAscii(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) { return LowerAscii(c); });
    return out;
}

}  // namespace pell
