#include "web/core/ini_text.h"

#include "player/catalogue/ascii_case.h"

namespace pell::web {

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

IniText ParseIniText(std::string_view text) {
    IniText out;
    std::string section;
    int number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = TrimBlanks(line);
        if (line.empty() || line.front() == '#' || line.front() == ';') continue;
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3) {
                out.error = "line " + std::to_string(number) + ": a section is written [name]";
                return out;
            }
            const std::string_view name = TrimBlanks(line.substr(1, line.size() - 2));
            section = LowerAscii(name);
            out.sections.emplace_back(section, number);
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || TrimBlanks(line.substr(0, equals)).empty()) {
            out.error = "line " + std::to_string(number) + ": expected key=value";
            return out;
        }
        out.entries.push_back(IniEntry{section, LowerAscii(TrimBlanks(line.substr(0, equals))),
                                       std::string(TrimBlanks(line.substr(equals + 1))), number});
    }
    return out;
}

}  // namespace pell::web
