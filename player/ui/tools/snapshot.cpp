// Renders the player's window with recordings listed, one playing in clock mode with the call's
// outline under the list, at its smallest size and grown, and its About box to PNG files, for
// reviewing layout and artwork:
// pellplayer_snapshot <output folder> [program folder with a paths.ini]
#include <QApplication>
#include <QItemSelectionModel>
#include <QSlider>
#include <QTemporaryDir>
#include <QTextStream>

#include "common/widgets/snapshot.h"
#include "player/engine/queued_wave_out.h"
#include "player/engine/wmp3.h"
#include "player/ui/about_dialog.h"
#include "player/ui/custody_controls.h"
#include "player/ui/player_dialog.h"
#include "player/ui/record_list.h"
#include "player/ui/tools/demo_recordings.h"

namespace {

class FixedMixer : public pell::player::VolumeMixer {
public:
    std::uint32_t GetWaveOutVolume() override { return 22 << 11; }
    void SetWaveOutVolume(std::uint32_t) override {}
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out = pell::SnapshotFolder(argc, argv, "pellplayer_snapshot <output folder> [program folder]");
    if (out.isEmpty()) return 2;
    pell::player::SetDialogColours();
    QTemporaryDir demo;
    std::string programFolder = argc > 2 ? argv[2] : demo.path().toStdString();
    if (argc <= 2 && pell::player::MakeDemoRecordings(programFolder, 6, 40).empty()) {
        QTextStream(stderr) << "cannot make the demo recordings\n";
        return 1;
    }

    FixedMixer mixer;
    pell::QueuedWaveOut* output = nullptr;
    pell::player::PlayerDialog dialog(programFolder, {mixer,
                                                      [&output] {
                                                          auto made = std::make_unique<pell::QueuedWaveOut>();
                                                          output = made.get();
                                                          return made;
                                                      },
                                                      false});
    dialog.show();
    pell::SettleEvents();
    if (dialog.List().Model().rowCount() > 1) {
        dialog.List().Model().MarkRowPlayed(0);
        dialog.MakeRowCurrent(1);
        dialog.Play();
        QMetaObject::invokeMethod(dialog.findChild<QWidget*>("timeDisplay"), "Clicked");
        // Let the fake device play a few seconds, then the monitor report position and levels.
        output->WaitFor([](std::size_t queued, bool) { return queued > 0; });
        for (int i = 0; i < 12 && output->CompleteNext(); ++i) {
            output->WaitFor([](std::size_t queued, bool) { return queued > 0; }, std::chrono::milliseconds(500));
        }
        // Half-way through, as a user's seek puts it.
        auto* position = dialog.findChild<QSlider*>("positionSlider");
        const int length = static_cast<int>(dialog.Engine()->GetLength());
        {
            const QSignalBlocker quiet(position);
            position->setRange(0, length);
        }
        position->setSliderPosition(length / 2);
        for (int i = 0; i < 12 && output->WaitFor([](std::size_t queued, bool) { return queued > 0; },
                                                  std::chrono::milliseconds(500));
             ++i) {
            output->CompleteNext();
        }
        for (int pass = 0; pass < 7; ++pass) {
            dialog.RunMonitorPass();
            pell::SettleEvents();
        }
    }
    dialog.SettleWaveform();
    pell::SettleEvents();
    bool ok = dialog.grab().save(out + "/player_window.png");
    // Grown, as a maximised window on a laptop's screen: the list takes the room.
    const QSize smallest = dialog.size();
    dialog.resize(smallest.width() * 3 / 2, smallest.height() * 3 / 2);
    pell::SettleEvents();
    ok = dialog.grab().save(out + "/player_window_grown.png") && ok;
    dialog.resize(smallest);
    pell::SettleEvents();
    // The transport row enlarged, to judge the small artwork pixel by pixel.
    const QWidget* group = dialog.findChild<QWidget*>("transportGroup");
    const QImage transport = dialog.grab(group->geometry()).toImage();
    transport.scaled(transport.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation)
        .save(out + "/transport_zoom.png");
    // "Find calls" results in the list, with the line that says so.
    pell::FindCallsForm search;
    search.number = "555";
    if (dialog.FindCalls(search)) {
        dialog.MakeRowCurrent(0);
        dialog.SettleWaveform();
        pell::SettleEvents();
        ok = dialog.grab().save(out + "/player_window_search.png") && ok;
        QTextStream(stdout) << dialog.SearchCaption() << "\n";
        dialog.BackToDates();
        pell::SettleEvents();
    } else {
        ok = false;
    }
    // The line under the transport telling what Protect did, over two recordings picked.
    dialog.List().selectionModel()->select(dialog.List().Model().index(2, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    dialog.Action(pell::player::kCmdProtect)->trigger();
    pell::SettleEvents();
    ok = dialog.grab().save(out + "/player_window_status.png") && ok;
    pell::player::AboutDialog about(&dialog);
    const bool aboutOk = pell::SaveSnapshot(about, out + "/about_box.png");
    QTextStream(stdout) << "window " << dialog.width() << "x" << dialog.height() << " px, font "
                        << dialog.font().family() << " " << dialog.font().pointSize() << " pt, "
                        << dialog.List().Model().rowCount() << " recordings listed\n";
    about.close();
    dialog.reject();
    return ok && aboutOk ? 0 : 1;
}
