#include "recorder/app/recorder_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>
#include <utility>

#include "common/core/paths.h"
#include "common/platform/reload_channel.h"
#include "common/widgets/about_box.h"
#include "common/widgets/dialog_units.h"
#include "index/open/open_call_index.h"
#include "recorder/app/desktop_rules.h"
#include "recorder/app/recorder_controls.h"
#include "recorder/app/recorder_icons.h"
#include "recorder/core/recording_names.h"
#include "recorder/devices/capture_format.h"

namespace pell::recorder {
namespace {

template <class Widget>
Widget* Named(Widget* widget, const ControlId& id) {
    widget->setObjectName(id.objectName);
    widget->setProperty("controlId", id.id);
    return widget;
}

QAction* NamedAction(QMenu* menu, const char* text, const ControlId& id) {
    QAction* action = menu->addAction(text);
    action->setObjectName(id.objectName);
    action->setData(id.id);
    return action;
}

// Places a control at its template position, given in dialog units.
void Place(QWidget* control, const DialogBaseUnits& base, int x, int y, int width, int height) {
    const QSize at = DialogUnitsToPixels(base, x, y);
    const QSize size = DialogUnitsToPixels(base, width, height);
    control->setGeometry(at.width(), at.height(), size.width(), size.height());
}

std::string Plural(uint64_t n, const char* what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); }

std::string LowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

RecorderDialog::RecorderDialog(RecorderEnvironment environment, QWidget* parent)
    : QDialog(parent),
      env_(std::move(environment)),
      idleIcon_(RecorderIcon(RecorderIconKind::kTrayIdle)),
      recordingIcon_(RecorderIcon(RecorderIconKind::kTrayRecording)),
      problemIcon_(RecorderIcon(RecorderIconKind::kTrayProblem)) {
    settings_.programFolder = env_.programFolder;
    BuildWindow();
    connect(&timer0_, &QTimer::timeout, this, &RecorderDialog::OnTimer);
    connect(&retryTimer_, &QTimer::timeout, this, [this] { Post([this] { RetryDevices(); }); });
    connect(&statusTimer_, &QTimer::timeout, this, [this] { Post([this] { WriteStatus(); }); });
}

RecorderDialog::~RecorderDialog() { Teardown(); }

void RecorderDialog::BuildWindow() {
    setObjectName("recorderDialog");
    setProperty("templateId", kDialogTemplate);
    setWindowTitle(text::kAppName);
    setWindowIcon(RecorderIcon(RecorderIconKind::kApp));
    setFont(DialogFont());
    const DialogBaseUnits base = BaseUnitsOf(font());

    auto* client = new QWidget(this);
    client->setObjectName("clientArea");
    client->setFixedSize(DialogUnitsToPixels(base, kWidthUnits, kHeightUnits));
    auto* group = new QGroupBox(client);
    group->setObjectName("channelGroup");
    Place(group, base, 7, 4, 246, 50);

    // Positions are the template's, in the client area; the group box is drawn behind them.
    constexpr int kRowY[2] = {17, 32};
    constexpr int kStatusWidth[2] = {24, 27};
    for (size_t n = 0; n < 2; ++n) {
        checks_[n] = Named(new QCheckBox(text::kChannel[n], client), kChannelCheck[n]);
        checks_[n]->setAttribute(Qt::WA_TransparentForMouseEvents);  // shows recording; clicks do nothing
        checks_[n]->setFocusPolicy(Qt::NoFocus);
        Place(checks_[n], base, 14, kRowY[n], 48, 10);
        meters_[n] = Named(new QProgressBar(client), kLevelMeter[n]);
        meters_[n]->setRange(0, 100);
        meters_[n]->setValue(0);
        meters_[n]->setTextVisible(false);
        Place(meters_[n], base, 66, kRowY[n], 156, 10);
        statusEdits_[n] = Named(new QLineEdit(client), kStatusEdit[n]);
        statusEdits_[n]->setReadOnly(true);
        statusEdits_[n]->setFocusPolicy(Qt::NoFocus);
        statusEdits_[n]->setTextMargins(0, 0, 0, 0);
        Place(statusEdits_[n], base, 224, kRowY[n] + 1, kStatusWidth[n], 12);
    }

    // Hidden until the first problem, so the window looks as it always did while all is well.
    problemsBox_ = new QGroupBox("Problems", this);
    problemsBox_->setObjectName("problemsBox");
    auto* problemsLayout = new QVBoxLayout(problemsBox_);
    problemsList_ = new QListWidget(problemsBox_);
    problemsList_->setObjectName("problemsList");
    problemsList_->setWordWrap(true);
    problemsList_->setFixedSize(DialogUnitsToPixels(base, 246 - 14, 60));
    problemsLayout->addWidget(problemsList_);
    auto* problemsArea = new QWidget(this);
    problemsArea->setObjectName("problemsArea");
    auto* problemsAreaLayout = new QVBoxLayout(problemsArea);
    const QSize margin = DialogUnitsToPixels(base, 7, 4);
    problemsAreaLayout->setContentsMargins(margin.width(), 0, margin.width(), margin.height());
    problemsAreaLayout->addWidget(problemsBox_);
    problemsBox_->hide();

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(0);
    BuildMenus();
    top->addWidget(client);
    top->addWidget(problemsArea);
    top->setSizeConstraint(QLayout::SetFixedSize);
}

void RecorderDialog::BuildMenus() {
    auto* bar = new QMenuBar(this);
    bar->setObjectName("menuBar");
    bar->setProperty("menuId", kFileMenuId);
    QMenu* file = bar->addMenu(text::kFileMenu);
    file->setObjectName("fileMenu");
    connect(NamedAction(file, text::kConfiguration, kConfigurationCommand), &QAction::triggered, this,
            &RecorderDialog::OnConfiguration);
    playerAction_ = NamedAction(file, text::kPlayer, kPlayerCommand);
    playerAction_->setEnabled(false);  // until the player is found
    connect(playerAction_, &QAction::triggered, this, &RecorderDialog::OnPlayer);
    file->addSeparator();
    startupAction_ = NamedAction(file, text::kStartup, kStartupCommand);
    startupAction_->setCheckable(true);
    connect(startupAction_, &QAction::triggered, this, &RecorderDialog::OnStartupToggle);
    file->addSeparator();
    connect(NamedAction(file, text::kShutDown, kShutDownCommand), &QAction::triggered, this,
            &RecorderDialog::OnShutDown);
    layout()->setMenuBar(bar);

    trayMenu_ = new QMenu(this);
    trayMenu_->setObjectName("trayMenu");
    trayMenu_->setProperty("menuId", kTrayMenuId);
    connect(NamedAction(trayMenu_, text::kRestore, kRestoreCommand), &QAction::triggered, this,
            &RecorderDialog::OnRestore);
    connect(NamedAction(trayMenu_, text::kTrayShutDown, kShutDownCommand), &QAction::triggered, this,
            &RecorderDialog::OnShutDown);
}

bool RecorderDialog::TryAddTray() {
    if (tray_ != nullptr) return true;
    // A panel started after the recorder (at login) brings its notification area later.
    if (!env_.desktop.TrayAvailable()) return false;
    tray_ = new QSystemTrayIcon(this);
    tray_->setObjectName("trayIcon");
    tray_->setProperty("iconId", kTrayIconId);
    // Desktops that draw the menu themselves only ever see the attached one; a left click does nothing.
    tray_->setContextMenu(trayMenu_);
    // A left click shows the window, as the desktops here expect; the menu stays on the right.
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) OnRestore();
    });
    shownIcon_ = nullptr;
    RefreshTray();
    tray_->show();
    Log("notification icon added");
    return true;
}

