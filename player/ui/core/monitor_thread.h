// MonitorThread: ten times a second while a record plays it reads the engine's levels and
// whether the record has ended, and on every sixth pass its position and length, and posts them
// to the window's thread; it never touches a widget. While nothing plays it sleeps until the
// transport starts playing. The window stops it before the engine goes.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "player/ui/core/transport_ports.h"

namespace pell::player {

// What one pass saw. `generation` names the open it belongs to, so a report for a previous
// record is recognised when it arrives late.
struct MonitorReport {
    std::uint32_t generation = 0;
    bool positionDue = false;  // this pass refreshed position and length
    std::uint32_t length = 0;
    std::uint32_t position = 0;
    bool levelsDue = false;  // false: the meters go to 0 (not playing)
    int left = 0;
    int right = 0;
    bool ended = false;  // the engine has played the record to its last sample
};

class MonitorThread {
public:
    static constexpr int kPassMs = 100;
    static constexpr int kPositionEveryPasses = 6;

    // `flags` are the transport's; `post` hands a report to the GUI thread.
    MonitorThread(TransportEngine& engine, const TransportFlags& flags, std::function<void(const MonitorReport&)> post);
    ~MonitorThread();
    MonitorThread(const MonitorThread&) = delete;
    MonitorThread& operator=(const MonitorThread&) = delete;

    void Start();
    // Sets the stop flag and waits for the thread to end.
    void Stop();
    // One pass as the thread runs it (tests drive passes with it instead of the thread).
    void RunPass();

private:
    TransportEngine& engine_;
    const TransportFlags& flags_;
    std::function<void(const MonitorReport&)> post_;
    int tickCounter_ = 0;
    std::thread thread_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool stopMonitor_ = false;
};

}  // namespace pell::player
