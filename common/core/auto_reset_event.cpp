#include "common/core/auto_reset_event.h"

namespace pell {

void AutoResetEvent::Set() {
    // Notified under the lock: a waiter that wakes may destroy the event as soon as it returns.
    std::lock_guard lock(mutex_);
    signalled_ = true;
    wake_.notify_one();
}

void AutoResetEvent::Wait() {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return signalled_; });
    signalled_ = false;
}

}  // namespace pell
