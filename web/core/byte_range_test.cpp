#include "web/core/byte_range.h"

#include <gtest/gtest.h>

namespace pell::web {
namespace {

using Kind = ByteRange::Kind;

struct RangeCase {
    const char* header;
    int64_t size;
    Kind kind;
    int64_t first;
    int64_t last;
};

class ByteRangeTest : public testing::TestWithParam<RangeCase> {};

TEST_P(ByteRangeTest, RangeHeaderGivesThePartToSendOrTheWholeFileOrARefusal) {
    const RangeCase& c = GetParam();
    const ByteRange range = ParseByteRange(c.header, c.size);
    EXPECT_EQ(range.kind, c.kind) << c.header;
    if (c.kind == Kind::kPart) {
        EXPECT_EQ(range.first, c.first) << c.header;
        EXPECT_EQ(range.last, c.last) << c.header;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ByteRangeTest,
    testing::Values(RangeCase{"", 1000, Kind::kWhole, 0, 0}, RangeCase{"bytes=0-", 1000, Kind::kPart, 0, 999},
                    RangeCase{"bytes=0-99", 1000, Kind::kPart, 0, 99},
                    RangeCase{"bytes=500-599", 1000, Kind::kPart, 500, 599},
                    RangeCase{"bytes=900-5000", 1000, Kind::kPart, 900, 999},  // cut at the end
                    RangeCase{"bytes=999-999", 1000, Kind::kPart, 999, 999},
                    RangeCase{"bytes=-100", 1000, Kind::kPart, 900, 999},  // the last 100 bytes
                    RangeCase{"bytes=-5000", 1000, Kind::kPart, 0, 999},   // more than there is: all
                    RangeCase{"bytes=1000-", 1000, Kind::kUnsatisfiable, 0, 0},
                    RangeCase{"bytes=4000-4100", 1000, Kind::kUnsatisfiable, 0, 0},
                    RangeCase{"bytes=-0", 1000, Kind::kUnsatisfiable, 0, 0},
                    RangeCase{"bytes=0-", 0, Kind::kUnsatisfiable, 0, 0},
                    RangeCase{" bytes=10-20 ", 1000, Kind::kPart, 10, 20},
                    RangeCase{"bytes=0-1,5-6", 1000, Kind::kWhole, 0, 0},  // several ranges: the whole file
                    RangeCase{"bytes=20-10", 1000, Kind::kWhole, 0, 0},    // invalid: ignored
                    RangeCase{"bytes=abc", 1000, Kind::kWhole, 0, 0}, RangeCase{"items=0-10", 1000, Kind::kWhole, 0, 0},
                    RangeCase{"bytes=-", 1000, Kind::kWhole, 0, 0},
                    RangeCase{"bytes=99999999999999999999-", 1000, Kind::kWhole, 0, 0},  // no overflow
                    RangeCase{"bytes=+5-10", 1000, Kind::kWhole, 0, 0}));

TEST(ContentRangeTest, NamesThePartAndTheSize) {
    EXPECT_EQ(ContentRange(ByteRange{Kind::kPart, 100, 199}, 5000), "bytes 100-199/5000");
    EXPECT_EQ(ContentRange(ByteRange{Kind::kUnsatisfiable, 0, 0}, 5000), "bytes */5000");
}

}  // namespace
}  // namespace pell::web
