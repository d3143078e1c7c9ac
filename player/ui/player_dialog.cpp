#include "player/ui/player_dialog.h"

#include <QApplication>
#include <QDateEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

#include "common/widgets/dialog_units.h"
#include "player/catalogue/record_roots.h"
#include "player/engine/equalizer.h"
#include "player/engine/volume.h"
#include "player/engine/wmp3.h"
#include "player/ui/about_dialog.h"
#include "player/ui/artwork.h"
#include "player/ui/call_search.h"
#include "player/ui/core/column_widths.h"
#include "player/ui/player_controls.h"
#include "player/ui/record_commands.h"
#include "player/ui/record_list.h"
#include "player/ui/core/record_list_rules.h"
#include "player/ui/search_dialog.h"
#include "player/ui/skin_controls.h"
#include "player/ui/waveform_view.h"
#include "player/ui/window_widgets.h"
#include "player/ui/wmp3_adapter.h"

namespace pell::player {
namespace {

std::chrono::year_month_day ToYmd(const QDate& date) {
    return std::chrono::year_month_day{std::chrono::year(date.year()),
                                       std::chrono::month(static_cast<unsigned>(date.month())),
                                       std::chrono::day(static_cast<unsigned>(date.day()))};
}

const char* ButtonText(int kind) {
    switch (kind) {
        case kKindPlay:
            return "Play (Space)";
        case kKindPause:
            return "Pause (Space)";
        case kKindPrevious:
            return "Previous record (Ctrl+Left)";
        case kKindNext:
            return "Next record (Ctrl+Right)";
        case kKindStop:
            return "Stop";
        case kKindRefresh:
            return "Refresh list (F5)";
        case kKindSearch:
            return "Search (Ctrl+F)";
        default:
            return "";
    }
}

void SetButtonKind(SkinButton* button, int kind) {
    button->SetKind(kind);
    Describe(button, ButtonText(kind));
}

// Slider value changes made by the window itself must never look like a user's action.
template <typename F>
void Quietly(QSlider* slider, F&& change) {
    const QSignalBlocker blocker(slider);
    change();
}

}  // namespace

void SetDialogColours() {
    QPalette palette = QApplication::palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, QColor(230, 230, 255));
        palette.setColor(group, QPalette::WindowText, Qt::black);
        // Selections and slider grooves in the artwork's indigo.
        palette.setColor(group, QPalette::Highlight, QColor(0x56, 0x5a, 0xe0));
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
    }
    QApplication::setPalette(palette);
}

