#include "configurator/app/config_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

#include "common/platform/reload_channel.h"
#include "configurator/app/about_dialog.h"
#include "configurator/app/desktop_services.h"
#include "configurator/app/recorder_options_dialog.h"
#include "common/widgets/dialog_units.h"
#include "testsupport/temp_dir.h"

namespace pell::configurator {
namespace {

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "configurator_ui_test";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) new QApplication(argc, argv);
}

bool ProcessEventsUntil(const std::function<bool()>& condition) {
    QDeadlineTimer deadline(5000);
    while (!condition() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return condition();
}

class FakeNotifier : public Notifier {
public:
    void Information(QWidget*, const QString& text) override { shown.push_back("info: " + S(text)); }
    void Warning(QWidget*, const QString& text) override { shown.push_back("warning: " + S(text)); }
    static std::string S(const QString& t) { return t.toStdString(); }
    std::vector<std::string> shown;
};

class FakeFolderPicker : public FolderPicker {
public:
    std::optional<QString> PickFolder(QWidget*, const QString& title, const QString& preselected) override {
        titles.push_back(title.toStdString());
        preselections.push_back(preselected.toStdString());
        return answer;
    }
    std::vector<std::string> titles;
    std::vector<std::string> preselections;
    std::optional<QString> answer;
};

class FakeRecorder : public RecorderSignalPort {
public:
    RunOutcome RunRestartProgram(const std::vector<std::string>& arguments, const std::string&) override {
        calls.push_back("run " + arguments[0] + " " + arguments[1]);
        return RunOutcome::kFinished;
    }
    bool StartRestartProgram(const std::vector<std::string>& arguments, const std::string&) override {
        calls.push_back("start " + arguments[0] + " " + arguments[1]);
        return true;
    }
    bool SendReload() override {
        calls.push_back("reload");
        return true;
    }
    std::vector<std::string> calls;
};

template <class Widget>
Widget* Find(const QWidget& parent, const ControlId& id) {
    auto* widget = parent.findChild<Widget*>(id.objectName);
    EXPECT_NE(widget, nullptr) << id.objectName;
    return widget;
}

// What a user's choice in a drop list does.
void Pick(QComboBox* list, const QString& item) {
    const int index = list->findText(item, Qt::MatchExactly);
    ASSERT_GE(index, 0) << item.toStdString();
    list->setCurrentIndex(index);
    emit list->activated(index);
}

// A save tells the user, in a line of our own, when the running recorder takes the settings.
const std::string kSavedInfo =
    "info: Settings were saved successfully\n\nThe running recorder takes them when Pell2CFG is closed.";

void Type(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

class ConfigDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureApplication(); }

    std::unique_ptr<ConfigDialog> Open() {
        return std::make_unique<ConfigDialog>(dir_.path(), ConfigDialogServices{notifier_, picker_, recorder_});
    }
    void Click(const QWidget& dialog, const ControlId& id) {
        QTest::mouseClick(Find<QPushButton>(dialog, id), Qt::LeftButton);
    }
    std::string Settings() const { return dir_.Read("settings.ini"); }
    bool SettingsHas(const std::string& line) const {
        return Settings().find("\n" + line + "\r\n") != std::string::npos;
    }

    TempDir dir_;
    FakeNotifier notifier_;
    FakeFolderPicker picker_;
    FakeRecorder recorder_;
};

// Every control of the window: its id, widget class and caption (its label's, or its own).
struct ControlCase {
    ControlId id;
    const char* className;
    const char* caption;
};

void PrintTo(const ControlCase& c, std::ostream* os) { *os << c.id.objectName; }

