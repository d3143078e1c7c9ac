// The requests that reach a running recorder from outside its own work: "reload the settings"
// (the configurator, over the reload channel) and "stop" (a signal, the end of the session).
// The window asks this object what to run; it keeps the rules:
// - requests that arrive while one is pending merge into it, so a burst of saves is one reload;
// - nothing runs before start-up is done: a request that arrives during it waits until then;
// - a stop goes ahead of any reload, and after a stop nothing else runs.
// States: starting (requests held) -> running (requests scheduled) -> stopping (only the stop).
#pragma once

namespace pell {

class ControlRequests {
public:
    enum class Action { kNone, kReload, kStop };

    // Each returns true when the caller must schedule one run of Take (none is scheduled yet).
    bool Reload() {
        if (stopping_ || reloadPending_) return false;
        reloadPending_ = true;
        return Schedule();
    }
    bool Stop() {
        if (stopping_) return false;
        stopping_ = true;
        stopPending_ = true;
        return Schedule();
    }
    // Start-up has returned: true when a request held meanwhile must now be scheduled.
    bool StartupDone() {
        if (running_) return false;
        running_ = true;
        return (reloadPending_ || stopPending_) && Schedule();
    }

    // The scheduled run: what to do now. A stop first; a reload that came with it is dropped.
    Action Take() {
        scheduled_ = false;
        if (!running_) return Action::kNone;
        if (stopPending_) {
            stopPending_ = false;
            reloadPending_ = false;
            return Action::kStop;
        }
        if (reloadPending_) {
            reloadPending_ = false;
            return Action::kReload;
        }
        return Action::kNone;
    }

    bool stopping() const { return stopping_; }
    bool started() const { return running_; }

private:
    bool Schedule() {
        if (!running_ || scheduled_) return false;
        scheduled_ = true;
        return true;
    }

    bool running_ = false;
    bool scheduled_ = false;  // a run of Take is queued and has not yet begun
    bool reloadPending_ = false;
    bool stopPending_ = false;
    bool stopping_ = false;
};

}  // namespace pell
