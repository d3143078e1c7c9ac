#include "player/ui/record_commands.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <deque>
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
        {QString(16, QChar(0xFC)),
         [] {
             std::string s;
             for (int i = 0; i < 15; ++i) s += "\xC3\xBC";
             return s;
         }()},
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
        {3, "no tag",
         [](const std::string& path) { std::filesystem::resize_file(path, std::filesystem::file_size(path) - 128); },
         false},
    };
    ::chmod(dir_.path().c_str(), 0755);
    for (const auto& c : cases) {
        list_.current = c.row;
        SetBookmarkTo("first");
        ASSERT_EQ(Column(c.row, kColumnBookmark), "first");
        c.spoil(Recording(c.row));
        const std::string bytesBefore = std::filesystem::exists(Recording(c.row))
                                            ? dir_.Read("rec/05.12.2026/a000000" + std::to_string(c.row) + ".mp3")
                                            : "";
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

TEST_F(RecordCommandsTest, OneSearchWindowWalksFromMatchToMatchAroundTheList) {
    list_.SetBookmark(3, "call back on Monday");
    commands_->OpenSearch();
    QPointer<SearchDialog> window = commands_->SearchWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Search");
    window->showMinimized();
    commands_->OpenSearch();
    EXPECT_EQ(commands_->SearchWindow(), window.data()) << "the open window comes back";
    EXPECT_FALSE(window->isMinimized());
    EXPECT_EQ(window_.findChildren<SearchDialog*>().size(), 1);

    auto* edit = window->findChild<QLineEdit*>(kTextEdit.objectName);
    auto* find = window->findChild<QPushButton*>(kFindButton.objectName);
    EXPECT_EQ(find->text(), "&Find");
    const struct {
        QString text;
        int currentBefore;
        int currentAfter;
        bool notFound;
    } presses[] = {
        {"555", -1, 0, false},                          // numbers 5551234 (0) and 5559999 (2)
        {"555", 0, 2, false},    {"555", 2, 0, false},  // wraps around
        {"MONDAY", 0, 3, false},                        // capitals find small letters in a bookmark
        {"monday", 3, 3, true},                         // the only match is the current row itself
        {"0123", 3, 1, false},   {"", 1, 2, false},     // an empty text matches the next row
        {"zzz", 2, 2, true},
    };
    for (const auto& p : presses) {
        ASSERT_EQ(list_.current, p.currentBefore) << p.text.toStdString();
        edit->setText(p.text);
        QTest::mouseClick(find, Qt::LeftButton);
        EXPECT_EQ(list_.current, p.currentAfter) << p.text.toStdString();
        EXPECT_EQ(notifier_.shown,
                  p.notFound ? std::vector<std::string>{"info: Could not find record!"} : std::vector<std::string>{})
            << p.text.toStdString();
        EXPECT_TRUE(window->isVisible()) << "Find leaves the window open";
        notifier_.shown.clear();
    }

    QTest::mouseClick(window->findChild<QPushButton*>(kCancelButton.objectName), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull()) << "Cancel ends the window";
    EXPECT_EQ(commands_->SearchWindow(), nullptr);
    commands_->OpenSearch();
    ASSERT_NE(commands_->SearchWindow(), nullptr);
    EXPECT_EQ(commands_->SearchWindow()->Text(), "") << "a new window starts empty";
}

// Points the desktop's home and data folders into the test's folder for the test's life.
class ScopedHome {
public:
    ScopedHome(const std::string& home, const std::string& data)
        : home_(qgetenv("HOME")), data_(qgetenv("XDG_DATA_HOME")) {
        qputenv("HOME", QByteArray::fromStdString(home));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data));
    }
    ~ScopedHome() {
        qputenv("HOME", home_);
        qputenv("XDG_DATA_HOME", data_);
    }

private:
    QByteArray home_;
    QByteArray data_;
};

