#include "recorder/app/desktop_rules.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>

#include "testsupport/temp_dir.h"

namespace pell::recorder {
namespace {

TEST(AutostartEntryPathTest, UsesAnAbsoluteConfigHomeElseTheHomeFolder) {
    struct Case {
        const char* configHome;
        const char* home;
        std::string expected;
    };
    const Case cases[] = {
        {"/cfg", "/home/ann", "/cfg/autostart/PellRecorder.desktop"},
        {nullptr, "/home/ann", "/home/ann/.config/autostart/PellRecorder.desktop"},
        {"", "/home/ann", "/home/ann/.config/autostart/PellRecorder.desktop"},
        {"relative/cfg", "/home/ann", "/home/ann/.config/autostart/PellRecorder.desktop"},
        {nullptr, nullptr, ""},
        {"relative", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AutostartEntryPath(c.configHome, c.home), c.expected)
            << (c.configHome ? c.configHome : "(unset)") << " / " << (c.home ? c.home : "(unset)");
    }
}

TEST(QuoteExecArgumentTest, QuotesAndEscapesAsDesktopEntriesRequire) {
    struct Case {
        std::string path;
        std::string expected;
    };
    const Case cases[] = {
        {"/usr/bin/PellRecorder", R"("/usr/bin/PellRecorder")"},
        {"/opt/Pell Suite/PellRecorder", R"("/opt/Pell Suite/PellRecorder")"},
        {"/opt/100%/PellRecorder", R"("/opt/100%%/PellRecorder")"},
        {"/opt/$HOME/`x`/\"q\"", R"("/opt/\$HOME/\`x\`/\"q\"")"},
        {"/opt/back\\slash", R"("/opt/back\\\\slash")"},
        {"/opt/a;b&c|d", R"("/opt/a;b&c|d")"},
    };
    for (const Case& c : cases) EXPECT_EQ(QuoteExecArgument(c.path), c.expected) << c.path;
}

TEST(ToggleAutostartTest, WritesTheEntryIntoAMissingFolderThenRemovesIt) {
    TempDir dir;
    const std::string entry = dir.File("cfg/autostart/PellRecorder.desktop");
    EXPECT_FALSE(AutostartRegistered(entry));
    EXPECT_EQ(ToggleAutostart(entry, "/opt/Pell Suite/PellRecorder"), std::optional<bool>(true));
    EXPECT_TRUE(AutostartRegistered(entry));
    EXPECT_EQ(dir.Read("cfg/autostart/PellRecorder.desktop"), FormatAutostartEntry("/opt/Pell Suite/PellRecorder"));
    // Nothing but the entry is left behind by the atomic write.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("cfg/autostart")), {}), 1);
    EXPECT_EQ(ToggleAutostart(entry, "/opt/Pell Suite/PellRecorder"), std::optional<bool>(false));
    EXPECT_FALSE(AutostartRegistered(entry));
    EXPECT_EQ(ToggleAutostart("", "/x"), std::nullopt);
}

TEST(ToggleAutostartTest, AFolderThatCannotBeMadeLeavesTheRegistrationAsItWas) {
    TempDir dir;
    dir.Write("cfg", "a file where the folder should be");
    const std::string entry = dir.File("cfg/autostart/PellRecorder.desktop");
    EXPECT_EQ(ToggleAutostart(entry, "/usr/bin/PellRecorder"), std::nullopt);
    EXPECT_FALSE(AutostartRegistered(entry));
}

TEST(CutTipTest, KeepsAtMostTheGivenNumberOfWholeCharacters) {
    struct Case {
        std::string tip;
        size_t max;
        std::string expected;
    };
    const std::string long128(128, 'x');
    const Case cases[] = {
        {"Pell2Recorder - recording", 127, "Pell2Recorder - recording"},
        {long128, 127, std::string(127, 'x')},
        {std::string(127, 'x'), 127, std::string(127, 'x')},
        {"ab\xC3\xA9"
         "cd",
         3, "ab\xC3\xA9"},  // "abécd"
        {"ab\xC3\xA9"
         "cd",
         2, "ab"},
        {"", 127, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(CutTip(c.tip, c.max), c.expected) << c.tip.size() << " bytes, max " << c.max;
}

TEST(FindCompanionTest, TakesTheFirstFolderThatHoldsTheProgramThenPath) {
    struct Case {
        std::vector<std::string> folders;
        std::set<std::string> executables;
        std::string onPath;
        std::string expected;
    };
    const Case cases[] = {
        {{"/a", "/b"}, {"/a/Pell2CFG", "/b/Pell2CFG"}, "/usr/bin/Pell2CFG", "/a/Pell2CFG"},
        {{"/a", "/b"}, {"/b/Pell2CFG"}, "/usr/bin/Pell2CFG", "/b/Pell2CFG"},
        {{"", "/b"}, {"/Pell2CFG"}, "/usr/bin/Pell2CFG", "/usr/bin/Pell2CFG"},
        {{"/a"}, {}, "", ""},
    };
    for (const Case& c : cases) {
        const std::string found = FindCompanion(
            "Pell2CFG", c.folders, [&](const std::string& p) { return c.executables.count(p) != 0; },
            [&](const std::string&) { return c.onPath; });
        EXPECT_EQ(found, c.expected);
    }
    EXPECT_EQ(BuildTreeFolder("/src/build/recorder/app/PellRecorder", "../../configurator/app"),
              "/src/build/configurator/app");
    EXPECT_EQ(BuildTreeFolder("/usr/bin/PellRecorder", ""), "");
    EXPECT_EQ(FolderOf("/opt/player/PellPlayer"), "/opt/player");
    EXPECT_EQ(FolderOf("PellPlayer"), ".");
}

TEST(FormatLogLineTest, OneLinePerEventWithTheJournalsPriorityUnderSystemd) {
    struct Case {
        const char* line;
        bool journal;
        const char* expected;
    };
    const Case cases[] = {
        {"started: device \"usb audio\"", false, "PellRecorder: started: device \"usb audio\"\n"},
        {"started: device \"usb audio\"", true, "<6>started: device \"usb audio\"\n"},
        {"message: Could not open line source!", true, "<4>message: Could not open line source!\n"},
        {"alarm: the line box is missing", true, "<4>alarm: the line box is missing\n"},
        {"message: two\nlines\r", false, "PellRecorder: message: two lines \n"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatLogLine(c.line, c.journal), c.expected) << c.line;
}

}  // namespace
}  // namespace pell::recorder
