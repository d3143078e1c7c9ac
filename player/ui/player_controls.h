// Control ids and object names of the player's main window, its menus and their commands.
#pragma once

#include "common/core/version.h"

namespace pell::player {

inline constexpr int kIdRecordList = 1001;
inline constexpr int kIdPlayPause = 1003;
inline constexpr int kIdStop = 1004;
inline constexpr int kIdPrevious = 1005;
inline constexpr int kIdNext = 1006;
inline constexpr int kIdFromDate = 1009;
inline constexpr int kIdToDate = 1010;
inline constexpr int kIdDateGroup = 1011;
inline constexpr int kIdPosition = 1012;
inline constexpr int kIdSearch = 1013;
inline constexpr int kIdRefresh = 1014;
inline constexpr int kIdVolume = 1019;
inline constexpr int kIdVolumeIcon = 1020;
inline constexpr int kIdLeftMeter = 1021;
inline constexpr int kIdRightMeter = 1022;
inline constexpr int kIdTimeDisplay = 1023;
inline constexpr int kIdFirstBand = 1025;  // bands 1..10 are 1025..1034
inline constexpr int kIdPreamp = 1035;
inline constexpr int kEqualizerSliderCount = 11;

// Menu commands.
inline constexpr int kCmdAbout = 16;
inline constexpr int kCmdSetBookmark = 32771;
inline constexpr int kCmdCopyTo = 32772;
inline constexpr int kCmdPlay = 32773;
inline constexpr int kCmdExit = 32774;
inline constexpr int kCmdProperties = 32775;
inline constexpr int kCmdDelete = 1016;

// The main window's smallest client area in dialog units: dialog 102, with room added for the
// equalizer's frequencies, the call's outline under the list and the line under the transport.
inline constexpr int kWindowWidthUnits = 427;
inline constexpr int kWindowHeightUnits = 309;
// How far the skip keys move within a record.
inline constexpr int kSkipSeconds = 5;

namespace text {
inline constexpr const char* kTitle = "Teluva Player";
inline constexpr const char* kAboutItem = "&About Teluva Player...";
inline constexpr const char* kAboutTitle = "About Teluva Player";
inline constexpr const char* kAboutLine = "Teluva Player v " PELL_VERSION;
inline constexpr const char* kOk = "OK";
inline constexpr const char* kFileMenu = "&File";
inline constexpr const char* kHelpMenu = "&Help";
inline constexpr const char* kProperties = "&Properties";
inline constexpr const char* kExit = "E&xit";
inline constexpr const char* kPlay = "&Play";
inline constexpr const char* kSetBookmark = "&Set bookmark";
inline constexpr const char* kCopyTo = "&Copy to..";
inline constexpr const char* kDelete = "&Delete";
inline constexpr const char* kPlaybackMenu = "P&layback";
inline constexpr const char* kPlayPause = "Play / &Pause";
inline constexpr const char* kStop = "&Stop";
inline constexpr const char* kPrevious = "P&revious record";
inline constexpr const char* kNext = "&Next record";
inline constexpr const char* kSkipBack = "&Back 5 seconds";
inline constexpr const char* kSkipForward = "&Forward 5 seconds";
inline constexpr const char* kFindMenu = "&Find...";
inline constexpr const char* kRefresh = "Re&fresh list";
inline constexpr const char* kFindCalls = "Find &calls...";
inline constexpr const char* kBackToDates = "Back to &dates";
}  // namespace text

}  // namespace pell::player
