// The record commands driven from the player window: the context menu's Set bookmark, Copy to,
// Delete, Protect and Unprotect, the search button, and Properties in the File menu, on demo
// recordings, with the audit trail they leave.
#include <QApplication>
#include <QLineEdit>
#include <QWidget>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>

#include "custody/posix/custody.h"
#include "player/catalogue/record_info.h"
#include "player/catalogue/record_roots.h"
#include "player/engine/queued_wave_out.h"
#include "player/ui/core/testing/fake_custody_port.h"
#include "player/ui/custody_controls.h"
#include "player/ui/dialog_controls.h"
#include "player/ui/dialogs_test_support.h"
#include "player/ui/player_dialog.h"
#include "player/ui/record_commands.h"
#include "player/ui/record_list.h"
#include "player/ui/skin_controls.h"
#include "player/ui/tools/demo_recordings.h"
#include "testsupport/temp_dir.h"

namespace pell::player {
namespace {

class PlayerWindowCommandsTest : public testing::Test {
protected:
    static void SetUpTestSuite() { test::EnsureApplication(); }

    void SetUp() override {
        root_ = MakeDemoRecordings(dir_.path(), 3, 1.0);
        ASSERT_FALSE(root_.empty());
        window_ = std::make_unique<PlayerDialog>(
            dir_.path(), PlayerDialog::Services{mixer_, [] { return std::make_unique<QueuedWaveOut>(); }, false,
                                                &notifier_, &picker_});
        ASSERT_EQ(window_->List().Model().rowCount(), 3);
    }
    void TearDown() override { window_.reset(); }

    const RecordRow& Row(int row) const { return window_->List().Model().Rows().at(static_cast<std::size_t>(row)); }
    void Trigger(int command) {
        QAction* action = window_->Action(command);
        ASSERT_NE(action, nullptr) << command;
        ASSERT_TRUE(action->isEnabled()) << command;
        action->trigger();
    }

    TempDir dir_;
    std::string root_;
    test::SilentMixer mixer_;
    test::FakeNotifier notifier_;
    test::FakeFolderPicker picker_;
    std::unique_ptr<PlayerDialog> window_;
};

TEST_F(PlayerWindowCommandsTest, MenusCarryTheCommandsEnabled) {
    auto* menu = window_->findChild<QMenu*>("recordMenu");
    ASSERT_NE(menu, nullptr);
    std::vector<std::string> items;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator())
            items.push_back(action->text().toStdString() + (action->isEnabled() ? "" : " (off)"));
    }
    EXPECT_EQ(items, (std::vector<std::string>{"&Play", "&Set bookmark", "&Copy to..", "&Delete",
                                               "Pro&tect (legal hold)", "&Unprotect", "Recording p&roperties..."}));
    EXPECT_TRUE(window_->Action(kCmdProperties)->isEnabled());
    auto* recording = window_->findChild<QMenu*>("recordingMenu");
    ASSERT_NE(recording, nullptr);
    std::vector<std::string> bar;
    for (QAction* action : window_->findChild<QMenuBar*>("menuBar")->actions()) {
        bar.push_back(action->text().toStdString());
    }
    EXPECT_EQ(bar, (std::vector<std::string>{"&File", "P&layback", "&Recording", "&Help"}));
}

