// The Range header of a request for a recording (RFC 9110 section 14): a browser's player asks
// for "bytes=0-" first and then for where the user seeks to. One range is served; a request
// for several ranges, or one that does not read as bytes, gets the whole file (a server may
// ignore Range), and a range that starts at or past the end gets 416 with the file's size.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pell::web {

struct ByteRange {
    enum class Kind { kWhole, kPart, kUnsatisfiable };
    Kind kind = Kind::kWhole;
    int64_t first = 0;  // Part: first and last byte, inclusive
    int64_t last = 0;

    int64_t Length() const { return last - first + 1; }
};

// `header` is the Range value as sent (empty when there was none); `size` the file's length.
ByteRange ParseByteRange(std::string_view header, int64_t size);

// "bytes 100-199/5000" for a part, "bytes */5000" for a refusal.
std::string ContentRange(const ByteRange& range, int64_t size);

}  // namespace pell::web
