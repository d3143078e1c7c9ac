// Renders the recorder's window (one line recording, the other idle), its menus, the About
// box and the notification icons to PNG files, for reviewing the layout; then starts it without
// a sound device and renders the window with its problems list, the tray tip and the screen,
// which shows the notifications where a notification service (dunst under Xvfb) runs:
// pellrecorder_snapshot <output folder> [program folder with a settings.ini]
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextStream>
#include <QToolTip>

#include "common/widgets/snapshot.h"
#include "recorder/app/recorder_controls.h"
#include "recorder/app/recorder_dialog.h"
#include "recorder/app/recorder_icons.h"
#include "recorder/app/system_desktop.h"

namespace {

using namespace pell;
using namespace pell::recorder;

class NoCapture final : public CaptureBackend {
public:
    bool Initialize() override { return false; }
    void Terminate() override {}
    std::vector<std::optional<std::string>> InputDevices() override { return {}; }
    std::unique_ptr<CaptureStream> Open(size_t, uint32_t, FramesCallback) override { return nullptr; }
};

class NoHid final : public HidBackend {
public:
    std::vector<HidDeviceInfo> Enumerate(uint16_t, uint16_t) override { return {}; }
    std::unique_ptr<HidDevice> Open(const std::string&) override { return nullptr; }
};

class QuietDesktop final : public RecorderDesktop {
public:
    bool Notify(const std::string&, bool) override { return true; }
    bool AskQuit(QWidget*) override { return false; }
    bool StartDetached(const std::string&, const std::string&) override { return false; }
    bool IsExecutable(const std::string&) override { return false; }
    std::string FindOnPath(const std::string&) override { return {}; }
    std::string PlayerFolder() override { return {}; }
    bool TrayAvailable() override { return false; }
    void Log(const std::string&) override {}
};

// The idle, recording and problem notification icons at 16, 22 and 32 px, shown 4 times enlarged
// beside their real size, on a light and on a dark panel.
QImage IconSheet() {
    const int sizes[] = {16, 22, 32};
    QImage sheet(3 * (16 * 4 + 22 * 4 + 32 * 4 + 16 * 3 + 22 + 32 + 80), 2 * (32 * 4 + 24), QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    p.fillRect(0, sheet.height() / 2, sheet.width(), sheet.height() / 2, QColor(0x30, 0x30, 0x30));
    int x = 8;
    for (RecorderIconKind kind :
         {RecorderIconKind::kTrayIdle, RecorderIconKind::kTrayRecording, RecorderIconKind::kTrayProblem}) {
        for (int size : sizes) {
            const QImage icon = DrawRecorderIcon(kind, size);
            for (int panel = 0; panel < 2; ++panel) {
                const int y = 8 + panel * sheet.height() / 2;
                p.drawImage(QRect(x, y, size * 4, size * 4), icon);
                p.drawImage(x + size * 4 + 4, y, icon);
            }
            x += size * 5 + 12;
        }
        x += 24;
    }
    return sheet;
}

void ProcessEventsFor(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The world of a recorder without a box: no sound device, no line interface.
struct NoBox {
    SystemClock clock;
    NoCapture capture;
    NoHid hid;
    RealFileSystem fileSystem;
    DiskFreeSpace freeSpace;

    RecorderEnvironment Environment(RecorderDesktop& desktop, const std::string& folder,
                                    const std::string& reloadChannel) {
        return {folder,
                clock,
                capture,
                hid,
                desktop,
                fileSystem,
                freeSpace,
                {},
                [] { return LineBoxPacers{}; },
                "",
                "",
                reloadChannel,
                {},
                [](const std::string&) { return std::unique_ptr<FiledCallFeed>(); }};
    }
};

// A start without the box: its messages go to the desktop's notification service.
bool RenderWaitingRecorder(const QString& out, NoBox& box) {
    QTemporaryDir folder;
    SystemDesktop desktop;
    RecorderDialog dialog(
        box.Environment(desktop, folder.path().toStdString(), folder.filePath("reload.sock").toStdString()));
    if (dialog.Start() != 0) return false;
    dialog.show();
    ProcessEventsFor(300);
    bool ok = SaveSnapshot(dialog, out + "/recorder_problems.png");
    // The tip as the notification area shows it.
    QLabel tip(QString::fromStdString(TrayTip(kWaitingTip, dialog.lineStatus(), kMaxTipLength)));
    tip.setObjectName("trayTip");
    tip.setPalette(QToolTip::palette());
    tip.setAutoFillBackground(true);
    tip.setMargin(6);
    tip.setFrameStyle(QFrame::Box | QFrame::Plain);
    ok = SaveSnapshot(tip, out + "/tray_tip.png") && ok;
    ProcessEventsFor(1500);  // the notifications appear
    if (QScreen* screen = QGuiApplication::primaryScreen();
        screen != nullptr && QGuiApplication::platformName() == "xcb") {
        ok = screen->grabWindow(0).save(out + "/screen_notifications.png") && ok;
    }
    dialog.ShutDownNow();
    ProcessEventsFor(200);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out = SnapshotFolder(argc, argv, "pellrecorder_snapshot <output folder> [program folder]");
    if (out.isEmpty()) return 2;
    NoBox box;
    QuietDesktop desktop;
    RecorderDialog dialog(box.Environment(desktop, argc > 2 ? argv[2] : "/nonexistent", ""));
    dialog.setWindowTitle("Pell Recorder - usb audio codec");
    // Line 1 just hung up and its call is still running out; line 2 waits on its level.
    dialog.findChild<QCheckBox*>(kChannelCheck[0].objectName)->setChecked(true);
    dialog.findChild<QProgressBar*>(kLevelMeter[0].objectName)->setValue(62);
    dialog.findChild<QProgressBar*>(kLevelMeter[1].objectName)->setValue(4);
    dialog.findChild<QLineEdit*>(kStatusEdit[0].objectName)->setText("H1 Off");
    dialog.findChild<QLineEdit*>(kStatusEdit[1].objectName)->setText("31-10");
    bool ok = SaveSnapshot(dialog, out + "/recorder_dialog.png");

    QMenu* file = dialog.findChild<QMenuBar*>("menuBar")->findChild<QMenu*>("fileMenu");
    ok = SaveSnapshot(*file, out + "/file_menu.png") && ok;
    file->hide();
    ok = SaveSnapshot(*dialog.trayMenu(), out + "/tray_menu.png") && ok;
    dialog.trayMenu()->hide();
    std::unique_ptr<QDialog> about = MakeAboutBox(nullptr);
    ok = SaveSnapshot(*about, out + "/about_box.png") && ok;
    ok = IconSheet().save(out + "/tray_icons.png") && ok;
    ok = DrawRecorderIcon(RecorderIconKind::kApp, 128).save(out + "/app_icon.png") && ok;
    return RenderWaitingRecorder(out, box) && ok ? 0 : 1;
}
