// The player window offscreen, its engine on a driven fake output and a fake mixer: the playing
// states, the list's rules, the monitor's reports, the sliders and what is kept between runs.
#include "player/ui/player_dialog.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "player/catalogue/record_info.h"
#include "player/engine/queued_wave_out.h"
#include "player/engine/wmp3.h"
#include "player/ui/core/transport_rules.h"
#include "player/ui/player_controls.h"
#include "player/ui/record_list.h"
#include "player/ui/skin_controls.h"
#include "player/ui/tools/demo_recordings.h"
#include "player/ui/waveform_view.h"
#include "testsupport/temp_dir.h"

namespace pell::player {
namespace {

class FakeMixer : public VolumeMixer {
public:
    std::uint32_t volume = 20000;
    std::vector<std::uint32_t> sets;
    std::uint32_t GetWaveOutVolume() override { return volume; }
    void SetWaveOutVolume(std::uint32_t v) override { sets.push_back(v); }
};

void App() {
    static int argc = 1;
    static char name[] = "player_dialog_test";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) new QApplication(argc, argv);
}

class PlayerDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        root_ = MakeDemoRecordings(dir_.path(), 3, 12.0);
        ASSERT_FALSE(root_.empty());
    }

    std::unique_ptr<PlayerDialog> Open(const std::string& folder = {}) {
        auto dialog = std::make_unique<PlayerDialog>(folder.empty() ? dir_.path() : folder,
                                                     PlayerDialog::Services{mixer_,
                                                                            [this] {
                                                                                auto made =
                                                                                    std::make_unique<QueuedWaveOut>();
                                                                                output_ = made.get();
                                                                                return made;
                                                                            },
                                                                            false});
        return dialog;
    }

    template <typename T>
    static T* Find(PlayerDialog& d, const char* name) {
        T* found = d.findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    static int PlayKind(PlayerDialog& d) { return Find<SkinButton>(d, "playButton")->Kind(); }
    static std::string Path(PlayerDialog& d, int row) {
        return d.List().Model().Rows()[static_cast<std::size_t>(row)].placement;
    }

    // Lets the fake device play until the engine has played the record's last sample.
    void PlayToEnd(PlayerDialog& d) {
        for (int i = 0; i < 2000 && d.Engine()->GetState() != WMp3::State::kEnded; ++i) {
            output_->WaitFor([](std::size_t queued, bool) { return queued > 0; }, std::chrono::milliseconds(50));
            output_->CompleteNext();
        }
        ASSERT_EQ(d.Engine()->GetState(), WMp3::State::kEnded)
            << "queued " << output_->QueuedCount() << " open " << output_->IsOpen() << " playing "
            << d.Engine()->IsPlaying() << " " << d.Engine()->GetError();
    }

    // Passes until one refreshes the position (every sixth), reports delivered unless held back.
    static void MonitorUntilPosition(PlayerDialog& d, bool deliverLast = true) {
        for (int pass = 0; pass < 7; ++pass) {
            d.RunMonitorPass();
            if (pass < 6 || deliverLast) QApplication::processEvents();
        }
    }

    TempDir dir_;
    std::string root_;
    FakeMixer mixer_;
    QueuedWaveOut* output_ = nullptr;
};

// The transport's rules are the core's (transport_test.cpp); here each control of the window
// reaches them, with the real engine behind.
TEST_F(PlayerDialogTest, EveryTransportControlDrivesTheEngine) {
    struct Case {
        const char* name;
        PlayState start;
        std::function<void(PlayerDialog&)> act;
        PlayState end;
        int endRow;
        std::uint32_t positionAtLeast = 0;  // seconds, after a seek
    };
    auto click = [](const char* name) {
        return [name](PlayerDialog& d) { QTest::mouseClick(Find<SkinButton>(d, name), Qt::LeftButton); };
    };
    auto dragTo = [](int seconds) {
        return [seconds](PlayerDialog& d) {
            QSlider* position = Find<QSlider>(d, "positionSlider");
            position->setSliderDown(true);
            position->setSliderPosition(seconds);
            EXPECT_TRUE(d.Transport().Dragging());
            position->setSliderDown(false);
        };
    };
    const Case cases[] = {
        {"play button", PlayState::kStopped, click("playButton"), PlayState::kPlaying, 0},
        {"pause button", PlayState::kPlaying, click("playButton"), PlayState::kPaused, 0},
        {"play button resumes", PlayState::kPaused, click("playButton"), PlayState::kPlaying, 0},
        {"stop button", PlayState::kPlaying, click("stopButton"), PlayState::kStopped, 0},
        {"next button", PlayState::kStopped, click("nextButton"), PlayState::kPlaying, 1},
        {"previous button wraps", PlayState::kPlaying, click("previousButton"), PlayState::kPlaying, 2},
        {"menu Play", PlayState::kStopped, [](PlayerDialog& d) { d.Action(kCmdPlay)->trigger(); }, PlayState::kPlaying,
         0},
        {"double click on a row", PlayState::kPaused, [](PlayerDialog& d) { emit d.List().RowDoubleClicked(1); },
         PlayState::kPlaying, 1},
        {"slider released", PlayState::kPlaying, dragTo(5), PlayState::kPlaying, 0, 5},
        {"slider released while paused", PlayState::kPaused, dragTo(5), PlayState::kPlaying, 0, 5},
        {"groove step", PlayState::kPaused,
         [](PlayerDialog& d) { Find<QSlider>(d, "positionSlider")->triggerAction(QAbstractSlider::SliderPageStepAdd); },
         PlayState::kPlaying, 0, 10},
    };
    for (const Case& c : cases) {
        auto d = Open();
        ASSERT_EQ(d->List().Model().rowCount(), 3);
        d->MakeRowCurrent(0);
        if (c.start != PlayState::kStopped) d->Play();
        if (c.start == PlayState::kPaused) d->Pause();
        ASSERT_EQ(d->Transport().State(), c.start) << c.name;
        QSlider* position = Find<QSlider>(*d, "positionSlider");
        {
            const QSignalBlocker quiet(position);
            position->setRange(0, 12);
        }
        c.act(*d);
        EXPECT_EQ(d->Transport().State(), c.end) << c.name;
        EXPECT_EQ(d->CurrentRow(), c.endRow) << c.name;
        EXPECT_EQ(PlayKind(*d), c.end == PlayState::kPlaying ? kKindPause : kKindPlay) << c.name;
        EXPECT_EQ(d->Engine()->IsPlaying() && !d->Engine()->IsPaused(), c.end == PlayState::kPlaying) << c.name;
        EXPECT_FALSE(d->Transport().Dragging()) << c.name;
        EXPECT_GE(d->Engine()->GetPosition(), c.positionAtLeast) << c.name;
    }
}

