// The recorder's main window and the owner of everything the recorder runs: settings, the
// recording core, the line box devices, timer 0, the notification icon and its menus, the
// reload channel. It only moves values between the core, the devices and the widgets.
//
// Threads: the capture and watchdog threads only post notices here (queued, never waiting).
// All work runs on the main thread through one queue, so ProcessBlock, a reconnect, a reload
// and the shut-down never overlap; a block that arrives while the work in hand runs a nested
// loop waits in the queue until that work is done. Messages wait for nobody: each is a desktop
// notification, a log line and a row of the window's problems list, told from an event of its
// own outside the queue.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QTimer>
#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "common/core/clock.h"
#include "index/core/filed_call_feed.h"
#include "common/core/recorder_options.h"
#include "common/core/recorder_settings.h"
#include "recorder/app/alarm_mail.h"
#include "recorder/app/program_folder_lock.h"
#include "recorder/app/recorder_desktop.h"
#include "recorder/core/alarms.h"
#include "recorder/core/control_requests.h"
#include "recorder/core/recorder_core.h"
#include "recorder/core/recorder_status.h"
#include "recorder/devices/line_box.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QSystemTrayIcon;

namespace pell {
class ReloadReceiver;
}

namespace pell::recorder {

// The About box: the icon, "PellRecorder Version" with the project version, and "OK".
std::unique_ptr<QDialog> MakeAboutBox(QWidget* parent);

struct RecorderEnvironment {
    std::string programFolder;
    Clock& clock;
    CaptureBackend& captureBackend;
    HidBackend& hidBackend;
    RecorderDesktop& desktop;
    FileSystem& fileSystem;
    FreeSpaceProvider& freeSpace;
    IdentifyCallerFn identifyCaller;
    // Paces the watchdog and line-poll threads (tests step them).
    std::function<LineBoxPacers()> makePacers = [] { return LineBoxPacers{}; };
    std::string executablePath;      // this program, for the autostart entry and the companions
    std::string autostartEntryPath;  // empty: start at login cannot be registered
    std::string reloadChannel;       // the reload socket's name
    // Hands an alarm mail over for sending; empty: an AlarmMailer thread sends it.
    std::function<void(const MailOptions&, const AlarmMail&)> sendMail;
    // The call index feed of a program folder (nothing without a shared index); empty: StartRecorderFeed.
    std::function<std::unique_ptr<FiledCallFeed>(const std::string& programFolder)> startFeed;
    // The record folders' custody records (holds, manifests, audit trail); null: plain cleaning.
    RecordingCustody* custody = nullptr;
};

class RecorderDialog : public QDialog, private RecorderView, private Notifier, private CaptureUi {
    Q_OBJECT
public:
    explicit RecorderDialog(RecorderEnvironment environment, QWidget* parent = nullptr);
    ~RecorderDialog() override;

    // The start-up sequence; 0 when the recorder runs (or handedOver()), else the exit code
    // after its message (everything already started has been stopped again). A recorder of this
    // user already running is asked to show its window instead. The program folder is locked
    // next: while another recorder holds it, nothing in it is touched. A missing line box or
    // sound device is no failure: the recorder waits for it. Reload and stop requests that
    // arrive meanwhile run once it has returned.
    int Start();
    // Start found a running recorder and asked it to show its window; this one ends with 0.
    bool handedOver() const { return handedOver_; }
    // Waiting for the line box or sound device (its tray icon and tip tell so).
    bool waitingForBox() const { return waiting_; }
    const PerLine<LineStatus>& lineStatus() const { return lineStatus_; }
    // The process ends without a shut-down (Qt exits when the display connection breaks): files
    // the running calls. Called from an exit handler; nothing else runs afterwards.
    void FinishOnExit();

    // Handlers of the timer, the menus and the tray; public so tests drive them.
    void OnTimer();
    void OnRestore();
    // One look for a missing box or sound device; every kDeviceRetryMs while one is missing.
    void RetryDevices();
    // Rewrites status.json in the program folder (every kStatusPeriodMs, at start and shut-down),
    // after looking at the alarm conditions.
    void WriteStatus();
    const RecorderOptions& options() const { return options_; }
    void OnShutDown();  // asks first
    // Signals and the end of the session: no question, ahead of any waiting reload; during
    // start-up it closes the start-up message and shuts down once start-up has returned.
    void ShutDownNow();
    // The application is quitting (its event loop has ended): shuts down at once.
    void ShutDownAtQuit();
    void OnConfiguration();
    void OnPlayer();
    void OnStartupToggle();
    // Merged while one is pending; the running calls go on unless the capture must change.
    void RequestReload();
    void RequestReconnect();
    void ShowAbout();

    // Notices from the capture thread (any thread).
    void PostBlock(uint64_t generation);

    const RecorderSettings& settings() const { return settings_; }
    int timerPeriodMs() const { return timer0_.isActive() ? timer0_.interval() : 0; }
    bool shutDown() const { return shutdownStarted_; }
    LineStates& lines() { return lines_; }
    QSystemTrayIcon* trayIcon() const { return tray_; }
    QMenu* trayMenu() const { return trayMenu_; }
    uint64_t blocksProcessed() const { return blocksProcessed_; }
    size_t queuedWork() const { return queue_.size(); }
    const ProblemList& problems() const { return problems_; }
    QListWidget* problemsList() const { return problemsList_; }

signals:
    // The process should end with this code (shut-down: 0).
    void exitRequested(int code);

public slots:
    void reject() override;  // Escape hides the window
    void accept() override;  // Enter does nothing

protected:
    void closeEvent(QCloseEvent* event) override;  // the close box hides the window
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    struct StartupStep {
        const char* name;
        std::function<bool()> run;
        const char* fatalMessage;  // shown when run fails; null: a failure is not fatal
    };