std::vector<ControlCase> AllControls() {
    std::vector<ControlCase> out = {
        {kSaveButton, "QPushButton", "Save"},
        {kExitButton, "QPushButton", "Exit"},
        {kOptionsButton, "QPushButton", "&Alarms, e-mail..."},
        {kDeviceEdit, "QLineEdit", "Device:"},
        {kDeviceNumberList, "QComboBox", "Device number:"},
        {kSampleRateCombo, "QComboBox", "Input samplerate, Hz:"},
        {kAutocleaningList, "QComboBox", "Autocleaning:"},
        {kMinDiskSizeEdit, "QLineEdit", "Min disk size, MB:"},
    };
    for (size_t n = 0; n < 2; ++n) {
        out.push_back({kActiveCheck[n], "QCheckBox", "Active"});
        out.push_back({kDescriptionEdit[n], "QLineEdit", "Description:"});
        out.push_back({kFolderEdit[n], "QLineEdit", "Folder:"});
        out.push_back({kBrowseButton[n], "QPushButton", "..."});
        out.push_back({kPrefixList[n], "QComboBox", "File prefix:"});
        out.push_back({kClipList[n], "QComboBox", "CLIP:"});
        out.push_back({kGainList[n], "QComboBox", "Sound gain:"});
        out.push_back({kSignalControlList[n], "QComboBox", "Signal control:"});
        out.push_back({kStartLevelList[n], "QComboBox", "Start level:"});
        out.push_back({kStopAfterCombo[n], "QComboBox", "Stop if silence after, s:"});
        out.push_back({kBitrateList[n], "QComboBox", "MP3 bitrate:"});
        out.push_back({kMinFileSizeEdit[n], "QLineEdit", "Min file size, KB:"});
        out.push_back({kMaxFileSizeEdit[n], "QLineEdit", "Max file size, MB:"});
    }
    return out;
}

class ControlTableTest : public ConfigDialogTest, public ::testing::WithParamInterface<ControlCase> {};

TEST_P(ControlTableTest, ControlCarriesItsIdAndCaption) {
    const ControlCase& c = GetParam();
    auto dialog = Open();
    QWidget* widget = Find<QWidget>(*dialog, c.id);
    ASSERT_NE(widget, nullptr);
    EXPECT_TRUE(widget->inherits(c.className)) << widget->metaObject()->className();
    EXPECT_EQ(widget->property("controlId").toInt(), c.id.id);
    QString caption;
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        caption = button->text();
    } else {
        auto* label = dialog->findChild<QLabel*>(QString(c.id.objectName) + "Label");
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->buddy(), widget);
        caption = label->text();
    }
    EXPECT_EQ(caption.toStdString(), c.caption);
}

INSTANTIATE_TEST_SUITE_P(Controls, ControlTableTest, ::testing::ValuesIn(AllControls()));

struct ListCase {
    ControlId id;
    const std::vector<std::string>* items;
    bool editable;
};

void PrintTo(const ListCase& c, std::ostream* os) { *os << c.id.objectName; }

class DropListItemsTest : public ConfigDialogTest, public ::testing::WithParamInterface<ListCase> {};

TEST_P(DropListItemsTest, ListHoldsItsItemsInOrder) {
    auto dialog = Open();
    auto* list = Find<QComboBox>(*dialog, GetParam().id);
    ASSERT_NE(list, nullptr);
    std::vector<std::string> shown;
    for (int i = 0; i < list->count(); ++i) shown.push_back(list->itemText(i).toStdString());
    EXPECT_EQ(shown, *GetParam().items);
    EXPECT_EQ(list->isEditable(), GetParam().editable);
}

INSTANTIATE_TEST_SUITE_P(Lists, DropListItemsTest,
                         ::testing::Values(ListCase{kDeviceNumberList, &items::DeviceNumber(), false},
                                           ListCase{kSampleRateCombo, &items::SampleRate(), true},
                                           ListCase{kAutocleaningList, &items::Autocleaning(), false},
                                           ListCase{kPrefixList[0], &items::Prefix(), false},
                                           ListCase{kPrefixList[1], &items::Prefix(), false},
                                           ListCase{kClipList[1], &items::Clip(), false},
                                           ListCase{kGainList[0], &items::Gain(), false},
                                           ListCase{kSignalControlList[1], &items::SignalControl(), false},
                                           ListCase{kStartLevelList[0], &items::StartLevel(), false},
                                           ListCase{kStopAfterCombo[1], &items::StopAfter(), true},
                                           ListCase{kBitrateList[0], &items::Bitrate(), false}));

TEST_F(ConfigDialogTest, WindowHasItsTitleIconFontSizeAndDefaultButton) {
    auto dialog = Open();
    EXPECT_EQ(dialog->windowTitle(), "Pell2CFG");
    EXPECT_FALSE(dialog->windowIcon().isNull());
    EXPECT_FALSE(dialog->windowIcon().pixmap(32, 32).isNull());
    EXPECT_EQ(dialog->font().pointSize(), 8);
    const QSize dialogTemplate = DialogUnitsToPixels(BaseUnitsOf(dialog->font()), 355, 325);
    EXPECT_GE(dialog->width(), dialogTemplate.width());
    EXPECT_GE(dialog->height(), dialogTemplate.height());
    EXPECT_LE(dialog->width(), dialogTemplate.width() * 5 / 4);  // the template's shape, not a sprawl
    EXPECT_TRUE(Find<QPushButton>(*dialog, kSaveButton)->isDefault());
}

