// The real desktop behind the dialog's interfaces: Qt message boxes, the Qt folder picker,
// QProcess for the outside restart program and the reload channel to the recorder.
#pragma once

#include "common/platform/reload_channel.h"
#include "configurator/app/services.h"
#include "configurator/core/exit_sequence.h"

namespace pell::configurator {

class MessageBoxNotifier : public Notifier {
public:
    void Information(QWidget* owner, const QString& text) override;
    void Warning(QWidget* owner, const QString& text) override;
};

using pell::DirectoryDialogPicker;

class DesktopRecorderSignals : public RecorderSignalPort {
public:
    // A stopping supervisor gets this long before the configurator gives up on restarting.
    static constexpr int kDefaultStopTimeoutMs = 30000;

    explicit DesktopRecorderSignals(QString reloadChannel = ReloadChannelName(),
                                    int stopTimeoutMs = kDefaultStopTimeoutMs);

    RunOutcome RunRestartProgram(const std::vector<std::string>& arguments, const std::string& workingFolder) override;
    bool StartRestartProgram(const std::vector<std::string>& arguments, const std::string& workingFolder) override;
    bool SendReload() override;

    // "_PellRecorder" in the program folder when it is there, else wherever PATH finds it.
    static QString RestartProgramPath(const std::string& programFolder);

private:
    QString reloadChannel_;
    int stopTimeoutMs_;
};

}  // namespace pell::configurator
