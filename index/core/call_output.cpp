#include "index/core/call_output.h"

#include <cstdio>

#include "common/core/escape_text.h"

namespace pell {
namespace {

bool IsPhoneNumber(std::string_view text) {
    if (text.empty()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool allowed = (c >= '0' && c <= '9') || c == ' ' || (c == '+' && i == 0);
        if (!allowed) return false;
    }
    return true;
}

// Length of the UTF-8 sequence starting at text[i], or 0 when it is not one.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
    }
    return length;
}

}  // namespace

const std::vector<std::string>& ListColumnNames() {
    static const std::vector<std::string> names = {"channel",  "date",      "duration",  "number",
                                                   "bookmark", "placement", "direction", "played"};
    return names;
}

std::string CsvField(std::string_view text) {
    std::string field(text);
    if (!field.empty() && (field[0] == '=' || field[0] == '+' || field[0] == '-' || field[0] == '@') &&
        !IsPhoneNumber(field)) {
        field.insert(field.begin(), '\'');
    }
    if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
    std::string quoted = "\"";
    for (const char c : field) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto u = static_cast<unsigned char>(text[i]);
        char escaped[8];
        if (u == '"' || u == '\\') {
            out += '\\';
            out += static_cast<char>(u);
        } else if (u < 0x20 || u == 0x7F) {
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (const std::size_t length = Utf8Length(text, i); length != 0) {
            out.append(text.substr(i, length));
            i += length;
            continue;
        } else {
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        }
        ++i;
    }
    out += '"';
    return out;
}

std::string CsvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += ',';
        line += CsvField(fields[i]);
    }
    line += "\r\n";
    return line;
}

std::string ListHeader(ListFormat format, bool withAudioHash) {
    if (format != ListFormat::kCsv) return {};
    std::vector<std::string> names = ListColumnNames();
    if (withAudioHash) names.emplace_back(kAudioHashColumn);
    return CsvLine(names);
}

std::string FormatListLine(const RecordRow& row, ListFormat format, int64_t id,
                           const std::optional<std::string>& audioSha256) {
    const std::string direction = std::to_string(row.image);
    const std::string played = row.Played() ? "1" : "0";
    switch (format) {
        case ListFormat::kTsv:
            return EscapeUnprintable(row.channel) + '\t' + row.date + '\t' + row.duration + '\t' +
                   EscapeUnprintable(row.number) + '\t' + EscapeUnprintable(row.bookmark) + '\t' +
                   EscapeUnprintable(row.placement) + '\t' + direction + '\t' + played + '\n';
        case ListFormat::kCsv: {
            std::vector<std::string> fields = {row.channel,  row.date,      row.duration, row.number,
                                               row.bookmark, row.placement, direction,    played};
            if (audioSha256) fields.push_back(*audioSha256);
            return CsvLine(fields);
        }
        case ListFormat::kJson: {
            std::string line = "{";
            if (id != 0) line += "\"id\":" + std::to_string(id) + ",";
            line += "\"channel\":" + JsonString(row.channel) + ",\"date\":" + JsonString(row.date) +
                    ",\"duration\":" + JsonString(row.duration) + ",\"number\":" + JsonString(row.number) +
                    ",\"bookmark\":" + JsonString(row.bookmark) + ",\"placement\":" + JsonString(row.placement) +
                    ",\"direction\":" + direction + ",\"played\":" + played;
            if (audioSha256) line += std::string(",\"") + kAudioHashColumn + "\":" + JsonString(*audioSha256);
            line += "}\n";
            return line;
        }
    }
    return {};
}

}  // namespace pell
