#pragma once

#include <string>
#include <string_view>

namespace pell {

// Joins a program or drop folder and a file name: the folder is used unchanged, "/" between.
inline std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string out(folder);
    out += '/';
    out += name;
    return out;
}

}  // namespace pell
