#include "player/ui/core/monitor_thread.h"

namespace pell::player {

MonitorThread::MonitorThread(TransportEngine& engine, const TransportFlags& flags,
                             std::function<void(const MonitorReport&)> post)
    : engine_(engine), flags_(flags), post_(std::move(post)) {}

MonitorThread::~MonitorThread() { Stop(); }

void MonitorThread::Start() {
    if (thread_.joinable()) return;
    stopMonitor_ = false;
    thread_ = std::thread([this] {
        std::unique_lock lock(lock_);
        while (!stopMonitor_) {
            if (flags_.playState.load() != PlayState::kPlaying) {
                // Nothing to watch: no pass, no wake-up, until the transport plays or we stop.
                lock.unlock();
                flags_.playing.Wait();
                lock.lock();
                continue;
            }
            // The stop request wakes the sleep, so closing never waits out a pass.
            if (wake_.wait_for(lock, std::chrono::milliseconds(kPassMs), [this] { return stopMonitor_; })) break;
            lock.unlock();
            RunPass();
            lock.lock();
        }
    });
}

void MonitorThread::Stop() {
    {
        std::lock_guard lock(lock_);
        stopMonitor_ = true;
    }
    wake_.notify_all();
    flags_.playing.Set();
    if (thread_.joinable()) thread_.join();
}

void MonitorThread::RunPass() {
    MonitorReport report;
    report.generation = flags_.generation.load();
    if (flags_.playState.load() != PlayState::kPlaying) {
        post_(report);  // meters to 0, the tick counter stays
        return;
    }
    if (tickCounter_ > kPositionEveryPasses - 1) {
        report.positionDue = true;
        report.length = engine_.GetLength();
        report.position = engine_.GetPosition();
        tickCounter_ = 0;
    }
    engine_.GetVUData(&report.left, &report.right);
    report.levelsDue = true;
    report.ended = engine_.Ended();
    post_(report);
    ++tickCounter_;
}

}  // namespace pell::player
