// Pell2CFG: edits the recorder's "settings.ini" in one dialog and, on leaving after a save,
// makes the running recorder take the new settings.
#include <QApplication>

#include "common/platform/program_folder.h"
#include "configurator/app/config_dialog.h"
#include "configurator/app/desktop_services.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Pell2CFG");
    const std::string programFolder =
        pell::LookupProgramFolder(pell::kRecorderAppName, pell::ProgramFolderFallback::kExecutableFolder);

    pell::configurator::MessageBoxNotifier notifier;
    pell::configurator::DirectoryDialogPicker folderPicker;
    pell::configurator::DesktopRecorderSignals recorder;
    pell::configurator::ConfigDialog dialog(programFolder, {notifier, folderPicker, recorder});
    dialog.exec();
    return 0;
}
