// Renders the configuration dialog, the recorder.ini dialog and the About box to PNG files, for reviewing the layout:
// pell2cfg_snapshot <output folder> [program folder with a settings.ini]
#include <QApplication>
#include <QTextStream>

#include "configurator/app/about_dialog.h"
#include "configurator/app/config_dialog.h"
#include "configurator/app/recorder_options_dialog.h"
#include "configurator/core/exit_sequence.h"
#include "common/widgets/snapshot.h"

namespace {

using namespace pell::configurator;

class SilentNotifier : public Notifier {
public:
    void Information(QWidget*, const QString&) override {}
    void Warning(QWidget*, const QString&) override {}
};

class NoFolderPicker : public FolderPicker {
public:
    std::optional<QString> PickFolder(QWidget*, const QString&, const QString&) override { return std::nullopt; }
};

class NoRecorder : public RecorderSignalPort {
public:
    RunOutcome RunRestartProgram(const std::vector<std::string>&, const std::string&) override {
        return RunOutcome::kFailedToStart;
    }
    bool StartRestartProgram(const std::vector<std::string>&, const std::string&) override { return false; }
    bool SendReload() override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out = pell::SnapshotFolder(argc, argv, "pell2cfg_snapshot <output folder> [program folder]");
    if (out.isEmpty()) return 2;
    SilentNotifier notifier;
    NoFolderPicker picker;
    NoRecorder recorder;
    const std::string programFolder = argc > 2 ? argv[2] : "/nonexistent";
    ConfigDialog dialog(programFolder, {notifier, picker, recorder});
    RecorderOptionsDialog options(programFolder, notifier);
    AboutDialog about;
    const bool ok = pell::SaveSnapshot(dialog, out + "/config_dialog.png") &&
                    pell::SaveSnapshot(options, out + "/recorder_options.png") &&
                    pell::SaveSnapshot(about, out + "/about_box.png");
    return ok ? 0 : 1;
}
