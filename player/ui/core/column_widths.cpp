#include "player/ui/core/column_widths.h"

#include <fstream>
#include <sstream>

#include "common/core/paths.h"

namespace pell {
namespace {

std::int32_t LeadingDecimal(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    bool negative = false;
    if (i < line.size() && (line[i] == '-' || line[i] == '+')) negative = line[i++] == '-';
    std::int64_t value = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
        value = value * 10 + (line[i] - '0');
        if (value > INT32_MAX) value = INT32_MAX;  // an absurd width saturates instead of wrapping
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

}  // namespace

ColumnWidths ParseColumnWidths(std::string_view text, const ColumnWidths& current) {
    ColumnWidths widths = current;
    std::size_t start = 0;
    for (int i = 0; i < kColumnWidthCount && start < text.size(); ++i) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty()) widths[static_cast<std::size_t>(i)] = LeadingDecimal(line);
        start = end + 1;
    }
    return widths;
}

std::string FormatColumnWidths(const ColumnWidths& widths) {
    std::string text;
    for (std::int32_t width : widths) text += std::to_string(width) + "\r\n";
    return text;
}

ColumnWidths ReadColumnWidths(const std::string& programFolder, const ColumnWidths& current) {
    std::ifstream in(JoinPath(programFolder, kColumnWidthsFileName), std::ios::binary);
    if (!in) return current;
    std::ostringstream text;
    text << in.rdbuf();
    return ParseColumnWidths(text.str(), current);
}

bool WriteColumnWidths(const std::string& programFolder, const ColumnWidths& widths) {
    std::ofstream out(JoinPath(programFolder, kColumnWidthsFileName), std::ios::binary | std::ios::trunc);
    if (!out) return false;
    const std::string text = FormatColumnWidths(widths);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return static_cast<bool>(out.flush());
}

}  // namespace pell
