#include "player/catalogue/recording_tag.h"

#include <gtest/gtest.h>

#include <cstring>

#include "player/catalogue/catalogue_test_support.h"

namespace pell {
namespace {

using test::RecorderTag;

TagBytes TitleField(std::string_view bytes) {
    TagBytes tag = MakeFreshTag();
    std::memcpy(tag.data() + tag_offset::kTitle, bytes.data(), bytes.size());
    return tag;
}

struct TextCase {
    const char* name;
    std::string field;  // raw bytes at the title offset, up to 30
    std::string expected;
};

class TagTextTest : public testing::TestWithParam<TextCase> {};

TEST_P(TagTextTest, ReadsUpToTheFirstZeroAndTrimsWhiteSpace) {
    EXPECT_EQ(ReadTagText(TitleField(GetParam().field), tag_offset::kTitle), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, TagTextTest,
    testing::Values(TextCase{"Plain", "0891234567", "0891234567"},
                    TextCase{"StopsAtZero",
                             std::string("12\0"
                                         "34",
                                         5),
                             "12"},
                    TextCase{"LeadingZeroIsEmpty",
                             std::string("\0"
                                         "1234",
                                         5),
                             ""},
                    TextCase{"ThirtyBytesWithoutZero", "123456789012345678901234567890",
                             "123456789012345678901234567890"},
                    TextCase{"TrimsBlanksTabsCrLf", " \t\r\n+49 30 1234\n\r\t ", "+49 30 1234"},
                    TextCase{"KeepsInnerBlanks", "Line 1  front", "Line 1  front"},
                    TextCase{"OnlyWhiteSpace", " \t ", ""}, TextCase{"Latin1ReadAsUtf8", "B\xFCro", "B\xC3\xBCro"},
                    TextCase{"Utf8KeptAsItIs", "B\xC3\xBCro \xE2\x82\xAC", "B\xC3\xBCro \xE2\x82\xAC"},
                    TextCase{"TrimStopsAtOtherControls", "\x01 12 ", "\x01 12"}),
    [](const auto& info) { return info.param.name; });

TEST(TagTextTest, ThirtyByteFieldDoesNotRunIntoTheNextField) {
    TagBytes tag = RecorderTag("123456789012345678901234567890", "Line 1");
    EXPECT_EQ(ReadTagText(tag, tag_offset::kTitle), "123456789012345678901234567890");
    EXPECT_EQ(ReadTagText(tag, tag_offset::kArtist), "Line 1");
}

struct ParseCase {
    const char* name;
    std::string marker;
    uint8_t played;
    uint8_t direction;
    bool hasTag;
    int expectedPlayed;
    CallDirection expectedDirection;
};

class ParseTagTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseTagTest, ReadsMarkerPlayedByteAndDirection) {
    const ParseCase& c = GetParam();
    TagBytes tag = RecorderTag("555", "Line 2", static_cast<char>(c.direction), c.played, "call back");
    std::memcpy(tag.data(), c.marker.data(), 3);
    const auto fields = ParseRecordingTag(tag);
    ASSERT_EQ(fields.has_value(), c.hasTag);
    if (!c.hasTag) return;
    EXPECT_EQ(fields->number, "555");
    EXPECT_EQ(fields->channel, "Line 2");
    EXPECT_EQ(fields->bookmark, "call back");
    EXPECT_EQ(fields->played, c.expectedPlayed);
    EXPECT_EQ(fields->direction, c.expectedDirection);
}

INSTANTIATE_TEST_SUITE_P(
    Tags, ParseTagTest,
    testing::Values(ParseCase{"Incoming", "TAG", 0, 'I', true, 0, CallDirection::kIncoming},
                    ParseCase{"OutgoingPlayed", "TAG", 1, 'O', true, 1, CallDirection::kOutgoing},
                    ParseCase{"UnknownMark", "TAG", 0, 'U', true, 0, CallDirection::kUnknown},
                    ParseCase{"LowerCaseMarkIsUnknown", "TAG", 0, 'i', true, 0, CallDirection::kUnknown},
                    ParseCase{"ZeroMarkIsUnknown", "TAG", 0, 0, true, 0, CallDirection::kUnknown},
                    ParseCase{"ForeignYearDigitCountsAsPlayed", "TAG", '9', 'I', true, 1, CallDirection::kIncoming},
                    ParseCase{"AnyNonZeroIsPlayed", "TAG", 0xFF, 'O', true, 1, CallDirection::kOutgoing},
                    ParseCase{"LowerCaseMarkerIsNoTag", "tag", 0, 'I', false, 0, CallDirection::kUnknown},
                    ParseCase{"ZerosAreNoTag", std::string(3, '\0'), 0, 'I', false, 0, CallDirection::kUnknown},
                    ParseCase{"TwoLettersAreNoTag", "TAX", 0, 'I', false, 0, CallDirection::kUnknown}),
    [](const auto& info) { return info.param.name; });

TEST(FreshTagTest, HasMarkerSpeechGenreAndZerosElsewhere) {
    const TagBytes tag = MakeFreshTag();
    std::string expected(128, '\0');
    expected.replace(0, 3, "TAG");
    expected[127] = '\x65';
    EXPECT_EQ(test::TagString(tag), expected);
}

struct BookmarkCase {
    const char* name;
    std::string text;
    std::string field;  // the 30 comment bytes afterwards
};

class BookmarkTextTest : public testing::TestWithParam<BookmarkCase> {};

TEST_P(BookmarkTextTest, WritesThirtyBytesAndTouchesNothingElse) {
    TagBytes tag = RecorderTag("555", "Line 1", 'O', 1, "an older and longer bookmark!!");
    const TagBytes before = tag;
    SetBookmarkText(tag, GetParam().text);
    EXPECT_EQ(test::TagString(tag).substr(97, 30), GetParam().field);
    EXPECT_EQ(test::TagString(tag).substr(0, 97), test::TagString(before).substr(0, 97));
    EXPECT_EQ(tag[127], before[127]);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, BookmarkTextTest,
    testing::Values(BookmarkCase{"Empty", "", std::string(30, '\0')},
                    BookmarkCase{"ShortIsZeroFilled", "ok", "ok" + std::string(28, '\0')},
                    BookmarkCase{"ExactlyThirtyHasNoZero", std::string(30, 'x'), std::string(30, 'x')},
                    BookmarkCase{"LongerIsCut", std::string(30, 'y') + "zzz", std::string(30, 'y')},
                    BookmarkCase{"CutBeforeACharacterThatDoesNotFit", std::string(29, 'y') + "\xC3\xBC",
                                 std::string(29, 'y') + '\0'},
                    BookmarkCase{"Latin1StoredAsUtf8", "B\xFCro", "B\xC3\xBCro" + std::string(25, '\0')}),
    [](const auto& info) { return info.param.name; });

TEST(BookmarkAsStoredTest, ShowsWhatAReaderOfTheFieldGets) {
    const struct {
        std::string text;
        std::string shown;
    } cases[] = {
        {"call back", "call back"},
        {"  padded  ", "padded"},
        {std::string(31, 'x'), std::string(30, 'x')},
        {std::string(28, 'x') + "\xE2\x82\xAC", std::string(28, 'x')},
        {std::string("cut\0here", 8), "cut"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(BookmarkAsStored(c.text), c.shown) << c.text;
}

}  // namespace
}  // namespace pell