// Pressing and holding in the groove, or holding a key, steps the handle on as the repeat timer
// does, and the record is sought once, when let go: no restart at every step.
TEST_F(PlayerDialogTest, HoldingInTheGrooveOrOnAKeySeeksOnceWhenLetGo) {
    struct Case {
        const char* name;
        std::function<void(QSlider&)> press;
        std::function<void(QSlider&)> release;
    };
    auto pointAtEnd = [](QSlider& s) { return QPoint(s.width() - 3, s.height() / 2); };
    auto keyEvent = [](QSlider& s, QEvent::Type type, bool autoRepeat) {
        QKeyEvent key(type, Qt::Key_PageUp, Qt::NoModifier, QString(), autoRepeat);
        QApplication::sendEvent(&s, &key);
    };
    const Case cases[] = {
        {"groove", [&](QSlider& s) { QTest::mousePress(&s, Qt::LeftButton, {}, pointAtEnd(s)); },
         [&](QSlider& s) { QTest::mouseRelease(&s, Qt::LeftButton, {}, pointAtEnd(s)); }},
        {"key", [&](QSlider& s) { keyEvent(s, QEvent::KeyPress, false); },
         [&](QSlider& s) { keyEvent(s, QEvent::KeyRelease, false); }},
    };
    for (const Case& c : cases) {
        auto d = Open();
        d->show();
        d->MakeRowCurrent(0);
        d->Play();
        QSlider* position = Find<QSlider>(*d, "positionSlider");
        {
            const QSignalBlocker quiet(position);
            position->setRange(0, 12);
            position->setPageStep(3);
        }
        position->setFocus();
        const std::uint32_t generation = d->Transport().Generation();
        c.press(*position);
        for (int repeat = 0; repeat < 2; ++repeat) {
            if (std::string(c.name) == "key") {
                keyEvent(*position, QEvent::KeyRelease, true);
                keyEvent(*position, QEvent::KeyPress, true);
            } else {
                position->triggerAction(QAbstractSlider::SliderPageStepAdd);  // the repeat timer
            }
        }
        EXPECT_EQ(position->sliderPosition(), 9) << c.name;
        EXPECT_TRUE(d->Transport().Dragging()) << c.name;
        EXPECT_EQ(d->Transport().Generation(), generation) << c.name << ": sought while held";
        EXPECT_LT(d->Engine()->GetPosition(), 3u) << c.name;
        c.release(*position);
        EXPECT_EQ(d->Transport().Generation(), generation + 1) << c.name << ": one seek";
        EXPECT_FALSE(d->Transport().Dragging()) << c.name;
        EXPECT_EQ(d->Engine()->GetPosition(), 9u) << c.name;
        EXPECT_EQ(d->Transport().State(), PlayState::kPlaying) << c.name;
        // A wheel notch is one action of its own: it seeks at once.
        position->triggerAction(QAbstractSlider::SliderSingleStepSub);
        EXPECT_EQ(d->Transport().Generation(), generation + 2) << c.name;
        EXPECT_EQ(d->Engine()->GetPosition(), 8u) << c.name;
    }
}

TEST_F(PlayerDialogTest, WithoutACurrentRowPlayNextAndPreviousDoNothing) {
    auto d = Open();
    for (auto command : {&PlayerDialog::Play, &PlayerDialog::Next, &PlayerDialog::Previous}) {
        (d.get()->*command)();
        EXPECT_EQ(d->Transport().State(), PlayState::kStopped);
        EXPECT_EQ(d->CurrentRow(), -1);
    }
}