PlayerDialog::PlayerDialog(std::string programFolder, Services services, QWidget* parent)
    : QDialog(parent), programFolder_(std::move(programFolder)), services_(std::move(services)) {
    setObjectName("playerDialog");
    setWindowTitle(text::kTitle);
    setWindowIcon(ProgramIcon());
    setFont(DialogFont());
    setSizeGripEnabled(true);
    // A main window of its own: in the task bar, with minimise and maximise boxes; it grows from
    // its designed size, never shrinks below it.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);

    if (services_.notifier == nullptr) {
        ownNotifier_ = std::make_unique<DesktopNotifier>();
        services_.notifier = ownNotifier_.get();
    }
    if (services_.picker == nullptr) {
        ownPicker_ = std::make_unique<DirectoryDialogPicker>();
        services_.picker = ownPicker_.get();
    }
    if (services_.custody == nullptr) {
        ownCustody_ = std::make_unique<PosixCustodyPort>();
        services_.custody = ownCustody_.get();
    }
    RecordCommandServices commandServices{*services_.notifier, *services_.picker};
    commandServices.listBackground = ArtPixmap(kArtListBackground, devicePixelRatioF());
    commandServices.custody = services_.custody;
    commandServices.showStatus = [this](const QString& text, bool problem) { ShowStatus(text, problem); };
    commands_ = new RecordCommands(this, *this, programFolder_, std::move(commandServices));
    recordFiles_ = std::make_unique<AuditedRecordFiles>(
        *services_.custody, [this](const std::string& notice) { ShowStatus(QString::fromStdString(notice), true); });

    BuildControls();
    BuildStatusLine();
    BuildMenus();
    recordRoots_ = LoadRecordRoots(programFolder_);
    const ColumnWidths widths = ReadColumnWidths(programFolder_, kDefaultColumnWidths);
    for (int c = 0; c < kRecordColumnCount; ++c) list_->header()->resizeSection(c, widths[static_cast<std::size_t>(c)]);

    SetButtonKind(playButton_, kKindPlay);
    SetButtonKind(stopButton_, kKindStop);
    SetButtonKind(previousButton_, kKindPrevious);
    SetButtonKind(nextButton_, kKindNext);
    SetButtonKind(refreshButton_, kKindRefresh);
    SetButtonKind(searchButton_, kKindSearch);
    SetUpVolume();
    ConnectList();
    ConnectTransport();
    waveformLoader_ = std::make_unique<WaveformLoader>(programFolder_);
    connect(waveformLoader_.get(), &WaveformLoader::Loaded, this, &PlayerDialog::OnWaveformLoaded);
    // Browsing the list with the keys does not start an outline for every row passed over.
    waveformDelay_ = new QTimer(this);
    waveformDelay_->setSingleShot(true);
    waveformDelay_->setInterval(200);
    connect(waveformDelay_, &QTimer::timeout, this, &PlayerDialog::UpdateWaveform);
    connect(waveform_, &WaveformView::PlayFromRequested, this,
            [this](std::uint32_t ms) { transport_->PlayFrom(static_cast<int>(ms / 1000)); });
    callSearch_ = std::make_unique<CallSearch>(programFolder_);
    FillRecordList();

    engine_ = std::make_unique<WMp3>(services_.makeOutput());
    engine_->EnableEqualizer(1);
    SetUpEqualizer();
    engineAdapter_ = std::make_unique<WMp3Adapter>(*engine_);
    TransportWindow& window = *this;
    transport_ = std::make_unique<PlayerTransport>(*engineAdapter_, window, *recordFiles_);

    monitor_ =
        std::make_unique<MonitorThread>(*engineAdapter_, transport_->Flags(), [this](const MonitorReport& report) {
            QMetaObject::invokeMethod(
                this,
                [this, report] {
                    if (!closing_) transport_->OnMonitorReport(report);
                },
                Qt::QueuedConnection);
        });
    if (services_.runMonitorThread) monitor_->Start();
    // The list has the keys people use first (arrows, Return), and no blinking text cursor to
    // redraw a date twice a second while the window sits idle.
    list_->setFocus();
}

PlayerDialog::~PlayerDialog() {
    if (!closing_) reject();
}

void PlayerDialog::BuildMenus() {
    auto makeAction = [this](int command, const char* label, const char* name) {
        auto* action = new QAction(label, this);
        action->setObjectName(name);
        action->setData(command);
        actions_.push_back(action);
        return action;
    };
    QAction* properties = makeAction(kCmdProperties, text::kProperties, "actionProperties");
    QAction* exit = makeAction(kCmdExit, text::kExit, "actionExit");
    QAction* about = makeAction(kCmdAbout, text::kAboutItem, "actionAbout");
    QAction* play = makeAction(kCmdPlay, text::kPlay, "actionPlay");
    QAction* bookmark = makeAction(kCmdSetBookmark, text::kSetBookmark, "actionSetBookmark");
    QAction* copyTo = makeAction(kCmdCopyTo, text::kCopyTo, "actionCopyTo");
    QAction* remove = makeAction(kCmdDelete, text::kDelete, "actionDelete");
    connect(properties, &QAction::triggered, this, &PlayerDialog::OnProperties);
    connect(exit, &QAction::triggered, this, &PlayerDialog::reject);
    connect(about, &QAction::triggered, this, &PlayerDialog::OnAbout);
    connect(play, &QAction::triggered, this, &PlayerDialog::Play);
    connect(bookmark, &QAction::triggered, this, &PlayerDialog::OnSetBookmark);
    connect(copyTo, &QAction::triggered, this, &PlayerDialog::OnCopyTo);
    connect(remove, &QAction::triggered, this, &PlayerDialog::OnDelete);

    auto* bar = new QMenuBar(this);
    bar->setObjectName("menuBar");
    QMenu* file = bar->addMenu(text::kFileMenu);
    file->addAction(properties);
    file->addSeparator();
    file->addAction(exit);
    BuildPlaybackMenu(*bar->addMenu(text::kPlaybackMenu));
    // The window manager's system menu cannot take items, so About has a menu of its own.
    QMenu* help = bar->addMenu(text::kHelpMenu);
    help->addAction(about);

    // Everything stands below the bar; the window never shrinks below what it then needs.
    const int barHeight = bar->sizeHint().height();
    for (Placement& p : placements_) p.smallest.y += barHeight;
    placements_.push_back({bar, Rect{0, 0, smallestClient_.width(), barHeight}, Anchor::kTopWide});
    smallestClient_ += QSize(0, barHeight);
    setMinimumSize(smallestClient_);
    resize(smallestClient_);
    Relayout();

    contextMenu_ = new QMenu(this);
    contextMenu_->setObjectName("recordMenu");
    contextMenu_->addAction(play);
    contextMenu_->addSeparator();
    contextMenu_->addAction(bookmark);
    contextMenu_->addAction(copyTo);
    contextMenu_->addSeparator();
    contextMenu_->addAction(remove);
    AddCustodyActions(*bar, *contextMenu_);
    // Delete acts on the list's record only while the list has the keyboard, never from a field.
    remove->setShortcut(QKeySequence(Qt::Key_Delete));
    remove->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    list_->addAction(remove);
}

