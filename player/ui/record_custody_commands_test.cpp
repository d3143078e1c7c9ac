// The record commands over the custody records of a real record root: Delete refusing a
// recording under legal hold, Protect and Unprotect, Properties proving a recording against its
// day folder's manifest, and an audit trail that cannot be written shown, not stopping anything.
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "custody/posix/custody.h"
#include "player/catalogue/record_info.h"
#include "player/ui/core/testing/fake_custody_port.h"
#include "player/ui/dialog_controls.h"
#include "player/ui/dialogs_test_support.h"
#include "player/ui/record_commands.h"
#include "testsupport/temp_dir.h"

namespace pell::player {
namespace {

using namespace std::chrono;

constexpr year_month_day kDay{year{2026}, month{12}, day{5}};

// What the Properties dialog showed on its recording tab.
struct Shown {
    int tabs = 0;
    int current = -1;
    std::string proof;
    std::string detail;
    std::string hold;
    std::vector<std::string> actions;  // the audit list's Action column, top down
    std::string note;
};

class RecordCustodyCommandsTest : public testing::Test {
protected:
    static void SetUpTestSuite() { test::EnsureApplication(); }

    void SetUp() override {
        std::filesystem::create_directories(dir_.File("program"));
        std::filesystem::create_directories(dir_.File("home/.local/share"));
        std::filesystem::create_directories(dir_.File("rec/05.12.2026"));
        for (int i = 0; i < 3; ++i) test::WriteRecording(Recording(i), "555000" + std::to_string(i), "Line 1");
        list_.rows = FillRecordList({Root()}, kDay, kDay);
        data_ = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir_.File("home/.local/share")));
        Make(nullptr);
    }
    void TearDown() override { qputenv("XDG_DATA_HOME", data_); }

    void Make(CustodyPort* custody) {
        RecordCommandServices services{notifier_, picker_};
        services.custody = custody;
        services.showStatus = [this](const QString& text, bool problem) {
            status_.push_back((problem ? "problem: " : "note: ") + text.toStdString());
        };
        commands_ = std::make_unique<RecordCommands>(&window_, list_, dir_.File("program"), std::move(services));
    }

    std::string Root() const { return dir_.File("rec"); }
    std::string Recording(int i) const { return dir_.File("rec/05.12.2026/a000000" + std::to_string(i) + ".mp3"); }
    int RowOf(int i) const {
        for (int row = 0; row < list_.RowCount(); ++row) {
            if (list_.Text(row, kColumnPlacement) == Recording(i)) return row;
        }
        return -1;
    }
    std::vector<std::string> Audited() const {
        std::vector<std::string> lines;
        for (const AuditEntry& e : ReadAudit(Root()).entries) {
            lines.push_back(e.action + " " + NameOf(e.recording) + " " + e.program);
        }
        return lines;
    }
    Shown OpenProperties() {
        Shown shown;
        test::AnswerNextModal(&window_, [&shown](QDialog& dialog) {
            auto* tabs = dialog.findChild<QTabWidget*>(kPathsTab.objectName);
            shown.tabs = tabs->count();
            shown.current = tabs->currentIndex();
            auto text = [&dialog](const DialogControl& control) {
                auto* label = dialog.findChild<QLabel*>(control.objectName);
                return label == nullptr ? std::string("(none)") : label->text().toStdString();
            };
            shown.proof = text(kProofLine);
            shown.detail = text(kProofDetail);
            shown.hold = text(kHoldLine);
            shown.note = text(kAuditNote);
            if (auto* list = dialog.findChild<QTreeWidget*>(kAuditList.objectName)) {
                for (int i = 0; i < list->topLevelItemCount(); ++i) {
                    shown.actions.push_back(list->topLevelItem(i)->text(3).toStdString());
                }
            }
            dialog.reject();
        });
        std::vector<std::string> roots = {Root()};
        commands_->EditProperties(roots, true);
        return shown;
    }
    void File(int i) {
        PosixRecordingCustody recorder("PellRecorder");
        FiledFacts facts;
        facts.startTime = 1796464800;  // 05.12.2026 10:00:00 UTC
        facts.endTime = facts.startTime + 1;
        facts.line = "Line 1";
        ASSERT_EQ(recorder.NoteFiled(Recording(i), facts), 0);
    }