// Every play (once per record started, a resume is none), copy and delete the window makes is in
// the record root's audit trail, as the user and the player.
TEST_F(PlayerWindowCommandsTest, PlayCopyAndDeleteGoIntoTheAuditTrail) {
    window_->MakeRowCurrent(0);
    const std::string played = Row(0).placement;
    window_->Play();
    window_->Pause();
    window_->Play();
    window_->StopPlayback();

    std::filesystem::create_directories(dir_.File("usb"));
    window_->MakeRowCurrent(1);
    const std::string copied = Row(1).placement;
    picker_.answer = QString::fromStdString(dir_.File("usb"));
    Trigger(kCmdCopyTo);

    std::filesystem::create_directories(dir_.File("home/.local/share"));
    const QByteArray savedData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir_.File("home/.local/share")));
    window_->MakeRowCurrent(2);
    const std::string deleted = Row(2).placement;
    notifier_.answers = {true};
    Trigger(kCmdDelete);
    qputenv("XDG_DATA_HOME", savedData);

    const AuditRead read = ReadAudit(root_);
    ASSERT_EQ(read.error, 0);
    EXPECT_TRUE(read.check.Intact());
    std::vector<std::string> entries;
    for (const AuditEntry& e : read.entries) {
        entries.push_back(e.action + " " + e.recording + " " + e.detail);
        EXPECT_EQ(e.user, CurrentUserName());
        EXPECT_EQ(e.program, "PellPlayer");
    }
    EXPECT_EQ(entries, (std::vector<std::string>{"play " + played + " ", "copy " + copied + " into " + dir_.File("usb"),
                                                 "delete " + deleted + " moved to the trash"}));
    EXPECT_EQ(window_->StatusText(), "") << "nothing failed, nothing to say";
}

// Protect from the window's menu, then Delete refuses the recording and says why.
TEST_F(PlayerWindowCommandsTest, ProtectFromTheMenuThenDeleteIsRefused) {
    window_->MakeRowCurrent(1);
    const std::string path = Row(1).placement;
    const std::string name = path.substr(path.find_last_of('/') + 1);
    Trigger(kCmdProtect);
    EXPECT_EQ(window_->StatusText().toStdString(), "Protected: \"" + name + "\"");
    EXPECT_TRUE(IsProtected(path));
    Trigger(kCmdDelete);
    ASSERT_EQ(notifier_.shown.size(), 1u);
    EXPECT_EQ(notifier_.shown[0].rfind("stop: \"" + name + "\" is under legal hold and was not deleted.", 0), 0u)
        << notifier_.shown[0];
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(window_->List().Model().rowCount(), 3);
    Trigger(kCmdUnprotect);
    EXPECT_FALSE(IsProtected(path));
}

// Ctrl+click picks several recordings for Delete; Ctrl on the only one highlighted keeps it.
TEST_F(PlayerWindowCommandsTest, CtrlClickPicksSeveralRecordingsForDelete) {
    window_->show();
    RecordList& list = window_->List();
    auto click = [&](int row, Qt::KeyboardModifiers modifiers) {
        QTest::mouseClick(list.viewport(), Qt::LeftButton, modifiers,
                          list.visualRect(list.Model().index(row, 1)).center());
    };
    click(0, {});
    click(0, Qt::ControlModifier);
    EXPECT_EQ(list.selectionModel()->selectedRows().size(), 1) << "the only highlighted row stays";
    click(2, Qt::ControlModifier);
    EXPECT_EQ(window_->CurrentRow(), 2);
    EXPECT_EQ(list.selectionModel()->selectedRows().size(), 2);
    notifier_.answers = {false};
    Trigger(kCmdDelete);
    EXPECT_EQ(notifier_.shown,
              std::vector<std::string>{"ask: Do you really want to move these 2 recordings to the trash?"});
    click(1, {});
    EXPECT_EQ(list.selectionModel()->selectedRows().size(), 1) << "a plain click picks one";
    EXPECT_EQ(window_->CurrentRow(), 1);
}

// A trail that cannot take the play entry: the record plays, the status line says what is missing.
TEST_F(PlayerWindowCommandsTest, APlayTheTrailCannotTakeIsShownAndPlays) {
    test::FakeCustodyPort custody;
    window_.reset();
    window_ = std::make_unique<PlayerDialog>(
        dir_.path(), PlayerDialog::Services{mixer_, [] { return std::make_unique<QueuedWaveOut>(); }, false, &notifier_,
                                            &picker_, &custody});
    window_->MakeRowCurrent(0);
    custody.FailCall(2);  // the user's name, then the append
    window_->Play();
    EXPECT_EQ(window_->Transport().State(), PlayState::kPlaying);
    EXPECT_TRUE(window_->StatusText().startsWith("Not recorded in the audit trail: play of "))
        << window_->StatusText().toStdString();
    window_->StopPlayback();
    window_->Play();
    EXPECT_EQ(window_->StatusText(), "") << "the trail took the next entry: the warning goes";
}

