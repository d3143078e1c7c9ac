// "Find calls" in the player window, offscreen, on real recordings in day folders of a temporary
// record root and a real SQLite index in the program folder: the dialog, the results in the
// list with the line that says so, a call filed after a search, and the way back to the dates.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <utime.h>

#include <ctime>
#include <filesystem>
#include <fstream>

#include "player/catalogue/record_list.h"
#include "player/engine/queued_wave_out.h"
#include "player/ui/dialogs_test_support.h"
#include "player/ui/find_calls_dialog.h"
#include "player/ui/player_dialog.h"
#include "player/ui/record_list.h"
#include "testsupport/temp_dir.h"

namespace pell::player {
namespace {

QDate DaysAgo(int days) { return QDate::currentDate().addDays(-days); }

class FindCallsWindowTest : public testing::Test {
protected:
    static void SetUpTestSuite() { test::EnsureApplication(); }

    void SetUp() override {
        root_ = dir_.path() + "/records";
        std::ofstream(dir_.path() + "/paths.ini") << root_ << "\r\n";
        File(10, "a0000001.mp3", "0171 555 1234", "Line 1", "");
        File(3, "a0000002.mp3", "0207 555 9876", "Line 2", "refund agreed");
        File(0, "a0000003.mp3", "0161 222 3333", "Line 1", "");
        window_ = std::make_unique<PlayerDialog>(
            dir_.path(), PlayerDialog::Services{mixer_, [] { return std::make_unique<QueuedWaveOut>(); }, false,
                                                &notifier_, &picker_});
        ASSERT_EQ(Numbers(), std::vector<std::string>{"0161 222 3333"});
    }
    void TearDown() override { window_.reset(); }

    // A recording filed `daysAgo` at 00:30 in that day's folder.
    void File(int daysAgo, const std::string& name, const std::string& number, const std::string& line,
              const std::string& bookmark) {
        const QDate day = DaysAgo(daysAgo);
        const std::string folder =
            root_ + "/" +
            DayFolderName(std::chrono::year_month_day{std::chrono::year(day.year()),
                                                      std::chrono::month(static_cast<unsigned>(day.month())),
                                                      std::chrono::day(static_cast<unsigned>(day.day()))});
        std::filesystem::create_directories(folder);
        const std::string path = folder + "/" + name;
        test::WriteRecording(path, number, line, bookmark);
        std::tm when{};
        when.tm_year = day.year() - 1900;
        when.tm_mon = day.month() - 1;
        when.tm_mday = day.day();
        when.tm_min = 30;
        when.tm_isdst = -1;
        const utimbuf times{std::mktime(&when), std::mktime(&when)};
        ASSERT_EQ(::utime(path.c_str(), &times), 0);
    }

    std::vector<std::string> Numbers() const {
        std::vector<std::string> numbers;
        for (const RecordRow& row : window_->List().Model().Rows()) numbers.push_back(row.number);
        return numbers;
    }
    QWidget* SearchBar() const { return window_->findChild<QWidget*>("searchBar"); }
    QAction* FindCallsAction() const { return window_->findChild<QAction*>("actionFindCalls"); }

