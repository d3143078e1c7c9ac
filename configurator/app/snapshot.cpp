// Renders the configuration dialog and the About box to PNG files, for reviewing the layout:
// pell2cfg_snapshot <output folder> [program folder with a settings.ini]
#include <QApplication>
#include <QTextStream>

#include "configurator/app/about_dialog.h"
#include "configurator/app/config_dialog.h"
#include "configurator/core/exit_sequence.h"

namespace {

using namespace pell::configurator;

class SilentNotifier : public Notifier {
public:
    void Information(QWidget*, const QString&) override {}
    void Warning(QWidget*, const QString&) override {}
};

class NoFolderPicker : public FolderPicker {
public:
    std::optional<QString> PickFolder(QWidget*, const QString&, const QString&) override {
        return std::nullopt;
    }
};

class NoRecorder : public RecorderSignalPort {
public:
    RunOutcome RunRestartProgram(const std::vector<std::string>&, const std::string&) override {
        return RunOutcome::FailedToStart;
    }
    bool StartRestartProgram(const std::vector<std::string>&, const std::string&) override {
        return false;
    }
    bool SendReload() override { return false; }
};

bool Snap(QWidget& widget, const QString& path) {
    widget.show();
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
    return widget.grab().save(path);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        QTextStream(stderr) << "usage: pell2cfg_snapshot <output folder> [program folder]\n";
        return 2;
    }
    const QString out = argv[1];
    SilentNotifier notifier;
    NoFolderPicker picker;
    NoRecorder recorder;
    ConfigDialog dialog(argc > 2 ? argv[2] : "/nonexistent", {notifier, picker, recorder});
    AboutDialog about;
    const bool ok = Snap(dialog, out + "/config_dialog.png") && Snap(about, out + "/about_box.png");
    QTextStream(stdout) << "dialog " << dialog.width() << "x" << dialog.height() << " px, font "
                        << dialog.font().family() << " " << dialog.font().pointSize() << " pt\n";
    return ok ? 0 : 1;
}
