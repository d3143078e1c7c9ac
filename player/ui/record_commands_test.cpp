#include "player/ui/record_commands.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "player/catalogue/catalogue_test_support.h"
#include "player/catalogue/record_info.h"
#include "player/ui/bookmark_dialog.h"
#include "player/ui/dialog_controls.h"
#include "player/ui/dialogs_test_support.h"
#include "testsupport/scoped_limits.h"
#include "testsupport/temp_dir.h"

namespace pell::player {
namespace {

using namespace std::chrono;
using test::AnswerNextModal;

constexpr year_month_day kDay{year{2026}, month{12}, day{5}};

std::string Hex(std::string_view bytes) {
    std::string out;
    for (const unsigned char c : bytes) out += "0123456789abcdef"[c >> 4], out += "0123456789abcdef"[c & 15];
    return out;
}

std::string CommentField(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(-128 + 97, std::ios::end);
    std::string field(30, '\0');
    in.read(field.data(), 30);
    return field;
}

// Types each character as a key press carrying its text, as a keyboard layout delivers it.
void Type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
    }
}

class RecordCommandsTest : public testing::Test {
protected:
    static void SetUpTestSuite() { test::EnsureApplication(); }

    void SetUp() override {
        std::filesystem::create_directories(dir_.File("program"));
        std::filesystem::create_directories(dir_.File("rec/05.12.2026"));
        const char* numbers[] = {"5551234", "0123456", "5559999", "0800111"};
        for (int i = 0; i < 4; ++i) {
            test::WriteRecording(Recording(i), numbers[i], "Line 1");
        }
        Refill();
        commands_ = std::make_unique<RecordCommands>(&window_, list_, dir_.File("program"),
                                                     RecordCommandServices{notifier_, picker_});
    }

    std::string Recording(int i) const { return dir_.File("rec/05.12.2026/a000000" + std::to_string(i) + ".mp3"); }
    void Refill() { list_.rows = FillRecordList({dir_.File("rec")}, kDay, kDay); }
    std::string Column(int row, int column) const { return list_.Text(row, column); }

    // Runs the bookmark command with `typed` replacing the edit's text, or cancelled.
    void SetBookmarkTo(const std::optional<QString>& typed) {
        AnswerNextModal(&window_, [typed, this](QDialog& dialog) {
            opened_.push_back(dialog.windowTitle().toStdString());
            auto* edit = dialog.findChild<QLineEdit*>(kTextEdit.objectName);
            presets_.push_back(edit->text().toStdString());
            if (!typed) return;
            edit->setText(*typed);
            QTest::mouseClick(dialog.findChild<QPushButton*>(kOkButton.objectName), Qt::LeftButton);
        });
        commands_->SetBookmark();
    }

    pell::TempDir dir_;
    QWidget window_;
    test::RowList list_;
    test::FakeNotifier notifier_;
    test::FakeFolderPicker picker_;
    std::unique_ptr<RecordCommands> commands_;
    std::vector<std::string> opened_;
    std::vector<std::string> presets_;
};

TEST_F(RecordCommandsTest, BookmarkIsStoredAndTheColumnShowsWhatTheFileHolds) {
    const std::string thirty = "123456789012345678901234567890";
    std::string fifteenE;
    for (int i = 0; i < 15; ++i) fifteenE += "\xC3\xA9";
    const struct {
        const char* name;
        QString typed;
        std::string field;   // the 30 comment bytes afterwards
        std::string column;  // the Bookmark column afterwards
    } cases[] = {
        {"thirty bytes fill the field", QString::fromStdString(thirty), thirty, thirty},
        {"short text is zero-filled", "call back", "call back" + std::string(21, '\0'), "call back"},
        {"empty clears", "", std::string(30, '\0'), ""},
        {"non-ASCII cut between characters", QString(16, QChar(0xE9)), fifteenE, fifteenE},
    };
    for (const auto& c : cases) {
        list_.current = 1;
        const timespec before = pell::test::LastWrite(Recording(1));
        SetBookmarkTo(c.typed);
        EXPECT_EQ(Hex(CommentField(Recording(1))), Hex(c.field)) << c.name;
        EXPECT_EQ(Column(1, kColumnBookmark), c.column) << c.name;
        EXPECT_EQ(ReadRecordInfo(Recording(1)).bookmark, c.column) << c.name;
        EXPECT_EQ(pell::test::LastWrite(Recording(1)).tv_sec, before.tv_sec) << c.name;
    }
    EXPECT_TRUE(notifier_.shown.empty());
}