    void BuildWindow();
    void BuildMenus();
    bool TryAddTray();
    void LogNoTrayOnce();
    std::vector<StartupStep> StartupSteps();
    void LoadSettingsAndFolders();
    void UpdateMenuStates();
    void HideToTray();
    std::string TakeProgramFolder();
    void Post(std::function<void()> work, bool first = false);
    void ScheduleRequest(bool first);
    void RunRequest();
    void RunQueue();
    void ProcessBlockNotice(uint64_t generation);
    void Reconnect();
    void Reload();
    void FileCallsForNewCapture(const RecorderSettings& loaded, bool newRate);
    void ShutDown();
    void Teardown();
    void OnFiled(const FiledRecording& filed);
    void ShowPendingBoxes();
    // A message with its cause: notification, log line and problems row; never waits.
    void Tell(const std::string& text, bool beforeExit = false);
    CauseFacts Facts();
    // Notification and problems row.
    void Show(const std::string& text, bool beforeExit);
    bool HidControlled() const;
    bool HardwareMissing();
    bool LineInterfaceMissing() const;
    // Enters or leaves the waiting state as the devices are; specText names a failure at start-up.
    void UpdateWaiting(const char* specText);
    LineCondition ConditionOf(size_t line) const;
    void RefreshTray();
    HealthReport Health();
    void LoadOptions();
    void StartFeed();
    // Seconds the recorder has run, by the tick counter (across its wrap).
    int64_t RunSeconds();
    void CheckAlarms();
    void Observe(const std::string& key, bool holds, const std::string& text, int64_t graceSeconds = 0);
    void Deliver(const AlarmNotice& notice);
    // The core logs each of its messages as it queues it: that line is the message's log line.
    void Log(const std::string& line) override;

    // RecorderView
    void SetMeter(Line line, int position) override;
    void SetStatusText(Line line, const std::string& text) override;
    void SetRecordingCheck(Line line, bool checked) override;
    void SetTrayIcon(TrayIcon icon, const std::string& tip) override;
    // Notifier
    void ShowStop(const std::string& text) override;
    // CaptureUi
    void ShowMessage(const std::string& text) override;
    void SetCaption(const std::string& text) override;

    RecorderEnvironment env_;
    RecorderSettings settings_;
    ToneTables toneTables_{};
    LineStates lines_;
    std::string playerPath_;  // empty until the player is found
    QTimer timer0_;

    std::array<QCheckBox*, 2> checks_{};
    std::array<QProgressBar*, 2> meters_{};
    std::array<QLineEdit*, 2> statusEdits_{};
    QGroupBox* problemsBox_ = nullptr;
    QListWidget* problemsList_ = nullptr;
    ProblemList problems_;
    QAction* playerAction_ = nullptr;
    QAction* startupAction_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    QIcon idleIcon_;
    QIcon recordingIcon_;
    QIcon problemIcon_;
    TrayIcon trayImage_ = TrayIcon::kIdle;  // as the core asks
    std::string trayTip_ = kIdleTip;        // as the core asks
    const QIcon* shownIcon_ = nullptr;
    std::string shownTip_;
    QTimer retryTimer_;
    QTimer statusTimer_;
    RecorderOptions options_;
    AlarmBook alarms_{int64_t{kDefaultReminderHours} * 3600};
    std::unique_ptr<AlarmMailer> mailer_;
    uint32_t lastTick_ = 0;
    uint64_t runMs_ = 0;
    PerLine<int64_t> lastActivity_{};  // RunSeconds of the line's last call (or the start)
    int recovered_ = 0;                // cut calls finished at the start
    // Every filed call goes to the shared call index, when index.ini names one.
    std::unique_ptr<FiledCallFeed> feed_;
    std::deque<std::string> loggedByCore_;  // the last lines logged, told as messages next
    bool statusFailed_ = false;             // told once until a write works again
    bool waiting_ = false;                  // no sound device: nothing records
    bool lineInterfaceMissing_ = false;     // sound, but HID-controlled lines cannot see their state
    bool handedOver_ = false;
    PerLine<LineStatus> lineStatus_;
    PerLine<bool> cannotWrite_{};
    bool noTrayLogged_ = false;

    std::deque<std::function<void()>> queue_;
    bool running_ = false;  // the queue is being worked off
    uint64_t blocksProcessed_ = 0;
    ControlRequests requests_;
    bool shutdownStarted_ = false;
    bool started_ = false;
    std::deque<std::string> pendingBoxes_;
    bool showingBoxes_ = false;

    std::unique_ptr<ProgramFolderLock> lock_;
    std::unique_ptr<ReloadReceiver> reload_;
    std::unique_ptr<RecorderCore> core_;
    // Last: destroyed first, so its threads end before anything they reach.
    std::unique_ptr<LineBoxDevices> devices_;
};

}  // namespace pell::recorder