void PlayerDialog::BuildPlaybackMenu(QMenu& menu) {
    auto add = [&](const char* label, const char* name, QKeySequence keys, auto slot) {
        auto* action = menu.addAction(label);
        action->setObjectName(name);
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    add(text::kPlayPause, "actionPlayPause", QKeySequence(Qt::Key_Space), [this] { transport_->PlayOrPause(); });
    add(text::kStop, "actionStop", QKeySequence(), &PlayerDialog::StopPlayback);
    add(text::kPrevious, "actionPrevious", QKeySequence(Qt::CTRL | Qt::Key_Left), &PlayerDialog::Previous);
    add(text::kNext, "actionNext", QKeySequence(Qt::CTRL | Qt::Key_Right), &PlayerDialog::Next);
    menu.addSeparator();
    add(text::kSkipBack, "actionSkipBack", QKeySequence(Qt::SHIFT | Qt::Key_Left), &PlayerDialog::SkipBack);
    add(text::kSkipForward, "actionSkipForward", QKeySequence(Qt::SHIFT | Qt::Key_Right), &PlayerDialog::SkipForward);
    menu.addSeparator();
    add(text::kFindMenu, "actionFind", QKeySequence(Qt::CTRL | Qt::Key_F), &PlayerDialog::OnSearch);
    add(text::kFindCalls, "actionFindCalls", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F),
        &PlayerDialog::OnFindCalls);
    backToDates_ =
        add(text::kBackToDates, "actionBackToDates", QKeySequence(Qt::ALT | Qt::Key_Left), &PlayerDialog::BackToDates);
    backToDates_->setEnabled(false);
    add(text::kRefresh, "actionRefresh", QKeySequence(Qt::Key_F5), &PlayerDialog::RefreshList);
}

QAction* PlayerDialog::Action(int command) const {
    for (QAction* action : actions_) {
        if (action->data().toInt() == command) return action;
    }
    return nullptr;
}

void PlayerDialog::ConnectList() {
    connect(list_, &RecordList::RowClicked, this, &PlayerDialog::SetCurrentRowFromUser);
    connect(list_, &RecordList::RowDoubleClicked, this, [this](int row) {
        SetCurrentRowFromUser(row);
        Play();
    });
    // Return on the highlighted row plays it, as a double click does.
    connect(list_, &RecordList::RowActivated, this, [this](int row) {
        SetCurrentRowFromUser(row);
        Play();
    });
    connect(list_, &RecordList::RowRightClicked, this, &PlayerDialog::ShowContextMenu);
    connect(list_, &RecordList::NavigationKey, this, [this] {
        if (currentRow_ >= 0) list_->viewport()->update();
        navigationArmed_ = true;
    });
    connect(list_, &RecordList::SelectionMoved, this, [this] {
        if (!navigationArmed_) return;
        const int first = list_->FirstSelectedRow();
        if (first < 0) return;
        currentRow_ = first;
        waveformDelay_->start();
    });
    connect(list_, &RecordList::HeaderClicked, this, &PlayerDialog::OnHeaderClicked);
}

void PlayerDialog::SetCurrentRowFromUser(int row) {
    if (currentRow_ >= 0) list_->viewport()->update();
    currentRow_ = row;
    waveformDelay_->start();
}