TEST_F(PlayerDialogTest, NextOnTheLastRowWrapsToTheFirstAndPlaysIt) {
    auto d = Open();
    d->MakeRowCurrent(2);
    d->Next();
    EXPECT_EQ(d->CurrentRow(), 0);
    EXPECT_EQ(d->List().FirstSelectedRow(), 0);
    EXPECT_EQ(d->Transport().State(), PlayState::kPlaying);
    d->Previous();
    EXPECT_EQ(d->CurrentRow(), 2);
    EXPECT_EQ(d->Transport().State(), PlayState::kPlaying);
}

TEST_F(PlayerDialogTest, TheMonitorStopsAtTheEndButNotALaterRecordWithAStaleReport) {
    auto d = Open();
    d->MakeRowCurrent(0);
    d->Play();
    PlayToEnd(*d);
    MonitorUntilPosition(*d);
    EXPECT_EQ(d->Transport().State(), PlayState::kStopped);
    EXPECT_EQ(PlayKind(*d), kKindPlay);

    // An end-of-record report taken for row 0 arrives after row 1 has started.
    d->Play();
    PlayToEnd(*d);
    MonitorUntilPosition(*d, false);
    d->Next();
    QApplication::processEvents();
    EXPECT_EQ(d->Transport().State(), PlayState::kPlaying);
    EXPECT_EQ(d->CurrentRow(), 1);
}

// Calls of 12.3 to 12.9 s: the window stops only once the device has played every buffer, so the
// last words are heard.
TEST_F(PlayerDialogTest, EveryRecordPlaysToItsLastSampleBeforeTheWindowStops) {
    for (const int lengthMs : {12300, 12600, 12900}) {
        const double seconds = lengthMs / 1000.0;
        TempDir folder;
        ASSERT_FALSE(MakeDemoRecordings(folder.path(), 1, seconds).empty());
        auto d = Open(folder.path());
        std::uint64_t playedBytes = 0;  // 8 kHz mono: 16 bytes a millisecond
        output_->SetSink([&playedBytes](const std::uint8_t*, std::uint32_t bytes) { playedBytes += bytes; });
        d->MakeRowCurrent(0);
        d->Play();
        for (int pass = 0; pass < 400 && d->Transport().State() == PlayState::kPlaying; ++pass) {
            if (output_->WaitFor([](std::size_t queued, bool) { return queued > 0; }, std::chrono::milliseconds(50)))
                output_->CompleteNext();
            d->RunMonitorPass();
            QApplication::processEvents();
        }
        EXPECT_EQ(d->Transport().State(), PlayState::kStopped) << lengthMs;
        EXPECT_GE(static_cast<double>(playedBytes) / 16, seconds * 1000) << lengthMs << " ms: the end was cut off";
    }
}

TEST_F(PlayerDialogTest, MonitorReportsMoveTheSliderTimeDisplayAndMeters) {
    auto d = Open();
    d->MakeRowCurrent(1);
    d->Play();
    for (int i = 0; i < 3; ++i) {
        output_->WaitFor([](std::size_t queued, bool) { return queued > 0; });
        output_->CompleteNext();
    }
    MonitorUntilPosition(*d);
    QSlider* position = Find<QSlider>(*d, "positionSlider");
    EXPECT_EQ(position->maximum(), 12);
    EXPECT_EQ(position->value(), static_cast<int>(d->Engine()->GetPosition()));
    EXPECT_EQ(Find<TimeDisplay>(*d, "timeDisplay")->Value(), position->value());
    d->Pause();
    QApplication::processEvents();
    EXPECT_EQ(Find<LevelMeter>(*d, "leftMeter")->ShownLevel(), 0);
}

TEST_F(PlayerDialogTest, ClockModeShowsTheTimeOfDayAndTheDragTipFollowsIt) {
    auto d = Open();
    d->MakeRowCurrent(0);
    d->Play();
    QTest::mouseClick(Find<TimeDisplay>(*d, "timeDisplay"), Qt::LeftButton);
    ASSERT_EQ(d->Transport().ClockMode(), 1);
    struct stat info {};
    ASSERT_EQ(::stat(Path(*d, 0).c_str(), &info), 0);
    const int start = StartOfDay(info.st_mtime, 12);
    QSlider* position = Find<QSlider>(*d, "positionSlider");
    {
        const QSignalBlocker quiet(position);
        position->setRange(0, 12);
    }
    position->setSliderDown(true);
    position->setSliderPosition(7);
    EXPECT_TRUE(d->Transport().Dragging());
    EXPECT_EQ(position->toolTip().toStdString(), ClockText(start + 7));
    position->setSliderDown(false);
    MonitorUntilPosition(*d);
    TimeDisplay* display = Find<TimeDisplay>(*d, "timeDisplay");
    const std::uint32_t at = d->Engine()->GetPosition();
    EXPECT_EQ(display->Value(), ShownSeconds(at, start, 1));
    d->Pause();
    QTest::mouseClick(display, Qt::LeftButton);  // back to elapsed time, at once while paused
    EXPECT_EQ(display->Mode(), 0);
    EXPECT_EQ(display->Value(), static_cast<int>(at));
}

