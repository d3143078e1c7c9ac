#include "recorder/core/recording_names.h"

#include <gtest/gtest.h>

namespace pell {
namespace {

using std::chrono::year_month_day;

year_month_day Date(int y, unsigned m, unsigned d) {
    return year_month_day{std::chrono::year{y}, std::chrono::month{m}, std::chrono::day{d}};
}

struct PathCase {
    std::string dropFolder;
    year_month_day date;
    std::string prefix;
    uint32_t counter;
    std::string expected;
};

TEST(RecordingFilePathTest, DayFolderPrefixAndSevenDigitCounter) {
    const PathCase cases[] = {
        {"/d/record", Date(2026, 12, 6), "a", 42, "/d/record/06.12.2026/a0000042.mp3"},
        {"/d/record", Date(2026, 12, 6), "", 42, "/d/record/06.12.2026/0000042.mp3"},
        {"/d/record", Date(2008, 1, 1), "line1-", 0, "/d/record/01.01.2008/line1-0000000.mp3"},
        {"rec", Date(2026, 10, 31), "b", 9999999, "rec/31.10.2026/b9999999.mp3"},
    };
    for (const PathCase& c : cases) {
        EXPECT_EQ(RecordingFilePath(c.dropFolder, c.date, c.prefix, c.counter), c.expected);
    }
    EXPECT_EQ(DayFolderPath("/d/record", Date(2026, 1, 3)), "/d/record/03.01.2026");
    EXPECT_EQ(FormatFolderDate(Date(2026, 1, 6)), "20260106");
}

TEST(NextFileCounterTest, RunsToSevenNinesThenWraps) {
    const std::pair<uint32_t, uint32_t> cases[] = {{0, 1}, {41, 42}, {9999998, 9999999}, {9999999, 0}};
    for (const auto& [from, to] : cases) EXPECT_EQ(NextFileCounter(from), to) << from;
}

TEST(RecordingTagTest, FieldsAreCutAtThirtyAndZeroFilled) {
    const struct {
        std::string number;
        std::string description;
        char mark;
    } cases[] = {{"5551234", "Sales", 'I'}, {"", "", 'U'}, {std::string(35, '9'), std::string(31, 'z'), 'O'}};
    for (const auto& c : cases) {
        const auto bytes = RecordingTag{c.number, c.description, c.mark}.Bytes();
        const std::string tag(bytes.begin(), bytes.end());
        const std::string title = c.number.substr(0, 30);
        const std::string artist = c.description.substr(0, 30);
        EXPECT_EQ(tag.substr(0, 3), "TAG");
        EXPECT_EQ(tag.substr(3, 30), title + std::string(30 - title.size(), '\0'));
        EXPECT_EQ(tag.substr(33, 30), artist + std::string(30 - artist.size(), '\0'));
        EXPECT_EQ(tag.substr(63, 32), std::string(32, '\0')) << "album, and the played flag at 94, start empty";
        EXPECT_EQ(tag[95], c.mark);
        EXPECT_EQ(tag[96], '\1');
        EXPECT_EQ(tag.substr(97, 30), std::string(30, '\0'));
        EXPECT_EQ(bytes[127], 101);
    }
}

}  // namespace
}  // namespace pell
