#include "player/catalogue/record_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "player/catalogue/catalogue_test_support.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

using std::chrono::year_month_day;
using test::kCentralEurope;
using test::kUtc;
using test::Layer3Audio;
using test::RecorderTag;
using test::TagString;

year_month_day Date(int y, unsigned m, unsigned d) {
    return year_month_day{std::chrono::year{y}, std::chrono::month{m}, std::chrono::day{d}};
}

// A root with recordings in some day folders; each recording is "<folder>/<name>".
class RecordTree {
public:
    void Add(const std::string& relative,
             const std::string& bytes = Layer3Audio(1) + TagString(RecorderTag("1", "L"))) {
        dir_.Write(relative, bytes);
    }
    std::string Root() const { return dir_.path(); }
    std::string File(const std::string& relative) const { return dir_.File(relative); }

private:
    TempDir dir_;
};

// "<day folder>/<file>" of each row, relative to `root`.
std::vector<std::string> Listed(const std::vector<RecordRow>& rows, const std::string& root) {
    std::vector<std::string> out;
    for (const RecordRow& row : rows) out.push_back(row.placement.substr(root.size() + 1));
    return out;
}

struct RangeCase {
    const char* name;
    year_month_day from;
    year_month_day to;
    std::vector<std::string> listed;
};

class FillRangeTest : public testing::TestWithParam<RangeCase> {};

TEST_P(FillRangeTest, ListsEachDayOfTheRangeOnceInOrder) {
    // Central European zone: summer time starts on 29.03.2009 and ends on 25.10.2009.
    test::ScopedTimeZone zone(kCentralEurope);
    RecordTree tree;
    for (const char* file :
         {"27.03.2009/a.mp3", "28.03.2009/a.mp3", "29.03.2009/a.mp3", "30.03.2009/a.mp3", "24.10.2009/a.mp3",
          "25.10.2009/a.mp3", "26.10.2009/a.mp3", "31.12.2009/a.mp3", "01.01.2010/a.mp3", "29.02.2008/a.mp3",
          "01.03.2008/a.mp3", "30.12.9999/a.mp3", "31.12.9999/a.mp3"}) {
        tree.Add(file);
    }
    const auto rows = FillRecordList({tree.Root()}, GetParam().from, GetParam().to);
    EXPECT_EQ(Listed(rows, tree.Root()), GetParam().listed);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, FillRangeTest,
    testing::Values(
        RangeCase{"FromAfterToIsEmpty", Date(2009, 3, 30), Date(2009, 3, 28), {}},
        RangeCase{"EqualDatesListOneDay", Date(2009, 3, 29), Date(2009, 3, 29), {"29.03.2009/a.mp3"}},
        RangeCase{"SpringForward",
                  Date(2009, 3, 28),
                  Date(2009, 3, 30),
                  {"28.03.2009/a.mp3", "29.03.2009/a.mp3", "30.03.2009/a.mp3"}},
        RangeCase{"FallBack",
                  Date(2009, 10, 24),
                  Date(2009, 10, 26),
                  {"24.10.2009/a.mp3", "25.10.2009/a.mp3", "26.10.2009/a.mp3"}},
        RangeCase{"AcrossTheYear", Date(2009, 12, 31), Date(2010, 1, 1), {"31.12.2009/a.mp3", "01.01.2010/a.mp3"}},
        RangeCase{"LeapDay", Date(2008, 2, 28), Date(2008, 3, 1), {"29.02.2008/a.mp3", "01.03.2008/a.mp3"}},
        RangeCase{"MissingDaysAreSkipped",
                  Date(2009, 3, 1),
                  Date(2009, 4, 30),
                  {"27.03.2009/a.mp3", "28.03.2009/a.mp3", "29.03.2009/a.mp3", "30.03.2009/a.mp3"}},
        RangeCase{
            "EndsAtTheLastDate", Date(9999, 12, 30), Date(9999, 12, 31), {"30.12.9999/a.mp3", "31.12.9999/a.mp3"}},
        RangeCase{"InvalidDateIsEmpty", Date(2009, 2, 30), Date(2009, 3, 30), {}}),
    [](const auto& info) { return info.param.name; });

TEST(FillRecordListTest, FillsEveryColumnOfARow) {
    test::ScopedTimeZone zone(kUtc);
    RecordTree tree;
    tree.Add("05.03.2009/a0000007.mp3", Layer3Audio(125) + TagString(RecorderTag("0301234", "Line 1", 'O', 1, "boss")));
    test::SetLastWrite(tree.File("05.03.2009/a0000007.mp3"), 1236262200);
    const auto rows = FillRecordList({tree.Root()}, Date(2009, 3, 5), Date(2009, 3, 5));
    ASSERT_EQ(rows.size(), 1u);
    const RecordRow expected{
        "Line 1", "05.03.2009 14:07:55", "00:02:05", "0301234", "boss", tree.File("05.03.2009/a0000007.mp3"), 2, 1};
    EXPECT_EQ(rows[0], expected);
    const char* texts[] = {"Line 1", "05.03.2009 14:07:55", "00:02:05", "0301234", "boss"};
    for (int column = 0; column < 5; ++column) EXPECT_EQ(rows[0].Text(column), texts[column]);
    EXPECT_EQ(rows[0].Text(kColumnPlacement), expected.placement);
}