void PlayerDialog::MakeRowCurrent(int row) {
    if (row < 0 || row >= list_->Model().rowCount()) return;
    SetCurrentRowFromUser(row);
    list_->SelectRow(row);
    KeepSearchWindowClearOf(row);
}

void PlayerDialog::HighlightCurrentRow() {
    if (currentRow_ >= 0) {
        list_->SelectRow(currentRow_);
    } else {
        list_->clearSelection();
    }
}

void PlayerDialog::RemoveRecordRow(int row) {
    if (row < 0 || row >= list_->Model().rowCount()) return;
    list_->Model().RemoveRow(row);
    currentRow_ = CurrentRowAfterRemoval(currentRow_, row, list_->Model().rowCount());
    // The list itself moves its highlight on its own terms: it is put where the current row is.
    HighlightCurrentRow();
    ShowListSummary();
    waveformDelay_->start();
}

void PlayerDialog::KeepSearchWindowClearOf(int row) {
    SearchDialog* search = commands_->SearchWindow();
    if (search == nullptr || !search->isVisible() || search->isMinimized()) return;
    const QRect cell = list_->visualRect(list_->Model().index(row, 0));
    const QPoint topLeft = list_->viewport()->mapToGlobal(QPoint(0, cell.top()));
    const Rect found{topLeft.x(), topLeft.y(), list_->viewport()->width(), cell.height()};
    const QRect frame = search->frameGeometry();
    const QRect screen = search->screen()->availableGeometry();
    const Rect placed = PlaceClearOf(Rect{frame.x(), frame.y(), frame.width(), frame.height()}, found,
                                     Rect{screen.x(), screen.y(), screen.width(), screen.height()});
    if (placed.x != frame.x() || placed.y != frame.y()) search->move(placed.x, placed.y);
}

void PlayerDialog::ShowBookmark(int row, const std::string& text) { list_->Model().SetBookmark(row, text); }

void PlayerDialog::ShowContextMenu(int row, QPoint globalPos) {
    SetCurrentRowFromUser(row);
    contextMenu_->exec(globalPos);
}

void PlayerDialog::OnHeaderClicked(int column) {
    sortState_ = NextSortState(sortState_, column);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    currentRow_ = list_->Model().Sort(sortState_, currentRow_);
    list_->header()->setSortIndicatorShown(true);
    list_->header()->setSortIndicator(column, sortState_.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    QApplication::restoreOverrideCursor();
}

void PlayerDialog::FillRecordList() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::vector<RecordRow> rows = pell::FillRecordList(recordRoots_, ToYmd(fromDate_->date()), ToYmd(toDate_->date()));
    QApplication::restoreOverrideCursor();
    listMode_.ShowDateRange();
    ShowSearchBar();
    ShowRows(std::move(rows));
}

void PlayerDialog::ShowRows(std::vector<RecordRow> rows) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    list_->Model().SetRows(std::move(rows));
    currentRow_ = -1;
    // The sort the user chose stays, with its indicator.
    if (sortState_.column >= 0) list_->Model().Sort(sortState_, -1);
    QApplication::restoreOverrideCursor();
    ShowListSummary();
    if (transport_) UpdateWaveform();
}

QString PlayerDialog::ListSummary() const { return summary_->text(); }
QString PlayerDialog::PlayingText() const { return playingLabel_->text(); }

void PlayerDialog::ShowListSummary() {
    summary_->setText(QString::fromStdString(ListSummaryText(list_->Model().Rows())));
    searchCaption_->setText(QString::fromStdString(listMode_.Caption(list_->Model().Rows().size())) + unreachableNote_);
}

void PlayerDialog::ShowPlayingText() {
    playingLabel_->setText(playingRecord_ ? QString::fromStdString(PlayingRecordText(*playingRecord_, playingPaused_))
                                          : QString());
}

void PlayerDialog::UpdateWaveform() {
    const int rows = list_->Model().rowCount();
    const std::string wanted = !playingPath_.empty()                    ? playingPath_
                               : currentRow_ >= 0 && currentRow_ < rows ? RecordPath(currentRow_)
                                                                        : std::string();
    if (wanted == waveformPath_) return;
    waveformPath_ = wanted;
    waveform_->SetWaveform(nullptr);
    waveform_->SetPositionMs(std::nullopt);
    if (wanted.empty()) {
        waveformLoader_->Cancel();
    } else {
        waveformLoader_->Load(wanted);
    }
}

