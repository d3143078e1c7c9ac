// The configuration dialog's controls: resource ids, the object names tests find them by,
// captions, labels and the items of every drop list. One table for the window and its tests.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "common/core/version.h"

namespace pell::configurator {

// A control of the dialog: its resource id and the objectName the Qt widget carries.
struct ControlId {
    int id;
    const char* objectName;
};

// Per-channel controls come in pairs: index 0 is channel 1, index 1 channel 2.
using ChannelControlIds = std::array<ControlId, 2>;

inline constexpr int kDialogTemplate = 102;
inline constexpr int kAboutTemplate = 100;
// Our own controls: the button that opens the recorder.ini dialog, and that dialog's fields.
inline constexpr ControlId kOptionsButton{1100, "optionsButton"};
inline constexpr ControlId kReminderHoursEdit{1101, "reminderHoursEdit"};
inline constexpr ControlId kMailServerEdit{1102, "mailServerEdit"};
inline constexpr ControlId kMailFromEdit{1103, "mailFromEdit"};
inline constexpr ControlId kMailToEdit{1104, "mailToEdit"};
inline constexpr ControlId kMailUserEdit{1105, "mailUserEdit"};
inline constexpr ControlId kMailPasswordEdit{1106, "mailPasswordEdit"};
inline constexpr ChannelControlIds kNoCallDaysEdit{{{1107, "noCallDaysEdit1"}, {1108, "noCallDaysEdit2"}}};
inline constexpr ChannelControlIds kKeepDaysEdit{{{1109, "keepDaysEdit1"}, {1110, "keepDaysEdit2"}}};
inline constexpr ChannelControlIds kDeleteAfterDaysEdit{
    {{1111, "deleteAfterDaysEdit1"}, {1112, "deleteAfterDaysEdit2"}}};
inline constexpr ControlId kOptionsSaveButton{1113, "optionsSaveButton"};
inline constexpr ControlId kOptionsCancelButton{1114, "optionsCancelButton"};

inline constexpr int kAboutCommand = 16;  // system-menu command

inline constexpr ControlId kSaveButton{1, "saveButton"};
inline constexpr ControlId kExitButton{2, "exitButton"};

inline constexpr ControlId kDeviceEdit{1000, "deviceEdit"};
inline constexpr ControlId kDeviceNumberList{1002, "deviceNumberList"};
inline constexpr ControlId kSampleRateCombo{1001, "sampleRateCombo"};
inline constexpr ControlId kAutocleaningList{1003, "autocleaningList"};
inline constexpr ControlId kMinDiskSizeEdit{1004, "minDiskSizeEdit"};

inline constexpr ChannelControlIds kActiveCheck{{{1005, "activeCheck1"}, {1017, "activeCheck2"}}};
inline constexpr ChannelControlIds kDescriptionEdit{{{1006, "descriptionEdit1"}, {1018, "descriptionEdit2"}}};
inline constexpr ChannelControlIds kFolderEdit{{{1007, "folderEdit1"}, {1019, "folderEdit2"}}};
inline constexpr ChannelControlIds kBrowseButton{{{1008, "browseButton1"}, {1020, "browseButton2"}}};
inline constexpr ChannelControlIds kPrefixList{{{1009, "prefixList1"}, {1021, "prefixList2"}}};
inline constexpr ChannelControlIds kClipList{{{1029, "clipList1"}, {1030, "clipList2"}}};
inline constexpr ChannelControlIds kGainList{{{1010, "gainList1"}, {1022, "gainList2"}}};
inline constexpr ChannelControlIds kSignalControlList{{{1011, "signalControlList1"}, {1023, "signalControlList2"}}};
inline constexpr ChannelControlIds kStartLevelList{{{1012, "startLevelList1"}, {1024, "startLevelList2"}}};
inline constexpr ChannelControlIds kStopAfterCombo{{{1013, "stopAfterCombo1"}, {1025, "stopAfterCombo2"}}};
inline constexpr ChannelControlIds kBitrateList{{{1014, "bitrateList1"}, {1026, "bitrateList2"}}};
inline constexpr ChannelControlIds kMinFileSizeEdit{{{1015, "minFileSizeEdit1"}, {1027, "minFileSizeEdit2"}}};
inline constexpr ChannelControlIds kMaxFileSizeEdit{{{1016, "maxFileSizeEdit1"}, {1028, "maxFileSizeEdit2"}}};

namespace text {
inline constexpr const char* kTitle = "Pell2CFG";
inline constexpr const char* kCommonGroup = "Common:";
inline constexpr std::array<const char*, 2> kChannelGroup{"Channel 1:", "Channel 2:"};
inline constexpr const char* kSave = "Save";
inline constexpr const char* kExit = "Exit";
inline constexpr const char* kDevice = "Device:";
inline constexpr const char* kDeviceNumber = "Device number:";
inline constexpr const char* kSampleRate = "Input samplerate, Hz:";
inline constexpr const char* kAutocleaning = "Autocleaning:";
inline constexpr const char* kMinDiskSize = "Min disk size, MB:";
inline constexpr const char* kActive = "Active";
inline constexpr const char* kDescription = "Description:";
inline constexpr const char* kFolder = "Folder:";
inline constexpr const char* kBrowse = "...";
inline constexpr const char* kPrefix = "File prefix:";
inline constexpr const char* kClip = "CLIP:";
inline constexpr const char* kGain = "Sound gain:";
inline constexpr const char* kSignalControl = "Signal control:";
inline constexpr const char* kStartLevel = "Start level:";
inline constexpr const char* kStopAfter = "Stop if silence after, s:";
inline constexpr const char* kBitrate = "MP3 bitrate:";
inline constexpr const char* kMinFileSize = "Min file size, KB:";
inline constexpr const char* kMaxFileSize = "Max file size, MB:";
inline constexpr std::array<const char*, 2> kBrowseTitle{"Choose directory for 1st channel files",
                                                         "Choose directory for 2nd channel files"};
inline constexpr const char* kSaved = "Settings were saved successfully";
inline constexpr const char* kNotSaved =
    "Settings were not saved: the file could not be written completely. "
    "The previous settings are unchanged.";
inline constexpr const char* kEnterInteger = "Please enter an integer.";
inline constexpr const char* kRestartStuck =
    "The recorder was not restarted: the restart program did not finish stopping it.";
inline constexpr const char* kAboutMenuItem = "&About Pell2CFG...";
inline constexpr const char* kAboutTitle = "About Pell2CFG";
inline constexpr const char* kAboutText = "Pell2CFG Version " PELL_VERSION;
inline constexpr const char* kOk = "OK";
// The folder fields are wide enough for the package's own drop folders; a longer path shows its end.
inline constexpr const char* kFolderShownWhole = "/var/lib/pell/recordings/line1";
// Our own texts: what a save means for the running recorder, and the recorder.ini dialog.
inline constexpr const char* kTakenAtClose = "The running recorder takes them when Pell2CFG is closed.";
inline constexpr const char* kOptionsButton = "&Alarms, e-mail...";
inline constexpr const char* kOptionsTitle = "Alarms, e-mail and keeping recordings";
inline constexpr const char* kOptionsIntro =
    "Kept in recorder.ini beside settings.ini. A day count of 0 switches its rule off; "
    "an empty mail server sends no e-mail.";
inline constexpr const char* kAlarmsGroup = "Alarms:";
inline constexpr const char* kReminderHours = "Repeat a standing alarm every, hours:";
inline constexpr const char* kMailGroup = "E-mail for alarms:";
inline constexpr const char* kMailServer = "Mail server:";
inline constexpr const char* kMailServerHint = "smtp://mail.example.com:587 or smtps://...:465";
inline constexpr const char* kMailFrom = "From:";
inline constexpr const char* kMailTo = "To:";
inline constexpr const char* kMailToHint = "one or more addresses, separated by commas";
inline constexpr const char* kMailUser = "User:";
inline constexpr const char* kMailPassword = "Password:";
inline constexpr std::array<const char*, 2> kLineGroup{"Line 1:", "Line 2:"};
inline constexpr const char* kNoCallDays = "Alarm after days without a call:";
inline constexpr const char* kKeepDays = "Keep recordings at least, days:";
inline constexpr const char* kDeleteAfterDays = "Delete recordings after, days:";
inline constexpr const char* kCancel = "Cancel";
inline constexpr const char* kOptionsSaved = "Alarms, e-mail and keeping recordings were saved in recorder.ini.";
inline constexpr const char* kOptionsNotSaved =
    "recorder.ini was not saved: the file could not be written in the recorder's program folder. "
    "The previous settings are unchanged.";
}  // namespace text

namespace items {
const std::vector<std::string>& DeviceNumber();   // "1".."4"
const std::vector<std::string>& SampleRate();     // "8000", "16000", "32000"
const std::vector<std::string>& Autocleaning();   // "Off", "On"
const std::vector<std::string>& Prefix();         // "a".."z"
const std::vector<std::string>& Clip();           // "None", "Tone", "FSK (Europe)", "FSK (US)", "Automatic"
const std::vector<std::string>& Gain();           // "Off", "1".."15"
const std::vector<std::string>& SignalControl();  // "HID", "VOX"
const std::vector<std::string>& StartLevel();     // "1".."32"
const std::vector<std::string>& StopAfter();      // "1".."10"
const std::vector<std::string>& Bitrate();        // "8".."320" kbit/s
}  // namespace items

}  // namespace pell::configurator