void RecorderDialog::LogNoTrayOnce() {
    if (noTrayLogged_) return;
    noTrayLogged_ = true;
    Log("no notification area: the window stays open, minimised");
}

// ---- start-up ----

std::vector<RecorderDialog::StartupStep> RecorderDialog::StartupSteps() {
    return {
        // Two recorders would fight over the box, the counters and the temp files.
        {"claim the reload channel",
         [this] {
             reload_ = std::make_unique<ReloadReceiver>(QString::fromStdString(env_.reloadChannel));
             const ReloadReceiver::ListenResult listening = reload_->Listen();
             if (listening == ReloadReceiver::ListenResult::kAlreadyRunning) return false;
             if (listening == ReloadReceiver::ListenResult::kFailed) Log("cannot listen for reload requests");
             connect(reload_.get(), &ReloadReceiver::reloadRequested, this, &RecorderDialog::RequestReload);
             connect(reload_.get(), &ReloadReceiver::showRequested, this, [this] {
                 Log("another start asked for the window");
                 OnRestore();
             });
             return true;
         },
         text::kAlreadyRunning},
        {"make the devices",
         [this] {
             core_ = std::make_unique<RecorderCore>(
                 settings_, toneTables_,
                 RecorderServices{env_.clock, lines_, static_cast<RecorderView&>(*this), static_cast<Notifier&>(*this),
                                  env_.fileSystem, env_.freeSpace, env_.identifyCaller,
                                  [this](const FiledRecording& f) { OnFiled(f); }, env_.custody});
             devices_ = std::make_unique<LineBoxDevices>(
                 env_.captureBackend, env_.hidBackend, env_.clock, lines_, static_cast<CaptureUi&>(*this),
                 [this](uint64_t generation) { PostBlock(generation); }, [this] { RequestReconnect(); },
                 env_.makePacers());
             return true;
         },
         nullptr},
        {"search the line interface", [this] { return devices_->SearchLineInterface(); }, nullptr},
        {"clear the line states", [this] { return devices_->ResetLineStates(), true; }, nullptr},
        {"load the settings", [this] { return LoadSettingsAndFolders(), true; }, nullptr},
        {"load the encoders", [this] { return core_->LoadEncoder(kLines[0]) && core_->LoadEncoder(kLines[1]); },
         text::kCodecFailed},
        // A call cut by a crash or power cut is filed before new calls can take its counter.
        {"finish recordings left unfinished",
         [this] { return recovered_ = core_->RecoverUnfinishedRecordings(), true; }, nullptr},
        // A box plugged in later is found by the retries: the recorder waits instead of ending.
        {"initialise capture",
         [this] {
             if (!devices_->capture().InitCapture()) UpdateWaiting(text::kSoundFailed);
             return true;
         },
         nullptr},
        {"open the capture device",
         [this] {
             if (!waiting_ && !devices_->capture().FindCaptureDevice(settings_.device, settings_.sampleRate,
                                                                     WaveCapture::Search::kStartUp)) {
                 UpdateWaiting(text::kSourceFailed);
             }
             return true;
         },
         nullptr},
        {"start timer 0", [this] { return timer0_.start(kFirstTimerMs), true; }, nullptr},
        {"add the notification icon",
         [this] {
             if (!TryAddTray()) LogNoTrayOnce();
             return true;
         },
         nullptr},
        {"start the watchdog and line-poll threads", [this] { return devices_->StartThreads(), true; }, nullptr},
    };
}

