// Where the fields of the 128-byte tag at the end of every recording lie. The recorder writes
// it and the player reads and changes it, so both take the layout from here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pell {

inline constexpr std::size_t kTagSize = 128;
// Title, artist and comment are 30 bytes each, zero-filled, with no terminator when full.
inline constexpr std::size_t kTagTextLength = 30;
// Genre 101, "Speech".
inline constexpr uint8_t kSpeechGenre = 0x65;

namespace tag_offset {
inline constexpr std::size_t kTitle = 3;          // calling number
inline constexpr std::size_t kArtist = 33;        // line description
inline constexpr std::size_t kPlayed = 94;        // set by the player
inline constexpr std::size_t kDirection = 95;     // 'I', 'O' or 'U'
inline constexpr std::size_t kRecorderFlag = 96;  // 1 in every tag the recorder writes
inline constexpr std::size_t kComment = 97;       // bookmark, set by the player
inline constexpr std::size_t kGenre = 127;
}  // namespace tag_offset

}  // namespace pell
