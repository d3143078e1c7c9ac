#include "player/ui/core/monitor_thread.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "player/ui/core/testing/transport_fakes.h"

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
    test::CallLog log;
    test::FakeEngine engine(log);
    TransportFlags flags;
    flags.generation = 4;
    Reports reports;
    MonitorThread monitor(engine, flags, [&](const MonitorReport& r) { reports.Add(r); });
    struct Pass {
        PlayState state;
        bool levels;
        bool position;
    };
    constexpr PlayState kStopped = PlayState::kStopped;
    constexpr PlayState kPlaying = PlayState::kPlaying;
    constexpr PlayState kPaused = PlayState::kPaused;
    // Stopped passes do not count towards the position refresh.
    const Pass passes[] = {{kStopped, false, false}, {kPlaying, true, false}, {kPlaying, true, false},
                           {kPaused, false, false},  {kPlaying, true, false}, {kPlaying, true, false},
                           {kPlaying, true, false},  {kPlaying, true, false}, {kPlaying, true, true},
                           {kPlaying, true, false},  {kPlaying, true, false}, {kPlaying, true, false},
                           {kPlaying, true, false},  {kPlaying, true, false}, {kPlaying, true, true}};
    for (const Pass& p : passes) {
        flags.playState = p.state;
        monitor.RunPass();
    }
    ASSERT_EQ(reports.seen.size(), std::size(passes));
    for (std::size_t i = 0; i < std::size(passes); ++i) {
        EXPECT_EQ(reports.seen[i].levelsDue, passes[i].levels) << i;
        EXPECT_EQ(reports.seen[i].positionDue, passes[i].position) << i;
        EXPECT_EQ(reports.seen[i].generation, 4u) << i;
    }
}

TEST(MonitorThreadTest, EachPlayingPassSaysWhetherTheRecordHasEnded) {
    test::CallLog log;
    test::FakeEngine engine(log);
    engine.SetRecordMs(1500);
    TransportFlags flags;
    flags.playState = PlayState::kPlaying;
    Reports reports;
    MonitorThread monitor(engine, flags, [&](const MonitorReport& r) { reports.Add(r); });
    engine.OpenMp3File("a", 1000);
    engine.Play();
    for (int pass = 0; pass < 16; ++pass) {
        engine.PlayFor(MonitorThread::kPassMs);
        monitor.RunPass();
    }
    ASSERT_EQ(reports.seen.size(), 16u);
    for (std::size_t i = 0; i < reports.seen.size(); ++i) EXPECT_EQ(reports.seen[i].ended, i >= 14) << i;
}

// Idle costs nothing: no pass, no report and no engine query until the transport plays.
TEST(MonitorThreadTest, WhileNothingPlaysTheThreadSleepsUntilPlayingStarts) {
    test::CallLog log;
    test::FakeEngine engine(log);
    TransportFlags flags;
    Reports reports;
    MonitorThread monitor(engine, flags, [&](const MonitorReport& r) { reports.Add(r); });
    monitor.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(4 * MonitorThread::kPassMs));
    {
        std::lock_guard guard(reports.lock);
        EXPECT_TRUE(reports.seen.empty());
    }
    EXPECT_EQ(engine.QueryCount(), 0);
    flags.playState = PlayState::kPlaying;
    flags.playing.Set();
    {
        std::unique_lock guard(reports.lock);
        EXPECT_TRUE(reports.changed.wait_for(guard, std::chrono::seconds(20), [&] { return !reports.seen.empty(); }));
    }
    // Stopping wakes a thread that sleeps for want of playing, too.
    flags.playState = PlayState::kStopped;
    std::this_thread::sleep_for(std::chrono::milliseconds(2 * MonitorThread::kPassMs));
    monitor.Stop();
}

TEST(MonitorThreadTest, TheThreadReportsUntilStoppedAndNothingAfter) {
    test::CallLog log;
    test::FakeEngine engine(log);
    TransportFlags flags;
    flags.playState = PlayState::kPlaying;
    flags.generation = 1;
    Reports reports;
    MonitorThread monitor(engine, flags, [&](const MonitorReport& r) { reports.Add(r); });
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