void PlayerDialog::SettleWaveform() {
    if (waveformDelay_->isActive()) {
        waveformDelay_->stop();
        UpdateWaveform();
    }
    waveformLoader_->Finish();
    QCoreApplication::sendPostedEvents(waveformLoader_.get());
}

void PlayerDialog::OnWaveformLoaded(const QString& path, std::shared_ptr<const Waveform> waveform) {
    if (path.toStdString() != waveformPath_) return;
    waveform_->SetWaveform(std::move(waveform));
    if (!playingPath_.empty() && waveformPath_ == playingPath_)
        waveform_->SetPositionMs(static_cast<std::uint32_t>(position_->value()) * 1000);
}

void PlayerDialog::ConnectTransport() {
    connect(timeDisplay_, &TimeDisplay::Clicked, this, [this] { transport_->ToggleClockMode(); });
    connect(position_, &QSlider::sliderPressed, this,
            [this] { transport_->PressPosition(position_->sliderPosition()); });
    connect(position_, &QSlider::sliderMoved, this, [this](int value) { transport_->MovePosition(value); });
    connect(position_, &QSlider::sliderReleased, this,
            [this] { transport_->ReleasePosition(position_->sliderPosition()); });
    // A press in the groove or a key steps the handle on, repeating while held, and seeks once,
    // when let go; a wheel notch seeks at once. The handle itself is the drag above.
    position_->installEventFilter(this);
    connect(position_, &QSlider::actionTriggered, this, [this](int action) {
        if (action == QAbstractSlider::SliderNoAction || position_->isSliderDown()) return;
        const int target = position_->sliderPosition();
        if (!positionHeld_) {
            transport_->StepPosition(target);
        } else if (transport_->Dragging()) {
            transport_->MovePosition(target);
        } else {
            transport_->PressPosition(target);
        }
    });
}

bool PlayerDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == position_) WatchPositionHold(*event);
    return QDialog::eventFilter(watched, event);
}

void PlayerDialog::WatchPositionHold(const QEvent& event) {
    switch (event.type()) {
        case QEvent::MouseButtonPress:
            positionHeld_ = true;
            return;
        case QEvent::KeyPress:
            if (!static_cast<const QKeyEvent&>(event).isAutoRepeat()) positionHeld_ = true;
            return;
        case QEvent::KeyRelease:
            if (static_cast<const QKeyEvent&>(event).isAutoRepeat()) return;
            break;
        case QEvent::MouseButtonRelease:
        case QEvent::FocusOut:
            break;
        default:
            return;
    }
    if (!positionHeld_) return;
    positionHeld_ = false;
    // The handle's own release follows from the slider; a groove or key hold ends here.
    if (!position_->isSliderDown() && transport_->Dragging()) transport_->ReleasePosition(position_->sliderPosition());
}

void PlayerDialog::OnPlayerButton(int kind) {
    switch (kind) {
        case kKindPlay:
            Play();
            break;
        case kKindPause:
            Pause();
            break;
        case kKindPrevious:
            Previous();
            break;
        case kKindNext:
            Next();
            break;
        case kKindStop:
            StopPlayback();
            break;
        case kKindRefresh:
            RefreshList();
            break;
        case kKindSearch:
            OnSearch();
            break;
        default:
            break;
    }
}

void PlayerDialog::Play() { transport_->Play(); }
void PlayerDialog::Pause() { transport_->Pause(); }
void PlayerDialog::StopPlayback() { transport_->Stop(); }
void PlayerDialog::Next() { transport_->Next(); }
void PlayerDialog::Previous() { transport_->Previous(); }
void PlayerDialog::SkipBack() { transport_->Skip(-kSkipSeconds); }
void PlayerDialog::SkipForward() { transport_->Skip(kSkipSeconds); }

void PlayerDialog::RunMonitorPass() {
    if (monitor_) monitor_->RunPass();
}

std::string PlayerDialog::RecordPath(int row) const {
    return list_->Model().Rows().at(static_cast<std::size_t>(row)).placement;
}

void PlayerDialog::ShowRowPlayed(int row) { list_->Model().MarkRowPlayed(row); }

