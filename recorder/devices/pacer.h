// Interruptible waits for the device threads: a thread sleeps through its pacer, so stopping the
// owner wakes it at once and tests can step the thread without real time passing.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "common/core/auto_reset_event.h"

namespace pell {

class Pacer {
public:
    virtual ~Pacer() = default;
    // Waits `ms` milliseconds; false once Stop() was called (the thread should end).
    virtual bool Sleep(uint32_t ms) = 0;
    // Wakes every sleeper; every later Sleep returns false at once.
    virtual void Stop() = 0;
};

// Real time, on the steady clock.
class SteadyPacer final : public Pacer {
public:
    bool Sleep(uint32_t ms) override;
    void Stop() override;

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopped_ = false;
};

}  // namespace pell
