#include "common/core/profile.h"

#include <gtest/gtest.h>

#include "testsupport/temp_dir.h"

namespace pell {
namespace {

struct ReadCase {
    const char* name;
    std::string text;
    const char* section;
    const char* key;
    int32_t expectedInt;         // with default 77
    std::string expectedString;  // with default "dflt"
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class ProfileReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ProfileReadTest, ReadsValuesByThePrivateProfileRules) {
    const ReadCase& c = GetParam();
    ProfileReader reader = ProfileReader::FromText(c.text);
    EXPECT_EQ(reader.ReadInt(c.section, c.key, 77), c.expectedInt);
    EXPECT_EQ(reader.ReadString(c.section, c.key, "dflt"), c.expectedString);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ProfileReadTest,
    ::testing::Values(
        ReadCase{"plain", "[common]\r\nsamplerate=16000\r\n", "common", "samplerate", 16000, "16000"},
        ReadCase{"mixedCaseSectionAndKey", "[CoMmOn]\r\nSampleRate=16000\r\n", "common", "samplerate", 16000, "16000"},
        ReadCase{"lookupCaseIgnored", "[common]\nsamplerate=5\n", "COMMON", "SAMPLERATE", 5, "5"},
        ReadCase{"absentKeyGivesDefault", "[common]\nother=1\n", "common", "samplerate", 77, "dflt"},
        ReadCase{"absentSectionGivesDefault", "[channel1]\nsamplerate=1\n", "common", "samplerate", 77, "dflt"},
        ReadCase{"leadingDecimal", "[c]\nk=123abc\n", "c", "k", 123, "123abc"},
        ReadCase{"notANumberReadsZero", "[c]\nk=abc\n", "c", "k", 0, "abc"},
        ReadCase{"emptyValueReadsZero", "[c]\nk=\n", "c", "k", 0, ""},
        ReadCase{"negative", "[c]\nk=-1\n", "c", "k", -1, "-1"},
        ReadCase{"plusSign", "[c]\nk=+12\n", "c", "k", 12, "+12"},
        ReadCase{"blanksAroundTrimmed", "[c]\n  k  =  42 x  \n", "c", "k", 42, "42 x"},
        ReadCase{"overflowSaturates", "[c]\nk=99999999999999\n", "c", "k", 2147483647, "99999999999999"},
        ReadCase{"negativeOverflowSaturates", "[c]\nk=-99999999999999\n", "c", "k", -2147483647 - 1, "-99999999999999"},
        ReadCase{"firstOccurrenceWins", "[c]\nk=1\nk=2\n", "c", "k", 1, "1"},
        ReadCase{"repeatedSectionMerges", "[c]\na=1\n[d]\nk=3\n[C]\nk=2\n", "c", "k", 2, "2"},
        ReadCase{"keyWithoutEqualsIgnored", "[c]\nk\nk=4\n", "c", "k", 4, "4"},
        ReadCase{"keyBeforeAnySectionIgnored", "k=5\n[c]\n", "c", "k", 77, "dflt"},
        ReadCase{"unclosedSectionHeaderIgnored", "[c]\nk=6\n[broken\nk=7\n", "c", "k", 6, "6"},
        ReadCase{"noLineEndAtAll", "[c]", "c", "k", 77, "dflt"},
        ReadCase{"valueMayHoldEquals", "[c]\nk=a=b\n", "c", "k", 0, "a=b"},
        ReadCase{"nulBytesAreOrdinaryCharacters", std::string("[c]\nk=1\0x\n", 10), "c", "k", 1,
                 std::string("1\0x", 3)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileReaderTest, StringsAreCutAt4095Characters) {
    ProfileReader reader = ProfileReader::FromText("[c]\nk=" + std::string(5000, 'x') + "\n");
    EXPECT_EQ(reader.ReadString("c", "k").size(), 4095u);
    EXPECT_EQ(reader.ReadString("c", "absent", std::string(5000, 'y')).size(), 4095u);
}

TEST(ProfileReaderTest, HostileFilesReadAsDefaultsWithoutCrashing) {
    std::string garbage;
    uint32_t state = 12345;
    for (int i = 0; i < 200000; ++i) {
        state = state * 1103515245u + 12345u;
        garbage += static_cast<char>(state >> 24);
    }
    const std::string hostile[] = {
        garbage,
        std::string(1 << 20, 'a'),                     // a line of a megabyte, no line end
        "[c]\nk=" + std::string(1 << 20, '9') + "\n",  // a megabyte of digits
        std::string(1 << 16, '['),
        std::string(1 << 16, '\n'),
        std::string(1 << 16, '='),
    };
    for (const std::string& text : hostile) {
        ProfileReader reader = ProfileReader::FromText(text);
        EXPECT_EQ(reader.ReadInt("common", "samplerate", 8000), 8000);
        EXPECT_LE(reader.ReadString("c", "k").size(), 4095u);
    }
    EXPECT_EQ(ProfileReader::FromText(hostile[2]).ReadInt("c", "k", 0), 2147483647);
}

TEST(ProfileReaderTest, AFileOfManyDistinctSectionsReadsInLinearTime) {
    std::string text;
    for (int i = 0; i < 200000; ++i) text += "[s" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
    ProfileReader reader = ProfileReader::FromText(text);
    EXPECT_EQ(reader.ReadInt("s199999", "k", -1), 199999);
    EXPECT_EQ(reader.ReadInt("S0", "K", -1), 0);
}

TEST(ProfileReaderTest, MissingFileReadsAsEmpty) {
    TempDir dir;
    ProfileReader reader = ProfileReader::FromFile(dir.File("absent.ini"));
    EXPECT_FALSE(reader.HasKey("common", "device"));
    EXPECT_EQ(reader.ReadInt("common", "samplerate", 8000), 8000);
}

}  // namespace
}  // namespace pell
