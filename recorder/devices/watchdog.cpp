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
    thread_ = std::thread([this] { Run(); });
}

void Watchdog::Stop() {
    pacer_.Stop();
    if (thread_.joinable()) thread_.join();
}

void Watchdog::Run() {
    do {
        if (timer_.ReconnectDue(clock_.TickMs()) && requestReconnect_) requestReconnect_();
    } while (pacer_.Sleep(kWatchdogCheckMs));
}

}  // namespace pell
