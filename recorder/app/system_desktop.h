// The real desktop behind RecorderDesktop: freedesktop notifications over the session bus,
// the quit question (a Qt message box, only where there is a display), QProcess, QSettings,
// QSystemTrayIcon, the user's groups and the log on standard error (with the journal's priority
// prefixes when systemd reads it).
#pragma once

#include "recorder/app/recorder_desktop.h"

namespace pell::recorder {

class SystemDesktop final : public RecorderDesktop {
public:
    SystemDesktop();
    bool Notify(const std::string& text, bool beforeExit) override;
    void DismissMessages() override;
    bool AskQuit(QWidget* owner) override;
    bool StartDetached(const std::string& program, const std::string& workingFolder) override;
    bool IsExecutable(const std::string& path) override;
    std::string FindOnPath(const std::string& name) override;
    std::string PlayerFolder() override;
    bool TrayAvailable() override;
    std::optional<bool> InGroup(const std::string& group) override;
    void Log(const std::string& line) override;

private:
    bool boxesShown_;  // false without a display: a box there would wait for nobody
    bool journal_;     // standard error goes to the journal: each line carries its priority
};

}  // namespace pell::recorder