TEST(FillRecordListTest, ChannelFallsBackToTheFileName) {
    RecordTree tree;
    tree.Add("05.03.2009/a.mp3", Layer3Audio(1, 128));
    tree.Add("05.03.2009/b.mp3", Layer3Audio(1) + TagString(RecorderTag("7", "")));
    const auto rows = FillRecordList({tree.Root()}, Date(2009, 3, 5), Date(2009, 3, 5));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].channel, "a.mp3");
    EXPECT_EQ(rows[0].number, "");
    EXPECT_EQ(rows[0].image, 0);
    EXPECT_EQ(rows[1].channel, "b.mp3");
    EXPECT_EQ(rows[1].number, "7");
}

TEST(FillRecordListTest, StartBeforeMidnightShowsThePreviousDayInTheFolderOfItsDay) {
    test::ScopedTimeZone zone(kCentralEurope);
    RecordTree tree;
    tree.Add("05.03.2009/a.mp3", Layer3Audio(60) + TagString(RecorderTag("1", "L")));
    test::SetLastWrite(tree.File("05.03.2009/a.mp3"), test::LocalTime(2009, 3, 5, 0, 0, 30));
    const auto rows = FillRecordList({tree.Root()}, Date(2009, 3, 5), Date(2009, 3, 5));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].date, "04.03.2009 23:59:30");
    EXPECT_TRUE(FillRecordList({tree.Root()}, Date(2009, 3, 4), Date(2009, 3, 4)).empty());
}

TEST(FillRecordListTest, ListsMp3FilesOnlyInAnyLetterCase) {
    RecordTree tree;
    for (const char* name : {"a.mp3", "B.MP3", "c.Mp3", "d.mp3.part", "e.mp4", "mp3", "f.wav"}) {
        tree.Add(std::string("05.03.2009/") + name);
    }
    std::filesystem::create_directories(tree.File("05.03.2009/folder.mp3"));
    tree.Add("05.03.2009/folder.mp3/inner.mp3");
    tree.Add("05.03.2009/sub/g.mp3");
    const auto rows = FillRecordList({tree.Root()}, Date(2009, 3, 5), Date(2009, 3, 5));
    EXPECT_EQ(Listed(rows, tree.Root()),
              (std::vector<std::string>{"05.03.2009/B.MP3", "05.03.2009/a.mp3", "05.03.2009/c.Mp3"}));
}

TEST(FillRecordListTest, FilesOfADayAreInCounterOrder) {
    RecordTree tree;
    std::vector<std::string> names;
    for (int counter = 0; counter < 40; ++counter) {
        char name[32];
        std::snprintf(name, sizeof name, "a%07d.mp3", counter * 37 % 1000);
        names.push_back(std::string("06.12.2026/") + name);
    }
    std::vector<std::string> created = names;
    std::shuffle(created.begin(), created.end(), std::mt19937(42));
    for (const auto& name : created) tree.Add(name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(Listed(FillRecordList({tree.Root()}, Date(2026, 12, 6), Date(2026, 12, 6)), tree.Root()), names);
}

TEST(FillRecordListTest, RootListedTwiceListsTwiceWithDistinctItemData) {
    RecordTree tree;
    tree.Add("05.03.2009/a.mp3", Layer3Audio(1) + TagString(RecorderTag("1", "L", 'I', 1)));
    tree.Add("05.03.2009/b.mp3", Layer3Audio(1) + TagString(RecorderTag("2", "L", 'I', 0)));
    tree.Add("06.03.2009/c.mp3", Layer3Audio(1) + TagString(RecorderTag("3", "L", 'I', 0)));
    RecordTree other;
    other.Add("06.03.2009/d.mp3", Layer3Audio(1) + TagString(RecorderTag("4", "L", 'I', 1)));
    const auto rows = FillRecordList({tree.Root(), other.Root(), "/nonexistent/root", tree.Root()}, Date(2009, 3, 5),
                                     Date(2009, 3, 6));
    std::vector<std::string> numbers;
    std::vector<int32_t> itemData;
    for (const auto& row : rows) {
        numbers.push_back(row.number);
        itemData.push_back(row.itemData);
    }
    EXPECT_EQ(numbers, (std::vector<std::string>{"1", "2", "3", "4", "1", "2", "3"}));
    EXPECT_EQ(itemData, (std::vector<int32_t>{1, 2, 4, 7, 9, 10, 12}));
    EXPECT_TRUE(rows[0].Played());
    EXPECT_FALSE(rows[1].Played());
}

TEST(FillRecordListTest, RootWithTrailingSeparatorGivesCleanPaths) {
    RecordTree tree;
    tree.Add("05.03.2009/a.mp3");
    const auto rows = FillRecordList({tree.Root() + "/"}, Date(2009, 3, 5), Date(2009, 3, 5));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].placement, tree.File("05.03.2009/a.mp3"));
}

}  // namespace
}  // namespace pell
