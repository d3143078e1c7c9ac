// MonitorThread: ten times a second it reads the engine's levels and, on every sixth pass while
// playing, its position and length, and posts them to the window's thread; it never touches a
// widget. The window stops it before the engine goes.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace pell {
class WMp3;
}

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
};

class MonitorThread {
public:
    static constexpr int kPassMs = 100;
    static constexpr int kPositionEveryPasses = 6;

    // `playState` and `generation` are the window's; `post` hands a report to its thread.
    MonitorThread(WMp3& engine, const std::atomic<int>& playState, const std::atomic<std::uint32_t>& generation,
                  std::function<void(const MonitorReport&)> post);
    ~MonitorThread();
    MonitorThread(const MonitorThread&) = delete;
    MonitorThread& operator=(const MonitorThread&) = delete;

    void Start();
    // Sets the stop flag and waits for the thread to end.
    void Stop();
    // One pass as the thread runs it (tests drive passes with it instead of the thread).
    void RunPass();

private:
    WMp3& engine_;
    const std::atomic<int>& playState_;
    const std::atomic<std::uint32_t>& generation_;
    std::function<void(const MonitorReport&)> post_;
    int tickCounter_ = 0;
    std::thread thread_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool stopMonitor_ = false;
};

}  // namespace pell::player
