// Renders the player's bookmark, search, "Find calls" and Properties dialogs to PNG files, for reviewing
// their layout: pell_player_dialogs_snapshot <output folder>
#include <QApplication>
#include <QListWidget>
#include <QPalette>
#include <QTextStream>

#include "common/widgets/snapshot.h"
#include "player/ui/artwork.h"
#include "player/ui/bookmark_dialog.h"
#include "player/ui/dialog_controls.h"
#include "player/ui/find_calls_dialog.h"
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
    void Inform(QWidget*, const QString&) override {}
    bool Ask(QWidget*, const QString&) override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out = pell::SnapshotFolder(argc, argv, "pell_player_dialogs_snapshot <output folder>");
    if (out.isEmpty()) return 2;
    // The player's dialog colours.
    QPalette palette = app.palette();
    palette.setColor(QPalette::Window, QColor(230, 230, 255));
    palette.setColor(QPalette::WindowText, Qt::black);
    app.setPalette(palette);

    NoPicker picker;
    SilentNotifier notifier;
    BookmarkDialog bookmark(QString::fromUtf8("Call back on Monday, M\xC3\xBCller"));
    SearchDialog search;
    PropertiesDialog properties("/nonexistent",
                                {"/srv/recordings/line1", "/srv/recordings/line2", "/media/archive/2025",
                                 "/home/operator/Calls with a rather long folder name/kept"},
                                picker, notifier, nullptr, ArtPixmap(kArtListBackground, 1.0));
    properties.findChild<QListWidget*>(kPathsList.objectName)->setCurrentRow(1);
    const QDate today = QDate::currentDate();
    pell::FindCallsForm asked;
    asked.number = "0171 555";
    asked.from = today.addMonths(-3).toString("yyyy-MM-dd 00:00").toStdString();
    asked.direction = pell::CallDirection::Incoming;
    FindCallsDialog findCalls(asked, {"Line 1", "Line 2", "Sales"}, today, today);
    pell::FindCallsForm wrong;
    wrong.number = "abc";
    wrong.minDuration = "1:30";
    FindCallsDialog findRefused(wrong, {"Line 1", "Line 2"}, today, today);
    findRefused.accept();
    const bool ok = pell::SaveSnapshot(bookmark, out + "/bookmark_dialog.png") &&
                    pell::SaveSnapshot(search, out + "/search_dialog.png") &&
                    pell::SaveSnapshot(findCalls, out + "/find_calls_dialog.png") &&
                    pell::SaveSnapshot(findRefused, out + "/find_calls_refused.png") &&
                    pell::SaveSnapshot(properties, out + "/properties_dialog.png");
    return ok ? 0 : 1;
}
