#include "player/ui/properties_dialog.h"

#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include "player/catalogue/record_roots.h"
#include "player/ui/dialog_controls.h"
#include "player/ui/dialogs_test_support.h"
#include "player/ui/record_commands.h"
#include "testsupport/temp_dir.h"

namespace pell::player {
namespace {

using Roots = std::vector<std::string>;

class PropertiesDialogTest : public testing::Test {
protected:
    static void SetUpTestSuite() { test::EnsureApplication(); }

    std::unique_ptr<PropertiesDialog> Open(const Roots& roots) {
        auto dialog = std::make_unique<PropertiesDialog>(dir_.path(), roots, picker_, notifier_);
        list_ = dialog->findChild<QListWidget*>(kPathsList.objectName);
        return dialog;
    }
    void Press(QDialog& dialog, const DialogControl& button) {
        QTest::mouseClick(dialog.findChild<QPushButton*>(button.objectName), Qt::LeftButton);
    }
    void Add(QDialog& dialog, const std::string& folder) {
        picker_.answer = QString::fromStdString(folder);
        Press(dialog, kAddPathButton);
    }
    void Select(const std::string& text) {
        const auto found = list_->findItems(QString::fromStdString(text), Qt::MatchExactly);
        ASSERT_FALSE(found.isEmpty()) << text;
        QTest::mouseClick(list_->viewport(), Qt::LeftButton, {}, list_->visualItemRect(found.first()).center());
    }
    Roots Shown() const {
        Roots shown;
        for (int i = 0; i < list_->count(); ++i) shown.push_back(list_->item(i)->text().toStdString());
        return shown;
    }

