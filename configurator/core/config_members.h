// The configuration dialog without its window: the members it edits, how "settings.ini" fills
// them, how they show in the controls and come back, and what a save writes.
//
// Members and controls are kept apart as in any data-exchange dialog: a load fills the members
// and moves them into the controls; "Save" and a signal-control change take the controls back
// into the members. A drop list's member changes only when the user picks one of its items,
// so a value from the file that no item holds ("gain=17", "bitrate=12") is written back as it
// was instead of being replaced by whatever the list happened to show.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/core/profile.h"
#include "common/core/settings_file.h"

namespace pell::configurator {

struct ChannelMembers {
    int32_t active = 0;  // "exists"
    std::string description;
    std::string folder;
    std::string prefix;              // text of the prefix list
    int32_t clipIndex = -1;          // -1: nothing chosen
    int64_t gainIndex = 0;           // gain value - 1, so "Off" (index 0) is unity gain 1
    int32_t signalControlIndex = 0;  // 0 HID, otherwise VOX
    std::string startLevel;
    std::string stopAfter;
    std::string bitrate;
    std::string minFileSize;  // KB, as typed
    std::string maxFileSize;  // MB, as typed
};

struct DialogMembers {
    std::string device;
    int64_t deviceNumberIndex = 0;  // "number" - 1
    std::string sampleRate;
    int32_t autocleaningIndex = 1;
    int32_t minDiskSize = 500;  // MB
    std::array<ChannelMembers, 2> channels;
};

// A drop list as the window shows it. `picked` says the user chose an item since the last
// load; only then does the selection replace the member.
struct DropListState {
    int index = -1;  // -1: no selection
    bool picked = false;

    bool operator==(const DropListState&) const = default;
};

struct ChannelControls {
    bool active = false;
    std::string description;
    std::string folder;
    DropListState prefix;
    DropListState clip;
    DropListState gain;
    DropListState signalControl;
    DropListState startLevel;
    bool startLevelEnabled = false;
    std::string stopAfter;  // editable drop-down: the typed text
    DropListState bitrate;
    std::string minFileSize;
    std::string maxFileSize;

    bool operator==(const ChannelControls&) const = default;
};

struct DialogControls {
    std::string device;
    DropListState deviceNumber;
    std::string sampleRate;  // editable drop-down: the typed text
    DropListState autocleaning;
    std::string minDiskSize;  // edit text; must hold a whole number to be taken
    std::array<ChannelControls, 2> channels;

    bool operator==(const DialogControls&) const = default;
};

// The values the dialog holds before anything is loaded.
DialogMembers ConstructorMembers();

// Reads every key with the default the recorder itself would use where an empty text would
// read as 0 ("samplerate" 8000, "bitrate" 24, ...), and the configurator's defaults otherwise.
DialogMembers LoadMembers(const ProfileReader& settings);

// The drop-list rule of the platform: the first item that begins with text, ignoring case;
// -1 when none does or text is empty.
int SelectString(const std::vector<std::string>& items, std::string_view text);

// "%d"-style whole number: optional blanks, optional sign, digits, optional blanks, in the
// 32-bit range.
std::optional<int32_t> ParseDialogInteger(std::string_view text);

// Moves the members into the controls (nothing picked) and applies the signal-control rule.
DialogControls MembersToControls(const DialogMembers& members);

// Takes the controls into the members. The min disk size is taken only when it holds a whole
// number; the result says whether it did (every other control is taken either way).
bool ControlsToMembers(const DialogControls& controls, DialogMembers& members);

// "Start level:" is meaningful only when the sound level controls recording (VOX).
bool StartLevelEnabled(const ChannelMembers& channel);

// The file's entries, written as the members stand; line breaks in typed texts become blanks
// so no text can add lines or sections to the file.
SettingsDocument MembersToDocument(const DialogMembers& members);

enum class SaveOutcome {
    kSaved,
    kInvalidMinDiskSize,  // nothing written; the user is asked for a whole number
    kCannotCreate,        // nothing written, nothing said
    kWriteFailed,         // the old file is untouched; the user is told
};

// "Save": takes the controls, writes the whole file through a temporary file, and sets
// settingsSaved only when the new file is in place.
SaveOutcome SaveSettings(const DialogControls& controls, DialogMembers& members, const std::string& settingsPath,
                         bool& settingsSaved);

}  // namespace pell::configurator
