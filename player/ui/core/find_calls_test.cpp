#include "player/ui/core/find_calls.h"

#include <gtest/gtest.h>

#include "player/catalogue/catalogue_test_support.h"

namespace pell {
namespace {

// 1 March 2026 00:00 UTC.
constexpr int64_t kMarch = 1'772'323'200;

struct FormCase {
    const char* name;
    FindCallsForm form;
    FindCallsField wrongField;  // kNone: the form is fine and gives `criteria`
    const char* messageStart;
    CallCriteria criteria;
};

class CriteriaFromFormTest : public testing::TestWithParam<FormCase> {};

TEST_P(CriteriaFromFormTest, FieldsBecomeCriteriaOrAMessageNamingTheField) {
    const test::ScopedTimeZone utc(test::kUtc);
    const FormCase& c = GetParam();
    const FindCallsCheck check = CriteriaFromForm(c.form);
    EXPECT_EQ(check.field, c.wrongField);
    if (c.wrongField != FindCallsField::kNone) {
        EXPECT_FALSE(check.criteria.has_value());
        EXPECT_EQ(check.message.rfind(c.messageStart, 0), 0U) << check.message;
        return;
    }
    ASSERT_TRUE(check.criteria.has_value()) << check.message;
    const CallCriteria& got = *check.criteria;
    EXPECT_EQ(got.number, c.criteria.number);
    EXPECT_EQ(got.text, c.criteria.text);
    EXPECT_EQ(got.startFrom, c.criteria.startFrom);
    EXPECT_EQ(got.startBefore, c.criteria.startBefore);
    EXPECT_EQ(got.minDurationSeconds, c.criteria.minDurationSeconds);
    EXPECT_EQ(got.maxDurationSeconds, c.criteria.maxDurationSeconds);
    EXPECT_EQ(got.lines, c.criteria.lines);
    EXPECT_EQ(got.direction, c.criteria.direction);
    EXPECT_EQ(got.played, c.criteria.played);
    EXPECT_EQ(got.isProtected, c.criteria.isProtected);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, CriteriaFromFormTest,
    testing::Values(
        FormCase{"EmptyFindsEverything", {}, FindCallsField::kNone, "", {}},
        FormCase{"NumberKeptAsTypedWithoutOuterBlanks",
                 {.number = "  0171 555 "},
                 FindCallsField::kNone,
                 "",
                 {.number = "0171 555"}},
        FormCase{"NumberWithoutDigits", {.number = "abc"}, FindCallsField::kNumber, "Number: ", {}},
        FormCase{"BookmarkWords", {.text = "refund"}, FindCallsField::kNone, "", {.text = "refund"}},
        FormCase{"BookmarkWithoutWords", {.text = "?!"}, FindCallsField::kText, "Bookmark text: ", {}},
        FormCase{"FromAlone", {.from = "2026-03-01 00:00"}, FindCallsField::kNone, "", {.startFrom = kMarch}},
        FormCase{"ToTakesItsMinuteWhole",
                 {.to = "2026-03-01 14:00"},
                 FindCallsField::kNone,
                 "",
                 {.startBefore = kMarch + 14 * 3600 + 60}},
        FormCase{"FromAndToTheSameMinute",
                 {.from = "2026-03-01 14:00", .to = "2026-03-01 14:00"},
                 FindCallsField::kNone,
                 "",
                 {.startFrom = kMarch + 14 * 3600, .startBefore = kMarch + 14 * 3600 + 60}},
        FormCase{
            "ToBeforeFrom", {.from = "2026-03-02 00:00", .to = "2026-03-01 23:59"}, FindCallsField::kTo, "To: ", {}},
        FormCase{"FromNotADate", {.from = "yesterday"}, FindCallsField::kFrom, "From: ", {}},
        FormCase{"DurationsInSecondsAndMinutes",
                 {.minDuration = "90", .maxDuration = "5:00"},
                 FindCallsField::kNone,
                 "",
                 {.minDurationSeconds = 90, .maxDurationSeconds = 300}},
        FormCase{
            "ShortestNotADuration", {.minDuration = "1.5"}, FindCallsField::kMinDuration, "Duration at least: ", {}},
        FormCase{
            "LongestNotADuration", {.maxDuration = "1:75"}, FindCallsField::kMaxDuration, "Duration at most: ", {}},
        FormCase{"LongestShorterThanShortest",
                 {.minDuration = "2:00", .maxDuration = "1:59"},
                 FindCallsField::kMaxDuration,
                 "Duration at most: ",
                 {}},
        FormCase{"OneLineTrimmed",
                 {.line = " Line 1 "},
                 FindCallsField::kNone,
                 "",
                 {.lines = std::vector<std::string>{"Line 1"}}},
        FormCase{"ChoicesPassThrough",
                 {.direction = CallDirection::kOutgoing, .played = false, .isProtected = true},
                 FindCallsField::kNone,
                 "",
                 {.direction = CallDirection::kOutgoing, .played = false, .isProtected = true}}),
    [](const testing::TestParamInfo<FormCase>& info) { return info.param.name; });

struct CaptionCase {
    FindCallsForm form;
    std::size_t rows;
    bool more;
    const char* caption;
};

class SearchCaptionTest : public testing::TestWithParam<CaptionCase> {};

TEST_P(SearchCaptionTest, SaysTheListHoldsResultsHowManyAndOfWhat) {
    EXPECT_EQ(SearchCaption(GetParam().form, GetParam().rows, GetParam().more), GetParam().caption);
}

INSTANTIATE_TEST_SUITE_P(
    Captions, SearchCaptionTest,
    testing::Values(
        CaptionCase{{.number = "555"}, 12, false, "Search results: 12 calls — number 555"},
        CaptionCase{{.number = "555"}, 1, false, "Search results: 1 call — number 555"},
        CaptionCase{{.text = "refund"}, 0, false, "Search results: no calls — bookmark \"refund\""},
        CaptionCase{
            {}, 10'000, true, "Search results: the newest 10,000 calls — all calls (more match: narrow the search)"},
        CaptionCase{
            {.from = "2026-03-01 00:00", .to = "2026-03-31 23:59", .minDuration = "1:00", .line = "Line 2"},
            3,
            false,
            "Search results: 3 calls — from 01.03.2026 00:00, to 31.03.2026 23:59, at least 1:00, line \"Line 2\""},
        CaptionCase{{.direction = CallDirection::kIncoming, .played = false, .isProtected = true},
                    2,
                    false,
                    "Search results: 2 calls — incoming, not played, protected"}));

struct ProgressCase {
    RefreshProgress progress;
    const char* text;
};

class RefreshProgressTextTest : public testing::TestWithParam<ProgressCase> {};

TEST_P(RefreshProgressTextTest, CountsFoldersAndRecordingsWithThousandsGrouped) {
    EXPECT_EQ(RefreshProgressText(GetParam().progress), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Progress, RefreshProgressTextTest,
                         testing::Values(ProgressCase{{}, "Indexing the recordings: 0 recordings read"},
                                         ProgressCase{{.foldersDone = 12, .foldersToScan = 1826, .filesRead = 1},
                                                      "Indexing day folder 12 of 1,826: 1 recording read"},
                                         ProgressCase{
                                             {.foldersDone = 340, .foldersToScan = 340, .filesRead = 1'234'567},
                                             "Indexing day folder 340 of 340: 1,234,567 recordings read"}));

TEST(UnreachableNoteTest, NamesHowManyFoldersAreAsLastIndexed) {
    EXPECT_EQ(UnreachableNote(0), "");
    EXPECT_EQ(UnreachableNote(1), "; 1 record folder could not be read, its calls are as last indexed");
    EXPECT_EQ(UnreachableNote(2), "; 2 record folders could not be read, their calls are as last indexed");
}

TEST(RecordListModeTest, RefreshFollowsWhatTheListShowsAndTheLastSearchOutlivesIt) {
    RecordListMode mode;
    EXPECT_FALSE(mode.ShowingResults());
    EXPECT_EQ(mode.RefreshAction(), RecordListMode::Refresh::kFillDateRange);
    EXPECT_EQ(mode.Caption(3), "");

    mode.ShowResults({.number = "555"}, false);
    EXPECT_TRUE(mode.ShowingResults());
    EXPECT_EQ(mode.RefreshAction(), RecordListMode::Refresh::kSearchAgain);
    // A deleted result leaves the list: the caption counts what is left.
    EXPECT_EQ(mode.Caption(11), "Search results: 11 calls — number 555");

    mode.ShowDateRange();
    EXPECT_EQ(mode.RefreshAction(), RecordListMode::Refresh::kFillDateRange);
    EXPECT_EQ(mode.Caption(11), "");
    EXPECT_EQ(mode.LastSearch().number, "555");

    mode.ShowResults({.text = "refund"}, true);
    EXPECT_EQ(mode.Caption(10'000),
              "Search results: the newest 10,000 calls — bookmark \"refund\" (more match: narrow the search)");
}

}  // namespace
}  // namespace pell