TEST_F(PlayerWindowCommandsTest, SetBookmarkThenSearchFindsItFromTheSearchButton) {
    window_->MakeRowCurrent(2);
    test::AnswerNextModal(window_.get(), [](QDialog& dialog) {
        dialog.findChild<QLineEdit*>(kTextEdit.objectName)->setText("Call back Monday");
        QTest::mouseClick(dialog.findChild<QPushButton*>(kOkButton.objectName), Qt::LeftButton);
    });
    Trigger(kCmdSetBookmark);
    EXPECT_EQ(Row(2).bookmark, "Call back Monday");
    EXPECT_EQ(ReadRecordInfo(Row(2).placement).bookmark, "Call back Monday");

    window_->MakeRowCurrent(0);
    QTest::mouseClick(window_->findChild<SkinButton*>("searchButton"), Qt::LeftButton);
    QApplication::processEvents();
    SearchDialog* search = window_->Commands().SearchWindow();
    ASSERT_NE(search, nullptr);
    search->findChild<QLineEdit*>(kTextEdit.objectName)->setText("MONDAY");
    QTest::mouseClick(search->findChild<QPushButton*>(kFindButton.objectName), Qt::LeftButton);
    EXPECT_EQ(window_->CurrentRow(), 2);
    EXPECT_EQ(window_->List().FirstSelectedRow(), 2) << "the match is selected in the list";
    QTest::mouseClick(search->findChild<QPushButton*>(kFindButton.objectName), Qt::LeftButton);
    EXPECT_EQ(notifier_.shown, std::vector<std::string>{"info: Could not find record!"});

    QTest::mouseClick(window_->findChild<SkinButton*>("searchButton"), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(window_->Commands().SearchWindow(), search) << "one search window at a time";
}

TEST_F(PlayerWindowCommandsTest, CopyToAndDeleteActOnTheCurrentRecord) {
    std::filesystem::create_directories(dir_.File("usb"));
    window_->MakeRowCurrent(1);
    const std::string source = Row(1).placement;
    const std::string name = source.substr(source.find_last_of('/') + 1);
    picker_.answer = QString::fromStdString(dir_.File("usb"));
    Trigger(kCmdCopyTo);
    EXPECT_TRUE(std::filesystem::exists(dir_.File("usb/" + name)));
    EXPECT_EQ(dir_.Read("sendto.ini"), dir_.File("usb"));

    std::filesystem::create_directories(dir_.File("home/.local/share"));
    const QByteArray savedData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir_.File("home/.local/share")));
    notifier_.answers = {true};
    Trigger(kCmdDelete);
    qputenv("XDG_DATA_HOME", savedData);
    EXPECT_EQ(window_->List().Model().rowCount(), 2);
    EXPECT_EQ(window_->CurrentRow(), 1) << "the next record takes the deleted one's place";
    EXPECT_EQ(window_->List().FirstSelectedRow(), 1);
    EXPECT_FALSE(std::filesystem::exists(source));
    EXPECT_TRUE(std::filesystem::exists(dir_.File("home/.local/share/Trash/files/" + name)));
    for (int row = 0; row < 2; ++row) EXPECT_NE(Row(row).placement, source);
}

