#include "web/core/web_exchange.h"

#include "web/core/ini_text.h"

namespace pell::web {
namespace {

constexpr std::size_t kBookmarkBytes = 30;  // the tag's comment field

}  // namespace

const std::string* WebRequest::Param(std::string_view name) const {
    for (const auto& [key, value] : params) {
        if (key == name) return &value;
    }
    return nullptr;
}

const std::string* WebResponse::FindHeader(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (key == name) return &value;
    }
    return nullptr;
}

std::string CookieValue(std::string_view header, std::string_view name) {
    while (!header.empty()) {
        const std::size_t end = header.find(';');
        const std::string_view pair = TrimBlanks(header.substr(0, end));
        header = end == std::string_view::npos ? std::string_view{} : header.substr(end + 1);
        const std::size_t equals = pair.find('=');
        if (equals == std::string_view::npos) continue;
        if (TrimBlanks(pair.substr(0, equals)) == name) return std::string(TrimBlanks(pair.substr(equals + 1)));
    }
    return {};
}

bool ValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        uint32_t point = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            point = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            point = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            point = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            point = (point << 6) | (next & 0x3F);
        }
        if ((length == 3 && point < 0x800) || (length == 4 && (point < 0x10000 || point > 0x10FFFF)) ||
            (point >= 0xD800 && point <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string BookmarkProblem(std::string_view text) {
    if (!ValidUtf8(text)) return "The bookmark is not UTF-8 text.";
    if (text.size() > kBookmarkBytes) {
        return "A bookmark holds at most 30 bytes (this one has " + std::to_string(text.size()) + ").";
    }
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "A bookmark is one line of text.";
    }
    return {};
}

std::string DownloadName(std::string_view line, std::string_view start, std::string_view number) {
    std::string name;
    const auto add = [&](std::string_view part) {
        const std::size_t before = name.size();
        if (!name.empty()) name += '_';
        for (const char c : part) {
            if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
                name += c;
            } else if (!name.empty() && name.back() != '-' && name.back() != '_') {
                name += '-';
            }
        }
        while (name.size() > before && (name.back() == '-' || name.back() == '_')) name.pop_back();
    };
    add(line);
    add(start);
    add(number);
    if (name.empty()) name = "call";
    return name + ".mp3";
}

}  // namespace pell::web
