#include "player/ui/core/column_widths.h"

#include <gtest/gtest.h>

#include "testsupport/temp_dir.h"

namespace pell {
namespace {

struct ParseCase {
    const char* name;
    std::string text;
    ColumnWidths expected;
};

TEST(ColumnWidthsTest, LinesSetTheirColumnAndEmptyOrMissingLinesKeepTheDefault) {
    const ParseCase cases[] = {
        {"no file text", "", kDefaultColumnWidths},
        {"short file", "50\r\n60\r\n", {50, 60, 80, 120, 120, 20, 0, 0, 0, 0}},
        {"empty line keeps", "50\n\n70\n", {50, 140, 70, 120, 120, 20, 0, 0, 0, 0}},
        {"no digits gives 0", "abc\n12px\n", {0, 12, 80, 120, 120, 20, 0, 0, 0, 0}},
        {"all ten lines", "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {"huge saturates", "99999999999\n", {2147483647, 140, 80, 120, 120, 20, 0, 0, 0, 0}},
        {"negative", "-5\n", {-5, 140, 80, 120, 120, 20, 0, 0, 0, 0}},
    };
    for (const ParseCase& c : cases) {
        EXPECT_EQ(ParseColumnWidths(c.text, kDefaultColumnWidths), c.expected) << c.name;
    }
}

TEST(ColumnWidthsTest, FileRoundTripsWithCrLfAndAnUnwritableFolderWritesNothing) {
    TempDir dir;
    const ColumnWidths widths = {111, 222, 33, 44, 55, 66, 0, 0, 0, 0};
    ASSERT_TRUE(WriteColumnWidths(dir.path(), widths));
    EXPECT_EQ(dir.Read("columns.ini"), "111\r\n222\r\n33\r\n44\r\n55\r\n66\r\n0\r\n0\r\n0\r\n0\r\n");
    EXPECT_EQ(ReadColumnWidths(dir.path(), kDefaultColumnWidths), widths);

    EXPECT_FALSE(WriteColumnWidths(dir.path() + "/missing/folder", widths));
    EXPECT_EQ(ReadColumnWidths(dir.path() + "/missing/folder", kDefaultColumnWidths), kDefaultColumnWidths);
}

}  // namespace
}  // namespace pell
