#include "recorder/app/system_desktop.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <grp.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/platform/program_folder.h"
#include "recorder/app/desktop_rules.h"
#include "recorder/app/recorder_controls.h"

namespace pell::recorder {

SystemDesktop::SystemDesktop()
    : boxesShown_(QGuiApplication::platformName() != "offscreen" && QGuiApplication::platformName() != "minimal"),
      journal_(std::getenv("JOURNAL_STREAM") != nullptr) {}

bool SystemDesktop::Notify(const std::string& text, bool beforeExit) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        "org.freedesktop.Notifications", "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "Notify");
    const QVariantMap hints{{"urgency", QVariant::fromValue<uchar>(beforeExit ? 2 : 1)},
                            {"desktop-entry", QString("pell-recorder")}};
    call << QString(text::kAppName) << 0u << QString("pell-recorder") << QString(text::kAppName)
         << QString::fromStdString(text) << QStringList() << hints << -1;
    if (!beforeExit) return bus.send(call);
    // The process ends next: the notification must have reached the service first.
    return bus.call(call, QDBus::Block, 2000).type() == QDBusMessage::ReplyMessage;
}

std::optional<bool> SystemDesktop::InGroup(const std::string& group) {
    const struct group* entry = ::getgrnam(group.c_str());
    if (entry == nullptr) return std::nullopt;
    if (::getegid() == entry->gr_gid) return true;
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<size_t>(count > 0 ? count : 0));
    if (count > 0 && ::getgroups(count, groups.data()) < 0) return std::nullopt;
    for (const gid_t gid : groups) {
        if (gid == entry->gr_gid) return true;
    }
    return false;
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
    std::fputs(FormatLogLine(line, journal_).c_str(), stderr);
    std::fflush(stderr);
}

}  // namespace pell::recorder
