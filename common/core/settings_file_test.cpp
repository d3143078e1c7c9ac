#include "common/core/settings_file.h"

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <fstream>
#include <gtest/gtest.h>
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
    ASSERT_EQ(WriteFileAtomically(dir.File("settings.ini"), "new"), WriteResult::Ok);
    EXPECT_EQ(dir.Read("settings.ini"), "new");
    int files = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1) << "the temporary file must not stay behind";
}

TEST(SettingsFileTest, FailedWriteLeavesTheOldFileAndReportsIt) {
    TempDir dir;
    EXPECT_EQ(WriteFileAtomically(dir.File("missing-folder/settings.ini"), "x"), WriteResult::CannotCreate);

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

    EXPECT_EQ(result, WriteResult::WriteFailed);
    EXPECT_EQ(dir.Read("settings.ini"), "old");
    int files = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1);
}

}  // namespace
}  // namespace pell
