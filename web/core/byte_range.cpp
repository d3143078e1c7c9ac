#include "web/core/byte_range.h"

#include <limits>
#include <optional>

#include "web/core/ini_text.h"

namespace pell::web {
namespace {

// A run of decimal digits as a byte position; nothing when empty, not digits, or too large.
std::optional<int64_t> Position(std::string_view text) {
    if (text.empty() || text.size() > 18) return std::nullopt;
    int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

ByteRange ParseByteRange(std::string_view header, int64_t size) {
    const ByteRange whole;
    header = TrimBlanks(header);
    constexpr std::string_view kUnit = "bytes=";
    if (header.substr(0, kUnit.size()) != kUnit) return whole;
    const std::string_view spec = TrimBlanks(header.substr(kUnit.size()));
    if (spec.find(',') != std::string_view::npos) return whole;
    const std::size_t dash = spec.find('-');
    if (dash == std::string_view::npos) return whole;
    const std::string_view firstText = TrimBlanks(spec.substr(0, dash));
    const std::string_view lastText = TrimBlanks(spec.substr(dash + 1));
    ByteRange range;
    range.kind = ByteRange::Kind::kPart;
    if (firstText.empty()) {
        // A suffix: the last N bytes.
        const auto suffix = Position(lastText);
        if (!suffix) return whole;
        if (*suffix == 0 || size == 0) return ByteRange{ByteRange::Kind::kUnsatisfiable, 0, 0};
        range.first = *suffix >= size ? 0 : size - *suffix;
        range.last = size - 1;
        return range;
    }
    const auto first = Position(firstText);
    if (!first) return whole;
    std::optional<int64_t> last;
    if (!lastText.empty()) {
        last = Position(lastText);
        if (!last || *last < *first) return whole;  // not a valid range: ignored
    }
    if (*first >= size) return ByteRange{ByteRange::Kind::kUnsatisfiable, 0, 0};
    range.first = *first;
    range.last = last ? std::min(*last, size - 1) : size - 1;
    return range;
}

std::string ContentRange(const ByteRange& range, int64_t size) {
    if (range.kind == ByteRange::Kind::kUnsatisfiable) return "bytes */" + std::to_string(size);
    return "bytes " + std::to_string(range.first) + "-" + std::to_string(range.last) + "/" + std::to_string(size);
}

}  // namespace pell::web
