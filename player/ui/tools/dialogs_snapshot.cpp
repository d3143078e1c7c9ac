// Renders the player's bookmark, search, "Find calls" and Properties dialogs (with the recording
// tab, verified and altered) to PNG files, for reviewing their layout:
// pell_player_dialogs_snapshot <output folder>
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
    asked.direction = pell::CallDirection::kIncoming;
    FindCallsDialog findCalls(asked, {"Line 1", "Line 2", "Sales"}, today, today);
    pell::FindCallsForm wrong;
    wrong.number = "abc";
    wrong.minDuration = "1:30";
    FindCallsDialog findRefused(wrong, {"Line 1", "Line 2"}, today, today);
    findRefused.accept();
    bool ok = pell::SaveSnapshot(bookmark, out + "/bookmark_dialog.png") &&
              pell::SaveSnapshot(search, out + "/search_dialog.png") &&
              pell::SaveSnapshot(findCalls, out + "/find_calls_dialog.png") &&
              pell::SaveSnapshot(findRefused, out + "/find_calls_refused.png") &&
              pell::SaveSnapshot(properties, out + "/properties_dialog.png");

    // The recording tab, as the custody records would have it: a verified protected call with
    // its trail, and one whose audio was altered since it was filed.
    const std::string path = "/srv/recordings/line1/05.12.2026/a0000042.mp3";
    RecordingProperties verified;
    verified.path = path;
    verified.proof = ProofLineOf({true, "verified"});
    verified.hold = "protected (legal hold)";
    verified.audit.rows = {{"05.12.2026 16:02:11", "alice", "PellPlayer", "protect"},
                           {"05.12.2026 15:58:40", "alice", "PellPlayer", "copy"},
                           {"05.12.2026 15:41:03", "alice", "PellPlayer", "play"},
                           {"05.12.2026 11:20:19", "bob", "pell-catalogue", "bookmark"},
                           {"05.12.2026 10:02:55", "bob", "PellPlayer", "play"}};
    RecordingProperties altered;
    altered.path = path;
    altered.proof =
        ProofLineOf({false, "altered",
                     pell::VerifyFinding{pell::VerifyFinding::Kind::kAltered, path,
                                         "the audio differs from the recording filed 05.12.2026 09:58:12"}});
    altered.hold = "not protected";
    altered.audit.note = "No audit entries for this recording.";
    const std::pair<RecordingProperties, const char*> shots[] = {{verified, "properties_recording_verified.png"},
                                                                 {altered, "properties_recording_altered.png"}};
    for (const auto& [recording, name] : shots) {
        PropertiesDialog dialog("/nonexistent", {"/srv/recordings/line1"}, picker, notifier, nullptr,
                                ArtPixmap(kArtListBackground, 1.0));
        dialog.ShowRecording(recording, true);
        ok = ok && pell::SaveSnapshot(dialog, out + "/" + name);
    }
    return ok ? 0 : 1;
}
