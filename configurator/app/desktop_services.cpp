#include "configurator/app/desktop_services.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>

#include "common/core/paths.h"
#include "configurator/core/config_controls.h"

namespace pell::configurator {
namespace {

QStringList ToQt(const std::vector<std::string>& arguments) {
    QStringList out;
    for (const std::string& a : arguments) out << QString::fromStdString(a);
    return out;
}

}  // namespace

void MessageBoxNotifier::Information(QWidget* owner, const QString& text) {
    QMessageBox::information(owner, text::kTitle, text);
}

void MessageBoxNotifier::Warning(QWidget* owner, const QString& text) {
    QMessageBox::warning(owner, text::kTitle, text);
}

DesktopRecorderSignals::DesktopRecorderSignals(QString reloadChannel, int stopTimeoutMs)
    : reloadChannel_(std::move(reloadChannel)), stopTimeoutMs_(stopTimeoutMs) {}

QString DesktopRecorderSignals::RestartProgramPath(const std::string& programFolder) {
    const QFileInfo beside(QString::fromStdString(JoinPath(programFolder, kRestartProgramName)));
    if (beside.isFile() && beside.isExecutable()) return beside.filePath();
    const QString found = QStandardPaths::findExecutable(kRestartProgramName);
    return found.isEmpty() ? QString(kRestartProgramName) : found;
}

RunOutcome DesktopRecorderSignals::RunRestartProgram(const std::vector<std::string>& arguments,
                                                     const std::string& workingFolder) {
    auto* process = new QProcess;
    process->setProgram(RestartProgramPath(workingFolder));
    process->setArguments(ToQt(arguments));
    process->setWorkingDirectory(QString::fromStdString(workingFolder));
    process->start();
    if (!process->waitForStarted(stopTimeoutMs_)) {
        delete process;
        return RunOutcome::kFailedToStart;
    }
    if (!process->waitForFinished(stopTimeoutMs_)) {
        // Deleting a QProcess kills it; a supervisor killed half-way through stopping the
        // recorder is worse than one left to finish on its own, so the object is let go.
        return RunOutcome::kTimedOut;
    }
    delete process;
    return RunOutcome::kFinished;
}

bool DesktopRecorderSignals::StartRestartProgram(const std::vector<std::string>& arguments,
                                                 const std::string& workingFolder) {
    return QProcess::startDetached(RestartProgramPath(workingFolder), ToQt(arguments),
                                   QString::fromStdString(workingFolder));
}

bool DesktopRecorderSignals::SendReload() { return pell::SendReload(reloadChannel_); }

}  // namespace pell::configurator