TEST_F(RecordCommandsTest, DeleteMovesTheFileToTheTrashAndTheRowGoesOnlyThen) {
    // A fresh home without a data folder yet: the trash is made inside it, never elsewhere.
    std::filesystem::create_directories(dir_.File("home"));
    dir_.Write("home/plain-file", "");
    const std::string data = dir_.File("home/.local/share");
    const struct {
        const char* name;
        int current;
        bool answer;
        std::string dataFolder;
        bool removeFirst;  // the file vanished before the command
        std::vector<std::string> shown;
        bool trashed;
        bool asUser = false;  // root writes anywhere, so the move runs as an ordinary user
    } cases[] = {
        {"no current row asks nothing", -1, true, data, false, {}, false},
        {"No keeps everything",
         1,
         false,
         data,
         false,
         {"ask: Do you really want to move \"a0000001.mp3\" to the trash?"},
         false},
        {"Yes trashes the file and removes the row",
         1,
         true,
         data,
         false,
         {"ask: Do you really want to move \"a0000001.mp3\" to the trash?"},
         true},
        {"a vanished file keeps its row",
         2,
         true,
         data,
         true,
         {"ask: Do you really want to move \"a0000003.mp3\" to the trash?",
          "stop: Could not move the file to the trash."},
         false},
        {"a trash that cannot be made keeps the file and the row",
         0,
         true,
         dir_.File("home/plain-file/share"),
         false,
         {"ask: Do you really want to move \"a0000000.mp3\" to the trash?",
          "stop: Could not move the file to the trash."},
         false},
        {"a data folder that cannot be written keeps the file and the row",
         1,
         true,
         dir_.File("home/read-only"),
         false,
         {"ask: Do you really want to move \"a0000002.mp3\" to the trash?",
          "stop: Could not move the file to the trash."},
         false,
         true},
    };
    std::filesystem::create_directories(dir_.File("home/read-only"));
    ::chmod(dir_.File("home/read-only").c_str(), 0555);
    for (const char* folder : {"", "/rec", "/rec/05.12.2026"}) ::chmod((dir_.path() + folder).c_str(), 0777);
    ::chmod(Recording(2).c_str(), 0666);
    for (const auto& c : cases) {
        const ScopedHome home(dir_.File("home"), c.dataFolder);
        list_.current = c.current;
        const int rowsBefore = list_.RowCount();
        const std::string path = c.current >= 0 ? Column(c.current, kColumnPlacement) : "";
        const std::string name = path.substr(path.find_last_of('/') + 1);
        if (c.removeFirst) std::filesystem::remove(path);
        notifier_.answers = {c.answer};
        notifier_.shown.clear();
        {
            std::optional<pell::test::ScopedUnprivilegedUser> user;
            if (c.asUser) user.emplace();
            commands_->DeleteRecord();
        }
        EXPECT_EQ(notifier_.shown, c.shown) << c.name;
        EXPECT_EQ(list_.RowCount(), rowsBefore - (c.trashed ? 1 : 0)) << c.name;
        if (c.trashed) {
            EXPECT_EQ(list_.current, c.current) << c.name << ": the next record takes the current place";
            EXPECT_FALSE(std::filesystem::exists(path)) << c.name;
            EXPECT_TRUE(std::filesystem::exists(data + "/Trash/files/" + name)) << c.name;
        } else if (c.current >= 0) {
            EXPECT_EQ(Column(c.current, kColumnPlacement), path) << c.name << ": the row stays";
            EXPECT_EQ(std::filesystem::exists(path), !c.removeFirst) << c.name;
        }
    }
    EXPECT_FALSE(std::filesystem::exists("files")) << "nothing lands in the working folder";
}