std::string RecorderDialog::TakeProgramFolder() {
    lock_ = std::make_unique<ProgramFolderLock>(settings_.programFolder);
    switch (lock_->Take()) {
        case ProgramFolderLock::Result::kTaken:
            return {};
        case ProgramFolderLock::Result::kHeldByOther: {
            const std::string holder =
                lock_->holderPid() > 0 ? " (process " + std::to_string(lock_->holderPid()) + ")" : "";
            return "Pell Recorder is already running" + holder + " with the program folder " + settings_.programFolder +
                   "; this one ends without touching it.";
        }
        case ProgramFolderLock::Result::kFailed:
            break;
    }
    return "The lock file " + lock_->path() + " cannot be opened (" + lock_->error() +
           "). Pell Recorder needs to write in its program folder " + settings_.programFolder + ".";
}

int RecorderDialog::Start() {
    // A second start by the same user shows the first one's window, as a click on its icon would.
    if (!env_.reloadChannel.empty() && SendShowWindow(QString::fromStdString(env_.reloadChannel), 1000)) {
        Log("already running: asked the running recorder to show its window");
        handedOver_ = true;
        Teardown();
        return 0;
    }
    // Before anything in the program folder is read or written: recovery there would finish the
    // other recorder's running call.
    if (const std::string refusal = TakeProgramFolder(); !refusal.empty()) {
        Log("start-up failed: take the program folder");
        Tell(refusal, true);
        Teardown();
        return 1;
    }
    for (const StartupStep& step : StartupSteps()) {
        if (step.run() || step.fatalMessage == nullptr) continue;
        Log(std::string("start-up failed: ") + step.name);
        Tell(step.fatalMessage, true);
        Teardown();
        return 1;
    }
    Log("started: device \"" + settings_.device + "\" at " + std::to_string(devices_->capture().sampleRate()) +
        " Hz, line interface " + (devices_->lineInterfacePresent() ? "found" : "not found") + ", program folder " +
        settings_.programFolder);
    started_ = true;
    lastTick_ = env_.clock.TickMs();
    UpdateWaiting(text::kSourceFailed);
    retryTimer_.start(kDeviceRetryMs);
    if (recovered_ > 0) {
        Deliver(AlarmBook::Event("recovered", Plural(static_cast<uint64_t>(recovered_), "call") +
                                                  " cut by a stop of the recorder (a crash or power cut) "
                                                  "had to be finished at the start; see the log for the files."));
    }
    WriteStatus();
    statusTimer_.start(kStatusPeriodMs);
    if (requests_.StartupDone()) ScheduleRequest(requests_.stopping());
    return 0;
}

void RecorderDialog::FinishOnExit() {
    if (shutdownStarted_ || !core_ || !started_) return;
    shutdownStarted_ = true;
    // The icon lives on the display that is gone: leave it alone.
    tray_ = nullptr;
    Log("ending without a shut-down (the display connection is gone?): filing the running calls");
    core_->FinishAllRecordings();
    for (const std::string& text : pendingBoxes_) Log("message not shown at the end: " + text);
    pendingBoxes_.clear();
}

void RecorderDialog::LoadSettingsAndFolders() {
    LoadSettings(settings_, toneTables_, [this] { UpdateMenuStates(); });
    // The encoder and caller ID must work at the rate capture really runs at.
    settings_.sampleRate = static_cast<int32_t>(EffectiveSampleRate(settings_.sampleRate));
    CreateDropFolders(settings_);
    core_->OnSettingsLoaded(std::exchange(settings_.loadMessages, {}));
    LoadOptions();
}

void RecorderDialog::StartFeed() {
    // A running feed stays: stopping it waits for the index, which may be a slow server.
    if (feed_) return;
    feed_ = env_.startFeed ? env_.startFeed(settings_.programFolder) : StartRecorderFeed(settings_.programFolder);
    if (feed_) Log("filed calls go to the call index that index.ini names");
}

void RecorderDialog::LoadOptions() {
    StartFeed();
    options_ = LoadRecorderOptions(settings_.programFolder);
    core_->SetRetention(options_.lines);
    alarms_.SetReminderSeconds(int64_t{options_.reminderHours} * 3600);
    for (const std::string& message : std::exchange(options_.messages, {})) Tell(message);
}

