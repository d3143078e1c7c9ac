#include "web/core/search_request.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace pell::web {
namespace {

// The local time of these tests: Central Europe, summer time in March's last week.
class LocalZone : public testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("TZ");
        hadZone_ = old != nullptr;
        if (old) previous_ = old;
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
    }
    void TearDown() override {
        if (hadZone_) {
            setenv("TZ", previous_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    bool hadZone_ = false;
    std::string previous_;
};

using SearchParametersTest = LocalZone;

TEST_F(SearchParametersTest, EveryFieldBecomesItsCriterion) {
    const SearchParse parse = ParseSearchParameters({{"number", "0171 555"},
                                                     {"text", "refund"},
                                                     {"from", "2026-03-01"},
                                                     {"to", "2026-03-31"},
                                                     {"min", "1:30"},
                                                     {"max", "3600"},
                                                     {"line", "Line 1"},
                                                     {"line", "Sales"},
                                                     {"direction", "in"},
                                                     {"played", "no"},
                                                     {"protected", "yes"},
                                                     {"sort", "duration"},
                                                     {"order", "asc"},
                                                     {"limit", "50"}});
    ASSERT_EQ(parse.error, "");
    const CallCriteria& c = parse.request.criteria;
    EXPECT_EQ(c.number, "0171 555");
    EXPECT_EQ(c.text, "refund");
    EXPECT_EQ(c.startFrom, 1772319600);    // 2026-03-01 00:00 CET
    EXPECT_EQ(c.startBefore, 1774994400);  // 2026-04-01 00:00 CEST: the to-date's whole day
    EXPECT_EQ(c.minDurationSeconds, 90);
    EXPECT_EQ(c.maxDurationSeconds, 3600);
    EXPECT_EQ(c.lines, (std::vector<std::string>{"Line 1", "Sales"}));
    EXPECT_EQ(c.direction, CallDirection::kIncoming);
    EXPECT_EQ(c.played, false);
    EXPECT_EQ(c.isProtected, true);
    EXPECT_EQ(parse.request.order.column, CallSortColumn::kDuration);
    EXPECT_FALSE(parse.request.order.descending);
    EXPECT_EQ(parse.request.limit, 50u);
}

TEST_F(SearchParametersTest, EmptyFieldsAskForNothingAndTheDefaultsHold) {
    const SearchParse parse =
        ParseSearchParameters({{"number", ""}, {"from", " "}, {"line", ""}, {"direction", ""}, {"sort", ""}});
    ASSERT_EQ(parse.error, "");
    EXPECT_EQ(parse.request.criteria.number, "");
    EXPECT_FALSE(parse.request.criteria.startFrom.has_value());
    EXPECT_FALSE(parse.request.criteria.lines.has_value());
    EXPECT_EQ(parse.request.order.column, CallSortColumn::kStart);
    EXPECT_TRUE(parse.request.order.descending);
    EXPECT_EQ(parse.request.limit, kDefaultPageRows);
}

struct BadParameter {
    const char* name;
    std::string value;
    const char* errorPart;
};

class BadSearchParameterTest : public testing::TestWithParam<BadParameter> {};

TEST_P(BadSearchParameterTest, ValueThatCannotBeReadIsRefusedByName) {
    const SearchParse parse = ParseSearchParameters({{GetParam().name, GetParam().value}});
    EXPECT_NE(parse.error.find(GetParam().errorPart), std::string::npos) << parse.error;
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadSearchParameterTest,
    testing::Values(
        BadParameter{"from", "2026-02-30", "from: not a date"}, BadParameter{"to", "31.03.2026", "to: not a date"},
        BadParameter{"from", "2026-03-01T25:00", "from: not a date"}, BadParameter{"min", "1:5", "min: not a duration"},
        BadParameter{"max", "abc", "max: not a duration"}, BadParameter{"max", "1:60", "max: not a duration"},
        BadParameter{"direction", "sideways", "direction"}, BadParameter{"played", "maybe", "played"},
        BadParameter{"sort", "placement", "sort:"}, BadParameter{"order", "up", "order"},
        BadParameter{"limit", "0", "limit: 1 to 1000"}, BadParameter{"limit", "1001", "limit"},
        BadParameter{"limit", "99999999999", "limit"}, BadParameter{"limit", "-5", "limit"},
        BadParameter{"path", "/etc/passwd", "unknown parameter \"path\""},
        BadParameter{"root", "", "unknown parameter"},
        BadParameter{"number", std::string(65, '5'), "number: at most 64 characters"},
        BadParameter{"text", std::string(100'000, 'a'), "text: at most 64"}));

TEST(SearchParameters, TooManyFieldsAreRefused) {
    const Parameters many(kMaxParameters + 1, {"line", "Line 1"});
    EXPECT_EQ(ParseSearchParameters(many).error, "at most 64 search fields");
    const Parameters enough(kMaxParameters, {"line", "Line 1"});
    EXPECT_EQ(ParseSearchParameters(enough).error, "");
}

struct MomentCase {
    const char* text;
    bool end;
    int64_t expected;  // 0: refused
};

class LocalMomentTest : public LocalZone, public testing::WithParamInterface<MomentCase> {};

TEST_P(LocalMomentTest, DatesAndTimesAreLocalAndAnEndIncludesItsWholeDayOrSecond) {
    const auto when = ParseLocalMoment(GetParam().text, GetParam().end);
    if (GetParam().expected == 0) {
        EXPECT_FALSE(when.has_value()) << GetParam().text;
    } else {
        EXPECT_EQ(when, GetParam().expected) << GetParam().text;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, LocalMomentTest,
                         testing::Values(MomentCase{"2026-03-29", false, 1774738800},  // the day summer time begins
                                         MomentCase{"2026-03-29", true, 1774821600},   // 23 hours later
                                         MomentCase{"2026-12-31", true, 1798758000},   // into the next year
                                         MomentCase{"2026-03-01T08:30", false, 1772350200},
                                         MomentCase{"2026-03-01 08:30:15", true, 1772350216},
                                         MomentCase{"2024-02-29", false, 1709161200},
                                         MomentCase{"2026-13-01", false, 0}, MomentCase{"1969-12-31", false, 0},
                                         MomentCase{"2026-03-01T08", false, 0}, MomentCase{"", false, 0}));

struct DurationCase {
    const char* text;
    int64_t seconds;  // -1: refused
};

class DurationTextTest : public testing::TestWithParam<DurationCase> {};

TEST_P(DurationTextTest, SecondsMinutesAndHoursAsThePlayerShowsThem) {
    const auto seconds = ParseDurationText(GetParam().text);
    if (GetParam().seconds < 0) {
        EXPECT_FALSE(seconds.has_value()) << GetParam().text;
    } else {
        EXPECT_EQ(seconds, GetParam().seconds) << GetParam().text;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, DurationTextTest,
                         testing::Values(DurationCase{"95", 95}, DurationCase{"1:35", 95}, DurationCase{"0:01:35", 95},
                                         DurationCase{"01:00:00", 3600}, DurationCase{"0", 0},
                                         DurationCase{"1:2:3:4", -1}, DurationCase{":30", -1}, DurationCase{"1:", -1},
                                         DurationCase{"1:75", -1}, DurationCase{"x", -1}, DurationCase{"", -1}));

}  // namespace
}  // namespace pell::web
