// Texts in the recording tag's 30-byte fields are UTF-8. Older recordings carry single-byte
// (Latin-1) texts, so whatever is not valid UTF-8 is read as Latin-1; a text that is too long
// is cut before the character that would not fit whole, never inside one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pell {

// True when `bytes` is well-formed UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// `bytes` itself when it is valid UTF-8, otherwise each byte taken as a Latin-1 character.
std::string TagTextAsUtf8(std::string_view bytes);

// The longest start of `utf8` that ends at a character boundary and has at most `maxBytes` bytes.
std::string_view CutAtCharacterBoundary(std::string_view utf8, std::size_t maxBytes);

// The bytes a tag writer stores for `text`: UTF-8, at most `fieldBytes` bytes, cut whole characters.
std::string EncodeTagText(std::string_view text, std::size_t fieldBytes);

}  // namespace pell