void RecorderDialog::UpdateMenuStates() {
    if (playerPath_.empty()) {
        playerPath_ = FindCompanion(
            kPlayerProgram,
            {env_.desktop.PlayerFolder(), FolderOf(env_.executablePath),
             BuildTreeFolder(env_.executablePath, PELL_BUILD_PLAYER_DIR)},
            [this](const std::string& path) { return env_.desktop.IsExecutable(path); },
            [this](const std::string& name) { return env_.desktop.FindOnPath(name); });
        playerAction_->setEnabled(!playerPath_.empty());  // never greyed again once found
    }
    startupAction_->setChecked(AutostartRegistered(env_.autostartEntryPath));
}

// ---- the work queue ----

void RecorderDialog::PostBlock(uint64_t generation) {
    QMetaObject::invokeMethod(
        this, [this, generation] { Post([this, generation] { ProcessBlockNotice(generation); }); },
        Qt::QueuedConnection);
}

void RecorderDialog::RequestReconnect() {
    QMetaObject::invokeMethod(
        this, [this] { Post([this] { Reconnect(); }); }, Qt::QueuedConnection);
}

void RecorderDialog::RequestReload() {
    if (requests_.Reload()) ScheduleRequest(false);
}

void RecorderDialog::ScheduleRequest(bool first) {
    // From the event loop, so requests that arrive in one turn merge into one.
    QMetaObject::invokeMethod(
        this, [this, first] { Post([this] { RunRequest(); }, first); }, Qt::QueuedConnection);
}

void RecorderDialog::RunRequest() {
    switch (requests_.Take()) {
        case ControlRequests::Action::kStop:
            ShutDown();
            break;
        case ControlRequests::Action::kReload:
            Reload();
            break;
        case ControlRequests::Action::kNone:
            break;
    }
}

void RecorderDialog::Post(std::function<void()> work, bool first) {
    if (first) {
        queue_.push_front(std::move(work));
    } else {
        queue_.push_back(std::move(work));
    }
    RunQueue();
}

void RecorderDialog::RunQueue() {
    // Entered again from a message box's loop: the outer call works the queue off afterwards.
    if (running_) return;
    running_ = true;
    while (!queue_.empty()) {
        const std::function<void()> work = std::move(queue_.front());
        queue_.pop_front();
        work();
    }
    running_ = false;
}

void RecorderDialog::ProcessBlockNotice(uint64_t generation) {
    if (shutdownStarted_ || !devices_) return;
    devices_->OnWaveBlock(generation, [this](const int16_t* samples, size_t count) {
        core_->ProcessBlock(samples, count);
        ++blocksProcessed_;
    });
    RefreshTray();  // a call filed in this block is over only now
}

// ---- timer, window, menus ----

void RecorderDialog::OnTimer() {
    HideToTray();
    if (!core_) return;
    PerLine<std::chrono::year_month_day> before;
    for (size_t n = 0; n < before.size(); ++n) before[n] = core_->folderDate(Line(static_cast<int>(n)));
    if (const std::optional<uint32_t> period = core_->CleanDisk()) timer0_.start(static_cast<int>(*period));
    // The cleaning cursor moved past a day whose folder is gone: cleaning removed it for space.
    for (size_t n = 0; n < before.size(); ++n) {
        const std::string& dropFolder = settings_.channels[n].dropFolder;
        if (core_->folderDate(Line(static_cast<int>(n))) == before[n] || dropFolder.empty()) continue;
        const std::string day = DayFolderPath(dropFolder, before[n]);
        if (env_.fileSystem.Exists(day)) continue;
        Deliver(AlarmBook::Event("cleaned" + std::to_string(n + 1),
                                 "Line " + std::to_string(n + 1) + ": the day folder " + day +
                                     " was cleaned away to keep " + std::to_string(settings_.freeDiskSpace) +
                                     " MB free (see history.log)."));
    }
}

void RecorderDialog::HideToTray() {
    // Someone is reading or using the window: it goes at the next tick after that.
    if (isVisible() && (isActiveWindow() || QApplication::activePopupWidget() != nullptr)) return;
    if (TryAddTray()) {
        hide();
        return;
    }
    LogNoTrayOnce();
    if (isVisible() && !isMinimized()) showMinimized();
}

void RecorderDialog::OnRestore() {
    showNormal();
    raise();
    activateWindow();
    timer0_.start(kRestoreTimerMs);
}

void RecorderDialog::reject() { HideToTray(); }

void RecorderDialog::accept() {}

void RecorderDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (!shutdownStarted_) HideToTray();
}

void RecorderDialog::contextMenuEvent(QContextMenuEvent* event) {
    // Stands in for the window's system menu, which carries the About item.
    QMenu menu(this);
    menu.setObjectName("systemMenu");
    QAction* about = menu.addAction(text::kAboutMenuItem);
    about->setData(kAboutCommand);
    if (menu.exec(event->globalPos()) == about) ShowAbout();
}

std::unique_ptr<QDialog> MakeAboutBox(QWidget* parent) {
    auto about = std::make_unique<QDialog>(parent);
    about->setObjectName("aboutDialog");
    about->setWindowTitle(text::kAboutTitle);
    about->setWindowIcon(RecorderIcon(RecorderIconKind::kApp));
    LayOutAboutBox(*about, RecorderIcon(RecorderIconKind::kApp), text::kAboutText, text::kOk);
    return about;
}

