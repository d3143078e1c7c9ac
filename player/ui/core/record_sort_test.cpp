#include "player/ui/core/record_sort.h"

#include <gtest/gtest.h>

namespace pell {
namespace {

RecordRow Row(std::string date, std::string duration, std::string number, std::int32_t itemData) {
    RecordRow row;
    row.channel = "Line 1";
    row.date = std::move(date);
    row.duration = std::move(duration);
    row.number = std::move(number);
    row.placement = "/r/" + std::to_string(itemData) + ".mp3";
    row.itemData = itemData;
    return row;
}

std::vector<std::int32_t> Order(const std::vector<RecordRow>& rows) {
    std::vector<std::int32_t> order;
    for (const RecordRow& row : rows) order.push_back(row.itemData);
    return order;
}

TEST(RecordSortTest, HeaderClicksAlternateOnTheSameColumnAndRestartAscendingOnAnother) {
    struct Case {
        SortState before;
        int column;
        SortState after;
    };
    const Case cases[] = {
        {{-1, false}, 1, {1, false}}, {{1, false}, 1, {1, true}},  {{1, true}, 1, {1, false}},
        {{1, true}, 2, {2, false}},   {{2, false}, 1, {1, false}},
    };
    for (const Case& c : cases) {
        const SortState s = NextSortState(c.before, c.column);
        EXPECT_EQ(s.column, c.after.column);
        EXPECT_EQ(s.descending, c.after.descending) << c.before.column << "->" << c.column;
    }
}

TEST(RecordSortTest, DateKeysFollowTheCalendarAndShortTextsStayAsTheyAre) {
    EXPECT_EQ(DateSortKey("31.12.2008 23:59:59"), "2008123123:59:59");
    EXPECT_EQ(DateSortKey(""), "");
    EXPECT_EQ(DateSortKey("01.01.2009"), "01.01.2009");
    EXPECT_EQ(DateSortKey("01.01.2009 10:00:0"), "01.01.2009 10:00:0");
}

TEST(RecordSortTest, ColumnsSortByTheirTextAscendingThenDescending) {
    const std::vector<RecordRow> rows = {
        Row("01.01.2009 00:00:01", "00:10:00", "9", 0),
        Row("31.12.2008 23:59:59", "00:09:59", "10", 2),
        Row("", "00:00:00", "", 4),  // unreadable file: empty date
        Row("15.06.2008 12:00:00", "01:00:00", "100", 6),
    };
    struct Case {
        const char* name;
        SortState state;
        std::vector<std::int32_t> order;
    };
    const Case cases[] = {
        {"date across years", {kColumnDate, false}, {4, 6, 2, 0}},
        {"date descending", {kColumnDate, true}, {0, 2, 6, 4}},
        {"durations", {kColumnDuration, false}, {4, 2, 0, 6}},
        {"numbers as text", {kColumnNumber, false}, {4, 2, 6, 0}},
        {"numbers descending", {kColumnNumber, true}, {0, 6, 2, 4}},
        {"no column keeps order", {-1, false}, {0, 2, 4, 6}},
    };
    for (const Case& c : cases) {
        std::vector<RecordRow> sorted = rows;
        SortRecordRows(sorted, c.state);
        EXPECT_EQ(Order(sorted), c.order) << c.name;
        for (std::size_t i = 0; i + 1 < sorted.size(); ++i) {
            EXPECT_LE(CompareForSort(sorted[i], sorted[i + 1], c.state), 0) << c.name;
        }
    }
}

TEST(RecordSortTest, SortKeepsTheCurrentRowOnTheSameRecord) {
    std::vector<RecordRow> rows = {Row("", "", "b", 0), Row("", "", "c", 3), Row("", "", "a", 4)};
    EXPECT_EQ(SortKeepingCurrent(rows, {kColumnNumber, false}, 1), 2);  // "c" moved to the end
    EXPECT_EQ(rows[2].number, "c");
    EXPECT_EQ(SortKeepingCurrent(rows, {kColumnNumber, true}, 2), 0);
    EXPECT_EQ(SortKeepingCurrent(rows, {kColumnNumber, false}, -1), -1);
    EXPECT_EQ(RowOfItemData(rows, 3), 2);
    EXPECT_EQ(RowOfItemData(rows, 7), -1);
}

}  // namespace
}  // namespace pell
