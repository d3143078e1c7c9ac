// The 128-byte ID3 version 1 tag at the end of a recording, as the player reads and changes it:
// title = calling number, artist = channel description, byte 94 = played mark, byte 95 =
// direction letter, comment = bookmark. Pure functions over the 128 bytes, so the recorder's
// writer and the player's reader can be checked against each other without files.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/core/recording_tag_layout.h"

namespace pell {

using TagBytes = std::array<uint8_t, kTagSize>;

// Call direction as the list's image index shows it.
enum class CallDirection : int { kUnknown = 0, kIncoming = 1, kOutgoing = 2 };

// What the player takes from a tag.
struct TagFields {
    std::string number;    // title
    std::string channel;   // artist
    std::string bookmark;  // comment
    int played = 0;        // 0 or 1
    CallDirection direction = CallDirection::kUnknown;

    friend bool operator==(const TagFields&, const TagFields&) = default;
};

// True when the block begins with the letters TAG; anything else means the file has no tag.
bool HasTagMarker(const TagBytes& tag);

// One 30-byte text field: bytes up to the first zero (or the field's end), blanks, tabs, CR and
// LF trimmed at both ends; UTF-8, or Latin-1 in older files (returned as UTF-8 either way).
std::string ReadTagText(const TagBytes& tag, std::size_t offset);

// The player's view of a tag, or nothing when the block does not begin with TAG.
std::optional<TagFields> ParseRecordingTag(const TagBytes& tag);

// 128 zero bytes with TAG in front and the Speech genre at the end.
TagBytes MakeFreshTag();

// The played mark: byte 94 = 1.
void SetPlayedMark(TagBytes& tag);

// The bookmark: text as UTF-8, cut to 30 bytes between characters, the rest zero-filled (30
// bytes of text leave no terminating zero).
void SetBookmarkText(TagBytes& tag, std::string_view text);

// What the list shows after `text` has been stored as a bookmark: cut, zero-ended and trimmed
// as a reader of the field sees it.
std::string BookmarkAsStored(std::string_view text);

}  // namespace pell
