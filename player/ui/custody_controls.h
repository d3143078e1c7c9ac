// Menu commands and texts of the player's legal hold and recording Properties.
#pragma once

namespace pell::player {

inline constexpr int kCmdProtect = 32776;
inline constexpr int kCmdUnprotect = 32777;
inline constexpr int kCmdRecordingProperties = 32778;

namespace text {
inline constexpr const char* kRecordingMenu = "&Recording";
inline constexpr const char* kProtect = "Pro&tect (legal hold)";
inline constexpr const char* kUnprotect = "&Unprotect";
inline constexpr const char* kRecordingProperties = "Recording p&roperties...";
}  // namespace text

}  // namespace pell::player
