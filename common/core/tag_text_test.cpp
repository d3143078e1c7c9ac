#include "common/core/tag_text.h"

#include <gtest/gtest.h>

namespace pell {
namespace {

TEST(TagTextTest, Utf8IsRecognisedOnlyWhenWellFormed) {
    const struct {
        std::string bytes;
        bool valid;
    } cases[] = {
        {"", true},
        {"5551234", true},
        {"M\xC3\xBCller", true},      // ü
        {"\xE2\x82\xAC 5", true},     // €
        {"\xF0\x9F\x93\x9E", true},   // a four-byte character
        {"M\xFCller", false},         // Latin-1 ü
        {"\xC3", false},              // cut inside a character
        {"\x80", false},              // continuation without a lead
        {"\xC0\x80", false},          // overlong zero
        {"\xE0\x80\xAF", false},      // overlong slash
        {"\xED\xA0\x80", false},      // surrogate
        {"\xF4\x90\x80\x80", false},  // past U+10FFFF
        {"\xE2\x82", false},          // truncated three-byte form
    };
    for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.bytes;
}

TEST(TagTextTest, BytesThatAreNotUtf8ReadAsLatin1) {
    const struct {
        std::string bytes;
        std::string shown;
    } cases[] = {
        {"Sales", "Sales"},
        {"M\xC3\xBCller", "M\xC3\xBCller"},
        {"M\xFCller", "M\xC3\xBCller"},
        {"caf\xE9 \xA3"
         "5",
         "caf\xC3\xA9 \xC2\xA3"
         "5"},
        {"\xC3", "\xC3\x83"},
    };
    for (const auto& c : cases) EXPECT_EQ(TagTextAsUtf8(c.bytes), c.shown) << c.bytes;
}

TEST(TagTextTest, TextsAreCutToThirtyBytesBetweenCharacters) {
    const std::string a28(28, 'a');
    const std::string a29(29, 'a');
    const struct {
        std::string text;
        std::string stored;
    } cases[] = {
        {std::string(30, 'x'), std::string(30, 'x')},
        {std::string(31, 'x'), std::string(30, 'x')},
        {a28 + "\xC3\xA9", a28 + "\xC3\xA9"},  // é ends exactly at byte 30
        {a29 + "\xC3\xA9", a29},               // é would straddle byte 30
        {a28 + "\xE2\x82\xAC", a28},           // € needs three bytes, two are left
        {std::string(27, 'a') + "\xE2\x82\xAC", std::string(27, 'a') + "\xE2\x82\xAC"},
        {a28 + "\xF0\x9F\x93\x9E", a28},
        {std::string(15, '\xE9') + "z",
         [] {
             std::string s;
             for (int i = 0; i < 15; ++i) s += "\xC3\xA9";
             return s;
         }()},
        {"", ""},
    };
    for (const auto& c : cases) {
        const std::string stored = EncodeTagText(c.text, 30);
        EXPECT_EQ(stored, c.stored) << c.text;
        EXPECT_LE(stored.size(), 30u);
        EXPECT_TRUE(IsValidUtf8(stored)) << c.text;
    }
}

}  // namespace
}  // namespace pell
