// A wake-up between threads that is never lost: one Set wakes one Wait, and a Set with nobody
// waiting is kept for the next Wait. The recorder's capture thread and the player's worker sleep
// on one.
#pragma once

#include <condition_variable>
#include <mutex>

namespace pell {

class AutoResetEvent {
public:
    void Set();
    void Wait();

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool signalled_ = false;
};

}  // namespace pell
