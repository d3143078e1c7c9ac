#include "recorder/devices/watchdog.h"

namespace pell {

bool WatchdogTimer::ReconnectDue(uint32_t nowTickMs) {
    if (TicksSince(lastBufferTick_.load(), nowTickMs) <= kWatchdogSilenceMs) return false;
    lastBufferTick_.store(nowTickMs);
    return true;
}

void Watchdog::Start() {
    if (thread_.joinable()) return;
    timer_.NoteBlock(clock_.TickMs());
    // Sound counted before the thread runs must not look like new sound at its first check.
    const uint64_t startProgress = soundProgress_ ? soundProgress_() : 0;
    thread_ = std::thread([this, startProgress] { Run(startProgress); });
}

void Watchdog::Stop() {
    pacer_.Stop();
    if (thread_.joinable()) thread_.join();
}

void Watchdog::Run(uint64_t lastProgress) {
    do {
        if (soundProgress_) {
            const uint64_t progress = soundProgress_();
            if (progress != lastProgress) timer_.NoteBlock(clock_.TickMs());
            lastProgress = progress;
        }
        if (timer_.ReconnectDue(clock_.TickMs()) && requestReconnect_) requestReconnect_();
    } while (pacer_.Sleep(kWatchdogCheckMs));
}

}  // namespace pell