TEST_F(ConfigDialogTest, FreshSystemShowsTheListedValuesAndSavesThem) {
    auto dialog = Open();
    dialog->show();
    EXPECT_EQ(Find<QComboBox>(*dialog, kDeviceNumberList)->currentText(), "1");
    EXPECT_EQ(Find<QComboBox>(*dialog, kAutocleaningList)->currentText(), "On");
    EXPECT_EQ(Find<QLineEdit>(*dialog, kMinDiskSizeEdit)->text(), "100");
    EXPECT_EQ(Find<QComboBox>(*dialog, kSampleRateCombo)->currentText(), "8000");
    EXPECT_EQ(Find<QLineEdit>(*dialog, kDeviceEdit)->text(), "");
    EXPECT_TRUE(Find<QCheckBox>(*dialog, kActiveCheck[0])->isChecked());
    EXPECT_FALSE(Find<QCheckBox>(*dialog, kActiveCheck[1])->isChecked());
    for (size_t n = 0; n < 2; ++n) {
        EXPECT_EQ(Find<QComboBox>(*dialog, kGainList[n])->currentText(), "1");
        EXPECT_EQ(Find<QComboBox>(*dialog, kSignalControlList[n])->currentText(), "HID");
        EXPECT_FALSE(Find<QComboBox>(*dialog, kStartLevelList[n])->isEnabled());
        EXPECT_EQ(Find<QComboBox>(*dialog, kStartLevelList[n])->currentText(), "5");
        EXPECT_EQ(Find<QComboBox>(*dialog, kClipList[n])->currentText(), "None");
        EXPECT_EQ(Find<QComboBox>(*dialog, kBitrateList[n])->currentText(), "24");
        EXPECT_EQ(Find<QComboBox>(*dialog, kStopAfterCombo[n])->currentText(), "10");
        EXPECT_EQ(Find<QComboBox>(*dialog, kPrefixList[n])->currentText(), n == 0 ? "a" : "b");
        EXPECT_EQ(Find<QLineEdit>(*dialog, kFolderEdit[n])->text(), "");
        EXPECT_EQ(Find<QLineEdit>(*dialog, kDescriptionEdit[n])->text(), "");
    }

    Click(*dialog, kSaveButton);
    EXPECT_EQ(notifier_.shown, std::vector<std::string>{kSavedInfo});
    EXPECT_TRUE(dialog->settingsSaved());
    EXPECT_TRUE(dialog->isVisible());  // Save keeps the dialog open
    for (const char* line :
         {"number=1", "cleaning=1", "free_disk_space=100", "exists=1", "exists=0", "samplerate=8000"}) {
        EXPECT_TRUE(SettingsHas(line)) << line;
    }
    const std::string file = Settings();
    for (const char* line : {"gain=2", "sensitive_control=0", "clip=0", "bitrate=24"}) {
        const size_t first = file.find(std::string("\n") + line + "\r\n");
        ASSERT_NE(first, std::string::npos) << line;
        EXPECT_NE(file.find(std::string("\n") + line + "\r\n", first + 1), std::string::npos) << line;
    }
}

TEST_F(ConfigDialogTest, ReturnInAFieldSavesAndKeepsTheDialogOpen) {
    const ControlId fields[] = {kDescriptionEdit[0], kMinDiskSizeEdit, kSampleRateCombo, kStopAfterCombo[1],
                                kDeviceEdit};
    for (const ControlId& field : fields) {
        auto dialog = Open();
        dialog->show();
        QWidget* control = Find<QWidget>(*dialog, field);
        auto* combo = qobject_cast<QComboBox*>(control);
        auto* edit = combo != nullptr ? combo->lineEdit() : qobject_cast<QLineEdit*>(control);
        ASSERT_NE(edit, nullptr) << field.objectName;
        edit->setFocus();
        QTest::keyClicks(edit, "7");
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_TRUE(dialog->settingsSaved()) << field.objectName;
        EXPECT_TRUE(dialog->isVisible()) << field.objectName;
    }
    EXPECT_EQ(notifier_.shown.size(), std::size(fields));
    EXPECT_TRUE(SettingsHas("device=7"));
    EXPECT_TRUE(SettingsHas("samplerate=80007"));
    EXPECT_TRUE(SettingsHas("end_of_file=107"));
    EXPECT_TRUE(recorder_.calls.empty());
}

