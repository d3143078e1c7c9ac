#include "index/core/criteria_text.h"

#include <gtest/gtest.h>

#include "player/catalogue/catalogue_test_support.h"

namespace pell {
namespace {

struct TimeCase {
    const char* text;
    bool end;
    std::optional<int64_t> seconds;
};

class ParseLocalTimeTest : public testing::TestWithParam<TimeCase> {};

// 1 March 2026 00:00 UTC.
constexpr int64_t kMarch = 1'772'323'200;

TEST_P(ParseLocalTimeTest, DatesAndTimesAsLocalTimeWithTheEndOfWhatIsNamed) {
    const test::ScopedTimeZone utc(test::kUtc);
    EXPECT_EQ(ParseLocalTime(GetParam().text, GetParam().end), GetParam().seconds) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseLocalTimeTest,
    testing::Values(TimeCase{"2026-03-01", false, kMarch}, TimeCase{"2026-03-01", true, kMarch + 86'400},
                    TimeCase{"2026-03-01 14:00", false, kMarch + 14 * 3600},
                    TimeCase{"2026-03-01T14:00", true, kMarch + 14 * 3600 + 60},
                    TimeCase{"2026-03-01 14:00:30", true, kMarch + 14 * 3600 + 31},
                    TimeCase{"2026-02-29", false, std::nullopt}, TimeCase{"2026-03-01 24:00", false, std::nullopt},
                    TimeCase{"2026-03-01 14", false, std::nullopt}, TimeCase{"01.03.2026", false, std::nullopt},
                    TimeCase{"", false, std::nullopt}));

struct DurationCase {
    const char* text;
    std::optional<int64_t> seconds;
};

class ParseDurationTest : public testing::TestWithParam<DurationCase> {};

TEST_P(ParseDurationTest, SecondsMinutesAndHours) { EXPECT_EQ(ParseDuration(GetParam().text), GetParam().seconds); }

INSTANTIATE_TEST_SUITE_P(Texts, ParseDurationTest,
                         testing::Values(DurationCase{"95", 95}, DurationCase{"1:35", 95}, DurationCase{"0:01:35", 95},
                                         DurationCase{"2:00:00", 7200}, DurationCase{"1:60", std::nullopt},
                                         DurationCase{"1:2:3:4", std::nullopt}, DurationCase{":30", std::nullopt},
                                         DurationCase{"1.5", std::nullopt}, DurationCase{"", std::nullopt}));

}  // namespace
}  // namespace pell
