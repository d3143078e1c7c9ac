#include "index/core/call_output.h"

#include <gtest/gtest.h>

namespace pell {
namespace {

struct FieldCase {
    const char* text;
    const char* csv;
};

class CsvFieldTest : public testing::TestWithParam<FieldCase> {};

TEST_P(CsvFieldTest, QuotesWhatWouldSplitAFieldAndDisarmsFormulas) {
    EXPECT_EQ(CsvField(GetParam().text), GetParam().csv) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Fields, CsvFieldTest,
                         testing::Values(FieldCase{"Line 1", "Line 1"}, FieldCase{"a,b", "\"a,b\""},
                                         FieldCase{"say \"hi\"", "\"say \"\"hi\"\"\""},
                                         FieldCase{"two\nlines", "\"two\nlines\""},
                                         FieldCase{"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
                                         FieldCase{"@SUM(A1)", "'@SUM(A1)"}, FieldCase{"-5+3", "'-5+3"},
                                         FieldCase{"+44 171 555", "+44 171 555"}, FieldCase{"", ""}));

struct JsonCase {
    const char* text;
    const char* json;
};

class JsonStringTest : public testing::TestWithParam<JsonCase> {};

TEST_P(JsonStringTest, EscapesControlsAndKeepsTextReadable) { EXPECT_EQ(JsonString(GetParam().text), GetParam().json); }

INSTANTIATE_TEST_SUITE_P(Texts, JsonStringTest,
                         testing::Values(JsonCase{"plain", "\"plain\""}, JsonCase{"a\"b\\c", "\"a\\\"b\\\\c\""},
                                         JsonCase{"tab\there", "\"tab\\u0009here\""},
                                         JsonCase{"M\xC3\xBCller", "\"M\xC3\xBCller\""},
                                         JsonCase{"Latin-1 \xFC", "\"Latin-1 \\u00fc\""},
                                         JsonCase{"cut \xC3", "\"cut \\u00c3\""},
                                         JsonCase{"\x1B[2J", "\"\\u001b[2J\""}));

TEST(ListLineTest, EachFormatCarriesTheListsColumnsInOrder) {
    RecordRow row;
    row.channel = "Line\t1";
    row.date = "05.03.2026 14:07:55";
    row.duration = "00:01:35";
    row.number = "0171 555";
    row.bookmark = "refund, soon";
    row.placement = "/rec/05.03.2026/a0000001.mp3";
    row.image = 1;
    row.itemData = 7;
    EXPECT_EQ(
        FormatListLine(row, ListFormat::kTsv),
        "Line\\x091\t05.03.2026 14:07:55\t00:01:35\t0171 555\trefund, soon\t/rec/05.03.2026/a0000001.mp3\t1\t1\n");
    EXPECT_EQ(ListHeader(ListFormat::kCsv), "channel,date,duration,number,bookmark,placement,direction,played\r\n");
    EXPECT_EQ(FormatListLine(row, ListFormat::kCsv),
              "Line\t1,05.03.2026 14:07:55,00:01:35,0171 555,\"refund, soon\",/rec/05.03.2026/a0000001.mp3,1,1\r\n");
    EXPECT_EQ(FormatListLine(row, ListFormat::kJson, 42),
              "{\"id\":42,\"channel\":\"Line\\u00091\",\"date\":\"05.03.2026 14:07:55\",\"duration\":\"00:01:35\","
              "\"number\":\"0171 555\",\"bookmark\":\"refund, soon\",\"placement\":\"/rec/05.03.2026/a0000001.mp3\","
              "\"direction\":1,\"played\":1}\n");
    EXPECT_TRUE(ListHeader(ListFormat::kTsv).empty());
}

TEST(ListLineTest, SearchOutputAddsTheAudioHashLastInCsvAndJsonButNotToTheTabSeparatedList) {
    RecordRow row;
    row.channel = "Line 1";
    row.date = "05.03.2026 14:07:55";
    row.duration = "00:01:35";
    row.placement = "/rec/05.03.2026/a0000001.mp3";
    const std::string hash(64, 'a');
    EXPECT_EQ(FormatListLine(row, ListFormat::kTsv, 42, hash), FormatListLine(row, ListFormat::kTsv))
        << "the tab-separated columns stay the list's";
    EXPECT_TRUE(ListHeader(ListFormat::kTsv, true).empty());
    EXPECT_EQ(ListHeader(ListFormat::kCsv, true),
              "channel,date,duration,number,bookmark,placement,direction,played,audio_sha256\r\n");
    EXPECT_EQ(FormatListLine(row, ListFormat::kCsv, 0, hash),
              "Line 1,05.03.2026 14:07:55,00:01:35,,,/rec/05.03.2026/a0000001.mp3,0,0," + hash + "\r\n");
    EXPECT_EQ(FormatListLine(row, ListFormat::kCsv, 0, std::string()),
              "Line 1,05.03.2026 14:07:55,00:01:35,,,/rec/05.03.2026/a0000001.mp3,0,0,\r\n")
        << "a recording the manifest does not list has an empty field, not a missing one";
    const std::string json = FormatListLine(row, ListFormat::kJson, 7, hash);
    EXPECT_EQ(json.substr(json.size() - 84), ",\"audio_sha256\":\"" + hash + "\"}\n");
    EXPECT_NE(FormatListLine(row, ListFormat::kJson, 7, std::string()).find("\"audio_sha256\":\"\"}"),
              std::string::npos);
}

}  // namespace
}  // namespace pell