    pell::TempDir dir_;
    QByteArray data_;
    QWidget window_;
    test::RowList list_;
    test::FakeNotifier notifier_;
    test::FakeFolderPicker picker_;
    std::vector<std::string> status_;
    std::unique_ptr<RecordCommands> commands_;
};

TEST_F(RecordCustodyCommandsTest, AProtectedRecordingIsRefusedByNameWithHowToReleaseIt) {
    list_.current = RowOf(1);
    commands_->ChangeHolds(true);
    EXPECT_EQ(status_, std::vector<std::string>{"note: Protected: \"a0000001.mp3\""});
    EXPECT_TRUE(IsProtected(Recording(1)));

    commands_->DeleteRecord();
    EXPECT_EQ(notifier_.shown,
              std::vector<std::string>{
                  "stop: \"a0000001.mp3\" is under legal hold and was not deleted.\n\nTo delete it, release its hold "
                  "first: Unprotect in the list's menu, or pell-catalogue unprotect \"" +
                  Recording(1) + "\"."})
        << "refused without asking";
    EXPECT_TRUE(std::filesystem::exists(Recording(1)));
    EXPECT_EQ(list_.RowCount(), 3);

    // Released, it goes like any other.
    commands_->ChangeHolds(false);
    notifier_.shown.clear();
    notifier_.answers = {true};
    commands_->DeleteRecord();
    EXPECT_EQ(notifier_.shown,
              std::vector<std::string>{"ask: Do you really want to move \"a0000001.mp3\" to the trash?"});
    EXPECT_FALSE(std::filesystem::exists(Recording(1)));
    EXPECT_EQ(Audited(),
              (std::vector<std::string>{"protect a0000001.mp3 PellPlayer", "unprotect a0000001.mp3 PellPlayer",
                                        "delete a0000001.mp3 PellPlayer"}));
}

TEST_F(RecordCustodyCommandsTest, DeletingSeveralDeletesTheOthersAndSaysWhichWereKept) {
    ASSERT_TRUE(pell::ChangeHolds(HoldRequest{{Recording(1)}, true, "pell-catalogue", "case 17"}).failures.empty());
    list_.current = RowOf(0);
    list_.selected = {RowOf(0), RowOf(1), RowOf(2)};
    notifier_.answers = {true};
    commands_->DeleteRecord();
    ASSERT_EQ(notifier_.shown.size(), 1u);
    EXPECT_EQ(notifier_.shown[0],
              "ask: Do you really want to move these 2 recordings to the trash?\n\nKept, under legal hold: "
              "\"a0000001.mp3\".\n\nTo delete a protected recording, release its hold first: Unprotect in the list's "
              "menu, or pell-catalogue unprotect FILE.");
    EXPECT_FALSE(std::filesystem::exists(Recording(0)));
    EXPECT_TRUE(std::filesystem::exists(Recording(1)));
    EXPECT_FALSE(std::filesystem::exists(Recording(2)));
    ASSERT_EQ(list_.RowCount(), 1);
    EXPECT_EQ(list_.Text(0, kColumnPlacement), Recording(1));
    // The list's order is the file system's, and so is the order of the deletions.
    std::vector<std::string> audited = Audited();
    std::sort(audited.begin(), audited.end());
    EXPECT_EQ(audited, (std::vector<std::string>{"delete a0000000.mp3 PellPlayer", "delete a0000002.mp3 PellPlayer",
                                                 "protect a0000001.mp3 pell-catalogue"}));
}

TEST_F(RecordCustodyCommandsTest, ARecordingListedTwiceLeavesNoRowBehindOnceDeleted) {
    list_.rows = FillRecordList({Root(), Root()}, kDay, kDay);
    ASSERT_EQ(list_.RowCount(), 6);
    list_.current = RowOf(1);
    notifier_.answers = {true};
    commands_->DeleteRecord();
    EXPECT_FALSE(std::filesystem::exists(Recording(1)));
    EXPECT_EQ(list_.RowCount(), 4);
    EXPECT_EQ(RowOf(1), -1);
}