    TempDir dir_;
    test::FakeFolderPicker picker_;
    test::FakeNotifier notifier_;
    QListWidget* list_ = nullptr;
    test::RowList rows_;
};

TEST_F(PropertiesDialogTest, ShowsItsControlsWithTheirTexts) {
    auto dialog = Open({});
    EXPECT_EQ(dialog->windowTitle(), "Properties");
    auto* tabs = dialog->findChild<QTabWidget*>(kPathsTab.objectName);
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->count(), 1);
    EXPECT_EQ(tabs->tabText(0), "Paths to records");
    const std::pair<DialogControl, const char*> buttons[] = {
        {kAddPathButton, "<--"}, {kRemovePathButton, "-->"}, {kCancelButton, "Cancel"}, {kOkButton, "OK"}};
    for (const auto& [control, caption] : buttons) {
        auto* button = dialog->findChild<QPushButton*>(control.objectName);
        ASSERT_NE(button, nullptr) << control.objectName;
        EXPECT_EQ(button->text(), caption);
        EXPECT_EQ(button->property("controlId").toInt(), control.id);
        EXPECT_EQ(button->isDefault(), control.id == kOkButton.id) << control.objectName;
    }
}

TEST_F(PropertiesDialogTest, OkSavesTheFoldersInAscendingOrderWithCrLf) {
    const struct {
        const char* name;
        Roots start;
        std::vector<std::string> steps;  // "add <folder>" through the picker, "select <folder>", "down", "remove"
        Roots saved;
    } cases[] = {
        {"sorted whatever the order of adding",
         {"/srv/b"},
         {"add /srv/D", "add /srv/a", "add /SRV/c"},
         {"/srv/a", "/srv/b", "/SRV/c", "/srv/D"}},
        {"the file's order is not kept", {"/z", "/m", "/a"}, {}, {"/a", "/m", "/z"}},
        {"duplicates stay", {"/srv/a"}, {"add /srv/a", "add /srv/a"}, {"/srv/a", "/srv/a", "/srv/a"}},
        {"remove after add takes the folder selected at the press",
         {"/srv/b", "/srv/c"},
         {"select /srv/b", "add /srv/a", "remove"},
         {"/srv/a", "/srv/c"}},
        {"remove after a keyboard move takes the folder moved to",
         {"/srv/a", "/srv/b", "/srv/c"},
         {"select /srv/a", "down", "remove"},
         {"/srv/a", "/srv/c"}},
        {"remove all", {"/srv/a", "/srv/b"}, {"select /srv/a", "remove", "select /srv/b", "remove"}, {}},
        {"remove twice removes one", {"/srv/a", "/srv/b"}, {"select /srv/a", "remove", "remove"}, {"/srv/b"}},
        {"remove with nothing selected does nothing", {"/srv/a"}, {"remove"}, {"/srv/a"}},
    };
    for (const auto& c : cases) {
        auto dialog = Open(c.start);
        for (const std::string& step : c.steps) {
            if (step.starts_with("add ")) Add(*dialog, step.substr(4));
            if (step.starts_with("select ")) Select(step.substr(7));
            if (step == "down") QTest::keyClick(list_, Qt::Key_Down);
            if (step == "remove") Press(*dialog, kRemovePathButton);
        }
        EXPECT_EQ(Shown(), c.saved) << c.name << ": shown before OK";
        Press(*dialog, kOkButton);
        EXPECT_EQ(dialog->result(), QDialog::Accepted) << c.name;
        EXPECT_EQ(dialog->RecordRoots(), c.saved) << c.name;
        EXPECT_EQ(dir_.Read("paths.ini"), FormatRecordRoots(c.saved)) << c.name;
        EXPECT_EQ(LoadRecordRoots(dir_.path()), c.saved) << c.name;
    }
    EXPECT_TRUE(notifier_.shown.empty());
}

TEST_F(PropertiesDialogTest, AddPreselectsTheSelectedFolderAndACancelledPickerAddsNothing) {
    auto dialog = Open({"/srv/a", "/srv/b"});
    picker_.answer.reset();
    Press(*dialog, kAddPathButton);
    Select("/srv/b");
    Press(*dialog, kAddPathButton);
    EXPECT_EQ(picker_.titles, std::vector<std::string>(2, "Choose directory to download file(s)"));
    EXPECT_EQ(picker_.preselections, (std::vector<std::string>{"", "/srv/b"}));
    EXPECT_EQ(Shown(), (Roots{"/srv/a", "/srv/b"}));
}

TEST_F(PropertiesDialogTest, CancelLeavesPathsIniAndTheRootsAsTheyWere) {
    dir_.Write("paths.ini", "/srv/b\r\n/srv/a\r\n");
    Roots roots = LoadRecordRoots(dir_.path());
    QWidget window;
    RecordCommands commands(&window, rows_, dir_.path(), {notifier_, picker_});
    const struct {
        const char* button;
        Roots roots;
        std::string file;
    } cases[] = {
        {kCancelButton.objectName, {"/srv/b", "/srv/a"}, "/srv/b\r\n/srv/a\r\n"},
        {kOkButton.objectName, {"/srv/a", "/srv/c"}, "/srv/a\r\n/srv/c\r\n"},
    };
    for (const auto& c : cases) {
        test::AnswerNextModal(&window, [&](QDialog& dialog) {
            list_ = dialog.findChild<QListWidget*>(kPathsList.objectName);
            Select("/srv/b");
            Press(dialog, kRemovePathButton);
            Add(dialog, "/srv/c");
            QTest::mouseClick(dialog.findChild<QPushButton*>(c.button), Qt::LeftButton);
        });
        EXPECT_EQ(commands.EditProperties(roots), std::string(c.button) == kOkButton.objectName) << c.button;
        EXPECT_EQ(roots, c.roots) << c.button;
        EXPECT_EQ(dir_.Read("paths.ini"), c.file) << c.button;
    }
}

TEST_F(PropertiesDialogTest, AFolderListThatCannotBeSavedIsReportedAndStillUsed) {
    PropertiesDialog dialog(dir_.File("gone"), {"/srv/a"}, picker_, notifier_);
    list_ = dialog.findChild<QListWidget*>(kPathsList.objectName);
    Add(dialog, "/srv/b");
    Press(dialog, kOkButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.RecordRoots(), (Roots{"/srv/a", "/srv/b"}));
    EXPECT_EQ(notifier_.shown, std::vector<std::string>{"stop: Could not save the list of record folders."});
}

}  // namespace
}  // namespace pell::player
