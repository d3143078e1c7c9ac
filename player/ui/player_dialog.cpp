#include "player/ui/player_dialog.h"

#include <QApplication>
#include <QDateEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QSlider>
#include <QToolTip>

#include "common/widgets/dialog_units.h"
#include "player/catalogue/record_roots.h"
#include "player/engine/equalizer.h"
#include "player/engine/volume.h"
#include "player/engine/wmp3.h"
#include "player/ui/about_dialog.h"
#include "player/ui/artwork.h"
#include "player/ui/core/column_widths.h"
#include "player/ui/player_controls.h"
#include "player/ui/record_commands.h"
#include "player/ui/record_list.h"
#include "player/ui/skin_controls.h"
#include "player/ui/wmp3_adapter.h"

namespace pell::player {
namespace {

std::chrono::year_month_day ToYmd(const QDate& date) {
    return std::chrono::year_month_day{std::chrono::year(date.year()),
                                       std::chrono::month(static_cast<unsigned>(date.month())),
                                       std::chrono::day(static_cast<unsigned>(date.day()))};
}

void Identify(QWidget* widget, const char* name, int id) {
    widget->setObjectName(name);
    widget->setProperty("controlId", id);
}

void Describe(QWidget* widget, const QString& text) {
    widget->setToolTip(text);
    widget->setAccessibleName(text);
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
            return "Search";
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
    setSizeGripEnabled(false);
    // A main window of its own: in the task bar, with a minimise box, not resizable.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    if (services_.notifier == nullptr) {
        ownNotifier_ = std::make_unique<DesktopNotifier>();
        services_.notifier = ownNotifier_.get();
    }
    if (services_.picker == nullptr) {
        ownPicker_ = std::make_unique<DirectoryDialogPicker>();
        services_.picker = ownPicker_.get();
    }
    RecordCommandServices commandServices{*services_.notifier, *services_.picker};
    commandServices.listBackground = ArtPixmap(kArtListBackground, devicePixelRatioF());
    commands_ = new RecordCommands(this, *this, programFolder_, std::move(commandServices));

    BuildControls();
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
    FillRecordList();

