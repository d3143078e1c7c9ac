#include "player/ui/core/transport.h"

#include <gtest/gtest.h>

#include <string_view>

#include "player/catalogue/catalogue_test_support.h"
#include "player/ui/core/testing/transport_fakes.h"
#include "player/ui/core/transport_rules.h"

namespace pell::player {
namespace {

using test::FakeEngine;

// A transport over fresh fakes, rows "a", "b" and "c".
struct Rig {
    // Row 0 current and, as asked, playing or paused; the log starts empty.
    void StartIn(PlayState state) {
        window.currentRow = 0;
        if (state != PlayState::kStopped) transport.Play();
        if (state == PlayState::kPaused) transport.Pause();
        ASSERT_EQ(transport.State(), state);
        log.Take();
    }

    // A report as the monitor takes it on a position pass of the current record.
    MonitorReport PositionReport(std::uint32_t position, std::uint32_t length, int left = 0, int right = 0) const {
        MonitorReport report;
        report.generation = transport.Generation();
        report.positionDue = true;
        report.position = position;
        report.length = length;
        report.levelsDue = true;
        report.left = left;
        report.right = right;
        return report;
    }

    test::CallLog log;
    FakeEngine engine{log};
    test::FakeRecordFiles files{log};
    test::FakeTransportWindow window{log};
    PlayerTransport transport{engine, window, files};
};

enum class Command {
    kPlay,
    kPause,
    kStop,
    kNext,
    kPrevious,
    kSliderReleased,
    kSliderStep,
    kPlayOrPause,
    kSkipBack,
    kSkipForward
};

TEST(TransportTest, EveryRowOfThePlayingStateTable) {
    struct Case {
        const char* name;
        PlayState start;
        Command command;
        PlayState end;
        int endRow;
        bool reportsBeforeStale;  // the generation moved on: a new record, or a seek
        const char* calls;        // what reached the engine, files and list
    };
    const Case cases[] = {
        {"stopped play", PlayState::kStopped, Command::kPlay, PlayState::kPlaying, 0, true,
         "mark a, played 0, open a, play, started a"},
        {"stopped pause", PlayState::kStopped, Command::kPause, PlayState::kStopped, 0, false, ""},
        {"stopped stop", PlayState::kStopped, Command::kStop, PlayState::kStopped, 0, false, ""},
        {"stopped next", PlayState::kStopped, Command::kNext, PlayState::kPlaying, 1, true,
         "current 1, mark b, played 1, open b, play, started b"},
        {"stopped previous wraps", PlayState::kStopped, Command::kPrevious, PlayState::kPlaying, 2, true,
         "current 2, mark c, played 2, open c, play, started c"},
        {"stopped slider released", PlayState::kStopped, Command::kSliderReleased, PlayState::kStopped, 0, false, ""},
        {"stopped slider step", PlayState::kStopped, Command::kSliderStep, PlayState::kStopped, 0, false, ""},
        {"stopped space plays", PlayState::kStopped, Command::kPlayOrPause, PlayState::kPlaying, 0, true,
         "mark a, played 0, open a, play, started a"},
        {"playing play restarts", PlayState::kPlaying, Command::kPlay, PlayState::kPlaying, 0, true,
         "stop, close, mark a, played 0, open a, play, started a"},
        {"playing pause", PlayState::kPlaying, Command::kPause, PlayState::kPaused, 0, false, "pause"},
        {"playing stop", PlayState::kPlaying, Command::kStop, PlayState::kStopped, 0, false, "stop, close"},
        {"playing next", PlayState::kPlaying, Command::kNext, PlayState::kPlaying, 1, true,
         "current 1, stop, close, mark b, played 1, open b, play, started b"},
        {"playing previous", PlayState::kPlaying, Command::kPrevious, PlayState::kPlaying, 2, true,
         "current 2, stop, close, mark c, played 2, open c, play, started c"},
        {"playing slider released", PlayState::kPlaying, Command::kSliderReleased, PlayState::kPlaying, 0, true,
         "seek 5, play"},
        {"playing slider step", PlayState::kPlaying, Command::kSliderStep, PlayState::kPlaying, 0, true,
         "seek 5, play"},
        {"playing space pauses", PlayState::kPlaying, Command::kPlayOrPause, PlayState::kPaused, 0, false, "pause"},
        {"paused play resumes", PlayState::kPaused, Command::kPlay, PlayState::kPlaying, 0, false, "resume"},
        {"paused pause", PlayState::kPaused, Command::kPause, PlayState::kPaused, 0, false, ""},
        {"paused stop", PlayState::kPaused, Command::kStop, PlayState::kStopped, 0, false, "stop, close"},
        {"paused next resumes the paused record", PlayState::kPaused, Command::kNext, PlayState::kPlaying, 1, false,
         "current 1, resume"},
        {"paused previous resumes the paused record", PlayState::kPaused, Command::kPrevious, PlayState::kPlaying, 2,
         false, "current 2, resume"},
        {"paused slider released", PlayState::kPaused, Command::kSliderReleased, PlayState::kPlaying, 0, true,
         "seek 5, play"},
        {"paused slider step", PlayState::kPaused, Command::kSliderStep, PlayState::kPlaying, 0, true, "seek 5, play"},
        {"paused space resumes", PlayState::kPaused, Command::kPlayOrPause, PlayState::kPlaying, 0, false, "resume"},
        {"stopped skip", PlayState::kStopped, Command::kSkipForward, PlayState::kStopped, 0, false, ""},
        {"playing skip forward", PlayState::kPlaying, Command::kSkipForward, PlayState::kPlaying, 0, true,
         "seek 5, play"},
        {"paused skip back stays inside the record", PlayState::kPaused, Command::kSkipBack, PlayState::kPlaying, 0,
         true, "seek 0, play"},
    };
    for (const Case& c : cases) {
        Rig rig;
        auto& [log, engine, files, window, transport] = rig;
        window.currentRow = 0;
        if (c.start != PlayState::kStopped) transport.Play();
        if (c.start == PlayState::kPaused) transport.Pause();
        ASSERT_EQ(transport.State(), c.start) << c.name;
        log.Take();
        const std::uint32_t generation = transport.Generation();
        switch (c.command) {
            case Command::kPlay:
                transport.Play();
                break;
            case Command::kPause:
                transport.Pause();
                break;
            case Command::kStop:
                transport.Stop();
                break;
            case Command::kNext:
                transport.Next();
                break;
            case Command::kPrevious:
                transport.Previous();
                break;
            case Command::kSliderReleased:
                transport.PressPosition(5);
                transport.MovePosition(5);
                transport.ReleasePosition(5);
                break;
            case Command::kSliderStep:
                transport.StepPosition(5);
                break;
            case Command::kPlayOrPause:
                transport.PlayOrPause();
                break;
            case Command::kSkipBack:
                transport.Skip(-5);
                break;
            case Command::kSkipForward:
                transport.Skip(5);
                break;
        }
        EXPECT_EQ(transport.State(), c.end) << c.name;
        EXPECT_EQ(window.currentRow, c.endRow) << c.name;
        // The record that plays is shown as such, also where the highlight has moved on.
        const bool opened = std::string_view(c.calls).find("open") != std::string_view::npos;
        EXPECT_EQ(window.playingRow, c.end == PlayState::kStopped ? -1 : (opened ? c.endRow : 0)) << c.name;
        EXPECT_EQ(transport.Generation() != generation, c.reportsBeforeStale) << c.name;
        EXPECT_EQ(log.Take(), c.calls) << c.name;
        EXPECT_EQ(window.playing.value_or(false), c.end == PlayState::kPlaying) << c.name;
        EXPECT_EQ(engine.GetState() == FakeEngine::State::kPlaying, c.end == PlayState::kPlaying) << c.name;
        EXPECT_EQ(engine.GetState() == FakeEngine::State::kPaused, c.end == PlayState::kPaused) << c.name;
        EXPECT_FALSE(transport.Dragging()) << c.name;
        EXPECT_FALSE(window.trackingCursor) << c.name;
    }
}

TEST(TransportTest, PlayNextAndPreviousNeedACurrentRowInTheList) {
    struct Case {
        const char* name;
        int currentRow;
        int rowCount;
        const char* playCalls;
        const char* nextCalls;
    };
    const Case cases[] = {
        {"no current row", -1, 3, "", ""},
        {"an empty list", 0, 0, "", ""},
        // A row past the end plays nothing itself; Next lands inside the list.
        {"a stale row", 7, 3, "", "current 0, mark a, played 0, open a, play, started a"},
    };
    for (const Case& c : cases) {
        Rig rig;
        auto& [log, engine, files, window, transport] = rig;
        window.paths.resize(static_cast<std::size_t>(c.rowCount));
        window.currentRow = c.currentRow;
        transport.Play();
        EXPECT_EQ(log.Take(), c.playCalls) << c.name;
        EXPECT_EQ(transport.State(), PlayState::kStopped) << c.name;
        window.currentRow = c.currentRow;
        transport.Next();
        EXPECT_EQ(log.Take(), c.nextCalls) << c.name;
        window.currentRow = c.currentRow;
        transport.Stop();
        log.Take();
        transport.Previous();
        EXPECT_EQ(log.Take().empty(), c.currentRow < 0 || c.rowCount == 0) << c.name;
    }
}

TEST(TransportTest, ARecordThatWillNotOpenOrStartLeavesThePlayerStoppedYetMarkedPlayed) {
    struct Case {
        const char* name;
        PlayState start;
        FakeEngine::Op failing;
        const char* calls;
    };
    const Case cases[] = {
        {"open fails", PlayState::kStopped, FakeEngine::Op::kOpen, "mark a, played 0, open a"},
        {"the device will not start", PlayState::kStopped, FakeEngine::Op::kPlay,
         "mark a, played 0, open a, play, close"},
        {"a restart fails to open", PlayState::kPlaying, FakeEngine::Op::kOpen,
         "stop, close, mark a, played 0, open a"},
    };
    for (const Case& c : cases) {
        Rig rig;
        auto& [log, engine, files, window, transport] = rig;
        window.currentRow = 0;
        if (c.start == PlayState::kPlaying) transport.Play();
        log.Take();
        engine.FailCall(c.failing, c.start == PlayState::kPlaying && c.failing == FakeEngine::Op::kOpen ? 2 : 1);
        const std::uint32_t generation = transport.Generation();
        transport.Play();
        EXPECT_EQ(log.Take(), c.calls) << c.name;
        EXPECT_EQ(transport.State(), PlayState::kStopped) << c.name;
        EXPECT_EQ(window.playing.value_or(false), false) << c.name;
        EXPECT_EQ(engine.GetState(), FakeEngine::State::kClosed) << c.name;
        EXPECT_NE(transport.Generation(), generation) << c.name;
        // The next Play tries again.
        transport.Play();
        EXPECT_EQ(transport.State(), PlayState::kPlaying) << c.name;
    }
}

TEST(TransportTest, ClockModeShowsTheTimeOfDayOfTheRecordedMoment) {
    Rig rig;
    const ::pell::test::ScopedTimeZone zone(::pell::test::kCentralEurope);
    // A 60 s record last written 00:00:30 on 1 Jan 2026 started at 23:59:30 the day before.
    rig.files.lastWrite["a"] = ::pell::test::LocalTime(2026, 1, 1, 0, 0, 30);
    rig.engine.SetRecordLength(60);
    rig.StartIn(PlayState::kPlaying);
    EXPECT_EQ(rig.transport.TrackLength(), 60u);
    EXPECT_EQ(rig.transport.StartOfDay(), 86370);

    rig.transport.OnMonitorReport(rig.PositionReport(45, 60));
    EXPECT_EQ(rig.window.time, 45);
    rig.transport.ToggleClockMode();
    EXPECT_EQ(rig.window.clockMode, 1);
    EXPECT_EQ(rig.window.time, 15);  // 00:00:15, at once
    rig.transport.OnMonitorReport(rig.PositionReport(46, 60));
    EXPECT_EQ(rig.window.time, 16);

    // While paused the display follows the click at once; while stopped it waits for a record.
    rig.transport.Pause();
    rig.transport.ToggleClockMode();
    EXPECT_EQ(rig.window.time, 46);
    rig.transport.Stop();
    rig.transport.ToggleClockMode();
    EXPECT_EQ(rig.window.clockMode, 1);
    EXPECT_EQ(rig.window.time, 0);
}

TEST(TransportTest, DraggingShowsTheTargetTimeAndSeeksOnlyOnRelease) {
    Rig rig;
    const ::pell::test::ScopedTimeZone zone(::pell::test::kUtc);
    rig.files.lastWrite["a"] = 13 * 3600 + 12;  // a 12 s record started at 13:00:00
    rig.StartIn(PlayState::kPlaying);
    rig.transport.ToggleClockMode();

    rig.transport.PressPosition(7);
    EXPECT_TRUE(rig.transport.Dragging());
    EXPECT_TRUE(rig.window.trackingCursor);
    EXPECT_EQ(rig.window.tip, "13:00:07");
    rig.transport.MovePosition(9);
    EXPECT_EQ(rig.window.tip, "13:00:09");
    // The monitor moves nothing under the user's hand but the time display.
    rig.transport.OnMonitorReport(rig.PositionReport(3, 12));
    EXPECT_EQ(rig.window.position, std::nullopt);
    EXPECT_EQ(rig.window.time, 13 * 3600 + 3);
    EXPECT_EQ(rig.log.Take(), "");

    rig.transport.ReleasePosition(9);
    EXPECT_EQ(rig.log.Take(), "seek 9, play");
    EXPECT_FALSE(rig.transport.Dragging());
    EXPECT_FALSE(rig.window.trackingCursor);
    EXPECT_EQ(rig.window.tip, std::nullopt);
    EXPECT_EQ(rig.window.tipRestored, 1);
    EXPECT_EQ(rig.window.time, 13 * 3600 + 9);

    // The record ends while the handle is held: the release ends the drag and seeks nothing.
    rig.transport.PressPosition(4);
    rig.transport.Stop();
    rig.log.Take();
    rig.transport.MovePosition(5);
    EXPECT_EQ(rig.window.tip, "13:00:05");  // the tip follows the hand until it lets go
    rig.transport.ReleasePosition(5);
    EXPECT_EQ(rig.log.Take(), "");
    EXPECT_FALSE(rig.transport.Dragging());
    EXPECT_FALSE(rig.window.trackingCursor);
    // While stopped a press starts no drag at all.
    rig.transport.PressPosition(3);
    EXPECT_FALSE(rig.transport.Dragging());
    EXPECT_FALSE(rig.window.trackingCursor);
}

TEST(TransportTest, MonitorReportsMoveTheControlsAndStopOnlyOnceTheRecordHasEnded) {
    enum class Engine { kPlaying, kEnded, kDeviceLost };
    struct Case {
        const char* name;
        PlayState state;
        bool stale;  // taken for an earlier record, or before a seek
        bool levelsDue;
        bool positionDue;
        std::uint32_t position;  // in the report
        bool ended;              // in the report
        Engine engineNow;        // what the engine says when asked again
        PlayState end;
        std::optional<std::uint32_t> shownPosition;
        std::pair<int, int> levels;
    };
    constexpr PlayState kPlaying = PlayState::kPlaying;
    constexpr PlayState kStopped = PlayState::kStopped;
    const Case cases[] = {
        {"meters only", kPlaying, false, true, false, 0, false, Engine::kPlaying, kPlaying, std::nullopt, {46, -4}},
        {"position pass", kPlaying, false, true, true, 4, false, Engine::kPlaying, kPlaying, 4, {46, -4}},
        // 12 of 12 whole seconds: the fraction of a second after it is still to be heard.
        {"the last whole second", kPlaying, false, true, true, 12, false, Engine::kPlaying, kPlaying, 12, {46, -4}},
        {"the last sample played", kPlaying, false, true, true, 12, true, Engine::kEnded, kStopped, 0, {0, 0}},
        {"ended on a meters pass", kPlaying, false, true, false, 0, true, Engine::kEnded, kStopped, 0, {0, 0}},
        {"the device gave up", kPlaying, false, true, false, 0, true, Engine::kDeviceLost, kStopped, 0, {0, 0}},
        // The record was started again after the report was taken.
        {"ended, then played again", kPlaying, false, true, true, 12, true, Engine::kPlaying, kPlaying, 12, {46, -4}},
        {"a report taken before", kPlaying, true, true, true, 12, true, Engine::kEnded, kPlaying, std::nullopt, {0, 0}},
        {"a pass that was not playing",
         kPlaying,
         false,
         false,
         false,
         0,
         false,
         Engine::kPlaying,
         kPlaying,
         std::nullopt,
         {0, 0}},
        {"paused since the pass",
         PlayState::kPaused,
         false,
         true,
         true,
         12,
         true,
         Engine::kPlaying,
         PlayState::kPaused,
         std::nullopt,
         {0, 0}},
    };
    for (const Case& c : cases) {
        Rig rig;
        auto& [log, engine, files, window, transport] = rig;
        window.currentRow = 0;
        transport.Play();
        if (c.state == PlayState::kPaused) transport.Pause();
        window.levels.reset();
        window.position.reset();
        window.positionMaximum.reset();
        log.Take();
        if (c.engineNow == Engine::kEnded) engine.PlayFor(12000);
        if (c.engineNow == Engine::kDeviceLost) engine.LoseDevice();
        MonitorReport report;
        report.generation = transport.Generation() - (c.stale ? 1 : 0);
        report.levelsDue = c.levelsDue;
        report.positionDue = c.positionDue;
        report.position = c.position;
        report.length = 12;
        report.left = 100;
        report.right = 0;
        report.ended = c.ended;
        transport.OnMonitorReport(report);
        EXPECT_EQ(transport.State(), c.end) << c.name;
        EXPECT_EQ(log.Take(), c.end == kStopped ? "stop, close" : "") << c.name;
        EXPECT_EQ(window.position, c.shownPosition) << c.name;
        EXPECT_EQ(window.levels, c.levels) << c.name;
        if (c.positionDue && c.end == kPlaying && c.levelsDue && !c.stale && c.state == kPlaying) {
            EXPECT_EQ(window.positionMaximum, 12u) << c.name;
            EXPECT_EQ(transport.TrackLength(), 12u) << c.name;
        } else {
            EXPECT_EQ(window.positionMaximum, std::nullopt) << c.name;
        }
    }
}

// Records of a whole number of seconds and a fraction: the monitor's passes, 100 ms of sound
// apart, stop the player only after the device has played the very last millisecond, and at
// the first pass after it.
TEST(TransportTest, EveryRecordPlaysToItsLastSample) {
    for (std::uint32_t lengthMs = 12300; lengthMs <= 12900; lengthMs += 100) {
        Rig rig;
        auto& [log, engine, files, window, transport] = rig;
        engine.SetRecordMs(lengthMs);
        // A structured binding is not captured: clang-tidy's parser refuses it.
        PlayerTransport& player = transport;
        MonitorThread monitor(engine, transport.Flags(),
                              [&player](const MonitorReport& r) { player.OnMonitorReport(r); });
        rig.StartIn(PlayState::kPlaying);
        int passes = 0;
        for (; passes < 200 && transport.State() == PlayState::kPlaying; ++passes) {
            engine.PlayFor(MonitorThread::kPassMs);
            monitor.RunPass();
        }
        EXPECT_EQ(transport.State(), PlayState::kStopped) << lengthMs;
        EXPECT_EQ(engine.PlayedMsAtStop(), lengthMs) << lengthMs << " ms: the end was cut off";
        EXPECT_EQ(passes, static_cast<int>((lengthMs + MonitorThread::kPassMs - 1) / MonitorThread::kPassMs))
            << lengthMs;
        EXPECT_EQ(engine.GetState(), FakeEngine::State::kClosed) << lengthMs;
        EXPECT_EQ(window.position, 0u) << lengthMs;
        EXPECT_FALSE(window.playing.value_or(true)) << lengthMs;
    }
}

// A report the monitor took before a seek arrives after it: the handle must not jump back.
TEST(TransportTest, AReportTakenBeforeASeekLeavesTheSliderWhereTheSeekPutIt) {
    Rig rig;
    rig.StartIn(PlayState::kPlaying);
    const MonitorReport before = rig.PositionReport(3, 12);
    rig.transport.StepPosition(9);
    EXPECT_EQ(rig.log.Take(), "seek 9, play");
    rig.window.position.reset();
    rig.transport.OnMonitorReport(before);
    EXPECT_EQ(rig.window.position, std::nullopt);
    EXPECT_EQ(rig.window.time, 9);
    rig.transport.OnMonitorReport(rig.PositionReport(10, 12));
    EXPECT_EQ(rig.window.position, 10u);
}

TEST(TransportTest, AClickOnTheOutlineSeeksTheOpenRecordOrPlaysTheCurrentRowFromThere) {
    struct Case {
        const char* name;
        PlayState start;
        int seconds;
        const char* calls;
        std::uint32_t shownPosition;
    };
    const Case cases[] = {
        {"stopped: the current row starts there", PlayState::kStopped, 7,
         "mark a, played 0, open a, seek 7, play, started a", 7},
        {"stopped, at the start", PlayState::kStopped, 0, "mark a, played 0, open a, play, started a", 0},
        {"stopped, past the end", PlayState::kStopped, 40, "mark a, played 0, open a, seek 12, play, started a", 12},
        {"playing", PlayState::kPlaying, 7, "seek 7, play", 7},
        {"paused: plays on from there", PlayState::kPaused, 3, "seek 3, play", 3},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.StartIn(c.start);
        rig.window.position.reset();
        rig.transport.PlayFrom(c.seconds);
        EXPECT_EQ(rig.log.Take(), c.calls) << c.name;
        EXPECT_EQ(rig.transport.State(), PlayState::kPlaying) << c.name;
        EXPECT_EQ(rig.window.position.value_or(0), c.shownPosition) << c.name;
        EXPECT_EQ(rig.window.playingRow, 0) << c.name;
        EXPECT_EQ(rig.engine.PlayedMs(), c.shownPosition * 1000) << c.name;
    }
    // A seek the record refuses leaves it closed and the player stopped.
    Rig rig;
    rig.window.currentRow = 0;
    rig.engine.FailCall(FakeEngine::Op::kSeek, 1);
    rig.transport.PlayFrom(5);
    EXPECT_EQ(rig.log.Take(), "mark a, played 0, open a, seek 5, close");
    EXPECT_EQ(rig.transport.State(), PlayState::kStopped);
    EXPECT_EQ(rig.window.playingRow, -1);
}

TEST(TransportTest, SkippingStaysInsideTheRecordAndStartsFromWhereItIsNow) {
    struct Case {
        std::uint32_t position;  // the engine's, seconds
        int seconds;
        const char* calls;
    };
    const Case cases[] = {{10, 5, "seek 12, play"}, {10, -5, "seek 5, play"}, {3, -5, "seek 0, play"}};
    for (const Case& c : cases) {
        Rig rig;
        rig.StartIn(PlayState::kPlaying);
        rig.engine.SetPosition(c.position);
        rig.transport.Skip(c.seconds);
        EXPECT_EQ(rig.log.Take(), c.calls) << c.position << " " << c.seconds;
        EXPECT_EQ(rig.transport.State(), PlayState::kPlaying);
    }
}

TEST(TransportTest, StopRewindsTheControlsAndPauseClearsTheMeters) {
    Rig rig;
    rig.StartIn(PlayState::kPlaying);
    rig.transport.OnMonitorReport(rig.PositionReport(5, 12, 60, 70));
    EXPECT_EQ(rig.window.levels, (std::pair{MeterLevelFromVu(60), MeterLevelFromVu(70)}));
    rig.transport.Pause();
    EXPECT_EQ(rig.window.levels, (std::pair{0, 0}));
    EXPECT_EQ(rig.window.position, 5u);
    rig.transport.Stop();
    EXPECT_EQ(rig.window.position, 0u);
    EXPECT_EQ(rig.window.time, 0);
    EXPECT_FALSE(rig.window.playing.value_or(true));
}

TEST(TransportTest, AfterTheCloseNothingReachesTheEngine) {
    Rig rig;
    rig.StartIn(PlayState::kPlaying);
    rig.transport.Close();
    EXPECT_EQ(rig.log.Take(), "stop, close");
    EXPECT_EQ(rig.transport.State(), PlayState::kStopped);
    const int queries = rig.engine.QueryCount();
    rig.transport.Play();
    rig.transport.PlayOrPause();
    rig.transport.Next();
    rig.transport.StepPosition(3);
    rig.transport.OnMonitorReport(rig.PositionReport(12, 12));
    EXPECT_EQ(rig.log.Take(), "current 1");
    EXPECT_EQ(rig.engine.QueryCount(), queries);
    EXPECT_EQ(rig.transport.State(), PlayState::kStopped);
}

}  // namespace
}  // namespace pell::player