void PlayerDialog::ShowPlayingRow(int row) {
    const bool open = row >= 0 && row < list_->Model().rowCount();
    playingRecord_.reset();
    playingPath_.clear();
    if (open) {
        playingRecord_ = list_->Model().Rows()[static_cast<std::size_t>(row)];
        playingPath_ = playingRecord_->placement;
    }
    list_->Model().SetPlayingRecord(playingPath_);
    // The bands are named for the rate of what plays, telephone rate otherwise.
    const int rate = open && engine_ ? engine_->GetStreamInfo().sampleRate : 0;
    ShowBandLabels(rate > 0 ? rate : kLabelSampleRate);
    ShowPlayingText();
    UpdateWaveform();
}

void PlayerDialog::ShowPlaying(bool playing) {
    SetButtonKind(playButton_, playing ? kKindPause : kKindPlay);
    playingPaused_ = !playing;
    ShowPlayingText();
}

void PlayerDialog::ShowPositionRange(std::uint32_t lengthSeconds) {
    Quietly(position_, [&] { position_->setRange(0, static_cast<int>(lengthSeconds)); });
}

void PlayerDialog::ShowPosition(std::uint32_t seconds) {
    Quietly(position_, [&] { position_->setValue(static_cast<int>(seconds)); });
    const bool outlineOfPlaying = !playingPath_.empty() && waveformPath_ == playingPath_;
    waveform_->SetPositionMs(outlineOfPlaying ? std::optional<std::uint32_t>(seconds * 1000) : std::nullopt);
}

void PlayerDialog::ShowTime(int seconds) { timeDisplay_->SetValue(seconds); }
void PlayerDialog::ShowClockMode(int clockMode) { timeDisplay_->SetMode(clockMode); }

void PlayerDialog::ShowLevels(int left, int right) {
    leftMeter_->SetLevel(left);
    rightMeter_->SetLevel(right);
}

void PlayerDialog::BeginPositionDrag() { QApplication::setOverrideCursor(PositionTrackCursor(devicePixelRatioF())); }

void PlayerDialog::ShowPositionTip(const std::string& text) {
    const QString tip = QString::fromStdString(text);
    position_->setToolTip(tip);
    QToolTip::showText(QCursor::pos(), tip, position_);
}

void PlayerDialog::EndPositionDrag() {
    QApplication::restoreOverrideCursor();
    QToolTip::hideText();
}

void PlayerDialog::RestorePositionTip() { position_->setToolTip("Position"); }

void PlayerDialog::SetUpVolume() {
    volume_->setTickInterval(4);
    volume_->setRange(0, 32);
    const int position = VolumeToSlider(services_.mixer.GetWaveOutVolume());
    Quietly(volume_, [&] { volume_->setValue(position); });
    auto showIcon = [this](int p) {
        const int art = VolumeIconForSlider(p);
        volumeIcon_->setProperty("art", art);
        volumeIcon_->setPixmap(ArtPixmap(art, devicePixelRatioF()));
    };
    showIcon(position);
    connect(volume_, &QSlider::sliderReleased, this, [this] { ApplyVolume(volume_->sliderPosition()); });
    connect(volume_, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderNoAction && !volume_->isSliderDown())
            ApplyVolume(volume_->sliderPosition());
    });
}

void PlayerDialog::ApplyVolume(int position) {
    services_.mixer.SetWaveOutVolume(SliderToVolume(position));
    const int art = VolumeIconForSlider(position);
    volumeIcon_->setProperty("art", art);
    volumeIcon_->setPixmap(ArtPixmap(art, devicePixelRatioF()));
}

