// Control ids, object names and texts of the player's bookmark, search and Properties dialogs
// and of its record commands. Tests find every control by its object name.
#pragma once

#include "player/ui/player_controls.h"

namespace pell::player {

struct DialogControl {
    int id;
    const char* objectName;
};

inline constexpr DialogControl kOkButton{1, "okButton"};
inline constexpr DialogControl kCancelButton{2, "cancelButton"};
inline constexpr DialogControl kTextEdit{1018, "textEdit"};  // bookmark and search text
inline constexpr DialogControl kFindButton{1, "findButton"};
inline constexpr DialogControl kPathsTab{1017, "pathsTab"};
inline constexpr DialogControl kPathsList{1001, "pathsList"};
inline constexpr DialogControl kAddPathButton{1015, "addPathButton"};
inline constexpr DialogControl kRemovePathButton{1016, "removePathButton"};
// The Properties tab of the current row's recording.
inline constexpr DialogControl kRecordingPage{1040, "recordingPage"};
inline constexpr DialogControl kRecordingName{1041, "recordingName"};
inline constexpr DialogControl kProofLine{1042, "proofLine"};
inline constexpr DialogControl kProofDetail{1043, "proofDetail"};
inline constexpr DialogControl kHoldLine{1044, "holdLine"};
inline constexpr DialogControl kAuditList{1045, "auditList"};
inline constexpr DialogControl kAuditNote{1046, "auditNote"};

namespace text {
inline constexpr const char* kBookmarkTitle = "Type new bookmark";
inline constexpr const char* kSearchTitle = "Search";
inline constexpr const char* kPropertiesTitle = "Properties";
inline constexpr const char* kPathsTab = "Paths to records";
inline constexpr const char* kRecordingTab = "Recording";
inline constexpr const char* kCancel = "Cancel";
inline constexpr const char* kFind = "&Find";
inline constexpr const char* kAddPath = "<--";
inline constexpr const char* kRemovePath = "-->";
inline constexpr const char* kPickRecordFolder = "Choose directory to download file(s)";
inline constexpr const char* kPickCopyFolder = "Choose directory to copy file";
inline constexpr const char* kNotFound = "Could not find record!";
inline constexpr const char* kBookmarkFailed = "Could not store the bookmark.";
inline constexpr const char* kCopyFailed = "Could not copy the file.";
inline constexpr const char* kCopyOntoItself = "The file cannot be copied onto itself.";
inline constexpr const char* kReplaceQuestion = "\"%1\" already exists in \"%2\". Do you want to replace it?";
inline constexpr const char* kFolderInTheWay = "A folder of that name is already there.";
inline constexpr const char* kCopyProgress = "copying file";
inline constexpr const char* kRootsNotSaved = "Could not save the list of record folders.";
}  // namespace text

}  // namespace pell::player