TEST_F(RecordCommandsTest, CopyToGoesIntoThePickedFolderAndRemembersIt) {
    for (const char* folder : {"usb", "usb2", "full"}) std::filesystem::create_directories(dir_.File(folder));
    const std::string usb = dir_.File("usb");
    const std::string source = Recording(2);
    const std::string sourceBytes = dir_.Read("rec/05.12.2026/a0000002.mp3");
    pell::test::SetLastWrite(source, 1733400000, 250000000);
    const std::string older = "an older file of that name";
    const struct {
        const char* name;
        std::optional<std::string> picked;
        std::deque<bool> answers;
        std::string existing;     // put at the target first, when not empty
        std::string preselected;  // what the picker showed
        std::vector<std::string> shown;
        std::string target;       // where the copy is looked for
        std::string targetBytes;  // what it holds afterwards
        std::string remembered;   // sendto.ini afterwards
        bool diskFull = false;
    } cases[] = {
        {"first copy without sendto.ini", usb, {}, "", "", {}, usb + "/a0000002.mp3", sourceBytes, usb},
        {"replace declined",
         usb,
         {false},
         older,
         usb,
         {"ask: \"a0000002.mp3\" already exists in \"" + usb + "\". Do you want to replace it?"},
         usb + "/a0000002.mp3",
         older,
         usb},
        {"replace accepted",
         usb,
         {true},
         older,
         usb,
         {"ask: \"a0000002.mp3\" already exists in \"" + usb + "\". Do you want to replace it?"},
         usb + "/a0000002.mp3",
         sourceBytes,
         usb},
        {"cancelled picker copies nothing", std::nullopt, {}, "", usb, {}, dir_.File("usb2/a0000002.mp3"), "", usb},
        {"folder with a trailing separator",
         dir_.File("usb2/"),
         {},
         "",
         usb,
         {},
         dir_.File("usb2/a0000002.mp3"),
         sourceBytes,
         dir_.File("usb2/")},
        {"the source itself is refused",
         dir_.File("rec/05.12.2026"),
         {},
         "",
         dir_.File("usb2/"),
         {"stop: The file cannot be copied onto itself."},
         source,
         sourceBytes,
         dir_.File("rec/05.12.2026")},
        {"a full disk is reported",
         dir_.File("full"),
         {},
         "",
         dir_.File("rec/05.12.2026"),
         {"stop: Could not copy the file.\n\nFile too large"},
         dir_.File("full/a0000002.mp3"),
         "",
         dir_.File("full"),
         true},
    };
    for (const auto& c : cases) {
        list_.current = 2;
        if (!c.existing.empty()) {
            std::ofstream(c.target, std::ios::binary | std::ios::trunc) << c.existing;
        }
        picker_.answer = c.picked ? std::optional<QString>(QString::fromStdString(*c.picked)) : std::nullopt;
        notifier_.answers = c.answers;
        notifier_.shown.clear();
        {
            std::optional<pell::test::ScopedFileSizeLimit> full;
            if (c.diskFull) full.emplace(1024);
            commands_->CopyRecordTo();
        }
        EXPECT_EQ(picker_.titles.back(), "Choose directory to copy file") << c.name;
        EXPECT_EQ(picker_.preselections.back(), c.preselected) << c.name;
        EXPECT_EQ(notifier_.shown, c.shown) << c.name;
        EXPECT_EQ(std::filesystem::exists(c.target), !c.targetBytes.empty()) << c.name;
        if (!c.targetBytes.empty()) {
            std::ifstream in(c.target, std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            EXPECT_TRUE(bytes == c.targetBytes) << c.name;
            if (c.targetBytes == sourceBytes) {
                EXPECT_EQ(pell::test::LastWrite(c.target).tv_sec, 1733400000) << c.name;
                EXPECT_EQ(pell::test::LastWrite(c.target).tv_nsec, 250000000) << c.name;
            }
        }
        EXPECT_EQ(dir_.Read("program/sendto.ini"), c.remembered) << c.name;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.File("full")),
                                std::filesystem::directory_iterator()),
                  0)
            << c.name << ": no partial copy stays";
    }

    const std::size_t picks = picker_.titles.size();
    list_.current = -1;
    commands_->CopyRecordTo();
    EXPECT_EQ(picker_.titles.size(), picks) << "no current row, no picker";
}

TEST(DesktopNotifierTest, BoxesShowTextAsItIsAndQuestionsDefaultToNo) {
    test::EnsureApplication();
    DesktopNotifier notifier;
    const QString markup = "Do you really want to move \"<b>x</b>.mp3\" to the trash?";
    const struct {
        const char* name;
        std::function<bool()> show;
        bool answer;  // what pressing the default button gives
        QMessageBox::Icon icon;
    } cases[] = {
        {"question", [&] { return notifier.Ask(nullptr, markup); }, false, QMessageBox::Question},
        {"stop",
         [&] {
             notifier.Stop(nullptr, markup);
             return false;
         },
         false, QMessageBox::Critical},
    };
    for (const auto& c : cases) {
        QWidget owner;
        struct {
            Qt::TextFormat format = Qt::RichText;
            QString title;
            QString text;
            QMessageBox::Icon icon = QMessageBox::NoIcon;
        } seen;
        QTimer::singleShot(0, &owner, [&seen] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return;
            seen = {box->textFormat(), box->windowTitle(), box->text(), box->icon()};
            box->defaultButton()->click();
        });
        EXPECT_EQ(c.show(), c.answer) << c.name;
        EXPECT_EQ(seen.format, Qt::PlainText) << c.name;
        EXPECT_EQ(seen.title, "Teluva Player") << c.name;
        EXPECT_EQ(seen.text, markup) << c.name;
        EXPECT_EQ(seen.icon, c.icon) << c.name;
    }
}

}  // namespace
}  // namespace pell::player
