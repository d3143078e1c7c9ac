// PellRecorder: records both lines of the line box, living in the notification area.
#include <QApplication>
#include <cstdlib>

#include "common/platform/program_folder.h"
#include "common/platform/reload_channel.h"
#include "recorder/app/desktop_rules.h"
#include "recorder/app/recorder_controls.h"
#include "recorder/app/recorder_dialog.h"
#include "recorder/app/stop_signals.h"
#include "recorder/app/system_desktop.h"
#include "recorder/core/caller_identification.h"
#include "recorder/devices/adapters/system_devices.h"

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
    RecorderEnvironment environment{
        LookupProgramFolder(kRecorderAppName, ProgramFolderFallback::ExecutableFolder),
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
    };

    RecorderDialog dialog(std::move(environment));
    // Taken from here on, so a stop during start-up waits for the loop instead of killing us.
    StopSignals stopSignals;
    if (const int failure = dialog.Start(); failure != 0) return failure;

    QObject::connect(&stopSignals, &StopSignals::stopRequested, &dialog, [&dialog, &desktop](int number) {
        desktop.Log("signal " + std::to_string(number) + ": shutting down without asking");
        dialog.ShutDownNow();
    });
    // The end of the desktop session (or any other quit) files running calls like a shut-down.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &dialog, [&dialog] { dialog.ShutDownNow(); });
    QObject::connect(&dialog, &RecorderDialog::exitRequested, &app, &QCoreApplication::exit, Qt::QueuedConnection);
    dialog.show();
    return QApplication::exec();
}