// Return on a focused button presses that button, as in any dialog; only elsewhere does it
// fall to "Save".
TEST_F(ConfigDialogTest, ReturnOnAFocusedButtonPressesThatButton) {
    struct Case {
        ControlId button;
        bool expectSaved;
        bool expectVisible;
        size_t expectPickerOpened;
    };
    const Case cases[] = {
        {kSaveButton, true, true, 0},
        {kExitButton, false, false, 0},
        {kBrowseButton[0], false, true, 1},
        {kBrowseButton[1], false, true, 1},
    };
    for (const Case& c : cases) {
        picker_.titles.clear();
        auto dialog = Open();
        dialog->show();
        auto* button = Find<QPushButton>(*dialog, c.button);
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Return);
        EXPECT_EQ(dialog->settingsSaved(), c.expectSaved) << c.button.objectName;
        EXPECT_EQ(dialog->isVisible(), c.expectVisible) << c.button.objectName;
        EXPECT_EQ(picker_.titles.size(), c.expectPickerOpened) << c.button.objectName;
    }
    EXPECT_TRUE(recorder_.calls.empty());

    // Once focus has left "Exit" for a field, Return saves again.
    auto dialog = Open();
    dialog->show();
    QApplication::setActiveWindow(dialog.get());
    ASSERT_TRUE(ProcessEventsUntil([&] { return dialog->focusWidget() != nullptr; }));
    auto* exit = Find<QPushButton>(*dialog, kExitButton);
    exit->setFocus();
    EXPECT_TRUE(exit->isDefault());
    auto* description = Find<QLineEdit>(*dialog, kDescriptionEdit[0]);
    description->setFocus();
    QTest::keyClick(description, Qt::Key_Return);
    EXPECT_TRUE(dialog->settingsSaved());
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(ConfigDialogTest, FocusStartsAtTheDeviceAndTabEndsAtTheButtons) {
    auto dialog = Open();
    dialog->show();
    QApplication::setActiveWindow(dialog.get());
    ASSERT_TRUE(ProcessEventsUntil([&] { return dialog->focusWidget() != nullptr; }));
    EXPECT_EQ(dialog->focusWidget()->objectName(), "deviceEdit");
    std::vector<std::string> chain;
    for (QWidget* w = dialog->focusWidget()->nextInFocusChain(); w != dialog->focusWidget();
         w = w->nextInFocusChain()) {
        if (w->property("controlId").isValid()) chain.push_back(w->objectName().toStdString());
    }
    ASSERT_GE(chain.size(), 6u);
    EXPECT_EQ(chain[4], "activeCheck1");
    EXPECT_EQ(chain[chain.size() - 2], "saveButton");
    EXPECT_EQ(chain.back(), "exitButton");
}

TEST_F(ConfigDialogTest, GainOffRoundTripsAsUnityGain) {
    {
        auto dialog = Open();
        Pick(Find<QComboBox>(*dialog, kGainList[1]), "Off");
        Click(*dialog, kSaveButton);
    }
    const std::string file = Settings();
    EXPECT_NE(file.find("[channel2]\r\nexists=0\r\nstereo=0\r\npreffix=b\r\ngain=1\r\n"), std::string::npos);
    auto reopened = Open();
    EXPECT_EQ(Find<QComboBox>(*reopened, kGainList[1])->currentText(), "Off");
    EXPECT_EQ(Find<QComboBox>(*reopened, kGainList[0])->currentText(), "1");
}

TEST_F(ConfigDialogTest, FileSizesAndValuesNoListHoldSurviveAnUnchangedSave) {
    dir_.Write("settings.ini",
               "[channel1]\r\nmin_file_length=40\r\nmax_file_length=20\r\ngain=17\r\nbitrate=12\r\n"
               "preffix=ab\r\n[common]\r\nsamplerate=11025\r\n");
    auto dialog = Open();
    EXPECT_EQ(Find<QLineEdit>(*dialog, kMinFileSizeEdit[0])->text(), "40");
    EXPECT_EQ(Find<QLineEdit>(*dialog, kMaxFileSizeEdit[0])->text(), "20");
    EXPECT_EQ(Find<QComboBox>(*dialog, kGainList[0])->currentIndex(), -1);
    EXPECT_EQ(Find<QComboBox>(*dialog, kBitrateList[0])->currentText(), "128");
    EXPECT_EQ(Find<QComboBox>(*dialog, kSampleRateCombo)->currentText(), "11025");
    Click(*dialog, kSaveButton);
    for (const char* line :
         {"min_file_length=40", "max_file_length=20", "gain=17", "bitrate=12", "preffix=ab", "samplerate=11025"}) {
        EXPECT_TRUE(SettingsHas(line)) << line << "\n" << Settings();
    }
}