    engine_ = std::make_unique<WMp3>(services_.makeOutput());
    engine_->EnableEqualizer(1);
    SetUpEqualizer();
    engineAdapter_ = std::make_unique<WMp3Adapter>(*engine_);
    TransportWindow& window = *this;
    transport_ = std::make_unique<PlayerTransport>(*engineAdapter_, window, recordFiles_);

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

void PlayerDialog::BuildControls() {
    const DialogBaseUnits base = BaseUnitsOf(font());
    auto place = [&](QWidget* w, int x, int y, int width, int height) {
        const QSize topLeft = DialogUnitsToPixels(base, x, y);
        const QSize bottomRight = DialogUnitsToPixels(base, x + width, y + height);
        w->setGeometry(topLeft.width(), topLeft.height(), bottomRight.width() - topLeft.width(),
                       bottomRight.height() - topLeft.height());
    };
    auto group = [&](int id, const char* name, int x, int y, int width, int height) {
        auto* box = new QGroupBox(this);
        Identify(box, name, id);
        place(box, x, y, width, height);
        return box;
    };
    group(kIdDateGroup, "dateGroup", 7, 2, 259, 37);
    group(0, "equalizerGroup", 269, 2, 153, 36);
    group(0, "transportGroup", 7, 219, 257, 40);
    group(0, "levelGroup", 267, 219, 155, 40);

    // The long date with short names, so every date fits the picker.
    const QString kDateFormat = "ddd, d MMM yyyy";
    for (auto [edit, id, name, x, width, label] : {std::tuple{&fromDate_, kIdFromDate, "fromDate", 12, 94, "From date"},
                                                   std::tuple{&toDate_, kIdToDate, "toDate", 111, 91, "To date"}}) {
        *edit = new QDateEdit(QDate::currentDate(), this);
        Identify(*edit, name, id);
        (*edit)->setCalendarPopup(true);
        (*edit)->setDisplayFormat(kDateFormat);
        Describe(*edit, label);
        place(*edit, x, 16, width, 15);
    }

    auto button = [&](SkinButton** out, int id, const char* name, int x, int y, int width, int height) {
        *out = new SkinButton(this);
        Identify(*out, name, id);
        place(*out, x, y, width, height);
        connect(*out, &SkinButton::Released, this, &PlayerDialog::OnPlayerButton);
    };
    button(&refreshButton_, kIdRefresh, "refreshButton", 206, 8, 26, 29);
    button(&searchButton_, kIdSearch, "searchButton", 233, 8, 26, 29);

    for (int k = 0; k < kEqualizerSliderCount; ++k) {
        auto* slider = new QSlider(Qt::Vertical, this);
        const bool preamp = k == kEqualizerSliderCount - 1;
        Identify(slider, preamp ? "preampSlider" : qPrintable(QString("bandSlider%1").arg(k + 1)), kIdFirstBand + k);
        Describe(slider, preamp ? QString("Preamplifier") : QString("Equalizer band %1").arg(k + 1));
        slider->setTickPosition(QSlider::NoTicks);
        // Position 0 at the top, and up (key, wheel) means more gain.
        slider->setInvertedAppearance(true);
        slider->setInvertedControls(true);
        place(slider, preamp ? 277 : 303 + 10 * k, 8, 10, 27);
        equalizer_[static_cast<std::size_t>(k)] = slider;
    }
    for (int x : {295, 406}) {
        for (int y : {8, 17, 27}) {
            auto* mark = new QLabel("-", this);
            mark->setObjectName("scaleMark");
            mark->setAlignment(Qt::AlignCenter);
            place(mark, x, y, 8, 8);
        }
    }

    list_ = new RecordList(this);
    Identify(list_, "recordList", kIdRecordList);
    list_->setAccessibleName("Recordings");
    place(list_, 7, 43, 415, 158);

    position_ = new QSlider(Qt::Horizontal, this);
    Identify(position_, "positionSlider", kIdPosition);
    Describe(position_, "Position");
    position_->setTickPosition(QSlider::NoTicks);
    position_->setRange(0, 0);
    place(position_, 2, 205, 425, 14);

    button(&playButton_, kIdPlayPause, "playButton", 12, 227, 25, 27);
    button(&stopButton_, kIdStop, "stopButton", 40, 227, 25, 27);
    timeDisplay_ = new TimeDisplay(this);
    Identify(timeDisplay_, "timeDisplay", kIdTimeDisplay);
    Describe(timeDisplay_, "Playing time: click for the time of day of the recording");
    place(timeDisplay_, 67, 227, 137, 28);
    button(&previousButton_, kIdPrevious, "previousButton", 206, 227, 25, 27);
    button(&nextButton_, kIdNext, "nextButton", 233, 227, 25, 27);

    leftMeter_ = new LevelMeter(this);
    Identify(leftMeter_, "leftMeter", kIdLeftMeter);
    Describe(leftMeter_, "Left level");
    place(leftMeter_, 272, 229, 79, 9);
    rightMeter_ = new LevelMeter(this);
    Identify(rightMeter_, "rightMeter", kIdRightMeter);
    Describe(rightMeter_, "Right level");
    place(rightMeter_, 272, 243, 79, 9);
    volumeIcon_ = new QLabel(this);
    Identify(volumeIcon_, "volumeIcon", kIdVolumeIcon);
    volumeIcon_->setAlignment(Qt::AlignCenter);
    place(volumeIcon_, 354, 230, 20, 20);
    volume_ = new QSlider(Qt::Horizontal, this);
    Identify(volume_, "volumeSlider", kIdVolume);
    Describe(volume_, "Volume");
    volume_->setTickPosition(QSlider::TicksAbove);
    place(volume_, 371, 232, 49, 20);

    const QSize client = DialogUnitsToPixels(base, kWindowWidthUnits, kWindowHeightUnits);
    resize(client);
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
    // The window manager's system menu cannot take items, so About has a menu of its own.
    QMenu* help = bar->addMenu(text::kHelpMenu);
    help->addAction(about);
    const int barHeight = bar->sizeHint().height();
    bar->setGeometry(0, 0, width(), barHeight);
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child != bar) child->move(child->x(), child->y() + barHeight);
    }
    setFixedSize(width(), height() + barHeight);

