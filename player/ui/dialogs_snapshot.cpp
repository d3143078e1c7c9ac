// Renders the player's bookmark, search and Properties dialogs to PNG files, for reviewing
// their layout: pell_player_dialogs_snapshot <output folder>
#include <QApplication>
#include <QListWidget>
#include <QPalette>
#include <QTextStream>

#include "player/ui/artwork.h"
#include "player/ui/bookmark_dialog.h"
#include "player/ui/dialog_controls.h"
#include "player/ui/properties_dialog.h"
#include "player/ui/search_dialog.h"

namespace {

using namespace pell::player;

class NoPicker : public pell::FolderPicker {
public:
    std::optional<QString> PickFolder(QWidget*, const QString&, const QString&) override { return std::nullopt; }
};

class SilentNotifier : public Notifier {
public:
    void Stop(QWidget*, const QString&) override {}
    bool Ask(QWidget*, const QString&) override { return false; }
};

bool Snap(QWidget& widget, const QString& path) {
    widget.show();
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
    QTextStream(stdout) << path << ": " << widget.width() << "x" << widget.height() << " px, font "
                        << widget.font().family() << " " << widget.font().pointSize() << " pt\n";
    return widget.grab().save(path);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        QTextStream(stderr) << "usage: pell_player_dialogs_snapshot <output folder>\n";
        return 2;
    }
    // The player's dialog colours.
    QPalette palette = app.palette();
    palette.setColor(QPalette::Window, QColor(230, 230, 255));
    palette.setColor(QPalette::WindowText, Qt::black);
    app.setPalette(palette);

    const QString out = argv[1];
    NoPicker picker;
    SilentNotifier notifier;
    BookmarkDialog bookmark(QString::fromUtf8("Call back on Monday, M\xC3\xBCller"));
    SearchDialog search;
    PropertiesDialog properties("/nonexistent",
                                {"/srv/recordings/line1", "/srv/recordings/line2", "/media/archive/2025",
                                 "/home/operator/Calls with a rather long folder name/kept"},
                                picker, notifier, nullptr, ArtPixmap(kArtListBackground, 1.0));
    properties.findChild<QListWidget*>(kPathsList.objectName)->setCurrentRow(1);
    const bool ok = Snap(bookmark, out + "/bookmark_dialog.png") && Snap(search, out + "/search_dialog.png") &&
                    Snap(properties, out + "/properties_dialog.png");
    return ok ? 0 : 1;
}