void RecorderDialog::ShowAbout() { MakeAboutBox(this)->exec(); }

void RecorderDialog::OnConfiguration() {
    const std::string program = FindCompanion(
        kConfiguratorProgram,
        {settings_.programFolder, FolderOf(env_.executablePath),
         BuildTreeFolder(env_.executablePath, PELL_BUILD_CONFIGURATOR_DIR)},
        [this](const std::string& path) { return env_.desktop.IsExecutable(path); },
        [this](const std::string& name) { return env_.desktop.FindOnPath(name); });
    if (program.empty()) return;
    if (!env_.desktop.StartDetached(program, FolderOf(program))) Log("cannot start " + program);
}

void RecorderDialog::OnPlayer() {
    if (playerPath_.empty() || !env_.desktop.IsExecutable(playerPath_)) return;
    // The player keeps its own files in its working folder when it has no settings value.
    if (!env_.desktop.StartDetached(playerPath_, FolderOf(playerPath_))) Log("cannot start " + playerPath_);
}

void RecorderDialog::OnStartupToggle() {
    const std::optional<bool> registered = ToggleAutostart(env_.autostartEntryPath, env_.executablePath);
    if (!registered) Log("cannot change the start at login entry " + env_.autostartEntryPath);
    startupAction_->setChecked(AutostartRegistered(env_.autostartEntryPath));
}

// ---- reconnect, reload, shut-down ----

void RecorderDialog::Reconnect() {
    if (shutdownStarted_ || !devices_) return;
    Log("no sound for 15 s: reconnecting the line box");
    devices_->OnReconnect(settings_.device, settings_.sampleRate);
    Log(std::string("reconnect: capture ") + (devices_->capture().running() ? "open" : "not found") +
        ", line interface " + (devices_->lineInterfacePresent() ? "found" : "not found"));
    UpdateWaiting(text::kSourceFailed);
}

bool RecorderDialog::HidControlled() const {
    for (const ChannelConfig& channel : settings_.channels) {
        if (channel.exists != 0 && channel.sensitiveControl == LineControl::kLineState) return true;
    }
    return false;
}

bool RecorderDialog::HardwareMissing() { return devices_ && !devices_->capture().running(); }

bool RecorderDialog::LineInterfaceMissing() const {
    return devices_ && HidControlled() && !devices_->lineInterfacePresent();
}

void RecorderDialog::RetryDevices() {
    if (shutdownStarted_ || !devices_) return;
    if (HardwareMissing()) {
        devices_->capture().FindCaptureDevice(settings_.device, settings_.sampleRate, WaveCapture::Search::kRetry);
    }
    if (LineInterfaceMissing()) devices_->SearchLineInterfaceIfAbsent();
    UpdateWaiting(text::kSourceFailed);
}

void RecorderDialog::UpdateWaiting(const char* specText) {
    // Lines under HID control record nothing without the line interface, even with sound.
    const bool noInterface = !HardwareMissing() && LineInterfaceMissing();
    if (noInterface != lineInterfaceMissing_) {
        lineInterfaceMissing_ = noInterface;
        if (noInterface) {
            Tell(std::string("The line box (") + kLineBoxHidName +
                 ") is not plugged in: lines under HID control record nothing until it is; the recorder looks for "
                 "it every few seconds.");
        } else if (!waiting_) {
            Tell(std::string("The line box (") + kLineBoxHidName + ") is there: its lines record again.");
        }
    }
    const bool missing = HardwareMissing();
    if (missing == waiting_) {
        RefreshTray();
        return;
    }
    waiting_ = missing;
    if (missing) {
        Log("waiting for the line box");
        Tell(WaitingText(specText, Facts()));
    } else {
        Tell("The line box is there: recording starts (device \"" + settings_.device + "\" at " +
             std::to_string(devices_->capture().sampleRate()) + " Hz, line interface " +
             (devices_->lineInterfacePresent() ? "found" : "not found") + ").");
    }
    RefreshTray();
}

void RecorderDialog::FileCallsForNewCapture(const RecorderSettings& loaded, bool newRate) {
    // The calls running now cannot go on in another format: they are filed up to here.
    std::string lines;
    for (const Line line : kLines) {
        if (core_->inCall(line)) lines += (lines.empty() ? "" : " and ") + std::to_string(line.channel() + 1);
    }
    if (!lines.empty()) {
        const std::string what = newRate ? "the sample rate changes from " + std::to_string(settings_.sampleRate) +
                                               " Hz to " + std::to_string(loaded.sampleRate) + " Hz"
                                         : "the capture device changes to \"" + loaded.device + "\"";
        const std::string text = "New settings: " + what + ", so the running call on line " + lines +
                                 " is filed up to here; what follows is recorded as a new call.";
        Log(text);
        ShowStop(text);
    }
    core_->FinishAllRecordings();
}

