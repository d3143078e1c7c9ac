#include "recorder/devices/pacer.h"

#include <chrono>

namespace pell {

bool SteadyPacer::Sleep(uint32_t ms) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopped_; });
    return !stopped_;
}

void SteadyPacer::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    wake_.notify_all();
}

}  // namespace pell
