// PellRecorder: records both lines of the line box, living in the notification area.
#include <QApplication>
#include <cstdlib>

#include "common/platform/program_folder.h"
#include "common/platform/reload_channel.h"
#include "custody/posix/custody.h"
#include "recorder/app/desktop_rules.h"
#include "recorder/app/recorder_controls.h"
#include "recorder/app/recorder_dialog.h"
#include "recorder/app/stop_signals.h"
#include "recorder/app/system_desktop.h"
#include "recorder/core/caller_identification.h"
#include "recorder/devices/adapters/system_devices.h"

namespace {

pell::recorder::RecorderDialog* exitingDialog = nullptr;

// Files the running calls when the process is ended by exit() from inside Qt, as long as main
// has not returned.
class FinishAtExit {
public:
    explicit FinishAtExit(pell::recorder::RecorderDialog& dialog) {
        static const bool kRegistered = std::atexit([] {
                                            if (exitingDialog != nullptr) exitingDialog->FinishOnExit();
                                        }) == 0;
        (void)kRegistered;
        exitingDialog = &dialog;
    }
    ~FinishAtExit() { exitingDialog = nullptr; }
    FinishAtExit(const FinishAtExit&) = delete;
    FinishAtExit& operator=(const FinishAtExit&) = delete;
};

}  // namespace

int main(int argc, char** argv) {
    using namespace pell;
    using namespace pell::recorder;
    QApplication app(argc, argv);
    QApplication::setApplicationName(text::kAppName);
    // The window hides into the notification area; only the shut-down ends the process.
    QApplication::setQuitOnLastWindowClosed(false);

    SystemDesktop desktop;
    SystemClock clock;
    SystemLineBoxBackends backends(clock);
    if (!backends.scenarioError().empty()) desktop.Log("simulated line box not loaded: " + backends.scenarioError());
    RealFileSystem fileSystem;
    DiskFreeSpace freeSpace;
    PosixRecordingCustody custody("PellRecorder");
    RecorderEnvironment environment{
        LookupProgramFolder(kRecorderAppName, ProgramFolderFallback::kExecutableFolder),
        clock,
        backends.capture(),
        backends.hid(),
        desktop,
        fileSystem,
        freeSpace,
        DefaultCallerIdentifier(),
        [] { return LineBoxPacers{}; },
        QCoreApplication::applicationFilePath().toStdString(),
        AutostartEntryPath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")),
        ReloadChannelName().toStdString(),
        {},
        {},
        &custody,
    };

    RecorderDialog dialog(std::move(environment));
    // Taken from here on, so a stop during start-up waits for the loop instead of killing us;
    // the dialog holds it until start-up has returned.
    StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &dialog, [&dialog, &desktop](int number) {
        desktop.Log("signal " + std::to_string(number) + ": shutting down without asking");
        dialog.ShutDownNow();
    });
    QObject::connect(&dialog, &RecorderDialog::exitRequested, &app, &QCoreApplication::exit, Qt::QueuedConnection);
    // Qt ends the process with exit(1) when the display connection breaks, past every event:
    // the running calls are filed from the exit handler then.
    const FinishAtExit finishAtExit(dialog);
    if (const int failure = dialog.Start(); failure != 0 || dialog.handedOver()) return failure;

    // The end of the desktop session (or any other quit) files running calls like a shut-down.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &dialog, [&dialog] { dialog.ShutDownAtQuit(); });
    dialog.show();
    return QApplication::exec();
}
