// What the recorder window asks of the desktop, behind one interface that tests replace:
// notifications, the quit question, starting programs, the notification area and the log.
// Every call comes on the main thread.
#pragma once

#include <optional>
#include <string>

class QWidget;

namespace pell::recorder {

class RecorderDesktop {
public:
    virtual ~RecorderDesktop() = default;
    // A desktop notification that waits for nobody; false when no notification service answers
    // (the window's icon tells it then). beforeExit: the process ends next, so it is handed over first.
    virtual bool Notify(const std::string& text, bool beforeExit) = 0;
    // Closes every message still waiting for a click (a stop during start-up).
    virtual void DismissMessages() {}
    // Whether this user is in `group`; nullopt when the machine has no such group.
    virtual std::optional<bool> InGroup(const std::string& group) {
        (void)group;
        return std::nullopt;
    }
    // "Do you really want to quit?" with Yes and No, No the default; true for Yes.
    virtual bool AskQuit(QWidget* owner) = 0;
    // Starts the program without waiting, in workingFolder; false when it cannot start.
    virtual bool StartDetached(const std::string& program, const std::string& workingFolder) = 0;
    virtual bool IsExecutable(const std::string& path) = 0;
    // The program's path as PATH finds it, or empty.
    virtual std::string FindOnPath(const std::string& name) = 0;
    // The player's "PathToProg" value, possibly empty.
    virtual std::string PlayerFolder() = 0;
    // A notification area is there to hold the recorder's icon.
    virtual bool TrayAvailable() = 0;
    // One line for the administrator's journal.
    virtual void Log(const std::string& line) = 0;
};

}  // namespace pell::recorder
