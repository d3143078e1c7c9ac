#include "web/core/web_exchange.h"

#include <gtest/gtest.h>

namespace pell::web {
namespace {

TEST(CookieValueTest, FindsOneCookieAmongOthers) {
    EXPECT_EQ(CookieValue("a=1; pell_session=abc; b=2", "pell_session"), "abc");
    EXPECT_EQ(CookieValue("pell_session=abc", "pell_session"), "abc");
    EXPECT_EQ(CookieValue("xpell_session=abc; pell_sessionx=d", "pell_session"), "");
    EXPECT_EQ(CookieValue("", "pell_session"), "");
    EXPECT_EQ(CookieValue("pell_session", "pell_session"), "");
}

struct Utf8Case {
    const char* name;
    std::string bytes;
    bool valid;
};

class Utf8Test : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Test, OnlyWellFormedUtf8IsTaken) {
    EXPECT_EQ(ValidUtf8(GetParam().bytes), GetParam().valid) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Utf8Test,
    testing::Values(Utf8Case{"ascii", "call back", true},
                    Utf8Case{"umlaut",
                             "R\xC3\xBC"
                             "ckruf",
                             true},
                    Utf8Case{"euro", "\xE2\x82\xAC", true}, Utf8Case{"emoji", "\xF0\x9F\x93\x9E", true},
                    Utf8Case{"latin-1",
                             "R\xFC"
                             "ckruf",
                             false},
                    Utf8Case{"overlong slash", "\xC0\xAF", false}, Utf8Case{"overlong three", "\xE0\x80\xAF", false},
                    Utf8Case{"surrogate", "\xED\xA0\x80", false}, Utf8Case{"past U+10FFFF", "\xF4\x90\x80\x80", false},
                    Utf8Case{"cut short", "\xE2\x82", false}, Utf8Case{"stray continuation", "\x80", false}));

struct BookmarkCase {
    const char* name;
    std::string text;
    const char* problemPart;  // empty: accepted
};

class BookmarkInputTest : public testing::TestWithParam<BookmarkCase> {};

TEST_P(BookmarkInputTest, BookmarkIsOneLineOfAtMost30BytesOfUtf8) {
    const std::string problem = BookmarkProblem(GetParam().text);
    if (std::string(GetParam().problemPart).empty()) {
        EXPECT_EQ(problem, "") << GetParam().name;
    } else {
        EXPECT_NE(problem.find(GetParam().problemPart), std::string::npos) << GetParam().name << ": " << problem;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, BookmarkInputTest,
    testing::Values(BookmarkCase{"empty clears", "", ""}, BookmarkCase{"30 bytes", std::string(30, 'a'), ""},
                    BookmarkCase{"31 bytes", std::string(31, 'a'), "at most 30 bytes (this one has 31)"},
                    BookmarkCase{"15 two-byte letters",
                                 [] {
                                     std::string s;
                                     for (int i = 0; i < 15; ++i) s += "\xC3\xBC";
                                     return s;
                                 }(),
                                 ""},
                    BookmarkCase{"16 euro signs are 48 bytes",
                                 [] {
                                     std::string s;
                                     for (int i = 0; i < 16; ++i) s += "\xE2\x82\xAC";
                                     return s;
                                 }(),
                                 "48"},
                    BookmarkCase{"line break", "call\nback", "one line"}, BookmarkCase{"tab", "a\tb", "one line"},
                    BookmarkCase{"zero byte", std::string("a\0b", 3), "one line"},
                    BookmarkCase{"latin-1",
                                 "R\xFC"
                                 "ckruf",
                                 "not UTF-8"}));

TEST(DownloadNameTest, KeepsOnlyPlainCharacters) {
    EXPECT_EQ(DownloadName("Line 1", "05.03.2009 14:07:55", "5551234"), "Line-1_05-03-2009-14-07-55_5551234.mp3");
    EXPECT_EQ(DownloadName("../../etc", "", "\"; rm -rf"), "etc_rm-rf.mp3");
    EXPECT_EQ(DownloadName("", "", ""), "call.mp3");
    EXPECT_EQ(DownloadName("Zentrale\xC3\xBC", "", "+49 30"), "Zentrale_49-30.mp3");
}

}  // namespace
}  // namespace pell::web