void RecorderDialog::Reload() {
    if (shutdownStarted_ || !devices_) return;
    RecorderSettings loaded;
    loaded.programFolder = settings_.programFolder;
    ToneTables tones{};
    LoadSettings(loaded, tones, [this] { UpdateMenuStates(); });
    loaded.sampleRate = static_cast<int32_t>(EffectiveSampleRate(loaded.sampleRate));
    const bool newRate = loaded.sampleRate != settings_.sampleRate;
    const bool newDevice = LowerCase(loaded.device) != LowerCase(settings_.device);
    if (newRate || newDevice) {
        FileCallsForNewCapture(loaded, newRate);
    } else {
        loaded.device = settings_.device;  // as the device search lower-cased it
    }
    settings_ = std::move(loaded);
    toneTables_ = tones;
    CreateDropFolders(settings_);
    core_->OnSettingsLoaded(std::exchange(settings_.loadMessages, {}));
    LoadOptions();
    // Capture is reopened only when it must change: a reopen drops sound of the running calls.
    if (newRate || newDevice) {
        devices_->Reload(settings_.device, settings_.sampleRate);
    } else {
        devices_->SearchLineInterfaceIfAbsent();
    }
    Log("reloaded settings: device \"" + settings_.device + "\" at " +
        std::to_string(devices_->capture().sampleRate()) + " Hz, capture " +
        (newRate || newDevice ? (devices_->capture().running() ? "reopened" : "not found") : "kept") +
        ", line interface " + (devices_->lineInterfacePresent() ? "found" : "not found"));
    UpdateWaiting(text::kSourceFailed);
}

void RecorderDialog::OnShutDown() {
    if (shutdownStarted_ || !env_.desktop.AskQuit(this)) return;
    ShutDownNow();
}

void RecorderDialog::ShutDownNow() {
    if (shutdownStarted_) return;
    if (requests_.Stop()) ScheduleRequest(true);
    // A start-up message waits for a click nobody gives at logout or a service stop.
    if (!requests_.started()) env_.desktop.DismissMessages();
}

void RecorderDialog::ShutDownAtQuit() {
    // The event loop has ended: nothing queued would run any more.
    if (shutdownStarted_ || !started_) return;
    requests_.Stop();
    Post([this] { ShutDown(); }, true);
}

void RecorderDialog::ShutDown() {
    if (shutdownStarted_) return;
    shutdownStarted_ = true;
    Log("shutting down");
    if (tray_ != nullptr) {
        tray_->hide();
        delete tray_;
        tray_ = nullptr;
    }
    if (core_) core_->FinishAllRecordings();
    statusTimer_.stop();
    WriteStatus();
    Teardown();
    hide();
    Log("shut down");
    emit exitRequested(0);
}

void RecorderDialog::Teardown() {
    shutdownStarted_ = true;
    for (const std::string& text : pendingBoxes_) Log("message not shown at shut-down: " + text);
    pendingBoxes_.clear();
    timer0_.stop();
    retryTimer_.stop();
    statusTimer_.stop();
    queue_.clear();
    if (tray_ != nullptr) {
        delete tray_;
        tray_ = nullptr;
    }
    // Stops the poll and watchdog threads, closes the line interface and capture, then joins
    // the capture thread; only then do the encoders and buffers go.
    if (devices_) devices_->Shutdown();
    devices_.reset();
    core_.reset();
    reload_.reset();
    mailer_.reset();
    feed_.reset();
}

void RecorderDialog::OnFiled(const FiledRecording& filed) {
    LineStatus& status = lineStatus_[filed.channel];
    status.lastNumber = filed.number;
    status.lastFiledAt = env_.clock.Now();
    status.lastFiledPath = filed.path;
    cannotWrite_[filed.channel] = false;  // a file reached its folder again
    lastActivity_[filed.channel] = RunSeconds();
    // The path is root/dd.mm.yyyy/name.mp3, with the drop folder the call was filed under.
    if (feed_) feed_->Filed(FolderOf(FolderOf(filed.path)), filed.path);
    RefreshTray();
    Log("filed: channel " + std::to_string(filed.channel + 1) + " " + filed.path + " " +
        Plural(filed.seconds, "second") + " number \"" + filed.number + "\" mark " +
        std::string(1, filed.directionMark));
}

// ---- what the core and capture show ----

void RecorderDialog::SetMeter(Line line, int position) { meters_[line.index()]->setValue(position); }

void RecorderDialog::SetStatusText(Line line, const std::string& text) {
    QLineEdit* edit = statusEdits_[line.index()];
    const QString value = QString::fromStdString(text);
    if (edit->text() != value) edit->setText(value);
}

void RecorderDialog::SetRecordingCheck(Line line, bool checked) { checks_[line.index()]->setChecked(checked); }

void RecorderDialog::SetTrayIcon(TrayIcon icon, const std::string& tip) {
    trayImage_ = icon;
    trayTip_ = tip;
    RefreshTray();
}

LineCondition RecorderDialog::ConditionOf(size_t line) const {
    const ChannelConfig& channel = settings_.channels[line];
    if (channel.exists == 0) return LineCondition::kOff;
    if (waiting_ || (channel.sensitiveControl == LineControl::kLineState && lineInterfaceMissing_)) {
        return LineCondition::kBoxMissing;
    }
    if (cannotWrite_[line]) return LineCondition::kCannotWrite;
    return lineStatus_[line].callStart ? LineCondition::kRecording : LineCondition::kIdle;
}

