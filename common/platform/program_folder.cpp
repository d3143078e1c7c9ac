#include "common/platform/program_folder.h"

#include <QCoreApplication>
#include <QSettings>
#include <filesystem>
#include <system_error>

namespace pell {

std::string ExecutableFolder() {
    if (QCoreApplication::instance() != nullptr) {
        return QCoreApplication::applicationDirPath().toStdString();
    }
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : exe.parent_path().string();
}

std::string LookupProgramFolder(const char* applicationName, ProgramFolderFallback fallback) {
    QSettings registry(QSettings::NativeFormat, QSettings::SystemScope, kVendorName, applicationName);
    std::string folder = registry.value("PathToProg").toString().left(260).toStdString();
    if (!folder.empty()) return folder;
    if (fallback == ProgramFolderFallback::kExecutableFolder) return ExecutableFolder();
    std::error_code error;
    std::filesystem::path current = std::filesystem::current_path(error);
    return error ? std::string(".") : current.string();
}

}  // namespace pell
