#include "player/catalogue/record_search.h"

#include <gtest/gtest.h>

#include <vector>

namespace pell {
namespace {

struct SearchCase {
    const char* name;
    std::vector<SearchableRow> rows;
    int currentRow;
    std::string text;
    std::optional<int> found;
};

class FindNextRecordTest : public testing::TestWithParam<SearchCase> {};

TEST_P(FindNextRecordTest, FindsTheNextOtherRowAroundTheList) {
    const SearchCase& c = GetParam();
    std::vector<int> examined;
    const auto rowAt = [&](int row) {
        examined.push_back(row);
        return c.rows.at(static_cast<std::size_t>(row));
    };
    EXPECT_EQ(FindNextRecord(static_cast<int>(c.rows.size()), c.currentRow, c.text, rowAt), c.found);
    for (const int row : examined) EXPECT_NE(row, c.currentRow) << "the current row is never examined";
}

const std::vector<SearchableRow> kRows = {
    {"5551234", "Invoice"},        // 0
    {"0123456", ""},               // 1
    {"", "call BACK on monday"},   // 2
    {"5559999", "M\xC3\x9CLLER"},  // 3
    {"", ""},                      // 4
    {"0800", "back office"},       // 5
    {"", ""},                      // 6
};

INSTANTIATE_TEST_SUITE_P(Cases, FindNextRecordTest,
                         testing::Values(SearchCase{"CapitalsFindSmallLetters", kRows, -1, "MONDAY", 2},
                                         SearchCase{"SmallLettersFindCapitals", kRows, -1, "back", 2},
                                         SearchCase{"NumberMatches", kRows, -1, "555", 0},
                                         SearchCase{"ForwardFromTheCurrentRow", kRows, 0, "555", 3},
                                         SearchCase{"WrapsToTheTop", kRows, 3, "555", 0},
                                         SearchCase{"RepeatedFindWalksOn", kRows, 2, "back", 5},
                                         SearchCase{"WalksOnAroundTheEnd", kRows, 5, "back", 2},
                                         SearchCase{"OnlyMatchIsTheCurrentRow", kRows, 2, "monday", std::nullopt},
                                         SearchCase{"OnlyMatchInRowZeroWithRowZeroCurrent", kRows, 0, "invoice",
                                                    std::nullopt},
                                         SearchCase{"OnlyMatchBeforeTheCurrentRow", kRows, 5, "monday", 2},
                                         SearchCase{"NoMatchAnywhere", kRows, -1, "zzz", std::nullopt},
                                         SearchCase{"EmptyTextMatchesTheNextRow", kRows, 3, "", 4},
                                         SearchCase{"EmptyTextWithNoCurrentRowMatchesRowZero", kRows, -1, "", 0},
                                         SearchCase{"EmptyTextOnTheLastRowWraps", kRows, 6, "", 0},
                                         SearchCase{"OnlyAToZAreFolded", kRows, -1, "m\xC3\xBCller", std::nullopt},
                                         SearchCase{"OtherLettersMatchAsTheyAre", kRows, -1, "\xC3\x9CLL", 3},
                                         SearchCase{"EmptyList", {}, -1, "", std::nullopt},
                                         SearchCase{"CurrentRowPastTheEndSearchesAll", kRows, 9, "0800", 5}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pell