void RecorderDialog::RefreshTray() {
    bool problem = waiting_ || lineInterfaceMissing_;
    for (size_t n = 0; n < lineStatus_.size(); ++n) {
        // A call lasts from its start until it is filed.
        std::optional<LocalDateTime>& start = lineStatus_[n].callStart;
        const bool inCall = core_ && !shutdownStarted_ && core_->inCall(Line(static_cast<int>(n)));
        if (inCall && !start) start = env_.clock.Now();
        if (!inCall) start.reset();
        lineStatus_[n].condition = ConditionOf(n);
        if (lineStatus_[n].condition == LineCondition::kCannotWrite) problem = true;
    }
    const QIcon* icon = problem ? &problemIcon_ : trayImage_ == TrayIcon::kRecording ? &recordingIcon_ : &idleIcon_;
    const std::string tip = TrayTip(waiting_ ? kWaitingTip : trayTip_, lineStatus_, kMaxTipLength);
    // Every encoded block asks again; the desktop only hears of changes.
    if (tray_ == nullptr || (icon == shownIcon_ && tip == shownTip_)) return;
    if (icon != shownIcon_) tray_->setIcon(*icon);
    if (tip != shownTip_) tray_->setToolTip(QString::fromStdString(tip));
    shownIcon_ = icon;
    shownTip_ = tip;
}

void RecorderDialog::ShowStop(const std::string& text) {
    if (!started_) {
        Tell(text);
        return;
    }
    // Told from an event of its own, not inside block processing: whatever the desktop does
    // meanwhile, blocks go on being processed, so none has to wait and none is lost.
    pendingBoxes_.push_back(text);
    if (pendingBoxes_.size() == 1 && !showingBoxes_) {
        QMetaObject::invokeMethod(
            this, [this] { ShowPendingBoxes(); }, Qt::QueuedConnection);
    }
}

void RecorderDialog::ShowPendingBoxes() {
    if (showingBoxes_) return;
    showingBoxes_ = true;
    while (!pendingBoxes_.empty() && !shutdownStarted_) {
        const std::string text = std::move(pendingBoxes_.front());
        pendingBoxes_.pop_front();
        Tell(text);
    }
    showingBoxes_ = false;
}

HealthReport RecorderDialog::Health() {
    RefreshTray();
    HealthReport report;
    report.version = PELL_RECORDER_VERSION;
    report.written = env_.clock.Now();
    bool recording = false;
    for (size_t n = 0; n < lineStatus_.size(); ++n) recording = recording || lineStatus_[n].callStart.has_value();
    report.state = shutdownStarted_ ? "stopped"
                   : waiting_       ? "waiting for the line box"
                   : recording      ? "recording"
                                    : "idle";
    report.boxPresent = devices_ && devices_->lineInterfacePresent();
    report.soundPresent = devices_ && devices_->capture().running();
    // The drive the recordings go to, which cleaning watches; the program folder without one.
    std::string folder = settings_.programFolder;
    for (const ChannelConfig& channel : settings_.channels) {
        if (channel.exists != 0 && !channel.dropFolder.empty() && env_.fileSystem.Exists(channel.dropFolder)) {
            folder = channel.dropFolder;
            break;
        }
    }
    report.diskFreeBytes = env_.freeSpace.FreeBytes(folder);
    report.lines = lineStatus_;
    report.alarms = alarms_.Standing();
    if (!problems_.entries().empty()) {
        report.lastProblem = problems_.entries().back().text;
        report.lastProblemAt = problems_.entries().back().at;
    }
    return report;
}

int64_t RecorderDialog::RunSeconds() {
    const uint32_t now = env_.clock.TickMs();
    runMs_ += TicksSince(lastTick_, now);
    lastTick_ = now;
    return static_cast<int64_t>(runMs_ / 1000);
}

void RecorderDialog::Observe(const std::string& key, bool holds, const std::string& text, int64_t graceSeconds) {
    if (const std::optional<AlarmNotice> notice = alarms_.Observe(key, holds, text, RunSeconds(), graceSeconds)) {
        Deliver(*notice);
    }
}

