// The real desktop behind RecorderDesktop: Qt message boxes (written to stderr as well, and
// only written when there is no display), QProcess, QSettings and QSystemTrayIcon.
#pragma once

#include "recorder/app/recorder_desktop.h"

namespace pell::recorder {

class SystemDesktop final : public RecorderDesktop {
public:
    SystemDesktop();
    void ShowStop(QWidget* owner, const std::string& text) override;
    void DismissMessages() override;
    bool AskQuit(QWidget* owner) override;
    bool StartDetached(const std::string& program, const std::string& workingFolder) override;
    bool IsExecutable(const std::string& path) override;
    std::string FindOnPath(const std::string& name) override;
    std::string PlayerFolder() override;
    bool TrayAvailable() override;
    void Log(const std::string& line) override;

private:
    bool boxesShown_;  // false without a display: a box there would wait for nobody
};

}  // namespace pell::recorder
