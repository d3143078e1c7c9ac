#include "index/core/call_criteria.h"

#include <gtest/gtest.h>

namespace pell {
namespace {

const NumberPlan kUk{"44", "0", "00"};
const NumberPlan kNone{};
const NumberPlan kNoTrunkPrefix{"34", "", "00"};

struct PatternCase {
    const char* name;
    const char* query;
    NumberPlan plan;
    std::vector<std::string> patterns;
};

class NumberPatternTest : public testing::TestWithParam<PatternCase> {};

TEST_P(NumberPatternTest, QueryStandsForTheseDigitStrings) {
    EXPECT_EQ(NumberPatterns(GetParam().query, GetParam().plan), GetParam().patterns) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Queries, NumberPatternTest,
    testing::Values(
        PatternCase{"digits alone", "555", kUk, {"555"}},
        PatternCase{"spaces and punctuation are dropped", "(0171) 555-12.3", kUk, {"0171555123", "44171555123"}},
        PatternCase{"plus and country code also find the national form", "+44 171 555", kUk, {"44171555", "0171555"}},
        PatternCase{"international prefix as digits", "0044 171 555", kUk, {"44171555", "0171555"}},
        PatternCase{"national form also finds the number stored with plus", "0171 555", kUk, {"0171555", "44171555"}},
        PatternCase{"another country's code stays as written", "+49 30 1234", kUk, {"49301234"}},
        PatternCase{"without a plan numbers match only as written", "+44 171", kNone, {"44171"}},
        PatternCase{"without a plan the national form stays too", "0171", kNone, {"0171"}},
        PatternCase{"a country without trunk prefix", "+34 91 555", kNoTrunkPrefix, {"91555"}},
        PatternCase{"country code alone", "+44", kUk, {"44"}}, PatternCase{"letters only", "private", kUk, {}},
        PatternCase{"empty", "", kUk, {}}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        }
        return name;
    });

// Patterns are searched as substrings, so "+44 171 555" must also find "0171 555 1234".
TEST(NumberPatternTest, InternationalQueryFindsNationallyStoredNumber) {
    CallFacts national;
    national.number = "01715551234";
    CallFacts international;
    international.number = "+44 171 555 1234";
    CallFacts foreign;
    foreign.number = "+49 171 555 1234";
    for (const char* query : {"+44 171 555", "0171 555", "0044171555"}) {
        const PrepareResult prepared = PrepareCriteria(CallCriteria{.number = query}, kUk);
        ASSERT_TRUE(prepared.error.empty());
        EXPECT_TRUE(MatchesCall(national, prepared.criteria)) << query;
        EXPECT_TRUE(MatchesCall(international, prepared.criteria)) << query;
        EXPECT_FALSE(MatchesCall(foreign, prepared.criteria)) << query;
    }
}

struct WordsCase {
    const char* text;
    std::vector<std::string> words;
};

class TextWordsTest : public testing::TestWithParam<WordsCase> {};

TEST_P(TextWordsTest, SplitsAtEverythingButLettersAndDigits) {
    EXPECT_EQ(TextWords(GetParam().text), GetParam().words) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts, TextWordsTest,
                         testing::Values(WordsCase{"Refund promised", {"refund", "promised"}},
                                         WordsCase{"  call-back,Monday!", {"call", "back", "monday"}},
                                         WordsCase{"order #A123", {"order", "a123"}},
                                         WordsCase{"M\xC3\xBCller", {"m\xC3\xBCller"}}, WordsCase{"...", {}},
                                         WordsCase{"", {}}));

CallFacts Call(std::string number, std::string bookmark, int64_t start, int64_t duration, std::string line,
               CallDirection direction, bool played, bool held = false) {
    CallFacts facts;
    facts.readable = facts.timesKnown = true;
    facts.number = std::move(number);
    facts.bookmark = std::move(bookmark);
    facts.startTime = start;
    facts.durationSeconds = duration;
    facts.line = std::move(line);
    facts.direction = direction;
    facts.played = played;
    facts.isProtected = held;
    return facts;
}

struct MatchCase {
    const char* name;
    CallCriteria criteria;
    bool matches;
};

class MatchesCallTest : public testing::TestWithParam<MatchCase> {};

// The call every case is asked about.
const CallFacts kCall =
    Call("0171 555 1234", "Refund promised Monday", 1'000'000, 95, "Line 1", CallDirection::kIncoming, false);

TEST_P(MatchesCallTest, CombinesEveryCriterion) {
    const PrepareResult prepared = PrepareCriteria(GetParam().criteria, kUk);
    ASSERT_TRUE(prepared.error.empty()) << prepared.error;
    EXPECT_EQ(MatchesCall(kCall, prepared.criteria), GetParam().matches) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Criteria, MatchesCallTest,
    testing::Values(
        MatchCase{"no criteria", {}, true}, MatchCase{"digits in the middle", {.number = "555 12"}, true},
        MatchCase{"digits not there", {.number = "556"}, false}, MatchCase{"a whole word", {.text = "refund"}, true},
        MatchCase{"a word's start in capitals", {.text = "MON"}, true},
        MatchCase{"every word must be there", {.text = "refund tuesday"}, false},
        MatchCase{"a word's middle is no match", {.text = "fund"}, false},
        MatchCase{"start inside the range", {.startFrom = 1'000'000, .startBefore = 1'000'001}, true},
        MatchCase{"range ends before the start", {.startBefore = 1'000'000}, false},
        MatchCase{"range starts after the start", {.startFrom = 1'000'001}, false},
        MatchCase{"duration bounds are inclusive", {.minDurationSeconds = 95, .maxDurationSeconds = 95}, true},
        MatchCase{"too short", {.minDurationSeconds = 96}, false},
        MatchCase{"too long", {.maxDurationSeconds = 94}, false},
        MatchCase{"line in other letter case", {.lines = std::vector<std::string>{"line 2", "LINE 1"}}, true},
        MatchCase{"line prefix is no match", {.lines = std::vector<std::string>{"Line"}}, false},
        MatchCase{"an empty line list matches nothing", {.lines = std::vector<std::string>{}}, false},
        MatchCase{"direction", {.direction = CallDirection::kIncoming}, true},
        MatchCase{"other direction", {.direction = CallDirection::kOutgoing}, false},
        MatchCase{"not played", {.played = false}, true}, MatchCase{"played", {.played = true}, false},
        MatchCase{"protected", {.isProtected = true}, false},
        MatchCase{"everything at once",
                  {.number = "0171",
                   .text = "prom",
                   .startFrom = 999'000,
                   .startBefore = 1'001'000,
                   .minDurationSeconds = 60,
                   .maxDurationSeconds = 120,
                   .lines = std::vector<std::string>{"line 1"},
                   .direction = CallDirection::kIncoming,
                   .played = false,
                   .isProtected = false},
                  true},
        MatchCase{
            "everything but one", {.number = "0171", .text = "prom", .direction = CallDirection::kOutgoing}, false}));

struct InvalidCase {
    CallCriteria criteria;
    const char* error;
};

class PrepareCriteriaTest : public testing::TestWithParam<InvalidCase> {};

TEST_P(PrepareCriteriaTest, RefusesCriteriaThatWouldBeDropped) {
    EXPECT_EQ(PrepareCriteria(GetParam().criteria, kUk).error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(Criteria, PrepareCriteriaTest,
                         testing::Values(InvalidCase{{.number = "anonymous"}, "the number to search for has no digit"},
                                         InvalidCase{{.text = "?!"},
                                                     "the text to search for has no word (letters or digits)"}));

TEST(CallOrderTest, NewestFirstByDefaultWithTiesByIdInTheSameDirection) {
    const CallRecord older{1, "/r", "01.01.2026", Call("1", "", 100, 5, "a", CallDirection::kUnknown, false)};
    const CallRecord newerLow{2, "/r", "01.01.2026", Call("2", "", 200, 5, "a", CallDirection::kUnknown, false)};
    const CallRecord newerHigh{3, "/r", "01.01.2026", Call("3", "", 200, 5, "a", CallDirection::kUnknown, false)};
    std::vector<CallRecord> calls = {older, newerLow, newerHigh};
    std::sort(calls.begin(), calls.end(), [](const auto& a, const auto& b) { return CallBefore(a, b, {}); });
    EXPECT_EQ((std::vector<int64_t>{calls[0].id, calls[1].id, calls[2].id}), (std::vector<int64_t>{3, 2, 1}));
    const CallOrder byNumber{CallSortColumn::kNumber, false};
    std::sort(calls.begin(), calls.end(), [&](const auto& a, const auto& b) { return CallBefore(a, b, byNumber); });
    EXPECT_EQ((std::vector<int64_t>{calls[0].id, calls[1].id, calls[2].id}), (std::vector<int64_t>{1, 2, 3}));
}

}  // namespace
}  // namespace pell