TEST_F(ConfigDialogTest, SignalControlEnablesStartLevelForVoxOnly) {
    dir_.Write("settings.ini", "[channel1]\r\nsensitive_control=1\r\n");
    auto dialog = Open();
    auto* level1 = Find<QComboBox>(*dialog, kStartLevelList[0]);
    auto* level2 = Find<QComboBox>(*dialog, kStartLevelList[1]);
    EXPECT_TRUE(level1->isEnabled());
    EXPECT_FALSE(level2->isEnabled());

    Pick(Find<QComboBox>(*dialog, kSignalControlList[1]), "VOX");
    EXPECT_TRUE(level2->isEnabled());
    Pick(Find<QComboBox>(*dialog, kSignalControlList[0]), "HID");
    EXPECT_FALSE(level1->isEnabled());
    EXPECT_TRUE(level2->isEnabled());
}

TEST_F(ConfigDialogTest, BrowsePreselectsTheLastExchangedFolderNotTheTypedOne) {
    dir_.Write("settings.ini", "[channel1]\r\ndrop_folder=/calls/one\r\n[channel2]\r\ndrop_folder=/calls/two\r\n");
    auto dialog = Open();
    for (size_t n = 0; n < 2; ++n) {
        const std::string fromFile = n == 0 ? "/calls/one" : "/calls/two";
        auto* folder = Find<QLineEdit>(*dialog, kFolderEdit[n]);
        Type(folder, "/typed");
        picker_.answer = std::nullopt;
        Click(*dialog, kBrowseButton[n]);
        EXPECT_EQ(picker_.titles.back(), text::kBrowseTitle[n]);
        EXPECT_EQ(picker_.preselections.back(), fromFile);
        EXPECT_EQ(folder->text(), "/typed");  // cancel changes nothing

        picker_.answer = QString("/picked");
        Click(*dialog, kBrowseButton[n]);
        EXPECT_EQ(folder->text(), "/picked");
        EXPECT_EQ(dialog->members().channels[n].folder, fromFile);

        // A signal-control change exchanges the controls, so the picked folder becomes the member.
        Pick(Find<QComboBox>(*dialog, kSignalControlList[n]), "VOX");
        Click(*dialog, kBrowseButton[n]);
        EXPECT_EQ(picker_.preselections.back(), "/picked");
    }
}

TEST_F(ConfigDialogTest, MinDiskSizeThatIsNoWholeNumberIsRefusedWithFocus) {
    auto dialog = Open();
    dialog->show();
    auto* minDisk = Find<QLineEdit>(*dialog, kMinDiskSizeEdit);
    Type(minDisk, "lots");
    Click(*dialog, kSaveButton);
    EXPECT_EQ(notifier_.shown, std::vector<std::string>{"warning: Please enter an integer."});
    EXPECT_EQ(dialog->focusWidget(), minDisk);
    EXPECT_FALSE(std::filesystem::exists(dir_.File("settings.ini")));
    EXPECT_FALSE(dialog->settingsSaved());
    Click(*dialog, kExitButton);
    EXPECT_TRUE(recorder_.calls.empty());
}

TEST_F(ConfigDialogTest, FailedWriteSaysSoAndSignalsNothing) {
    std::filesystem::create_directories(dir_.File("settings.ini/occupied"));
    auto dialog = Open();
    Click(*dialog, kSaveButton);
    ASSERT_EQ(notifier_.shown.size(), 1u);
    EXPECT_EQ(notifier_.shown[0], std::string("warning: ") + text::kNotSaved);
    EXPECT_FALSE(dialog->settingsSaved());
    Click(*dialog, kExitButton);
    EXPECT_TRUE(recorder_.calls.empty());
}