    contextMenu_ = new QMenu(this);
    contextMenu_->setObjectName("recordMenu");
    contextMenu_->addAction(play);
    contextMenu_->addSeparator();
    contextMenu_->addAction(bookmark);
    contextMenu_->addAction(copyTo);
    contextMenu_->addSeparator();
    contextMenu_->addAction(remove);

    auto shortcut = [this](QKeySequence keys, auto slot) {
        auto* s = new QShortcut(keys, this);
        connect(s, &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence(Qt::Key_Space), [this] { transport_->PlayOrPause(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Left), &PlayerDialog::Previous);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Right), &PlayerDialog::Next);
    shortcut(QKeySequence(Qt::Key_F5), &PlayerDialog::FillRecordList);
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
    connect(list_, &RecordList::RowRightClicked, this, &PlayerDialog::ShowContextMenu);
    connect(list_, &RecordList::NavigationKey, this, [this] {
        if (currentRow_ >= 0) list_->viewport()->update();
        navigationArmed_ = true;
    });
    connect(list_, &RecordList::SelectionMoved, this, [this] {
        if (!navigationArmed_) return;
        const int first = list_->FirstSelectedRow();
        if (first >= 0) currentRow_ = first;
    });
    connect(list_, &RecordList::HeaderClicked, this, &PlayerDialog::OnHeaderClicked);
}

void PlayerDialog::SetCurrentRowFromUser(int row) {
    if (currentRow_ >= 0) list_->viewport()->update();
    currentRow_ = row;
}

void PlayerDialog::MakeRowCurrent(int row) {
    if (row < 0 || row >= list_->Model().rowCount()) return;
    SetCurrentRowFromUser(row);
    list_->SelectRow(row);
}

void PlayerDialog::RemoveRecordRow(int row) {
    if (row < 0 || row >= list_->Model().rowCount()) return;
    list_->Model().RemoveRow(row);
    if (currentRow_ == row) {
        currentRow_ = -1;
    } else if (currentRow_ > row) {
        --currentRow_;
    }
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
    list_->Model().SetRows(pell::FillRecordList(recordRoots_, ToYmd(fromDate_->date()), ToYmd(toDate_->date())));
    currentRow_ = -1;
    if (sortState_.column >= 0) list_->header()->setSortIndicatorShown(false);
    sortState_ = {};
    QApplication::restoreOverrideCursor();
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
            FillRecordList();
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

void PlayerDialog::RunMonitorPass() {
    if (monitor_) monitor_->RunPass();
}

std::string PlayerDialog::RecordPath(int row) const {
    return list_->Model().Rows().at(static_cast<std::size_t>(row)).placement;
}

void PlayerDialog::ShowRowPlayed(int row) { list_->Model().MarkRowPlayed(row); }

void PlayerDialog::ShowPlaying(bool playing) { SetButtonKind(playButton_, playing ? kKindPause : kKindPlay); }

void PlayerDialog::ShowPositionRange(std::uint32_t lengthSeconds) {
    Quietly(position_, [&] { position_->setRange(0, static_cast<int>(lengthSeconds)); });
}

void PlayerDialog::ShowPosition(std::uint32_t seconds) {
    Quietly(position_, [&] { position_->setValue(static_cast<int>(seconds)); });
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
// The new folders take effect at the next refresh, as the list is not refilled here.
void PlayerDialog::OnProperties() { commands_->EditProperties(recordRoots_); }
void PlayerDialog::OnSearch() { commands_->OpenSearch(); }
void PlayerDialog::SearchRecords(const QString& text) { commands_->SearchRecords(text); }

int PlayerDialog::RowCount() const { return list_->Model().rowCount(); }

std::string PlayerDialog::Text(int row, int column) const {
    return list_->Model().Rows().at(static_cast<std::size_t>(row)).Text(column);
}

void PlayerDialog::SetBookmark(int row, const std::string& text) { ShowBookmark(row, text); }
void PlayerDialog::SelectRow(int row) { MakeRowCurrent(row); }
void PlayerDialog::RemoveRow(int row) { RemoveRecordRow(row); }

}  // namespace pell::player