TEST_F(PlayerDialogTest, ARecordThatCannotBeOpenedLeavesThePlayerStopped) {
    auto d = Open();
    std::ofstream(Path(*d, 1), std::ios::trunc) << "not an mp3";
    d->MakeRowCurrent(1);
    d->Play();
    EXPECT_EQ(d->Transport().State(), PlayState::kStopped);
    EXPECT_EQ(PlayKind(*d), kKindPlay);
}

TEST_F(PlayerDialogTest, PlayingTurnsTheRowGreyAndStoresThePlayedMark) {
    auto d = Open();
    const QModelIndex cell = d->List().Model().index(2, kColumnNumber);
    EXPECT_EQ(cell.data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::black));
    EXPECT_EQ(ReadRecordInfo(Path(*d, 2)).played, 0);
    d->MakeRowCurrent(2);
    d->Play();
    EXPECT_EQ(cell.data(Qt::ForegroundRole).value<QColor>(), kPlayedText);
    EXPECT_EQ(d->List().Model().Rows()[2].itemData & 1, 1);
    EXPECT_EQ(ReadRecordInfo(Path(*d, 2)).played, 1);
}

TEST_F(PlayerDialogTest, HeaderClicksSortAndTheCurrentRowStaysOnItsRecord) {
    auto d = Open();
    d->MakeRowCurrent(0);
    const std::string chosen = Path(*d, 0);
    QHeaderView* header = d->List().header();
    struct Step {
        int column;
        std::vector<std::string> numbers;
    };
    const Step steps[] = {
        {kColumnNumber, {"", "0123456", "5551234"}},
        {kColumnNumber, {"5551234", "0123456", ""}},
        {kColumnChannel, {"5551234", "", "0123456"}},  // Line 1, Line 1, Line 2: ties keep their order
    };
    for (const Step& s : steps) {
        emit header->sectionClicked(s.column);
        std::vector<std::string> numbers;
        for (const RecordRow& row : d->List().Model().Rows()) numbers.push_back(row.number);
        EXPECT_EQ(numbers, s.numbers) << s.column;
        EXPECT_EQ(Path(*d, d->CurrentRow()), chosen);
        EXPECT_EQ(d->List().FirstSelectedRow(), d->CurrentRow());
    }
}

