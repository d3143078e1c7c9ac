#include "configurator/core/config_members.h"

#include <filesystem>
#include <gtest/gtest.h>

#include "configurator/core/config_controls.h"
#include "testsupport/temp_dir.h"

namespace pell::configurator {
namespace {

// The whole file a save writes after loading from nothing: the configurator's own defaults,
// and the recorder's values where an empty text would read as 0.
constexpr const char* kFreshSystemFile =
    "[common]\r\ndevice=\r\nnumber=1\r\nsamplerate=8000\r\ncleaning=1\r\nfree_disk_space=100\r\n"
    "\r\n[channel1]\r\nexists=1\r\nstereo=0\r\npreffix=a\r\ngain=2\r\ndescription=\r\n"
    "drop_folder=\r\nbitrate=24\r\nsensitive_control=0\r\nsensitive_level=5\r\nend_of_file=10\r\n"
    "min_file_length=30\r\nmax_file_length=10\r\nclip=0\r\n"
    "\r\n[channel2]\r\nexists=0\r\nstereo=0\r\npreffix=b\r\ngain=2\r\ndescription=\r\n"
    "drop_folder=\r\nbitrate=24\r\nsensitive_control=0\r\nsensitive_level=5\r\nend_of_file=10\r\n"
    "min_file_length=30\r\nmax_file_length=10\r\nclip=0\r\n";

std::string SaveAndRead(const TempDir& dir, const DialogControls& controls, DialogMembers& members) {
    bool saved = false;
    EXPECT_EQ(SaveSettings(controls, members, dir.File("settings.ini"), saved), SaveOutcome::kSaved);
    EXPECT_TRUE(saved);
    return dir.Read("settings.ini");
}

bool HasLine(const std::string& file, const std::string& line) {
    return file.find("\n" + line + "\r\n") != std::string::npos;
}

TEST(ConfigMembersTest, FreshSystemShowsUsableValuesAndSavesThem) {
    TempDir dir;
    DialogMembers members = LoadMembers(ProfileReader::FromFile(dir.File("settings.ini")));
    DialogControls shown = MembersToControls(members);

    EXPECT_EQ(shown.deviceNumber.index, 0);
    EXPECT_EQ(shown.autocleaning.index, 1);
    EXPECT_EQ(shown.minDiskSize, "100");
    EXPECT_EQ(shown.sampleRate, "8000");
    EXPECT_EQ(shown.device, "");
    for (size_t n = 0; n < 2; ++n) {
        const ChannelControls& c = shown.channels[n];
        EXPECT_EQ(c.active, n == 0);
        EXPECT_EQ(items::Gain()[static_cast<size_t>(c.gain.index)], "1");
        EXPECT_EQ(items::SignalControl()[static_cast<size_t>(c.signalControl.index)], "HID");
        EXPECT_FALSE(c.startLevelEnabled);
        EXPECT_EQ(items::Clip()[static_cast<size_t>(c.clip.index)], "None");
        EXPECT_EQ(items::Bitrate()[static_cast<size_t>(c.bitrate.index)], "24");
        EXPECT_EQ(items::StartLevel()[static_cast<size_t>(c.startLevel.index)], "5");
        EXPECT_EQ(items::Prefix()[static_cast<size_t>(c.prefix.index)], n == 0 ? "a" : "b");
        EXPECT_EQ(c.stopAfter, "10");
        EXPECT_EQ(c.description, "");
        EXPECT_EQ(c.folder, "");
    }
    EXPECT_EQ(SaveAndRead(dir, shown, members), kFreshSystemFile);
}

TEST(ConfigMembersTest, ConstructorValuesShowBeforeAnyLoad) {
    DialogControls shown = MembersToControls(ConstructorMembers());
    EXPECT_EQ(shown.device, "USB Audio");
    EXPECT_EQ(shown.minDiskSize, "500");
    EXPECT_EQ(shown.channels[0].description, "Line1");
    EXPECT_EQ(shown.channels[1].description, "Line2");
    EXPECT_EQ(shown.channels[1].folder, "d:\\record");
    EXPECT_EQ(shown.channels[0].clip.index, -1);
    EXPECT_EQ(shown.channels[0].gain.index, 0);
    EXPECT_EQ(shown.channels[0].startLevel.index, 3);  // "4"
    EXPECT_EQ(shown.channels[0].bitrate.index, 3);     // "32"
    EXPECT_EQ(shown.channels[1].prefix.index, 1);      // "b"
    EXPECT_EQ(shown.channels[0].stopAfter, "6");
}

// One key in the file: how its control shows it, and the line an unchanged save writes.
struct RoundTripCase {
    const char* file;
    std::string (*shown)(const DialogControls&);
    const char* expectedShown;
    const char* expectedLine;
};

void PrintTo(const RoundTripCase& c, std::ostream* os) { *os << c.file; }

std::string Index(const DropListState& s) { return std::to_string(s.index); }

const RoundTripCase kRoundTrips[] = {
    {"[channel1]\ngain=1", [](const DialogControls& c) { return Index(c.channels[0].gain); }, "0", "gain=1"},
    {"[channel2]\ngain=16", [](const DialogControls& c) { return Index(c.channels[1].gain); }, "15", "gain=16"},
    {"[channel1]\ngain=17", [](const DialogControls& c) { return Index(c.channels[0].gain); }, "-1", "gain=17"},
    {"[channel1]\ngain=0", [](const DialogControls& c) { return Index(c.channels[0].gain); }, "-1", "gain=0"},
    {"[channel1]\nbitrate=128", [](const DialogControls& c) { return Index(c.channels[0].bitrate); }, "11",
     "bitrate=128"},
    {"[channel1]\nbitrate=12", [](const DialogControls& c) { return Index(c.channels[0].bitrate); }, "11",
     "bitrate=12"},
    {"[channel2]\nbitrate=", [](const DialogControls& c) { return Index(c.channels[1].bitrate); }, "-1", "bitrate="},
    {"[channel1]\npreffix=ab", [](const DialogControls& c) { return Index(c.channels[0].prefix); }, "-1", "preffix=ab"},
    {"[channel2]\npreffix=Q", [](const DialogControls& c) { return Index(c.channels[1].prefix); }, "16", "preffix=Q"},
    {"[channel1]\npreffix=7", [](const DialogControls& c) { return Index(c.channels[0].prefix); }, "-1", "preffix=7"},
    {"[channel1]\nclip=3", [](const DialogControls& c) { return Index(c.channels[0].clip); }, "3", "clip=3"},
    {"[channel1]\nclip=4", [](const DialogControls& c) { return Index(c.channels[0].clip); }, "4", "clip=4"},
    {"[channel1]\nclip=5", [](const DialogControls& c) { return Index(c.channels[0].clip); }, "-1", "clip=5"},
    {"[channel2]\nclip=-1", [](const DialogControls& c) { return Index(c.channels[1].clip); }, "-1", "clip=-1"},
    {"[common]\nnumber=4", [](const DialogControls& c) { return Index(c.deviceNumber); }, "3", "number=4"},
    {"[common]\nnumber=9", [](const DialogControls& c) { return Index(c.deviceNumber); }, "-1", "number=9"},
    {"[common]\nnumber=-2147483648", [](const DialogControls& c) { return Index(c.deviceNumber); }, "-1",
     "number=-2147483648"},
    {"[common]\ncleaning=0", [](const DialogControls& c) { return Index(c.autocleaning); }, "0", "cleaning=0"},
    {"[common]\ncleaning=2", [](const DialogControls& c) { return Index(c.autocleaning); }, "-1", "cleaning=2"},
    {"[common]\nfree_disk_space=abc", [](const DialogControls& c) { return c.minDiskSize; }, "0", "free_disk_space=0"},
    {"[common]\nsamplerate=11025", [](const DialogControls& c) { return c.sampleRate; }, "11025", "samplerate=11025"},
    {"[channel1]\nsensitive_level=33", [](const DialogControls& c) { return Index(c.channels[0].startLevel); }, "-1",
     "sensitive_level=33"},
    {"[channel1]\nsensitive_level=3", [](const DialogControls& c) { return Index(c.channels[0].startLevel); }, "2",
     "sensitive_level=3"},
    {"[channel1]\nend_of_file=25", [](const DialogControls& c) { return c.channels[0].stopAfter; }, "25",
     "end_of_file=25"},
    {"[channel1]\nmin_file_length=40", [](const DialogControls& c) { return c.channels[0].minFileSize; }, "40",
     "min_file_length=40"},
    {"[channel1]\nmax_file_length=20", [](const DialogControls& c) { return c.channels[0].maxFileSize; }, "20",
     "max_file_length=20"},
    {"[channel2]\nexists=7", [](const DialogControls& c) { return std::to_string(c.channels[1].active); }, "1",
     "exists=1"},
    {"[CHANNEL2]\nDrop_Folder=/srv/calls/two", [](const DialogControls& c) { return c.channels[1].folder; },
     "/srv/calls/two", "drop_folder=/srv/calls/two"},
    {"[channel1]\nsensitive_control=1",
     [](const DialogControls& c) { return std::to_string(c.channels[0].startLevelEnabled); }, "1",
     "sensitive_control=1"},
    {"[channel1]\nsensitive_control=2",
     [](const DialogControls& c) {
         return Index(c.channels[0].signalControl) + std::to_string(c.channels[0].startLevelEnabled);
     },
     "-11", "sensitive_control=2"},
};

class RoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTripTest, ShowsTheValueAndAnUnchangedSaveWritesItBack) {
    const RoundTripCase& c = GetParam();
    TempDir dir;
    DialogMembers members = LoadMembers(ProfileReader::FromText(c.file));
    DialogControls shown = MembersToControls(members);
    EXPECT_EQ(c.shown(shown), c.expectedShown) << c.file;
    const std::string written = SaveAndRead(dir, shown, members);
    EXPECT_TRUE(HasLine(written, c.expectedLine)) << c.file << "\n" << written;
}

INSTANTIATE_TEST_SUITE_P(Keys, RoundTripTest, ::testing::ValuesIn(kRoundTrips));

// A drop list the user picks from replaces the file's value, whatever it was.
struct PickCase {
    const char* file;
    DropListState* (*list)(DialogControls&);
    int pickedIndex;
    const char* expectedLine;
};

const PickCase kPicks[] = {
    {"[channel1]\ngain=17", [](DialogControls& c) { return &c.channels[0].gain; }, 0, "gain=1"},
    {"[channel2]\ngain=3", [](DialogControls& c) { return &c.channels[1].gain; }, 15, "gain=16"},
    {"[channel1]\nbitrate=12", [](DialogControls& c) { return &c.channels[0].bitrate; }, 11, "bitrate=128"},
    {"[channel1]\npreffix=ab", [](DialogControls& c) { return &c.channels[0].prefix; }, 2, "preffix=c"},
    {"[channel2]\nclip=4", [](DialogControls& c) { return &c.channels[1].clip; }, 2, "clip=2"},
    {"[channel1]\nclip=0", [](DialogControls& c) { return &c.channels[0].clip; }, 4, "clip=4"},
    {"[channel2]\nclip=9", [](DialogControls& c) { return &c.channels[1].clip; }, 4, "clip=4"},
    {"[channel2]\nsensitive_level=5", [](DialogControls& c) { return &c.channels[1].startLevel; }, 31,
     "sensitive_level=32"},
    {"[channel1]\nsensitive_control=2", [](DialogControls& c) { return &c.channels[0].signalControl; }, 0,
     "sensitive_control=0"},
    {"[common]\nnumber=9", [](DialogControls& c) { return &c.deviceNumber; }, 3, "number=4"},
    {"[common]\ncleaning=1", [](DialogControls& c) { return &c.autocleaning; }, 0, "cleaning=0"},
};

void PrintTo(const PickCase& c, std::ostream* os) { *os << c.file << " pick " << c.pickedIndex; }

class PickTest : public ::testing::TestWithParam<PickCase> {};

TEST_P(PickTest, PickedItemIsWritten) {
    const PickCase& c = GetParam();
    TempDir dir;
    DialogMembers members = LoadMembers(ProfileReader::FromText(c.file));
    DialogControls controls = MembersToControls(members);
    *c.list(controls) = DropListState{c.pickedIndex, true};
    EXPECT_TRUE(HasLine(SaveAndRead(dir, controls, members), c.expectedLine)) << c.file;
}

INSTANTIATE_TEST_SUITE_P(Lists, PickTest, ::testing::ValuesIn(kPicks));

TEST(ConfigMembersTest, SignalControlRuleFollowsTheTakenSelection) {
    DialogMembers members = LoadMembers(ProfileReader{});
    DialogControls controls = MembersToControls(members);
    controls.channels[1].signalControl = {1, true};
    ASSERT_TRUE(ControlsToMembers(controls, members));
    DialogControls shown = MembersToControls(members);
    EXPECT_FALSE(shown.channels[0].startLevelEnabled);
    EXPECT_TRUE(shown.channels[1].startLevelEnabled);
}

TEST(ConfigMembersTest, TypedFolderReachesTheMemberOnlyAtTheNextExchange) {
    DialogMembers members = LoadMembers(ProfileReader::FromText("[channel1]\ndrop_folder=/old"));
    DialogControls controls = MembersToControls(members);
    controls.channels[0].folder = "/typed";
    EXPECT_EQ(members.channels[0].folder, "/old");
    ControlsToMembers(controls, members);
    EXPECT_EQ(members.channels[0].folder, "/typed");
}

struct IntegerCase {
    const char* text;
    std::optional<int32_t> expected;
};

void PrintTo(const IntegerCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class DialogIntegerTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(DialogIntegerTest, AcceptsOnlyAWholeNumberInRange) {
    EXPECT_EQ(ParseDialogInteger(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DialogIntegerTest,
    ::testing::Values(IntegerCase{"100", 100}, IntegerCase{" 42\t", 42}, IntegerCase{"-5", -5}, IntegerCase{"+7", 7},
                      IntegerCase{"0", 0}, IntegerCase{"000000000000012", 12}, IntegerCase{"2147483647", 2147483647},
                      IntegerCase{"-2147483648", std::numeric_limits<int32_t>::min()},
                      IntegerCase{"2147483648", std::nullopt}, IntegerCase{"99999999999999999999", std::nullopt},
                      IntegerCase{"", std::nullopt}, IntegerCase{"  ", std::nullopt}, IntegerCase{"-", std::nullopt},
                      IntegerCase{"12a", std::nullopt}, IntegerCase{"1 2", std::nullopt},
                      IntegerCase{"1.5", std::nullopt}, IntegerCase{"abc", std::nullopt}));

struct SelectCase {
    const std::vector<std::string>* list;
    const char* text;
    int expected;
};

void PrintTo(const SelectCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class SelectStringTest : public ::testing::TestWithParam<SelectCase> {};

TEST_P(SelectStringTest, SelectsTheFirstItemBeginningWithTheText) {
    EXPECT_EQ(SelectString(*GetParam().list, GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, SelectStringTest,
    ::testing::Values(SelectCase{&items::Bitrate(), "12", 11}, SelectCase{&items::Bitrate(), "3", 3},
                      SelectCase{&items::Bitrate(), "320", 16}, SelectCase{&items::Bitrate(), "9", 9},
                      SelectCase{&items::Bitrate(), "7", -1}, SelectCase{&items::Bitrate(), "", -1},
                      SelectCase{&items::Bitrate(), "3200", -1}, SelectCase{&items::Prefix(), "B", 1},
                      SelectCase{&items::Prefix(), "z", 25}, SelectCase{&items::Clip(), "fsk", 2},
                      SelectCase{&items::Clip(), "auto", 4}, SelectCase{&items::Gain(), "1", 1},
                      SelectCase{&items::Gain(), "o", 0}));

TEST(ConfigMembersTest, ItemListsHoldTheirItemsInOrder) {
    EXPECT_EQ(items::Gain().size(), 16u);
    EXPECT_EQ(items::Gain().back(), "15");
    EXPECT_EQ(items::StartLevel().size(), 32u);
    EXPECT_EQ(items::StopAfter().back(), "10");
    EXPECT_EQ(items::Prefix().size(), 26u);
    EXPECT_EQ(items::Bitrate().size(), 17u);
    EXPECT_EQ(items::DeviceNumber().back(), "4");
    // "clip" values 0..3 keep their items; automatic identification is value 4.
    EXPECT_EQ(items::Clip(), (std::vector<std::string>{"None", "Tone", "FSK (Europe)", "FSK (US)", "Automatic"}));
}

TEST(ConfigMembersTest, LineBreaksInTypedTextsCannotAddKeysOrSections) {
    TempDir dir;
    DialogMembers members = LoadMembers(ProfileReader{});
    DialogControls controls = MembersToControls(members);
    controls.channels[0].description = "Front desk\r\n[common]\r\ndevice=evil";
    controls.device = "USB Audio";
    const std::string written = SaveAndRead(dir, controls, members);
    ProfileReader back = ProfileReader::FromText(written);
    EXPECT_EQ(back.ReadString("common", "device"), "USB Audio");
    EXPECT_EQ(back.ReadString("channel1", "description"), "Front desk  [common]  device=evil");
}

TEST(ConfigMembersTest, SaveRefusesAMinDiskSizeThatIsNoWholeNumber) {
    TempDir dir;
    DialogMembers members = LoadMembers(ProfileReader{});
    DialogControls controls = MembersToControls(members);
    controls.minDiskSize = "12 MB";
    bool saved = false;
    EXPECT_EQ(SaveSettings(controls, members, dir.File("settings.ini"), saved), SaveOutcome::kInvalidMinDiskSize);
    EXPECT_FALSE(saved);
    EXPECT_FALSE(std::filesystem::exists(dir.File("settings.ini")));
    EXPECT_EQ(members.minDiskSize, 100);
}

TEST(ConfigMembersTest, FailedSaveKeepsTheOldFileAndTheSavedFlag) {
    TempDir dir;
    DialogMembers members = LoadMembers(ProfileReader{});
    DialogControls controls = MembersToControls(members);

    for (bool savedBefore : {false, true}) {
        bool saved = savedBefore;
        EXPECT_EQ(SaveSettings(controls, members, dir.File("missing/settings.ini"), saved), SaveOutcome::kCannotCreate);
        EXPECT_EQ(saved, savedBefore);

        // A folder in the file's place makes the final rename fail after a complete write.
        std::filesystem::create_directories(dir.File("blocked/settings.ini/inner"));
        EXPECT_EQ(SaveSettings(controls, members, dir.File("blocked/settings.ini"), saved), SaveOutcome::kWriteFailed);
        EXPECT_EQ(saved, savedBefore);
        EXPECT_TRUE(std::filesystem::is_directory(dir.File("blocked/settings.ini/inner")));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("blocked")),
                                std::filesystem::directory_iterator{}),
                  1);
    }
}

}  // namespace
}  // namespace pell::configurator
