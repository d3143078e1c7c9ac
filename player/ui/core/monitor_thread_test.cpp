#include "player/ui/core/monitor_thread.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "player/engine/queued_wave_out.h"
#include "player/engine/wmp3.h"
#include "player/ui/core/transport_rules.h"

namespace pell::player {
namespace {

struct Reports {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<MonitorReport> seen;

    void Add(const MonitorReport& report) {
        std::lock_guard guard(lock);
        seen.push_back(report);
        changed.notify_all();
    }
};

TEST(MonitorThreadTest, PositionEverySixthPassWhilePlayingAndOnlyMetersOtherwise) {
    WMp3 engine(std::make_unique<QueuedWaveOut>());
    std::atomic<int> playState{kStopped};
    std::atomic<std::uint32_t> generation{4};
    Reports reports;
    MonitorThread monitor(engine, playState, generation, [&](const MonitorReport& r) { reports.Add(r); });
    struct Pass {
        int state;
        bool levels;
        bool position;
    };
    // Stopped passes do not count towards the position refresh.
    const Pass passes[] = {{kStopped, false, false}, {kPlaying, true, false}, {kPlaying, true, false},
                           {kPaused, false, false},  {kPlaying, true, false}, {kPlaying, true, false},
                           {kPlaying, true, false},  {kPlaying, true, false}, {kPlaying, true, true},
                           {kPlaying, true, false},  {kPlaying, true, false}, {kPlaying, true, false},
                           {kPlaying, true, false},  {kPlaying, true, false}, {kPlaying, true, true}};
    for (const Pass& p : passes) {
        playState = p.state;
        monitor.RunPass();
    }
    ASSERT_EQ(reports.seen.size(), std::size(passes));
    for (std::size_t i = 0; i < std::size(passes); ++i) {
        EXPECT_EQ(reports.seen[i].levelsDue, passes[i].levels) << i;
        EXPECT_EQ(reports.seen[i].positionDue, passes[i].position) << i;
        EXPECT_EQ(reports.seen[i].generation, 4u) << i;
    }
}

TEST(MonitorThreadTest, TheThreadReportsUntilStoppedAndNothingAfter) {
    WMp3 engine(std::make_unique<QueuedWaveOut>());
    std::atomic<int> playState{kPlaying};
    std::atomic<std::uint32_t> generation{1};
    Reports reports;
    MonitorThread monitor(engine, playState, generation, [&](const MonitorReport& r) { reports.Add(r); });
    monitor.Start();
    {
        std::unique_lock guard(reports.lock);
        ASSERT_TRUE(
            reports.changed.wait_for(guard, std::chrono::seconds(20), [&] { return reports.seen.size() >= 8; }));
    }
    monitor.Stop();
    std::size_t count;
    {
        std::lock_guard guard(reports.lock);
        count = reports.seen.size();
        EXPECT_TRUE(std::any_of(reports.seen.begin(), reports.seen.end(),
                                [](const MonitorReport& r) { return r.positionDue; }));
    }
    monitor.Stop();  // a second stop is harmless
    std::lock_guard guard(reports.lock);
    EXPECT_EQ(reports.seen.size(), count);
}

}  // namespace
}  // namespace pell::player
