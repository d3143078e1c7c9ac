#include "recorder/app/system_desktop.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <cstdio>

#include "common/platform/program_folder.h"
#include "recorder/app/recorder_controls.h"

namespace pell::recorder {

SystemDesktop::SystemDesktop()
    : boxesShown_(QGuiApplication::platformName() != "offscreen" && QGuiApplication::platformName() != "minimal") {}

void SystemDesktop::ShowStop(QWidget* owner, const std::string& text) {
    Log("message: " + text);
    if (boxesShown_) QMessageBox::critical(owner, text::kAppName, QString::fromStdString(text));
}

void SystemDesktop::DismissMessages() {
    // Each box leaves the modal stack as it is closed; its own loop returns afterwards.
    for (int guard = 0; guard < 16; ++guard) {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        Log("message closed unanswered: " + box->text().toStdString());
        box->done(QMessageBox::Cancel);
    }
}

bool SystemDesktop::AskQuit(QWidget* owner) {
    // Without a display nobody can answer: the default button, No, stands.
    const bool yes =
        boxesShown_ && QMessageBox::question(owner, text::kAppName, text::kQuitQuestion,
                                             QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    Log(std::string("question: ") + text::kQuitQuestion + (yes ? " Yes" : " No"));
    return yes;
}

bool SystemDesktop::StartDetached(const std::string& program, const std::string& workingFolder) {
    return QProcess::startDetached(QString::fromStdString(program), {}, QString::fromStdString(workingFolder));
}

bool SystemDesktop::IsExecutable(const std::string& path) {
    const QFileInfo info(QString::fromStdString(path));
    return info.isFile() && info.isExecutable();
}

std::string SystemDesktop::FindOnPath(const std::string& name) {
    return QStandardPaths::findExecutable(QString::fromStdString(name)).toStdString();
}

std::string SystemDesktop::PlayerFolder() {
    QSettings registry(QSettings::NativeFormat, QSettings::SystemScope, kVendorName, kPlayerAppName);
    return registry.value("PathToProg").toString().left(260).toStdString();
}

bool SystemDesktop::TrayAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

void SystemDesktop::Log(const std::string& line) {
    std::fprintf(stderr, "%s: %s\n", text::kAppName, line.c_str());
    std::fflush(stderr);
}

}  // namespace pell::recorder
