#include "configurator/core/exit_sequence.h"

#include <filesystem>
#include <system_error>

#include "common/core/paths.h"

namespace pell::configurator {
namespace {

bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

}  // namespace

ExitOutcome ExitConfigurator(bool settingsSaved, const std::string& programFolder, RecorderSignalPort& port) {
    if (!settingsSaved) return ExitOutcome::kNothingSaved;
    const std::string marker = JoinPath(programFolder, kMarkerFileName);
    if (Exists(marker)) {
        // A start failure is silent; the marker is tested again either way.
        if (port.RunRestartProgram(kStopArguments, programFolder) == RunOutcome::kTimedOut) {
            return ExitOutcome::kRestartStuck;
        }
    }
    if (Exists(marker)) {
        port.StartRestartProgram(kStartArguments, programFolder);
        return ExitOutcome::kRestarted;
    }
    return port.SendReload() ? ExitOutcome::kReloadSent : ExitOutcome::kNoRecorderListening;
}

}  // namespace pell::configurator