TEST_F(ConfigDialogTest, UncreatableFileIsSilent) {
    ConfigDialog dialog(dir_.File("no/such/folder"), {notifier_, picker_, recorder_});
    QTest::mouseClick(Find<QPushButton>(dialog, kSaveButton), Qt::LeftButton);
    EXPECT_TRUE(notifier_.shown.empty());
    EXPECT_FALSE(dialog.settingsSaved());
}

enum class ExitBy { kButton, kEscape, kCloseBox };

struct ExitCase {
    const char* name;
    bool save;
    bool marker;
    ExitBy by;
    std::vector<std::string> expectedCalls;
};

void PrintTo(const ExitCase& c, std::ostream* os) { *os << c.name; }

class ExitTest : public ConfigDialogTest, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(ExitTest, RecorderIsSignalledOnceAndOnlyAfterASave) {
    const ExitCase& c = GetParam();
    if (c.marker) dir_.Write("PellRecorder.sys", "");
    auto dialog = Open();
    dialog->show();
    if (c.save) Click(*dialog, kSaveButton);
    switch (c.by) {
        case ExitBy::kButton:
            Click(*dialog, kExitButton);
            break;
        case ExitBy::kEscape:
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
            break;
        case ExitBy::kCloseBox:
            dialog->close();
            break;
    }
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    dialog->close();  // a second way out signals nothing more
    EXPECT_EQ(recorder_.calls, c.expectedCalls);
}

INSTANTIATE_TEST_SUITE_P(Ways, ExitTest,
                         ::testing::Values(ExitCase{"exit without save", false, false, ExitBy::kButton, {}},
                                           ExitCase{"escape without save, marker", false, true, ExitBy::kEscape, {}},
                                           ExitCase{"save then exit", true, false, ExitBy::kButton, {"reload"}},
                                           ExitCase{"save then close box", true, false, ExitBy::kCloseBox, {"reload"}},
                                           ExitCase{"save then escape, marker",
                                                    true,
                                                    true,
                                                    ExitBy::kEscape,
                                                    {"run -k _PellRecorder", "start -r _PellRecorder"}},
                                           ExitCase{"save then exit, marker",
                                                    true,
                                                    true,
                                                    ExitBy::kButton,
                                                    {"run -k _PellRecorder", "start -r _PellRecorder"}}));

TEST_F(ConfigDialogTest, SystemMenuOpensTheAboutBox) {
    auto dialog = Open();
    dialog->show();
    std::vector<std::string> menuItems;
    std::string aboutTitle, aboutText, aboutButton;
    bool aboutIcon = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* about = qobject_cast<AboutDialog*>(QApplication::activeModalWidget())) {
            aboutTitle = about->windowTitle().toStdString();
            aboutText = about->findChild<QLabel*>("aboutText")->text().toStdString();
            aboutButton = about->findChild<QPushButton*>("aboutOkButton")->text().toStdString();
            aboutIcon = !about->findChild<QLabel*>("aboutIcon")->pixmap().isNull();
            QTest::mouseClick(about->findChild<QPushButton*>("aboutOkButton"), Qt::LeftButton);
        } else if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* a : menu->actions()) menuItems.push_back(a->text().toStdString());
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        }
    });
    poll.start();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), dialog->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(dialog.get(), &event);
    poll.stop();

    EXPECT_EQ(menuItems, std::vector<std::string>{"&About Pell2CFG..."});
    EXPECT_EQ(aboutTitle, "About Pell2CFG");
    EXPECT_EQ(aboutText, "Pell2CFG Version 1.0");
    EXPECT_EQ(aboutButton, "OK");
    EXPECT_TRUE(aboutIcon);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(recorder_.calls.empty());
}

// The real ways out: the reload channel and the outside restart program.
class DesktopExitTest : public ConfigDialogTest {
protected:
    QString Channel() const { return QString::fromStdString(dir_.File("reload.sock")); }

    void WriteRestartProgram(const char* stopSeconds) {
        dir_.Write("_PellRecorder", std::string("#!/bin/sh\necho \"start $*\" >> calls.log\n"
                                                "[ \"$1\" = -k ] && sleep ") +
                                        stopSeconds + "\necho \"end $*\" >> calls.log\n");
        std::filesystem::permissions(dir_.File("_PellRecorder"), std::filesystem::perms::owner_all);
        dir_.Write("PellRecorder.sys", "");
    }

    void SaveAndExit(RecorderSignalPort& recorder, bool save) {
        ConfigDialog dialog(dir_.path(), {notifier_, picker_, recorder});
        if (save) QTest::mouseClick(Find<QPushButton>(dialog, kSaveButton), Qt::LeftButton);
        QTest::mouseClick(Find<QPushButton>(dialog, kExitButton), Qt::LeftButton);
    }
};

