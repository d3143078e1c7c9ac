// What a calling number may hold, and the rates caller identification analyses.
#pragma once

#include <cstdint>
#include <string>

namespace pell {

// Capture devices deliver no more than this; above it a rate is a typing error, and analysing it
// would build absurdly long filters.
inline constexpr int32_t kMaxCallerIdSampleRate = 192000;  // Hz
inline constexpr int32_t kMinCallerIdSampleRate = 8000;    // Hz

// True for a non-empty text of digits, "*" and "#", with at most one "+" and only in front (the
// international prefix). Anything else a decoder yields is damage, not a number.
bool IsCallingNumber(const std::string& text);

}  // namespace pell