// Delete and Ctrl+F from the keyboard; Delete only while the list has it, never from a field.
TEST_F(PlayerWindowCommandsTest, DeleteAndCtrlFWorkFromTheKeyboard) {
    window_->show();
    QApplication::setActiveWindow(window_.get());
    window_->MakeRowCurrent(2);
    const std::string name = Row(2).placement.substr(Row(2).placement.find_last_of('/') + 1);
    notifier_.answers = {false};
    window_->List().setFocus();
    QTest::keyClick(&window_->List(), Qt::Key_Delete);
    EXPECT_EQ(notifier_.shown,
              std::vector<std::string>{"ask: Do you really want to move \"" + name + "\" to the trash?"});
    auto* fromDate = window_->findChild<QWidget*>("fromDate");
    fromDate->setFocus();
    QTest::keyClick(fromDate, Qt::Key_Delete);
    EXPECT_EQ(notifier_.shown.size(), 1u) << "Delete in the date field edits the date";

    EXPECT_EQ(window_->Commands().SearchWindow(), nullptr);
    QTest::keyClick(&window_->List(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_NE(window_->Commands().SearchWindow(), nullptr);
}

// The search window moves off the row it found, so the match can be seen; a search without a
// match is news, not a failure.
TEST_F(PlayerWindowCommandsTest, TheSearchWindowNeverCoversTheRowItFound) {
    window_->show();
    window_->MakeRowCurrent(0);
    QTest::mouseClick(window_->findChild<SkinButton*>("searchButton"), Qt::LeftButton);
    SearchDialog* search = window_->Commands().SearchWindow();
    ASSERT_NE(search, nullptr);
    RecordList& list = window_->List();
    auto rowOnScreen = [&](int row) {
        const QRect cell = list.visualRect(list.Model().index(row, 0));
        return QRect(list.viewport()->mapToGlobal(QPoint(0, cell.top())),
                     QSize(list.viewport()->width(), cell.height()));
    };
    // Put right over the row the search will find (row 1: number 0123456).
    search->move(rowOnScreen(1).left() + 40, rowOnScreen(1).top() - 10);
    ASSERT_TRUE(search->frameGeometry().intersects(rowOnScreen(1)));
    search->findChild<QLineEdit*>(kTextEdit.objectName)->setText("0123");
    QTest::mouseClick(search->findChild<QPushButton*>(kFindButton.objectName), Qt::LeftButton);
    ASSERT_EQ(window_->CurrentRow(), 1);
    EXPECT_FALSE(search->frameGeometry().intersects(rowOnScreen(1)));
    QTest::mouseClick(search->findChild<QPushButton*>(kFindButton.objectName), Qt::LeftButton);
    EXPECT_EQ(notifier_.shown, std::vector<std::string>{"info: Could not find record!"});
}

TEST_F(PlayerWindowCommandsTest, PropertiesFromTheFileMenuReplacesTheRecordRootsAndRefreshes) {
    // Another folder with two calls of today.
    const std::string archive = MakeDemoRecordings(dir_.File("elsewhere"), 2, 1.0);
    ASSERT_FALSE(archive.empty());
    picker_.answer = QString::fromStdString(archive);
    bool tiled = false;
    test::AnswerNextModal(window_.get(), [&tiled](QDialog& dialog) {
        auto* list = dialog.findChild<QListWidget*>(kPathsList.objectName);
        tiled = !list->palette().brush(QPalette::Base).texture().isNull();
        QTest::mouseClick(dialog.findChild<QPushButton*>(kAddPathButton.objectName), Qt::LeftButton);
        QTest::mouseClick(dialog.findChild<QPushButton*>(kOkButton.objectName), Qt::LeftButton);
    });
    Trigger(kCmdProperties);
    const std::vector<std::string> expected = {archive, root_};
    EXPECT_EQ(window_->RecordRoots(), expected);
    EXPECT_EQ(LoadRecordRoots(dir_.path()), expected);
    EXPECT_EQ(window_->List().Model().rowCount(), 5) << "the list shows the new folder at once";
    EXPECT_EQ(window_->ListSummary().toStdString(), "5 recordings, 00:00:05 in all");
    EXPECT_TRUE(tiled) << "the folders lie on the record list's background";
}

}  // namespace
}  // namespace pell::player
