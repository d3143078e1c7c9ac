#include "common/core/recorder_settings.h"

#include <gtest/gtest.h>
#include <filesystem>
#include <vector>

#include "testsupport/temp_dir.h"

namespace pell {
namespace {

using std::chrono::day;
using std::chrono::month;
using std::chrono::year;
using std::chrono::year_month_day;

RecorderSettings Load(const TempDir& dir, ToneTables* tables = nullptr) {
    RecorderSettings settings;
    settings.programFolder = dir.path();
    ToneTables local;
    LoadSettings(settings, tables != nullptr ? *tables : local);
    return settings;
}

TEST(LoadSettingsTest, NoSettingsFileGivesEveryReaderDefault) {
    TempDir dir;
    RecorderSettings s = Load(dir);
    EXPECT_TRUE(s.twoChannels);
    EXPECT_EQ(s.cleaning, 1);
    EXPECT_EQ(s.freeDiskSpace, 100);
    EXPECT_EQ(s.sampleRate, 8000);
    EXPECT_EQ(s.device, "");
    for (const ChannelConfig& c : s.channels) {
        EXPECT_TRUE(c.exists);
        EXPECT_TRUE(c.stereo);
        EXPECT_EQ(c.sensitiveControl, LineControl::kSoundLevel);
        EXPECT_EQ(c.sensitiveLevel, 5);
        EXPECT_EQ(c.gain, 1) << "never configured is unity, not silence";
        EXPECT_EQ(c.bitrate, 24);
        EXPECT_EQ(c.endOfFile, 10);
        EXPECT_EQ(c.maxFileLength, 10);
        EXPECT_EQ(c.minFileLength, 30);
        EXPECT_EQ(c.clip, ClipMode::kNone);
        EXPECT_EQ(c.prefix, "");
        EXPECT_EQ(c.dropFolder, dir.path()) << "no drop folder files into the program folder";
        EXPECT_EQ(c.description, "");
        EXPECT_EQ(c.fileCounter, 0u);
        EXPECT_EQ(c.folderDate, kDefaultFolderDate);
    }
    EXPECT_EQ(s.loadMessages.size(), 2u) << "one message per channel without a drop folder";
}

TEST(LoadSettingsTest, ReadsEveryKeyWhateverItsCase) {
    TempDir dir;
    dir.Write(
        "settings.ini",
        "[CHANNEL2]\r\nGain=1\r\nPreffix=b\r\nClip=2\r\nDrop_Folder=/x/y\r\nDescription=Sales\r\n"
        "Stereo=0\r\nExists=0\r\nBitRate=32\r\nSensitive_Control=0\r\nSensitive_Level=7\r\n"
        "End_Of_File=3\r\nMin_File_Length=40\r\nMax_File_Length=20\r\n"
        "[Common]\r\nDevice=USB Audio\r\nSampleRate=16000\r\nCleaning=0\r\nFree_Disk_Space=250\r\n2_Channels=0\r\n");
    RecorderSettings s = Load(dir);
    EXPECT_FALSE(s.twoChannels);
    EXPECT_EQ(s.cleaning, 0);
    EXPECT_EQ(s.freeDiskSpace, 250);
    EXPECT_EQ(s.sampleRate, 16000);
    EXPECT_EQ(s.device, "USB Audio");
    const ChannelConfig& c = s.channels[1];
    EXPECT_EQ(c.gain, 1);
    EXPECT_EQ(c.prefix, "b");
    EXPECT_EQ(c.clip, ClipMode::kFskEurope);
    EXPECT_EQ(c.dropFolder, "/x/y");
    EXPECT_EQ(c.description, "Sales");
    EXPECT_FALSE(c.stereo);
    EXPECT_FALSE(c.exists);
    EXPECT_EQ(c.bitrate, 32);
    EXPECT_EQ(c.sensitiveControl, LineControl::kLineState);
    EXPECT_EQ(c.sensitiveLevel, 7);
    EXPECT_EQ(c.endOfFile, 3);
    EXPECT_EQ(c.minFileLength, 40);
    EXPECT_EQ(c.maxFileLength, 20);
    EXPECT_EQ(s.channels[0].gain, 1) << "channel 1 keeps its defaults";
}

TEST(LoadSettingsTest, EveryLoadRereadsStateFiles) {
    TempDir dir;
    RecorderSettings s;
    s.programFolder = dir.path();
    s.channels[1].fileCounter = 55;
    ToneTables tables;
    LoadSettings(s, tables);
    EXPECT_EQ(s.channels[1].fileCounter, 0u);
    EXPECT_EQ(s.programFolder, dir.path());
    int hookCalls = 0;
    LoadSettings(s, tables, [&] { ++hookCalls; });
    EXPECT_EQ(hookCalls, 1);
}

struct CounterCase {
    const char* name;
    const char* content;  // nullptr: no file
    uint32_t expected;
};

void PrintTo(const CounterCase& c, std::ostream* os) { *os << c.name; }

class CounterFileTest : public ::testing::TestWithParam<CounterCase> {};

TEST_P(CounterFileTest, ReadsTheLeadingDecimalOfTheFirstLine) {
    TempDir dir;
    if (GetParam().content != nullptr) dir.Write("channel2", GetParam().content);
    EXPECT_EQ(Load(dir).channels[1].fileCounter, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Counters, CounterFileTest,
                         ::testing::Values(CounterCase{"absent", nullptr, 0}, CounterCase{"plain", "42", 42},
                                           CounterCase{"digitsThenLetters", "123abc", 123},
                                           CounterCase{"letters", "abc", 0},
                                           CounterCase{"secondLineIgnored", "7\r\n8", 7},
                                           CounterCase{"largest", "9999999", 9999999},
                                           CounterCase{"beyondSevenDigits", "10000000", 0},
                                           CounterCase{"negative", "-3", 0}, CounterCase{"empty", "", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

struct FolderDateCase {
    const char* name;
    const char* content;
    year_month_day expected;
};

void PrintTo(const FolderDateCase& c, std::ostream* os) { *os << c.name; }

class FolderDateFileTest : public ::testing::TestWithParam<FolderDateCase> {};

TEST_P(FolderDateFileTest, UsesOnlyEightCharactersOfARealDate) {
    TempDir dir;
    if (GetParam().content != nullptr) dir.Write("folder1", GetParam().content);
    EXPECT_EQ(Load(dir).channels[0].folderDate, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, FolderDateFileTest,
    ::testing::Values(FolderDateCase{"absent", nullptr, kDefaultFolderDate},
                      FolderDateCase{"sixDecember2026", "20261206", year{2026} / month{12} / day{6}},
                      FolderDateCase{"windowsLineEnd", "20261206\r\n", year{2026} / month{12} / day{6}},
                      FolderDateCase{"sevenCharacters", "2026120", kDefaultFolderDate},
                      FolderDateCase{"nineCharacters", "202612061", kDefaultFolderDate},
                      FolderDateCase{"allZeros", "00000000", kDefaultFolderDate},
                      FolderDateCase{"thirtiethOfFebruary", "20260230", kDefaultFolderDate},
                      FolderDateCase{"monthThirteen", "20261301", kDefaultFolderDate},
                      FolderDateCase{"leapDay", "20240229", year{2024} / month{2} / day{29}},
                      FolderDateCase{"letters", "abcdefgh", kDefaultFolderDate},
                      FolderDateCase{"blanksInside", "2024 1 2", kDefaultFolderDate},
                      FolderDateCase{"leadingSign", "+0011231", kDefaultFolderDate},
                      FolderDateCase{"trailingBlank", "2024010 ", kDefaultFolderDate}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Settings that cannot work --------------------------------------------------------------

struct RefusalCase {
    const char* name;
    const char* settings;            // channel 1 and common keys; channel 2 is switched off
    std::string expectedDropFolder;  // "@" stands for the program folder
    std::string expectedPrefix;
    int32_t expectedBitrate;
    int32_t expectedSampleRate;
    int32_t expectedGain;
    std::vector<std::string> expectedMessages;
    int32_t expectedEndOfFile = 10;
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class RefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusalTest, AValueThatCannotWorkIsReplacedWithOneMessage) {
    const RefusalCase& p = GetParam();
    TempDir dir;
    dir.Write("settings.ini", std::string("[channel2]\nexists=0\n[channel1]\n") + p.settings);
    RecorderSettings s = Load(dir);
    auto at = [&](std::string text) {
        for (size_t i = text.find('@'); i != std::string::npos; i = text.find('@')) text.replace(i, 1, dir.path());
        return text;
    };
    const ChannelConfig& c = s.channels[0];
    EXPECT_EQ(c.dropFolder, at(p.expectedDropFolder));
    EXPECT_EQ(c.prefix, p.expectedPrefix);
    EXPECT_EQ(c.bitrate, p.expectedBitrate);
    EXPECT_EQ(s.sampleRate, p.expectedSampleRate);
    EXPECT_EQ(c.gain, p.expectedGain);
    EXPECT_EQ(c.endOfFile, p.expectedEndOfFile);
    std::vector<std::string> expected;
    for (const std::string& m : p.expectedMessages) expected.push_back(at(m));
    EXPECT_EQ(s.loadMessages, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusalTest,
    ::testing::Values(
        RefusalCase{"AllUsable", "drop_folder=/r\npreffix=in-\nbitrate=24\ngain=3\n", "/r", "in-", 24, 8000, 3, {}},
        RefusalCase{"HandWrittenGainZeroStillSilences", "drop_folder=/r\ngain=0\n", "/r", "", 24, 8000, 0, {}},
        RefusalCase{"EmptyDropFolder",
                    "drop_folder=\n",
                    "@",
                    "",
                    24,
                    8000,
                    1,
                    {"No drop folder is set for channel 1; its recordings go to \"@\"."}},
        RefusalCase{"PrefixClimbingOut",
                    "drop_folder=/r\npreffix=../../x\n",
                    "/r",
                    "x",
                    24,
                    8000,
                    1,
                    {"The file name prefix \"../../x\" of channel 1 leads out of its folder; \"x\" is used."}},
        RefusalCase{"PrefixWithAFolder",
                    "drop_folder=/r\npreffix=sub/in-\n",
                    "/r",
                    "in-",
                    24,
                    8000,
                    1,
                    {"The file name prefix \"sub/in-\" of channel 1 leads out of its folder; \"in-\" is used."}},
        RefusalCase{"PrefixOnlyDots",
                    "drop_folder=/r\npreffix=..\n",
                    "/r",
                    "",
                    24,
                    8000,
                    1,
                    {"The file name prefix \"..\" of channel 1 leads out of its folder; \"\" is used."}},
        RefusalCase{"BitRateZero",
                    "drop_folder=/r\nbitrate=0\n",
                    "/r",
                    "",
                    8,
                    8000,
                    1,
                    {"The bit rate 0 kbit/s of channel 1 cannot be encoded at 8000 Hz; 8 kbit/s is used."}},
        RefusalCase{"BitRateNegative",
                    "drop_folder=/r\nbitrate=-5\n",
                    "/r",
                    "",
                    8,
                    8000,
                    1,
                    {"The bit rate -5 kbit/s of channel 1 cannot be encoded at 8000 Hz; 8 kbit/s is used."}},
        RefusalCase{"BitRateAboveWhatEightKilohertzTakes",
                    "drop_folder=/r\nbitrate=128\n",
                    "/r",
                    "",
                    64,
                    8000,
                    1,
                    {"The bit rate 128 kbit/s of channel 1 cannot be encoded at 8000 Hz; 64 kbit/s is used."}},
        RefusalCase{"BitRateBetweenTwoAt32k",
                    "drop_folder=/r\nbitrate=20\n[common]\nsamplerate=32000\n",
                    "/r",
                    "",
                    32,
                    32000,
                    1,
                    {"The bit rate 20 kbit/s of channel 1 cannot be encoded at 32000 Hz; 32 kbit/s is used."}},
        RefusalCase{"RateBelowEightKilohertz",
                    "drop_folder=/r\n[common]\nsamplerate=1\n",
                    "/r",
                    "",
                    24,
                    8000,
                    1,
                    {"The sample rate 1 Hz cannot be captured; 8000 Hz is used."}},
        RefusalCase{"RateAboveWhatADeviceDelivers",
                    "drop_folder=/r\nbitrate=32\n[common]\nsamplerate=384000\n",
                    "/r",
                    "",
                    32,
                    8000,
                    1,
                    {"The sample rate 384000 Hz cannot be captured; 8000 Hz is used."}},
        RefusalCase{"EndOfFileAnHourIsKept", "drop_folder=/r\nend_of_file=3600\n", "/r", "", 24, 8000, 1, {}, 3600},
        RefusalCase{"EndOfFileBeyondAnHour",
                    "drop_folder=/r\nend_of_file=99999999999\n",
                    "/r",
                    "",
                    24,
                    8000,
                    1,
                    {"The end of file time 2147483647 s of channel 1 is not between 0 and 3600 s; 10 s is used."}},
        RefusalCase{"EndOfFileNegative",
                    "drop_folder=/r\nend_of_file=-3\n",
                    "/r",
                    "",
                    24,
                    8000,
                    1,
                    {"The end of file time -3 s of channel 1 is not between 0 and 3600 s; 10 s is used."}},
        RefusalCase{"CleaningWithoutALimit",
                    "drop_folder=/r\n[common]\nfree_disk_space=0\n",
                    "/r",
                    "",
                    24,
                    8000,
                    1,
                    {"Cleaning is on, but its free disk space limit is 0 MB: no day folder is ever removed and the "
                     "disk may fill up. Set a limit above 0 MB, or turn cleaning off."}},
        RefusalCase{"NoLimitWithCleaningOff",
                    "drop_folder=/r\n[common]\nfree_disk_space=-1\ncleaning=0\n",
                    "/r",
                    "",
                    24,
                    8000,
                    1,
                    {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ToneTableTest, EuropeanPairOnlyForClipTwo) {
    const std::array<int32_t, 6> usMarkCos{32767, 19257, -10131, -31166, -26501, 15};
    const std::array<int32_t, 6> usMarkSin{0, 26510, 31161, 10116, -19269, -32766};
    const std::array<int32_t, 6> usSpaceCos{32767, -5131, -31159, 14891, 26495, -23189};
    const std::array<int32_t, 6> euMarkCos{32767, 17117, -14881, -32666, -19249, 12554};
    const std::array<int32_t, 6> euSpaceSin{0, 32665, -5136, -31857, 10146, 30262};
    // Values outside the four are kept as read from "clip" and get the US pair too.
    for (int32_t clip : {3, 1, 0, -1, 99}) {
        ToneTable t = BuildToneTable(static_cast<ClipMode>(clip));
        EXPECT_EQ(t.cosMark, usMarkCos) << clip;
        EXPECT_EQ(t.sinMark, usMarkSin) << clip;
        EXPECT_EQ(t.cosSpace, usSpaceCos) << clip;
    }
    ToneTable eu = BuildToneTable(ClipMode::kFskEurope);
    EXPECT_EQ(eu.cosMark, euMarkCos);
    EXPECT_EQ(eu.sinSpace, euSpaceSin);
}

TEST(ToneTableTest, LoadBuildsOneTablePerChannel) {
    TempDir dir;
    dir.Write("settings.ini", "[channel1]\nclip=2\n[channel2]\nclip=3\n");
    ToneTables tables;
    Load(dir, &tables);
    EXPECT_EQ(tables[0].cosMark, BuildToneTable(ClipMode::kFskEurope).cosMark);
    EXPECT_EQ(tables[1].cosMark, BuildToneTable(ClipMode::kFskUs).cosMark);
}

TEST(CreateDropFoldersTest, MakesEachLevelFromTheLeftThenTheWholePath) {
    RecorderSettings s;
    s.channels[0].dropFolder = "/rec/calls/line1";
    s.channels[1].dropFolder = "/rec/other";
    s.channels[1].exists = false;
    std::vector<std::string> made;
    CreateDropFolders(s, [&](const std::string& p) { made.push_back(p); });
    EXPECT_EQ(made, (std::vector<std::string>{"", "/rec", "/rec/calls", "/rec/calls/line1"}));
}

TEST(CreateDropFoldersTest, CreatesRealFoldersAndIgnoresFailures) {
    TempDir dir;
    RecorderSettings s;
    s.channels[0].dropFolder = dir.path() + "/a/b/c";
    s.channels[1].dropFolder = "";
    CreateDropFolders(s);
    CreateDropFolders(s);  // already there: no effect
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() + "/a/b/c"));
}

}  // namespace
}  // namespace pell