TEST_F(RecordCustodyCommandsTest, PropertiesProvesTheRecordingAgainstItsDayFolderManifest) {
    File(0);
    File(1);
    list_.current = RowOf(0);
    commands_->ChangeHolds(true);
    Shown shown = OpenProperties();
    EXPECT_EQ(shown.tabs, 2) << "the folders' tab stays, the recording's is added";
    EXPECT_EQ(shown.current, 1);
    EXPECT_EQ(shown.proof, "verified");
    EXPECT_EQ(shown.hold, "protected (legal hold)");
    EXPECT_EQ(shown.actions, std::vector<std::string>{"protect"});

    // One byte of the audio changed, well inside the frames.
    {
        std::fstream file(Recording(1), std::ios::in | std::ios::out | std::ios::binary);
        file.seekg(600);
        const char byte = static_cast<char>(file.get());
        file.seekp(600);
        file.put(static_cast<char>(byte ^ 0x40));
    }
    list_.current = RowOf(1);
    shown = OpenProperties();
    EXPECT_EQ(shown.proof, "altered since it was filed");
    EXPECT_EQ(shown.detail.rfind("the audio differs from the recording filed ", 0), 0u) << shown.detail;
    EXPECT_EQ(shown.hold, "not protected");
    EXPECT_EQ(shown.note, "No audit entries for this recording.");

    // A changed tag alone (a bookmark) keeps the proof.
    ASSERT_EQ(StoreBookmark(Recording(0), "call back"), TagWriteResult::kWritten);
    list_.current = RowOf(0);
    EXPECT_EQ(OpenProperties().proof, "verified");

    list_.current = RowOf(2);
    shown = OpenProperties();
    EXPECT_EQ(shown.proof, "not in the day folder's manifest");
}

TEST_F(RecordCustodyCommandsTest, FromTheFileMenuTheFoldersTabComesFirst) {
    list_.current = -1;
    Shown shown;
    test::AnswerNextModal(&window_, [&shown](QDialog& dialog) {
        shown.tabs = dialog.findChild<QTabWidget*>(kPathsTab.objectName)->count();
        dialog.reject();
    });
    std::vector<std::string> roots = {Root()};
    commands_->EditProperties(roots);
    EXPECT_EQ(shown.tabs, 1) << "no recording, no recording tab";
}

TEST_F(RecordCustodyCommandsTest, AnAuditEntryThatCannotBeWrittenIsShownAndTheActionGoesOn) {
    test::FakeCustodyPort custody;
    Make(&custody);
    const std::string trail = Root() + "/audit.log";
    struct Case {
        const char* name;
        std::function<void()> command;
        int failCall;
        std::string status;
        std::function<bool()> done;
    };
    const Case cases[] = {
        {"bookmark",
         [&] {
             test::AnswerNextModal(&window_, [](QDialog& dialog) {
                 dialog.findChild<QLineEdit*>(kTextEdit.objectName)->setText("x");
                 dialog.accept();
             });
             commands_->SetBookmark();
         },
         2, "problem: Not recorded in the audit trail: bookmark of \"a0000000.mp3\" (" + trail + ": Permission denied)",
         [&] { return ReadRecordInfo(Recording(0)).bookmark == "x"; }},
        {"delete",
         [&] {
             notifier_.answers = {true};
             commands_->DeleteRecord();
         },
         4, "problem: Not recorded in the audit trail: delete of \"a0000000.mp3\" (" + trail + ": Permission denied)",
         [&] { return !std::filesystem::exists(Recording(0)); }},
        {"protect", [&] { commands_->ChangeHolds(true); }, 2,
         "problem: Not recorded in the audit trail: " + trail +
             ": Permission denied (the hold was changed, but not recorded)",
         [&] { return custody.held.count(Recording(2)) == 1; }},
    };
    for (const Case& c : cases) {
        list_.current = c.name == std::string("protect") ? RowOf(2) : RowOf(0);
        status_.clear();
        custody.FailCall(c.failCall);
        c.command();
        ASSERT_FALSE(status_.empty()) << c.name;
        EXPECT_EQ(status_.back(), c.status) << c.name;
        EXPECT_TRUE(c.done()) << c.name << ": the action went on";
        custody.FailCall(0);
    }
}

}  // namespace
}  // namespace pell::player