    TempDir dir_;
    std::string root_;
    test::SilentMixer mixer_;
    test::FakeNotifier notifier_;
    test::FakeFolderPicker picker_;
    std::unique_ptr<PlayerDialog> window_;
};

TEST_F(FindCallsWindowTest, TheDialogFindsANumberAcrossDaysAndBackReturnsToTheDateRange) {
    window_->show();
    ASSERT_NE(FindCallsAction(), nullptr);
    EXPECT_EQ(FindCallsAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    test::AnswerNextModal(window_.get(), [](QDialog& dialog) {
        dialog.findChild<QLineEdit*>("findNumber")->setText("555");
        QTest::mouseClick(dialog.findChild<QPushButton*>("findButton"), Qt::LeftButton);
    });
    FindCallsAction()->trigger();

    // Newest first, from every day of the root.
    EXPECT_EQ(Numbers(), (std::vector<std::string>{"0207 555 9876", "0171 555 1234"}));
    EXPECT_TRUE(window_->ShowingSearchResults());
    EXPECT_EQ(window_->SearchCaption().toStdString(), "Search results: 2 calls — number 555");
    ASSERT_TRUE(SearchBar()->isVisible());
    EXPECT_GT(window_->List().geometry().top(), SearchBar()->geometry().bottom());
    EXPECT_EQ(window_->List().Model().Rows()[0].bookmark, "refund agreed");
    EXPECT_TRUE(notifier_.shown.empty());

    // The dialog opens again on the search shown.
    std::string preset;
    test::AnswerNextModal(window_.get(), [&preset](QDialog& dialog) {
        preset = dialog.findChild<QLineEdit*>("findNumber")->text().toStdString();
    });
    FindCallsAction()->trigger();
    EXPECT_EQ(preset, "555");

    QTest::mouseClick(window_->findChild<QPushButton*>("backToDatesButton"), Qt::LeftButton);
    EXPECT_FALSE(window_->ShowingSearchResults());
    EXPECT_EQ(Numbers(), std::vector<std::string>{"0161 222 3333"});
    EXPECT_FALSE(SearchBar()->isVisible());
    EXPECT_EQ(window_->SearchCaption(), "");
    EXPECT_FALSE(window_->findChild<QAction*>("actionBackToDates")->isEnabled());
}

TEST_F(FindCallsWindowTest, AWrongFieldKeepsTheDialogOpenSayingWhichAndWhatToType) {
    QString problem;
    bool stillOpen = false;
    test::AnswerNextModal(window_.get(), [&](QDialog& dialog) {
        dialog.findChild<QLineEdit*>("findNumber")->setText("abc");
        QTest::mouseClick(dialog.findChild<QPushButton*>("findButton"), Qt::LeftButton);
        stillOpen = dialog.isVisible();
        problem = static_cast<FindCallsDialog&>(dialog).Problem();
    });
    FindCallsAction()->trigger();
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(problem.startsWith("Number: type at least one digit")) << problem.toStdString();
    EXPECT_FALSE(window_->ShowingSearchResults());
    EXPECT_EQ(Numbers(), std::vector<std::string>{"0161 222 3333"});
}

TEST_F(FindCallsWindowTest, TheDialogsDateRangeIsLocalTimeWithTheToDayWhole) {
    test::AnswerNextModal(window_.get(), [](QDialog& dialog) {
        dialog.findChild<QCheckBox*>("findFromEnabled")->setChecked(true);
        dialog.findChild<QDateTimeEdit*>("findFrom")->setDateTime(QDateTime(DaysAgo(4), QTime(0, 0)));
        dialog.findChild<QCheckBox*>("findToEnabled")->setChecked(true);
        dialog.findChild<QDateTimeEdit*>("findTo")->setDateTime(QDateTime(DaysAgo(3), QTime(0, 30)));
        QTest::mouseClick(dialog.findChild<QPushButton*>("findButton"), Qt::LeftButton);
    });
    FindCallsAction()->trigger();
    EXPECT_EQ(Numbers(), std::vector<std::string>{"0207 555 9876"});
}

struct CriteriaCase {
    const char* name;
    FindCallsForm form;
    std::vector<std::string> numbers;  // newest first
};

class FindCallsCriteriaTest : public FindCallsWindowTest, public testing::WithParamInterface<CriteriaCase> {};

TEST_P(FindCallsCriteriaTest, CriteriaCombineOverEveryDay) {
    ASSERT_TRUE(window_->FindCalls(GetParam().form)) << (notifier_.shown.empty() ? "" : notifier_.shown.back());
    EXPECT_EQ(Numbers(), GetParam().numbers);
}

INSTANTIATE_TEST_SUITE_P(
    Searches, FindCallsCriteriaTest,
    testing::Values(CriteriaCase{"Everything", {}, {"0161 222 3333", "0207 555 9876", "0171 555 1234"}},
                    CriteriaCase{"DigitsWithoutPunctuation", {.number = "5551"}, {"0171 555 1234"}},
                    CriteriaCase{"BookmarkPrefix", {.text = "ref"}, {"0207 555 9876"}},
                    CriteriaCase{"LineAndNumber", {.number = "555", .line = "line 1"}, {"0171 555 1234"}},
                    CriteriaCase{"NotPlayedAndIncoming",
                                 {.direction = CallDirection::kIncoming, .played = false},
                                 {"0161 222 3333", "0207 555 9876", "0171 555 1234"}},
                    CriteriaCase{"NothingMatches", {.number = "999", .isProtected = true}, {}}),
    [](const testing::TestParamInfo<CriteriaCase>& info) { return info.param.name; });

TEST_F(FindCallsWindowTest, RefreshInResultsSearchesAgainAndFindsACallFiledMeanwhile) {
    ASSERT_TRUE(window_->FindCalls({.number = "555"}));
    File(3, "a0000004.mp3", "0113 555 0000", "Line 2", "");
    window_->RefreshList();
    EXPECT_TRUE(window_->ShowingSearchResults());
    EXPECT_EQ(Numbers().size(), 3U);
    EXPECT_EQ(window_->SearchCaption().toStdString(), "Search results: 3 calls — number 555");
}

TEST_F(FindCallsWindowTest, ResultsSortByAColumnAndCountWhatIsLeftAfterARowGoes) {
    ASSERT_TRUE(window_->FindCalls({}));
    emit window_->List().HeaderClicked(kColumnNumber);
    EXPECT_EQ(Numbers(), (std::vector<std::string>{"0161 222 3333", "0171 555 1234", "0207 555 9876"}));
    window_->RemoveRecordRow(0);
    EXPECT_EQ(window_->SearchCaption().toStdString(), "Search results: 2 calls — all calls");
    // The chosen sort stays for the date range too.
    window_->BackToDates();
    EXPECT_EQ(Numbers(), std::vector<std::string>{"0161 222 3333"});
}

TEST_F(FindCallsWindowTest, NoRecordFolderIsSaidRatherThanAnEmptyResult) {
    std::ofstream emptied(dir_.path() + "/paths.ini", std::ios::trunc);  // no record folder is listed
    emptied.close();
    window_ = std::make_unique<PlayerDialog>(
        dir_.path(),
        PlayerDialog::Services{mixer_, [] { return std::make_unique<QueuedWaveOut>(); }, false, &notifier_, &picker_});
    EXPECT_FALSE(window_->FindCalls({.number = "555"}));
    ASSERT_EQ(notifier_.shown.size(), 1U);
    EXPECT_EQ(notifier_.shown[0].rfind("stop: There are no record folders", 0), 0U) << notifier_.shown[0];
    EXPECT_FALSE(window_->ShowingSearchResults());
}

}  // namespace
}  // namespace pell::player
