// What the configurator does to the recorder when it closes: nothing unless a save happened;
// with the outside restart program's marker file, stop and restart the recorder through that
// program; otherwise ask the running recorder to reload its settings.
#pragma once

#include <string>
#include <vector>

namespace pell::configurator {

inline constexpr const char* kMarkerFileName = "PellRecorder.sys";
inline constexpr const char* kRestartProgramName = "_PellRecorder";
inline const std::vector<std::string> kStopArguments{"-k", "_PellRecorder"};
inline const std::vector<std::string> kStartArguments{"-r", "_PellRecorder"};

enum class RunOutcome { kFinished, kFailedToStart, kTimedOut };

// The ways out of the configurator; tests replace them.
class RecorderSignalPort {
public:
    virtual ~RecorderSignalPort() = default;
    // Runs the restart program and waits, up to a time limit, until it has ended.
    virtual RunOutcome RunRestartProgram(const std::vector<std::string>& arguments,
                                         const std::string& workingFolder) = 0;
    // Starts the restart program and returns at once; false when it could not start.
    virtual bool StartRestartProgram(const std::vector<std::string>& arguments, const std::string& workingFolder) = 0;
    // Delivers one reload request to the running recorder; false when none listens.
    virtual bool SendReload() = 0;
};

enum class ExitOutcome {
    kNothingSaved,         // nothing signalled
    kReloadSent,           // a listening recorder got the request
    kNoRecorderListening,  // nobody to tell; the next recorder start reads the file anyway
    kRestarted,            // "-k" finished, "-r" started (or failed to start, silently)
    kRestartStuck,         // "-k" did not end in time; "-r" was not started, never two recorders
};

ExitOutcome ExitConfigurator(bool settingsSaved, const std::string& programFolder, RecorderSignalPort& port);

}  // namespace pell::configurator
