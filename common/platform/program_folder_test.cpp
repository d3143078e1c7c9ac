#include "common/platform/program_folder.h"

#include <QSettings>
#include <filesystem>
#include <gtest/gtest.h>

#include "testsupport/temp_dir.h"

namespace pell {
namespace {

class ProgramFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, QString::fromStdString(dir_.path()));
        QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, QString::fromStdString(dir_.path()));
    }
    void Store(const char* app, const QVariant& value) {
        QSettings s(QSettings::NativeFormat, QSettings::SystemScope, kVendorName, app);
        s.setValue("PathToProg", value);
        s.sync();
    }
    TempDir dir_;
};

TEST_F(ProgramFolderTest, StoredValueIsUsedUnchanged) {
    Store(kRecorderAppName, "/opt/pell/");
    EXPECT_EQ(LookupProgramFolder(kRecorderAppName, ProgramFolderFallback::kExecutableFolder), "/opt/pell/");
}

TEST_F(ProgramFolderTest, StoredValueIsCutAt260Characters) {
    Store(kPlayerAppName, QString(300, 'x'));
    EXPECT_EQ(LookupProgramFolder(kPlayerAppName, ProgramFolderFallback::kCurrentDirectory).size(), 260u);
}

TEST_F(ProgramFolderTest, MissingOrEmptyValueFallsBack) {
    const std::string exeFolder = ExecutableFolder();
    EXPECT_EQ(LookupProgramFolder(kRecorderAppName, ProgramFolderFallback::kExecutableFolder), exeFolder);
    EXPECT_TRUE(std::filesystem::exists(exeFolder + "/common_platform_test"));

    Store(kPlayerAppName, "");
    EXPECT_EQ(LookupProgramFolder(kPlayerAppName, ProgramFolderFallback::kCurrentDirectory),
              std::filesystem::current_path().string());
}

}  // namespace
}  // namespace pell
