#include "player/catalogue/recording_tag.h"

#include <algorithm>
#include <cstring>

#include "common/core/tag_text.h"

namespace pell {
namespace {

bool IsTrimmed(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

bool HasTagMarker(const TagBytes& tag) { return tag[0] == 'T' && tag[1] == 'A' && tag[2] == 'G'; }

std::string ReadTagText(const TagBytes& tag, std::size_t offset) {
    const auto* begin = reinterpret_cast<const char*>(tag.data() + offset);
    const std::size_t available = std::min(kTagTextLength, kTagSize - offset);
    const auto* end = static_cast<const char*>(std::memchr(begin, 0, available));
    std::string_view text(begin, end != nullptr ? static_cast<std::size_t>(end - begin) : available);
    while (!text.empty() && IsTrimmed(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsTrimmed(text.back())) text.remove_suffix(1);
    return TagTextAsUtf8(text);
}

std::optional<TagFields> ParseRecordingTag(const TagBytes& tag) {
    if (!HasTagMarker(tag)) return std::nullopt;
    TagFields fields;
    fields.number = ReadTagText(tag, tag_offset::kTitle);
    fields.channel = ReadTagText(tag, tag_offset::kArtist);
    fields.bookmark = ReadTagText(tag, tag_offset::kComment);
    // Any non-zero byte counts as played, so a foreign tag's year digit cannot spill into itemData.
    fields.played = tag[tag_offset::kPlayed] != 0 ? 1 : 0;
    switch (tag[tag_offset::kDirection]) {
        case 'I':
            fields.direction = CallDirection::kIncoming;
            break;
        case 'O':
            fields.direction = CallDirection::kOutgoing;
            break;
        default:
            fields.direction = CallDirection::kUnknown;
            break;
    }
    return fields;
}

TagBytes MakeFreshTag() {
    TagBytes tag{};
    tag[0] = 'T';
    tag[1] = 'A';
    tag[2] = 'G';
    tag[tag_offset::kGenre] = kSpeechGenre;
    return tag;
}

void SetPlayedMark(TagBytes& tag) { tag[tag_offset::kPlayed] = 1; }

void SetBookmarkText(TagBytes& tag, std::string_view text) {
    const std::string stored = EncodeTagText(text, kTagTextLength);
    uint8_t* field = tag.data() + tag_offset::kComment;
    std::memset(field, 0, kTagTextLength);
    if (!stored.empty()) std::memcpy(field, stored.data(), stored.size());
}

std::string BookmarkAsStored(std::string_view text) {
    TagBytes tag = MakeFreshTag();
    SetBookmarkText(tag, text);
    return ReadTagText(tag, tag_offset::kComment);
}

}  // namespace pell
