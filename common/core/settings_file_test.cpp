#include "common/core/settings_file.h"

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>

#include "common/core/profile.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

SettingsDocument Sample() {
    SettingsDocument doc;
    doc.device = "USB Audio";
    doc.number = "1";
    doc.samplerate = "8000";
    doc.cleaning = "1";
    doc.freeDiskSpace = "100";
    doc.channels[0] = {"1", "a", "2", "Front desk", "/var/spool/pell/line1", "24", "0", "5", "10", "30", "10", "2"};
    doc.channels[1] = {"0", "b", "1", "", "", "32", "1", "12", "3", "40", "20", "0"};
    return doc;
}

std::string ReadGolden(const std::string& name) {
    std::ifstream in(std::string(PELL_GOLDEN_DIR) + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(SettingsFileTest, FormatMatchesTheGoldenFile) {
    EXPECT_EQ(FormatSettingsFile(Sample()), ReadGolden("settings_sample.ini"));
}

TEST(SettingsFileTest, WrittenFileReadsBackThroughTheProfileReader) {
    ProfileReader ini = ProfileReader::FromText(FormatSettingsFile(Sample()));
    EXPECT_EQ(ini.ReadString("common", "device"), "USB Audio");
    EXPECT_EQ(ini.ReadInt("channel1", "stereo", 1), 0);
    EXPECT_EQ(ini.ReadString("channel1", "drop_folder"), "/var/spool/pell/line1");
    EXPECT_EQ(ini.ReadInt("channel2", "sensitive_level", 0), 12);
    EXPECT_EQ(ini.ReadInt("channel2", "max_file_length", 0), 20);
}

TEST(SettingsFileTest, AtomicWriteReplacesTheFileWhole) {
    TempDir dir;
    dir.Write("settings.ini", std::string(10000, 'o'));
    ASSERT_EQ(WriteFileAtomically(dir.File("settings.ini"), "new"), WriteResult::kOk);
    EXPECT_EQ(dir.Read("settings.ini"), "new");
    int files = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1) << "the temporary file must not stay behind";
}

TEST(SettingsFileTest, FailedWriteLeavesTheOldFileAndReportsIt) {
    TempDir dir;
    EXPECT_EQ(WriteFileAtomically(dir.File("missing-folder/settings.ini"), "x"), WriteResult::kCannotCreate);

    // A full disk, simulated by a file-size limit: the old settings must survive untouched.
    dir.Write("settings.ini", "old");
    struct rlimit saved {};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const WriteResult result = WriteFileAtomically(dir.File("settings.ini"), std::string(1000, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);

    EXPECT_EQ(result, WriteResult::kWriteFailed);
    EXPECT_EQ(dir.Read("settings.ini"), "old");
    int files = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1);
}

// How the folder looks before the save: a plain file, links, or nothing.
enum class Before { kNothing, kFile, kLinkToFile, kLinkChain, kDanglingLink, kLinkLoop };

TEST(SettingsFileTest, AtomicWriteKeepsModesAndWritesThroughLinks) {
    struct Case {
        const char* name;
        Before before;
        unsigned oldMode;      // of the existing file
        unsigned newFileMode;  // asked for a file that does not exist yet
        WriteResult result;
        unsigned modeAfter;  // of the file that holds the text
        unsigned umask = 022;
    } cases[] = {
        {"new file is private", Before::kNothing, 0, 0600, WriteResult::kOk, 0600},
        {"new file with an asked mode", Before::kNothing, 0, 0644, WriteResult::kOk, 0644},
        {"new shared file follows the umask", Before::kNothing, 0, 0666, WriteResult::kOk, 0644},
        {"new file in a group's folder stays group-writable", Before::kNothing, 0, 0666, WriteResult::kOk, 0664, 002},
        {"private file stays private", Before::kFile, 0600, 0644, WriteResult::kOk, 0600},
        {"group-readable file keeps its mode", Before::kFile, 0640, 0600, WriteResult::kOk, 0640},
        {"shared file keeps its mode", Before::kFile, 0644, 0600, WriteResult::kOk, 0644},
        {"link to a file elsewhere", Before::kLinkToFile, 0640, 0600, WriteResult::kOk, 0640},
        {"relative chain of links", Before::kLinkChain, 0604, 0600, WriteResult::kOk, 0604},
        {"link to a file not made yet", Before::kDanglingLink, 0, 0600, WriteResult::kOk, 0600},
        {"loop of links", Before::kLinkLoop, 0, 0600, WriteResult::kCannotCreate, 0},
    };
    namespace fs = std::filesystem;
    const mode_t processMask = ::umask(022);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ::umask(static_cast<mode_t>(c.umask));
        TempDir dir;
        fs::create_directory(dir.File("real"));
        const std::string settings = dir.File("settings.ini");
        std::string holder = settings;  // the file that should end up with the text
        switch (c.before) {
            case Before::kNothing:
                break;
            case Before::kFile:
                dir.Write("settings.ini", "old");
                break;
            case Before::kLinkToFile:
                dir.Write("real/settings.ini", "old");
                fs::create_symlink(dir.File("real/settings.ini"), settings);
                holder = dir.File("real/settings.ini");
                break;
            case Before::kLinkChain:
                dir.Write("real/settings.ini", "old");
                fs::create_symlink("real/settings.ini", dir.File("middle"));
                fs::create_symlink("middle", settings);
                holder = dir.File("real/settings.ini");
                break;
            case Before::kDanglingLink:
                fs::create_symlink("real/later.ini", settings);
                holder = dir.File("real/later.ini");
                break;
            case Before::kLinkLoop:
                fs::create_symlink("settings.ini", dir.File("other"));
                fs::create_symlink("other", settings);
                break;
        }
        if (c.oldMode != 0) ::chmod(holder.c_str(), c.oldMode);
        ASSERT_EQ(WriteFileAtomically(settings, "new", c.newFileMode), c.result);
        if (c.result != WriteResult::kOk) {
            EXPECT_TRUE(fs::is_symlink(settings));
            continue;
        }
        EXPECT_EQ(fs::is_symlink(settings), c.before != Before::kNothing && c.before != Before::kFile);
        std::ifstream in(settings, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new");
        struct stat st {};
        ASSERT_EQ(::stat(holder.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.modeAfter);
        std::size_t files = 0;
        for ([[maybe_unused]] auto& entry : fs::recursive_directory_iterator(dir.path())) ++files;
        EXPECT_EQ(files, c.before == Before::kLinkChain    ? 4u
                         : c.before >= Before::kLinkToFile ? 3u
                                                           : 2u)
            << "the temporary file must not stay behind";
    }
    ::umask(processMask);
}

}  // namespace
}  // namespace pell
