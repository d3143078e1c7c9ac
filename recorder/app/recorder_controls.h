// The recorder window's resource ids, object names and texts, in one table for the window,
// the tray and the tests.
#pragma once

#include "common/core/version.h"

namespace pell::recorder {

struct ControlId {
    int id;
    const char* objectName;
};

inline constexpr int kDialogTemplate = 102;
inline constexpr int kAppIconId = 128;
inline constexpr int kTrayIdleIconId = 130;
inline constexpr int kTrayRecordingIconId = 131;
inline constexpr int kTrayProblemIconId = 132;
inline constexpr int kFileMenuId = 133;
inline constexpr int kTrayMenuId = 134;
inline constexpr int kTrayIconId = 2000;
inline constexpr int kAboutCommand = 16;

// The template's size and control positions, in dialog units.
inline constexpr int kWidthUnits = 260;
inline constexpr int kHeightUnits = 77;

inline constexpr ControlId kChannelCheck[2] = {{1000, "channel1Check"}, {1002, "channel2Check"}};
inline constexpr ControlId kLevelMeter[2] = {{1001, "channel1Meter"}, {1003, "channel2Meter"}};
inline constexpr ControlId kStatusEdit[2] = {{1004, "channel1Status"}, {1005, "channel2Status"}};

inline constexpr ControlId kConfigurationCommand{32771, "configurationAction"};
inline constexpr ControlId kPlayerCommand{32772, "playerAction"};
inline constexpr ControlId kShutDownCommand{32773, "shutDownAction"};
inline constexpr ControlId kRestoreCommand{32774, "restoreAction"};
inline constexpr ControlId kStartupCommand{32775, "startupAction"};

// Timer 0: the first hide, the visible time after "&Restore".
inline constexpr int kFirstTimerMs = 2000;
inline constexpr int kRestoreTimerMs = 60000;
// A missing line box or sound device is looked for this often.
inline constexpr int kDeviceRetryMs = 3000;
// The health file is rewritten this often.
inline constexpr int kStatusPeriodMs = 5000;

// Tips of the notification icon hold at most this many characters.
inline constexpr int kMaxTipLength = 127;

namespace text {
inline constexpr char kAppName[] = "PellRecorder";
inline constexpr char kChannel[2][10] = {"Channel 1", "Channel 2"};
inline constexpr char kFileMenu[] = "&File";
inline constexpr char kConfiguration[] = "&Configuration";
inline constexpr char kPlayer[] = "&Player";
// The start-up registration item: the desktop's autostart stands in for starting with Windows.
inline constexpr char kStartup[] = "Start at login";
inline constexpr char kShutDown[] = "&Shut down";
inline constexpr char kTrayShutDown[] = "Shut down";
inline constexpr char kRestore[] = "&Restore";
inline constexpr char kAboutMenuItem[] = "&About Pell Recorder...";
inline constexpr char kAboutTitle[] = "About PellRecorder";
inline constexpr char kAboutText[] = "PellRecorder Version " PELL_VERSION;
inline constexpr char kOk[] = "OK";
inline constexpr char kQuitQuestion[] = "Do you really want to quit?";
inline constexpr char kCodecFailed[] = "Could not upload mp3 codec!";
inline constexpr char kSoundFailed[] = "Could not init sound!";
inline constexpr char kSourceFailed[] = "Could not open line source!";
inline constexpr char kAlreadyRunning[] = "Pell Recorder is already running.";
}  // namespace text

// The companion programs, without extension.
inline constexpr char kConfiguratorProgram[] = "Pell2CFG";
inline constexpr char kPlayerProgram[] = "PellPlayer";
inline constexpr char kRecorderProgram[] = "PellRecorder";

}  // namespace pell::recorder