void RecorderDialog::CheckAlarms() {
    if (!started_ || shutdownStarted_) return;
    Observe("box", waiting_ || lineInterfaceMissing_,
            waiting_ ? "The line box or its sound device has been missing for more than a minute: nothing is recorded."
                     : std::string("The line box's line interface (") + kLineBoxHidName +
                           ") has been missing for more than a minute: lines under HID control record nothing.",
            kMissingHardwareGraceSeconds);
    const int64_t now = RunSeconds();
    for (size_t n = 0; n < lineStatus_.size(); ++n) {
        const std::string line = "Line " + std::to_string(n + 1);
        Observe("write" + std::to_string(n + 1), cannotWrite_[n],
                line + " cannot write its recordings: " + lineStatus_[n].lastProblem);
        if (lineStatus_[n].callStart) lastActivity_[n] = now;
        const int32_t days = options_.lines[n].noCallDays;
        Observe("quiet" + std::to_string(n + 1),
                days > 0 && settings_.channels[n].exists != 0 && now - lastActivity_[n] >= int64_t{days} * 86400,
                line + " has had no call for " + Plural(static_cast<uint64_t>(days), "day") + ".");
    }
    const HealthReport health = Health();
    const uint64_t limitBytes = settings_.freeDiskSpace > 0 ? uint64_t(settings_.freeDiskSpace) << 20 : 0;
    const bool low = limitBytes > 0 && health.diskFreeBytes && *health.diskFreeBytes < 2 * limitBytes;
    Observe("space", low,
            "Free space for the recordings is " + std::to_string(health.diskFreeBytes.value_or(0) >> 20) +
                " MB, under twice the cleaning limit of " + std::to_string(settings_.freeDiskSpace) +
                " MB: the oldest days will be deleted.");
}

void RecorderDialog::Deliver(const AlarmNotice& notice) {
    const std::string text = AlarmNoticeText(notice);
    Log("alarm: " + text);
    Show(text, false);
    if (!options_.mail.Enabled()) return;
    const AlarmMail mail{AlarmMailSubject(notice), text + "\n\nPellRecorder, program folder " +
                                                       settings_.programFolder + ", at " +
                                                       FormatLocal(env_.clock.Now(), "%d.%m.%Y %H:%M:%S") + ".\n"};
    if (env_.sendMail) {
        env_.sendMail(options_.mail, mail);
        return;
    }
    if (!mailer_) {
        mailer_ = std::make_unique<AlarmMailer>([this](const AlarmMail& sentMail, bool sent, const std::string& error) {
            const std::string line = sent ? "alarm mail sent: " + sentMail.subject
                                          : "alarm mail not sent (" + error + "): " + sentMail.subject;
            QMetaObject::invokeMethod(
                this, [this, line] { Log(line); }, Qt::QueuedConnection);
        });
    }
    mailer_->Send(options_.mail, mail);
}

void RecorderDialog::WriteStatus() {
    if (!core_ && !shutdownStarted_) return;
    CheckAlarms();
    const std::string path = JoinPath(settings_.programFolder, kStatusFile);
    std::string error;
    if (env_.fileSystem.WriteWhole(path, FormatHealthJson(Health()), &error)) {
        statusFailed_ = false;
        return;
    }
    if (std::exchange(statusFailed_, true)) return;
    Log("cannot write the health file " + path + ": " + error);
}

CauseFacts RecorderDialog::Facts() {
    CauseFacts facts;
    facts.inPellGroup = env_.desktop.InGroup(kPellGroup);
    facts.wantedDevice = LowerCase(settings_.device);  // as the search compares it
    facts.lineBoxPresent = devices_ && devices_->lineInterfacePresent();
    facts.soundPresent = devices_ && devices_->capture().running();
    if (!facts.soundPresent) {
        for (const std::optional<std::string>& name : env_.captureBackend.InputDevices()) {
            facts.foundDevices.push_back(name.value_or("(unreadable)"));
        }
    }
    for (const ChannelConfig& channel : settings_.channels) {
        if (channel.exists != 0 && channel.sensitiveControl == LineControl::kLineState) facts.hidControlled = true;
    }
    return facts;
}

void RecorderDialog::Log(const std::string& line) {
    env_.desktop.Log(line);
    loggedByCore_.push_back(line);
    while (loggedByCore_.size() > 8) loggedByCore_.pop_front();
}

void RecorderDialog::Tell(const std::string& text, bool beforeExit) {
    const std::string told = WithCause(text, Facts());
    // The core starts a line's failures with "Line N: ".
    for (size_t n = 0; n < 2 && started_; ++n) {
        if (text.rfind("Line " + std::to_string(n + 1) + ": ", 0) != 0) continue;
        cannotWrite_[n] = true;
        lineStatus_[n].lastProblem = told;
    }
    // One line per event: a message the core logged already is not logged again, unless its cause was added.
    const auto logged = std::find(loggedByCore_.begin(), loggedByCore_.end(), text);
    if (logged != loggedByCore_.end() && told == text) {
        loggedByCore_.erase(logged);
    } else {
        env_.desktop.Log("message: " + told);
    }
    Show(told, beforeExit);
    RefreshTray();
}

void RecorderDialog::Show(const std::string& text, bool beforeExit) {
    problems_.Add(env_.clock.Now(), text);
    problemsList_->addItem(QString::fromStdString(ProblemList::Row(problems_.entries().back())));
    while (problemsList_->count() > static_cast<int>(problems_.entries().size())) delete problemsList_->takeItem(0);
    problemsList_->scrollToBottom();
    problemsBox_->show();
    if (!env_.desktop.Notify(text, beforeExit) && tray_ != nullptr) {
        tray_->showMessage(text::kAppName, QString::fromStdString(text), QSystemTrayIcon::Warning);
    }
}

void RecorderDialog::ShowMessage(const std::string& text) { Tell(text); }

void RecorderDialog::SetCaption(const std::string& text) { setWindowTitle(QString::fromStdString(text)); }

}  // namespace pell::recorder
