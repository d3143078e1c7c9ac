// The hardware watchdog: when no capture block has been processed for more than 15 s it asks
// the window for a reconnect, and again every 15 s while none arrives.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "common/core/clock.h"
#include "recorder/devices/pacer.h"

namespace pell {

inline constexpr uint32_t kWatchdogSilenceMs = 15000;
inline constexpr uint32_t kWatchdogCheckMs = 1000;

// `lastBufferTick` and the rule, apart from the thread.
class WatchdogTimer {
public:
    explicit WatchdogTimer(uint32_t nowTickMs) : lastBufferTick_(nowTickMs) {}
    // Every processed block.
    void NoteBlock(uint32_t nowTickMs) { lastBufferTick_.store(nowTickMs); }
    // True when more than 15 s passed since the last block (or the last reconnect request);
    // the quiet time then starts again.
    bool ReconnectDue(uint32_t nowTickMs);
    uint32_t lastBufferTick() const { return lastBufferTick_.load(); }

private:
    std::atomic<uint32_t> lastBufferTick_;
};

// The watchdog thread: checks once a second; `requestReconnect` runs on this thread (the window
// posts it to its main thread). Only blocks delivered to the main thread count: sound that fills
// the host buffer but never reaches the window records nothing.
class Watchdog {
public:
    Watchdog(Clock& clock, Pacer& pacer, std::function<void()> requestReconnect)
        : clock_(clock), pacer_(pacer), requestReconnect_(std::move(requestReconnect)), timer_(clock.TickMs()) {}
    ~Watchdog() { Stop(); }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // Starts the quiet time now and the thread.
    void Start();
    void Stop();
    void NoteBlock() { timer_.NoteBlock(clock_.TickMs()); }

private:
    void Run();

    Clock& clock_;
    Pacer& pacer_;
    std::function<void()> requestReconnect_;
    WatchdogTimer timer_;
    std::thread thread_;
};

}  // namespace pell