TEST_F(DesktopExitTest, OneSaveAndExitDeliversExactlyOneReloadAndNoSaveNone) {
    ReloadReceiver receiver(Channel());
    ASSERT_EQ(receiver.Listen(), ReloadReceiver::ListenResult::kListening);
    QSignalSpy spy(&receiver, &ReloadReceiver::reloadRequested);
    DesktopRecorderSignals recorder(Channel());

    for (bool save : {false, true}) {
        const int before = static_cast<int>(spy.count());
        SaveAndExit(recorder, save);
        // A request of the test's own marks the end of what the configurator sent.
        ASSERT_TRUE(SendReload(Channel()));
        ASSERT_TRUE(ProcessEventsUntil([&] { return spy.count() >= before + (save ? 2 : 1); }));
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        EXPECT_EQ(spy.count() - before - 1, save ? 1 : 0) << (save ? "save" : "no save");
    }
}

TEST_F(DesktopExitTest, RestartProgramStopsBeforeItStartsAgain) {
    WriteRestartProgram("0.2");
    ReloadReceiver receiver(Channel());
    ASSERT_EQ(receiver.Listen(), ReloadReceiver::ListenResult::kListening);
    QSignalSpy spy(&receiver, &ReloadReceiver::reloadRequested);
    DesktopRecorderSignals recorder(Channel());
    SaveAndExit(recorder, true);

    ASSERT_TRUE(ProcessEventsUntil([&] {
        return std::filesystem::exists(dir_.File("calls.log")) &&
               dir_.Read("calls.log").find("end -r") != std::string::npos;
    }));
    EXPECT_EQ(dir_.Read("calls.log"),
              "start -k _PellRecorder\nend -k _PellRecorder\nstart -r _PellRecorder\n"
              "end -r _PellRecorder\n");
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(DesktopExitTest, StopThatNeverEndsStartsNoSecondRecorder) {
    WriteRestartProgram("2");
    DesktopRecorderSignals recorder(Channel(), 200);
    SaveAndExit(recorder, true);
    EXPECT_EQ(dir_.Read("calls.log"), "start -k _PellRecorder\n");
    ASSERT_EQ(notifier_.shown.size(), 2u);
    EXPECT_EQ(notifier_.shown[1], std::string("warning: ") + text::kRestartStuck);
}

TEST_F(DesktopExitTest, MissingRestartProgramFailsSilently) {
    dir_.Write("PellRecorder.sys", "");
    DesktopRecorderSignals recorder(Channel(), 2000);
    EXPECT_EQ(recorder.RunRestartProgram(kStopArguments, dir_.path()), RunOutcome::kFailedToStart);
    SaveAndExit(recorder, true);
    EXPECT_EQ(notifier_.shown, std::vector<std::string>{kSavedInfo});
}

TEST_F(ConfigDialogTest, FolderFieldsShowThePackagePathWholeAndTheEndOfALongerOne) {
    const std::string longPath = "/srv/office/telephone/recordings/reception/line-one-incoming";
    dir_.Write(
        "settings.ini",
        "[channel1]\r\ndrop_folder=/var/lib/pell/recordings/line1\r\n[channel2]\r\ndrop_folder=" + longPath + "\r\n");
    auto dialog = Open();
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    auto* packaged = Find<QLineEdit>(*dialog, kFolderEdit[0]);
    EXPECT_GE(packaged->width(), packaged->fontMetrics().horizontalAdvance(packaged->text()) + 8)
        << "field " << packaged->width() << " px";
    auto* longer = Find<QLineEdit>(*dialog, kFolderEdit[1]);
    EXPECT_EQ(longer->cursorPosition(), longer->text().size());  // the folder's own name is what shows
    EXPECT_EQ(longer->toolTip().toStdString(), longPath);

    picker_.answer = QString::fromStdString(longPath + "/2027");
    Click(*dialog, kBrowseButton[0]);
    EXPECT_EQ(packaged->cursorPosition(), packaged->text().size());
    EXPECT_EQ(packaged->toolTip().toStdString(), longPath + "/2027");
}

class RecorderOptionsDialogTest : public ConfigDialogTest {
protected:
    static void Set(const QWidget& dialog, const ControlId& id, const QString& text) {
        Find<QLineEdit>(dialog, id)->setText(text);
    }
};

TEST_F(RecorderOptionsDialogTest, SaveWritesRecorderIniAloneAndSaysWhenTheRecorderTakesIt) {
    const std::string settings = "[common]\r\ndevice=USB Audio\r\n";
    dir_.Write("settings.ini", settings);
    RecorderOptionsDialog dialog(dir_.path(), notifier_);
    EXPECT_EQ(Find<QLineEdit>(dialog, kReminderHoursEdit)->text(), "24");
    EXPECT_EQ(Find<QLineEdit>(dialog, kMailPasswordEdit)->echoMode(), QLineEdit::Password);
    Set(dialog, kMailServerEdit, "smtp://127.0.0.1:2525");
    Set(dialog, kMailFromEdit, "recorder@example.com");
    Set(dialog, kMailToEdit, "office@example.com");
    Set(dialog, kDeleteAfterDaysEdit[1], "365");
    QTest::mouseClick(Find<QPushButton>(dialog, kOptionsSaveButton), Qt::LeftButton);

    EXPECT_TRUE(dialog.saved());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(notifier_.shown,
              (std::vector<std::string>{"info: Alarms, e-mail and keeping recordings were saved in recorder.ini.\n\n"
                                        "The running recorder takes them when Pell2CFG is closed."}));
    const RecorderOptions saved = LoadRecorderOptions(dir_.path());
    EXPECT_TRUE(saved.mail.Enabled());
    EXPECT_EQ(saved.lines[1].deleteAfterDays, 365);
    EXPECT_EQ(dir_.Read("settings.ini"), settings);
}

TEST_F(RecorderOptionsDialogTest, RefusedFieldTakesTheFocusAndNothingIsWritten) {
    RecorderOptionsDialog dialog(dir_.path(), notifier_);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.activateWindow();
    Set(dialog, kKeepDaysEdit[0], "90");
    Set(dialog, kDeleteAfterDaysEdit[0], "30");
    QTest::mouseClick(Find<QPushButton>(dialog, kOptionsSaveButton), Qt::LeftButton);
    ASSERT_EQ(notifier_.shown.size(), 1u);
    EXPECT_NE(notifier_.shown[0].find("warning: Line 1, \"Delete recordings after, days\""), std::string::npos)
        << notifier_.shown[0];
    EXPECT_FALSE(dialog.saved());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(std::filesystem::exists(dir_.File("recorder.ini")));
    EXPECT_EQ(QApplication::focusWidget(), Find<QLineEdit>(dialog, kDeleteAfterDaysEdit[0]));
}

TEST_F(RecorderOptionsDialogTest, AFileTheRecorderRefusedPartlyIsShownWithItsMessage) {
    dir_.Write("recorder.ini", "[line2]\nkeep_days=30d\nno_call_days=2\n");
    RecorderOptionsDialog dialog(dir_.path(), notifier_);
    auto* problems = dialog.findChild<QLabel*>("optionsLoadProblems");
    ASSERT_NE(problems, nullptr);
    EXPECT_TRUE(problems->text().contains("keep_days=30d")) << problems->text().toStdString();
    EXPECT_EQ(Find<QLineEdit>(dialog, kKeepDaysEdit[1])->text(), "0");
    EXPECT_EQ(Find<QLineEdit>(dialog, kNoCallDaysEdit[1])->text(), "2");
}

TEST_F(ConfigDialogTest, SavedRecorderIniAloneMakesTheRecorderReloadAtExit) {
    auto dialog = Open();
    QTimer::singleShot(0, [this] {
        QWidget* options = QApplication::activeModalWidget();
        ASSERT_NE(options, nullptr);
        ASSERT_EQ(options->objectName(), "recorderOptionsDialog");
        Find<QLineEdit>(*options, kNoCallDaysEdit[0])->setText("3");
        QTest::mouseClick(Find<QPushButton>(*options, kOptionsSaveButton), Qt::LeftButton);
    });
    Click(*dialog, kOptionsButton);
    EXPECT_EQ(LoadRecorderOptions(dir_.path()).lines[0].noCallDays, 3);
    EXPECT_FALSE(std::filesystem::exists(dir_.File("settings.ini")));
    EXPECT_FALSE(dialog->settingsSaved());
    Click(*dialog, kExitButton);
    EXPECT_EQ(recorder_.calls, std::vector<std::string>{"reload"});
}

}  // namespace
}  // namespace pell::configurator