void PlayerDialog::SetUpEqualizer() {
    for (int k = 0; k < kEqualizerSliderCount; ++k) {
        QSlider* slider = equalizer_[static_cast<std::size_t>(k)];
        Quietly(slider, [&] {
            slider->setRange(0, k == kEqualizerSliderCount - 1 ? 11 : 21);
            slider->setValue(kFlatSliders[static_cast<std::size_t>(k)]);
        });
    }
    if (const auto text = ReadEqualizerFile(programFolder_)) {
        EqualizerSliders current{};
        for (int k = 0; k < kEqualizerSliderCount; ++k)
            current[static_cast<std::size_t>(k)] = equalizer_[static_cast<std::size_t>(k)]->value();
        const EqualizerSliders loaded = LoadEqualizer(*text, current);
        for (int k = 0; k < kEqualizerSliderCount; ++k) {
            QSlider* slider = equalizer_[static_cast<std::size_t>(k)];
            Quietly(slider, [&] { slider->setValue(loaded[static_cast<std::size_t>(k)]); });
        }
        for (int k = 0; k < 10; ++k) ApplyEqualizerSlider(k);
    }
    // Connected only now, with the engine in place: loading above is no user's change.
    for (int k = 0; k < kEqualizerSliderCount; ++k) {
        QSlider* slider = equalizer_[static_cast<std::size_t>(k)];
        connect(slider, &QSlider::actionTriggered, this, [this, k](int action) {
            if (action != QAbstractSlider::SliderNoAction) ApplyEqualizerSlider(k);
        });
    }
}

void PlayerDialog::ResetEqualizer() {
    for (int k = 0; k < kEqualizerSliderCount; ++k) {
        QSlider* slider = equalizer_[static_cast<std::size_t>(k)];
        Quietly(slider, [&] { slider->setValue(kFlatSliders[static_cast<std::size_t>(k)]); });
    }
    for (int k = 0; k < kEqualizerSliderCount; ++k) ApplyEqualizerSlider(k);
}

void PlayerDialog::ApplyEqualizerSlider(int k) {
    if (!engine_) return;
    EqualizerSliders positions{};
    for (int i = 0; i < kEqualizerSliderCount; ++i) {
        positions[static_cast<std::size_t>(i)] = equalizer_[static_cast<std::size_t>(i)]->sliderPosition();
    }
    const EqualizerCall call = EqualizerCallForSlider(positions, k);
    engine_->SetEqualizer(call.preamp, call.band, call.gain);
}

std::array<std::int32_t, 10> PlayerDialog::CurrentColumnWidths() const {
    ColumnWidths widths{};
    for (int c = 0; c < kRecordColumnCount; ++c) widths[static_cast<std::size_t>(c)] = list_->header()->sectionSize(c);
    return widths;
}

void PlayerDialog::reject() {
    if (closing_) return;
    // First, so that every report still queued returns at once.
    closing_ = true;
    if (monitor_) monitor_->Stop();
    transport_->Close();
    monitor_.reset();
    engineAdapter_.reset();
    engine_.reset();
    EqualizerSliders positions{};
    for (int k = 0; k < kEqualizerSliderCount; ++k)
        positions[static_cast<std::size_t>(k)] = equalizer_[static_cast<std::size_t>(k)]->value();
    WriteEqualizerFile(programFolder_, positions);
    WriteColumnWidths(programFolder_, CurrentColumnWidths());
    QDialog::reject();
}

void PlayerDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();  // no default action closes this window
        return;
    }
    QDialog::keyPressEvent(event);
}

void PlayerDialog::OnAbout() {
    AboutDialog about(this);
    about.exec();
}

void PlayerDialog::OnSetBookmark() { commands_->SetBookmark(); }
void PlayerDialog::OnCopyTo() { commands_->CopyRecordTo(); }
void PlayerDialog::OnDelete() { commands_->DeleteRecord(); }
// The list shows the new folders at once.
void PlayerDialog::OnProperties() {
    if (commands_->EditProperties(recordRoots_)) RefreshList();
}
void PlayerDialog::OnSearch() { commands_->OpenSearch(); }
void PlayerDialog::OnProtect() { commands_->ChangeHolds(true); }
void PlayerDialog::OnUnprotect() { commands_->ChangeHolds(false); }
void PlayerDialog::OnRecordingProperties() {
    if (currentRow_ >= 0 && commands_->EditProperties(recordRoots_, true)) FillRecordList();
}
void PlayerDialog::SearchRecords(const QString& text) { commands_->SearchRecords(text); }

int PlayerDialog::RowCount() const { return list_->Model().rowCount(); }

std::string PlayerDialog::Text(int row, int column) const {
    return list_->Model().Rows().at(static_cast<std::size_t>(row)).Text(column);
}

void PlayerDialog::SetBookmark(int row, const std::string& text) { ShowBookmark(row, text); }
void PlayerDialog::SelectRow(int row) { MakeRowCurrent(row); }
void PlayerDialog::RemoveRow(int row) { RemoveRecordRow(row); }

}  // namespace pell::player