TEST_F(PlayerDialogTest, CurrentRowFollowsClicksAndArmedNavigationOnly) {
    auto d = Open();
    d->show();
    RecordList& list = d->List();
    const QRect row1 = list.visualRect(list.Model().index(1, 1));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, row1.center());
    EXPECT_EQ(d->CurrentRow(), 1);
    // A click below the last row leaves it as it is; so does a selection before any arrow key.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(20, list.viewport()->height() - 5));
    EXPECT_EQ(d->CurrentRow(), 1);
    list.selectionModel()->select(list.Model().index(2, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(d->CurrentRow(), 1);
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_Up);
    EXPECT_EQ(d->CurrentRow(), list.FirstSelectedRow());
    list.selectionModel()->select(list.Model().index(0, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(d->CurrentRow(), 0);
    // A right click below the last row shows no menu and changes nothing.
    QContextMenuEvent below(QContextMenuEvent::Mouse, QPoint(20, list.viewport()->height() - 5),
                            list.viewport()->mapToGlobal(QPoint(20, list.viewport()->height() - 5)));
    QApplication::sendEvent(list.viewport(), &below);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(d->CurrentRow(), 0);
    QTest::keyClick(d.get(), Qt::Key_Return);
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(d->Action(kCmdPlay)->text(), "&Play");
}

// After a row leaves the list, the highlight and the current row agree, so Play plays what the
// user sees highlighted.
TEST_F(PlayerDialogTest, AfterADeletionTheHighlightedRowIsTheOneThatPlays) {
    struct Case {
        const char* name;
        int current;
        int removed;
        int expected;  // the row current and highlighted afterwards, -1 none
        int recordOf;  // which of the three records it is
    };
    const Case cases[] = {
        {"a row above goes", 2, 0, 1, 2},
        {"the current row goes: the next takes its place", 0, 0, 0, 1},
        {"the last row goes: the new last", 2, 2, 1, 1},
        {"a row below goes", 1, 2, 1, 1},
        {"no current row", -1, 0, -1, -1},
    };
    for (const Case& c : cases) {
        auto d = Open();
        d->show();
        const std::vector<std::string> records = {Path(*d, 0), Path(*d, 1), Path(*d, 2)};
        if (c.current >= 0) {
            QTest::mouseClick(d->List().viewport(), Qt::LeftButton, {},
                              d->List().visualRect(d->List().Model().index(c.current, 1)).center());
        }
        d->RemoveRecordRow(c.removed);
        EXPECT_EQ(d->CurrentRow(), c.expected) << c.name;
        EXPECT_EQ(d->List().FirstSelectedRow(), c.expected) << c.name;
        d->Play();
        if (c.expected < 0) {
            EXPECT_EQ(d->Transport().State(), PlayState::kStopped) << c.name;
            continue;
        }
        EXPECT_EQ(d->Transport().State(), PlayState::kPlaying) << c.name;
        EXPECT_EQ(d->List().Model().PlayingRow(), c.expected) << c.name;
        EXPECT_EQ(Path(*d, c.expected), records[static_cast<std::size_t>(c.recordOf)]) << c.name;
    }
    // The last row of all leaves nothing current and nothing highlighted.
    auto d = Open();
    d->MakeRowCurrent(0);
    for (int i = 0; i < 3; ++i) d->RemoveRecordRow(0);
    EXPECT_EQ(d->CurrentRow(), -1);
    EXPECT_EQ(d->List().FirstSelectedRow(), -1);
}

TEST_F(PlayerDialogTest, TheWindowGrowsWithTheListAndKeepsItsControlsAtTheirEdges) {
    auto d = Open();
    d->show();
    QApplication::processEvents();
    EXPECT_TRUE(d->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(d->minimumSize(), d->size());
    const char* names[] = {"dateGroup",   "equalizerGroup", "recordList",   "waveform",   "positionSlider",
                           "timeDisplay", "levelGroup",     "volumeSlider", "listSummary"};
    std::map<std::string, QRect> before;
    for (const char* name : names) before[name] = Find<QWidget>(*d, name)->geometry();
    const int placementBefore = d->List().header()->sectionSize(kColumnPlacement);
    d->resize(d->width() + 300, d->height() + 200);
    QApplication::processEvents();
    struct Expected {
        const char* name;
        int dx, dy, dw, dh;
    };
    const Expected moves[] = {
        {"dateGroup", 0, 0, 0, 0},      {"equalizerGroup", 300, 0, 0, 0},   {"recordList", 0, 0, 300, 200},
        {"waveform", 0, 200, 300, 0},   {"positionSlider", 0, 200, 300, 0}, {"timeDisplay", 0, 200, 0, 0},
        {"levelGroup", 300, 200, 0, 0}, {"volumeSlider", 300, 200, 0, 0},   {"listSummary", 0, 200, 0, 0},
    };
    for (const Expected& m : moves) {
        const QRect was = before[m.name];
        const QRect now = Find<QWidget>(*d, m.name)->geometry();
        EXPECT_EQ(now, QRect(was.x() + m.dx, was.y() + m.dy, was.width() + m.dw, was.height() + m.dh)) << m.name;
    }
    // The paths get the room: Placement takes the width the other columns leave.
    EXPECT_EQ(d->List().header()->sectionSize(kColumnPlacement), placementBefore + 300);
    EXPECT_GT(placementBefore, 20);
    d->resize(100, 100);
    EXPECT_EQ(d->size(), d->minimumSize()) << "never smaller than its designed size";
    QApplication::processEvents();
    EXPECT_EQ(d->List().header()->sectionSize(kColumnPlacement), placementBefore);
}

// The keys named in the menus and tool tips, pressed where the user is: in the record list.
TEST_F(PlayerDialogTest, KeyboardCommandsDoWhatTheySay) {
    struct Case {
        const char* name;
        PlayState start;
        std::uint32_t startAt;  // seconds into row 0, when playing or paused
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        PlayState end;
        int currentRow;
        int playingRow;
        std::optional<std::uint32_t> positionAfter;
    };
    const Case cases[] = {
        {"Return plays the highlighted row", PlayState::kStopped, 0, Qt::Key_Return, {}, PlayState::kPlaying, 1, 1, 0},
        {"Enter on the keypad too", PlayState::kStopped, 0, Qt::Key_Enter, Qt::KeypadModifier, PlayState::kPlaying, 1,
         1, 0},
        {"Space pauses", PlayState::kPlaying, 0, Qt::Key_Space, {}, PlayState::kPaused, 1, 0, std::nullopt},
        {"Space resumes", PlayState::kPaused, 0, Qt::Key_Space, {}, PlayState::kPlaying, 1, 0, std::nullopt},
        {"Shift+Right skips on", PlayState::kPlaying, 2, Qt::Key_Right, Qt::ShiftModifier, PlayState::kPlaying, 1, 0,
         7},
        {"Shift+Left skips back", PlayState::kPaused, 9, Qt::Key_Left, Qt::ShiftModifier, PlayState::kPlaying, 1, 0, 4},
        {"Ctrl+Right plays the next record", PlayState::kPlaying, 0, Qt::Key_Right, Qt::ControlModifier,
         PlayState::kPlaying, 2, 2, 0},
        {"Ctrl+Left plays the previous record", PlayState::kStopped, 0, Qt::Key_Left, Qt::ControlModifier,
         PlayState::kPlaying, 0, 0, 0},
    };
    for (const Case& c : cases) {
        auto d = Open();
        d->show();
        QApplication::setActiveWindow(d.get());
        if (c.start != PlayState::kStopped) {
            d->MakeRowCurrent(0);
            d->Play();
            if (c.startAt > 0) {
                d->Engine()->Seek(static_cast<int>(c.startAt));
                d->Engine()->Play();
            }
            if (c.start == PlayState::kPaused) d->Pause();
        }
        d->MakeRowCurrent(1);  // the highlight, where the paused or playing record is not
        d->List().setFocus();
        QTest::keyClick(&d->List(), c.key, c.modifiers);
        EXPECT_EQ(d->Transport().State(), c.end) << c.name;
        EXPECT_EQ(d->CurrentRow(), c.currentRow) << c.name;
        EXPECT_EQ(d->List().FirstSelectedRow(), c.currentRow) << c.name;
        EXPECT_EQ(d->List().Model().PlayingRow(), c.playingRow) << c.name;
        if (c.positionAfter) {
            EXPECT_EQ(d->Engine()->GetPosition(), *c.positionAfter) << c.name;
        }
    }
}

TEST_F(PlayerDialogTest, RefreshKeepsTheChosenSort) {
    auto d = Open();
    d->show();
    QApplication::setActiveWindow(d.get());
    QHeaderView* header = d->List().header();
    emit header->sectionClicked(kColumnNumber);
    emit header->sectionClicked(kColumnNumber);  // descending
    auto numbers = [&] {
        std::vector<std::string> out;
        out.reserve(d->List().Model().Rows().size());
        for (const RecordRow& row : d->List().Model().Rows()) out.push_back(row.number);
        return out;
    };
    const std::vector<std::string> sorted = {"5551234", "0123456", ""};
    ASSERT_EQ(numbers(), sorted);
    QTest::keyClick(&d->List(), Qt::Key_F5);
    EXPECT_EQ(numbers(), sorted);
    EXPECT_TRUE(header->isSortIndicatorShown());
    EXPECT_EQ(header->sortIndicatorSection(), kColumnNumber);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    QTest::mouseClick(Find<SkinButton>(*d, "refreshButton"), Qt::LeftButton);
    EXPECT_EQ(numbers(), sorted);
    EXPECT_EQ(d->CurrentRow(), -1);
}

// The player's command table: Next while paused moves the highlight on and resumes the paused
// record. Which record that is stays in sight: in bold in the list and in the line under it.
TEST_F(PlayerDialogTest, TheRecordThatPlaysIsShownWhereverTheHighlightIs) {
    auto d = Open();
    EXPECT_EQ(d->ListSummary().toStdString(), "3 recordings, 00:00:36 in all");
    EXPECT_EQ(d->PlayingText().toStdString(), "");
    d->MakeRowCurrent(0);
    const RecordRow first = d->List().Model().Rows()[0];
    d->Play();
    d->Pause();
    const std::string described = first.channel + ", " + first.date + ", " + first.number + " (" + first.duration + ")";
    EXPECT_EQ(d->PlayingText().toStdString(), "Paused: " + described);
    d->Next();
    EXPECT_EQ(d->CurrentRow(), 1);
    EXPECT_EQ(d->Transport().State(), PlayState::kPlaying);
    EXPECT_EQ(d->List().Model().PlayingRow(), 0);
    EXPECT_TRUE(d->List().Model().index(0, kColumnDate).data(kPlayingRole).toBool());
    EXPECT_FALSE(d->List().Model().index(1, kColumnDate).data(kPlayingRole).toBool());
    EXPECT_EQ(d->PlayingText().toStdString(), "Playing: " + described);
    // It is found again wherever a sort moves it.
    emit d->List().header()->sectionClicked(kColumnNumber);
    EXPECT_EQ(d->List().Model().Rows()[static_cast<std::size_t>(d->List().Model().PlayingRow())].placement,
              first.placement);
    d->StopPlayback();
    EXPECT_EQ(d->List().Model().PlayingRow(), -1);
    EXPECT_EQ(d->PlayingText().toStdString(), "");
    d->RemoveRecordRow(0);
    EXPECT_EQ(d->ListSummary().toStdString(), "2 recordings, 00:00:24 in all");
}

// The outline of the current row's call, computed on the loader's thread and cached in the
// program folder; a click plays from where it was made.
TEST_F(PlayerDialogTest, TheOutlineShowsTheCallAndAClickPlaysFromThere) {
    auto d = Open();
    d->show();
    auto* outline = Find<WaveformView>(*d, "waveform");
    d->MakeRowCurrent(1);
    d->SettleWaveform();
    ASSERT_NE(outline->Shown(), nullptr);
    EXPECT_EQ(d->WaveformRecord(), Path(*d, 1));
    EXPECT_NEAR(outline->Shown()->DurationMs(), 12000, 250);  // with the encoder's padding
    EXPECT_FALSE(std::filesystem::is_empty(dir_.File("waveforms")));

    QTest::mouseClick(outline, Qt::LeftButton, {}, QPoint(outline->width() / 2, outline->height() / 2));
    EXPECT_EQ(d->Transport().State(), PlayState::kPlaying);
    EXPECT_EQ(d->List().Model().PlayingRow(), 1);
    EXPECT_EQ(d->Engine()->GetPosition(), 6u);
    EXPECT_EQ(Find<QSlider>(*d, "positionSlider")->value(), 6);
    EXPECT_NEAR(static_cast<double>(outline->PositionMs().value_or(0)), 6000, 1);
    QTest::mouseClick(outline, Qt::LeftButton, {}, QPoint(outline->width() / 4, outline->height() / 2));
    EXPECT_EQ(d->Engine()->GetPosition(), 3u);
    // Another row highlighted while one plays: the outline stays with the record that plays.
    d->MakeRowCurrent(2);
    d->SettleWaveform();
    EXPECT_EQ(d->WaveformRecord(), Path(*d, 1));
    d->StopPlayback();
    d->SettleWaveform();
    EXPECT_EQ(d->WaveformRecord(), Path(*d, 2)) << "stopped, it shows the highlighted row's call";
}

TEST_F(PlayerDialogTest, TheBandLabelsStandApartByMoreThanASpace) {
    auto d = Open();
    for (int k = 1; k < 10; ++k) {
        const QLabel* left = Find<QLabel>(*d, qPrintable(QString("bandLabel%1").arg(k)));
        const QLabel* right = Find<QLabel>(*d, qPrintable(QString("bandLabel%1").arg(k + 1)));
        // Where each centred text ends and the next begins.
        const QFontMetrics metrics(left->font());
        const double leftEnd = left->geometry().center().x() + metrics.horizontalAdvance(left->text()) / 2.0;
        const double rightStart = right->geometry().center().x() - metrics.horizontalAdvance(right->text()) / 2.0;
        EXPECT_GT(rightStart - leftEnd, metrics.horizontalAdvance(' '))
            << left->text().toStdString() << " and " << right->text().toStdString();
    }
}

TEST_F(PlayerDialogTest, TheEqualizerNamesItsBandsAndResetsToFlat) {
    auto d = Open();
    std::vector<std::string> labels;
    labels.reserve(10);
    for (int k = 1; k <= 10; ++k) {
        labels.push_back(Find<QLabel>(*d, qPrintable(QString("bandLabel%1").arg(k)))->text().toStdString());
    }
    EXPECT_EQ(labels,
              (std::vector<std::string>{"63", "190", "310", "440", "560", "810", "1.4k", "2.1k", "2.7k", "3.5k"}));
    EXPECT_EQ(Find<QSlider>(*d, "bandSlider7")->toolTip().toStdString(), "Band 7: 1000 to 1750 Hz");
    std::vector<double> flat;
    flat.reserve(32);
    for (int s = 0; s < 32; ++s) flat.push_back(d->Engine()->SubbandGain(0, s));
    Find<QSlider>(*d, "bandSlider3")->triggerAction(QAbstractSlider::SliderToMinimum);
    Find<QSlider>(*d, "preampSlider")->triggerAction(QAbstractSlider::SliderToMaximum);
    ASSERT_NE(d->Engine()->SubbandGain(0, 2), flat[2]);
    QTest::mouseClick(Find<QToolButton>(*d, "equalizerReset"), Qt::LeftButton);
    EXPECT_EQ(Find<QSlider>(*d, "bandSlider3")->value(), 10);
    EXPECT_EQ(Find<QSlider>(*d, "preampSlider")->value(), 5);
    for (int s = 0; s < 32; ++s) EXPECT_EQ(d->Engine()->SubbandGain(0, s), flat[static_cast<std::size_t>(s)]) << s;
}

TEST_F(PlayerDialogTest, ColumnWidthsAndEqualizerAreKeptBetweenRuns) {
    {
        auto d = Open();
        EXPECT_EQ(d->CurrentColumnWidths(), (std::array<std::int32_t, 10>{110, 140, 80, 120, 120, 20, 0, 0, 0, 0}));
        d->List().header()->resizeSection(kColumnNumber, 151);
        QSlider* band3 = Find<QSlider>(*d, "bandSlider3");
        band3->triggerAction(QAbstractSlider::SliderToMinimum);  // top: most gain
        EXPECT_GT(d->Engine()->SubbandGain(0, 2), 1.0);
        QSlider* preamp = Find<QSlider>(*d, "preampSlider");
        preamp->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        // Up (the key) means more gain on an equalizer slider, as on the screen.
        QSlider* band1 = Find<QSlider>(*d, "bandSlider1");
        QTest::keyClick(band1, Qt::Key_Up);
        EXPECT_EQ(band1->value(), 9);
        EXPECT_GT(d->Engine()->SubbandGain(0, 0), d->Engine()->SubbandGain(0, 5));
        QTest::keyClick(band1, Qt::Key_Down);
        d->reject();
    }
    EXPECT_EQ(dir_.Read("eq.ini"), "10\r\n10\r\n0\r\n10\r\n10\r\n10\r\n10\r\n10\r\n10\r\n10\r\n6\r\n");
    auto d = Open();
    EXPECT_EQ(d->CurrentColumnWidths()[kColumnNumber], 151);
    EXPECT_EQ(Find<QSlider>(*d, "bandSlider3")->value(), 0);
    EXPECT_EQ(Find<QSlider>(*d, "preampSlider")->value(), 6);
    EXPECT_GT(d->Engine()->SubbandGain(0, 2), d->Engine()->SubbandGain(0, 0));  // applied at load
}

TEST_F(PlayerDialogTest, ClosingWhilePlayingStopsAndSavesAndAnUnwritableFolderFailsNothing) {
    auto d = Open();
    d->MakeRowCurrent(0);
    d->Play();
    d->reject();
    EXPECT_EQ(d->Transport().State(), PlayState::kStopped);
    EXPECT_EQ(d->Engine(), nullptr);
    EXPECT_FALSE(d->isVisible());
    EXPECT_FALSE(dir_.Read("columns.ini").empty());
    QApplication::processEvents();  // queued reports after the close return at once

    const std::string missing = dir_.path() + "/no/such/folder";
    auto other = Open(missing);
    EXPECT_EQ(other->List().Model().rowCount(), 0);
    other->reject();
    struct stat info {};
    EXPECT_NE(::stat((missing + "/columns.ini").c_str(), &info), 0);
}

TEST_F(PlayerDialogTest, VolumeSliderAppliesUserActionsWithItsIcon) {
    mixer_.volume = 31 << 11;
    auto d = Open();
    QSlider* volume = Find<QSlider>(*d, "volumeSlider");
    QLabel* icon = Find<QLabel>(*d, "volumeIcon");
    EXPECT_EQ(volume->value(), 31);
    EXPECT_TRUE(mixer_.sets.empty());
    struct Case {
        int position;
        std::uint32_t volume;
        int art;
    };
    const Case cases[] = {{32, 0xFFFF, 235}, {31, 63488, 235}, {0, 0, 237},      {1, 2048, 237},  {2, 4096, 236},
                          {9, 18432, 236},   {10, 20480, 234}, {19, 38912, 234}, {20, 40960, 235}};
    for (const Case& c : cases) {
        volume->setSliderDown(true);
        volume->setSliderPosition(c.position);
        EXPECT_TRUE(mixer_.sets.empty() || mixer_.sets.back() != c.volume || c.position == 0)
            << "applied while dragging";
        volume->setSliderDown(false);
        ASSERT_FALSE(mixer_.sets.empty());
        EXPECT_EQ(mixer_.sets.back(), c.volume) << c.position;
        EXPECT_EQ(icon->property("art").toInt(), c.art) << c.position;
    }
    const std::size_t applied = mixer_.sets.size();
    volume->setValue(5);  // the window's own change is no user's
    EXPECT_EQ(mixer_.sets.size(), applied);
    volume->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(mixer_.sets.size(), applied + 1);
}

TEST(SkinControlsTest, ButtonPicturesFollowThePointerAndOnlyAReleaseOverItCounts) {
    App();
    SkinButton button;
    button.resize(43, 44);
    button.SetKind(kKindStop);
    QPoint pointer = button.mapToGlobal(QPoint(5, 5));
    button.SetPointerProbe([&] { return pointer; });
    int released = -1;
    QObject::connect(&button, &SkinButton::Released, [&](int kind) { released = kind; });

    EXPECT_FALSE(button.CheckingPointer()) << "no hover check while the pointer is elsewhere";
    QTest::mouseMove(&button, QPoint(5, 5));
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&button, &move);
    EXPECT_EQ(button.ShownArt(), 193);
    EXPECT_TRUE(button.CheckingPointer());
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(button.ShownArt(), 194);
    pointer = button.mapToGlobal(QPoint(100, 100));
    button.CheckPointer();
    EXPECT_EQ(button.ShownArt(), 192);
    EXPECT_FALSE(button.CheckingPointer()) << "the check ends with the hover";
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_EQ(released, -1);
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(6, 6));
    EXPECT_EQ(released, kKindStop);
    EXPECT_EQ(button.CurrentState(), SkinButton::kNormal);
    QApplication::sendEvent(&button, &move);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_EQ(button.ShownArt(), 192) << "leaving shows the normal picture at once";
    button.SetKind(kKindPlay);
    EXPECT_EQ(button.ShownArt(), 166);
}

TEST(SkinControlsTest, MeterSegmentsAreGreenThenRedOnTheBackground) {
    App();
    LevelMeter meter;
    meter.resize(138, 15);
    meter.SetLevel(40);
    const QImage image = meter.grab().toImage();
    struct Probe {
        int x;
        QColor colour;
    };
    const Probe probes[] = {
        {1, QColor(0, 100, 15)},     {3 * 33 + 1, QColor(0, 100, 15)}, {3 * 33 + 2, LevelMeter::kBackground},
        {3 * 34, QColor(150, 0, 0)}, {3 * 39 + 1, QColor(150, 0, 0)},  {3 * 40, LevelMeter::kBackground},
    };
    for (const Probe& p : probes) EXPECT_EQ(image.pixelColor(p.x, 7), p.colour) << p.x;
    EXPECT_EQ(image.pixelColor(50, 0), QColor(Qt::white));  // frame
    EXPECT_EQ(meter.ShownLevel(), 40);
}

TEST(SkinControlsTest, TimeDisplayKeepsItsValueModuloADay) {
    App();
    TimeDisplay display;
    display.SetValue(90061);
    EXPECT_EQ(display.Value(), 3661);
    display.SetValue(-1);
    EXPECT_EQ(display.Value(), 86399);
}

}  // namespace
}  // namespace pell::player
