#include <gtest/gtest.h>

#include <future>

#include "recorder/devices/line_interface.h"
#include "recorder/devices/testing/device_fakes.h"
#include "recorder/devices/watchdog.h"

namespace pell {
namespace {

using testing::AtomicClock;
using testing::FakeHidBackend;
using testing::StepPacer;

class LinePollTest : public ::testing::Test {
protected:
    void SetUp() override { hid_.devices = {{{"/dev/hidraw0", kLineBoxVendorId, kLineBoxProductId}}}; }

    AtomicClock clock_{1000};
    FakeHidBackend hid_;
    LineInterface line_{hid_};
    LineStates lines_;
    StepPacer pacer_{&clock_};
};

TEST_F(LinePollTest, EachTurnReadsOneReportAndSleepsFiftyMilliseconds) {
    // Empty entries are reads that time out: the flags keep their values.
    hid_.Script("/dev/hidraw0", {{0x00, 0x06}, {0x00, 0x04}, {}, {0x00, 0x04}, {0x00, 0x00}, {0x02}, {0x00, 0x06}});
    struct Turn {
        bool line1;
        bool line2;
        uint32_t seized1;
        uint32_t seized2;
    };
    const Turn turns[] = {{false, false, 0, 0},      {true, false, 1050, 0},   {true, false, 1050, 0},
                          {true, false, 1050, 0},    {true, true, 1050, 1200}, {false, true, 1050, 1200},
                          {false, false, 1050, 1200}};
    ASSERT_TRUE(line_.FindLineInterface());
    LinePoller poller(line_, lines_, clock_, pacer_);
    poller.Start();
    for (size_t turn = 0; turn < std::size(turns); ++turn) {
        if (turn > 0) pacer_.Step();
        pacer_.AwaitSleeps(static_cast<int>(turn) + 1);
        EXPECT_EQ(lines_.lineActive[0], turns[turn].line1) << "turn " << turn;
        EXPECT_EQ(lines_.lineActive[1], turns[turn].line2) << "turn " << turn;
        EXPECT_EQ(lines_.lineSeizedAt[0], turns[turn].seized1) << "turn " << turn;
        EXPECT_EQ(lines_.lineSeizedAt[1], turns[turn].seized2) << "turn " << turn;
    }
    EXPECT_EQ(clock_.TickMs(), 1000u + 6 * kLinePollIntervalMs);
    poller.Stop();
}

TEST_F(LinePollTest, WithoutTheDeviceTheThreadOnlySleeps) {
    hid_.devices.clear();
    EXPECT_FALSE(line_.FindLineInterface());
    LinePoller poller(line_, lines_, clock_, pacer_);
    poller.Start();
    pacer_.Step(5);
    EXPECT_EQ(hid_.reads(), 0);
    EXPECT_FALSE(lines_.lineActive[0]);
    poller.Stop();
}

// A device whose read waits until the test opens a gate, and that notes use after its end.
class GatedBackend final : public HidBackend {
public:
    std::promise<void> readStarted;
    std::promise<void> gate;
    std::atomic<bool> closed{false};
    std::atomic<bool> readAfterClose{false};

    std::vector<HidDeviceInfo> Enumerate(uint16_t, uint16_t) override {
        return {{"/dev/hidraw0", kLineBoxVendorId, kLineBoxProductId}};
    }
    std::unique_ptr<HidDevice> Open(const std::string&) override { return std::make_unique<Device>(*this); }

private:
    class Device final : public HidDevice {
    public:
        explicit Device(GatedBackend& backend) : backend_(backend) {}
        ~Device() override { backend_.closed = true; }
        int Read(uint8_t* buffer, size_t, int) override {
            if (first_) {
                first_ = false;
                backend_.readStarted.set_value();
                backend_.gate.get_future().wait();
            }
            if (backend_.closed) backend_.readAfterClose = true;
            buffer[0] = 0x06;
            return 1;
        }

    private:
        GatedBackend& backend_;
        bool first_ = true;
    };
};

TEST(LineHandleTest, TheHandleIsNotReplacedWhileAReadUsesIt) {
    AtomicClock clock;
    GatedBackend hid;
    LineInterface line(hid);
    LineStates lines;
    StepPacer pacer;
    ASSERT_TRUE(line.FindLineInterface());
    LinePoller poller(line, lines, clock, pacer);
    poller.Start();
    hid.readStarted.get_future().wait();
    auto search = std::async(std::launch::async, [&] { return line.FindLineInterface(); });
    // The search must wait for the read; it cannot finish while the gate is shut.
    EXPECT_EQ(search.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    EXPECT_FALSE(hid.closed);
    hid.gate.set_value();
    EXPECT_TRUE(search.get());
    EXPECT_TRUE(hid.closed);
    poller.Stop();
    EXPECT_FALSE(hid.readAfterClose);
}

TEST(WatchdogThreadTest, AsksForAReconnectAfterFifteenQuietSecondsAndEveryFifteenAfter) {
    AtomicClock clock(5000);
    StepPacer pacer(&clock);
    std::atomic<int> requests{0};
    Watchdog watchdog(clock, pacer, [&] { ++requests; });
    watchdog.Start();
    struct Check {
        int seconds;  // of quiet, one check per second
        int requests;
    };
    int second = 0;
    for (const Check check : {Check{15, 0}, Check{16, 1}, Check{31, 1}, Check{32, 2}, Check{48, 3}}) {
        pacer.Step(check.seconds - second);
        second = check.seconds;
        EXPECT_EQ(requests, check.requests) << "after " << check.seconds << " s";
    }
    watchdog.Stop();
}

TEST(WatchdogThreadTest, ProcessedBlocksHoldItOff) {
    AtomicClock clock(5000);
    StepPacer pacer(&clock);
    std::atomic<int> requests{0};
    Watchdog watchdog(clock, pacer, [&] { ++requests; });
    watchdog.Start();
    for (int second = 0; second < 60; ++second) {
        pacer.Step();
        watchdog.NoteBlock();
    }
    EXPECT_EQ(requests, 0);
    pacer.Step(16);
    EXPECT_EQ(requests, 1);
    watchdog.Stop();
}

}  // namespace
}  // namespace pell