TEST_F(RecordCommandsTest, BookmarkFieldTakesNoMoreThanThirtyBytes) {
    const struct {
        QString keys;
        std::string kept;
    } cases[] = {
        {QString(31, 'x'), std::string(30, 'x')},
        {QString(16, QChar(0xFC)), [] { std::string s; for (int i = 0; i < 15; ++i) s += "\xC3\xBC"; return s; }()},
        {QString(29, 'x') + QChar(0x20AC), std::string(29, 'x')},
    };
    for (const auto& c : cases) {
        BookmarkDialog dialog("");
        auto* edit = dialog.findChild<QLineEdit*>(kTextEdit.objectName);
        Type(edit, c.keys);
        EXPECT_EQ(dialog.Text().toStdString(), c.kept);
    }
}

TEST_F(RecordCommandsTest, BookmarkDialogOpensWithTheCurrentBookmark) {
    test::WriteRecording(Recording(2), "5559999", "Line 2", "B\xFCro");  // an older Latin-1 tag
    Refill();
    list_.current = 2;
    SetBookmarkTo(std::nullopt);
    EXPECT_EQ(opened_, std::vector<std::string>{"Type new bookmark"});
    EXPECT_EQ(presets_, std::vector<std::string>{"B\xC3\xBCro"});
    EXPECT_EQ(Column(2, kColumnBookmark), "B\xC3\xBCro") << "Cancel changes nothing";
    EXPECT_EQ(CommentField(Recording(2)).substr(0, 5), std::string("B\xFCro\0", 5));

    list_.current = -1;
    SetBookmarkTo("never");
    QCoreApplication::processEvents();
    EXPECT_EQ(opened_.size(), 1u) << "no current row, no dialog";
}

TEST_F(RecordCommandsTest, BookmarkThatCannotBeWrittenIsReportedAndTheColumnKeepsItsText) {
    const struct {
        int row;
        const char* name;
        std::function<void(const std::string& path)> spoil;
        bool asUser;  // root writes read-only files, so the write runs as an ordinary user
    } cases[] = {
        {1, "read-only file", [](const std::string& path) { ::chmod(path.c_str(), 0444); }, true},
        {2, "file gone", [](const std::string& path) { std::filesystem::remove(path); }, false},
        {3, "no tag", [](const std::string& path) {
             std::filesystem::resize_file(path, std::filesystem::file_size(path) - 128);
         }, false},
    };
    ::chmod(dir_.path().c_str(), 0755);
    for (const auto& c : cases) {
        list_.current = c.row;
        SetBookmarkTo("first");
        ASSERT_EQ(Column(c.row, kColumnBookmark), "first");
        c.spoil(Recording(c.row));
        const std::string bytesBefore = std::filesystem::exists(Recording(c.row)) ? dir_.Read(
            "rec/05.12.2026/a000000" + std::to_string(c.row) + ".mp3") : "";
        {
            std::optional<pell::test::ScopedUnprivilegedUser> user;
            if (c.asUser) user.emplace();
            SetBookmarkTo("second");
        }
        EXPECT_EQ(notifier_.shown, std::vector<std::string>{"stop: Could not store the bookmark."}) << c.name;
        EXPECT_EQ(Column(c.row, kColumnBookmark), "first") << c.name;
        if (!bytesBefore.empty()) {
            EXPECT_EQ(dir_.Read("rec/05.12.2026/a000000" + std::to_string(c.row) + ".mp3"), bytesBefore) << c.name;
        }
        notifier_.shown.clear();
    }
}

}  // namespace
}  // namespace pell::player
