#include "recorder/devices/line_box.h"

#include <gtest/gtest.h>

#include "recorder/devices/testing/device_fakes.h"

namespace pell {
namespace {

using testing::AtomicClock;
using testing::CountingFrames;
using testing::FakeCaptureBackend;
using testing::FakeHidBackend;
using testing::NoticeQueue;
using testing::RecordingUi;
using testing::StepPacer;

const FakeHidBackend::Device kBox{{"/dev/hidraw0", kLineBoxVendorId, kLineBoxProductId}};

// The test's thread is the window's main thread; reconnect requests are counted as posted.
class LineBoxTest : public ::testing::Test {
protected:
    LineBoxTest() {
        auto watchdogPacer = std::make_unique<StepPacer>(&clock_);
        auto pollPacer = std::make_unique<StepPacer>();
        watchdogPacer_ = watchdogPacer.get();
        pollPacer_ = pollPacer.get();
        LineBoxPacers pacers;
        pacers.watchdog = std::move(watchdogPacer);
        pacers.linePoll = std::move(pollPacer);
        capture_.devices = {"HDA Intel", "USB Audio CODEC"};
        hid_.devices = {kBox};
        box_ = std::make_unique<LineBoxDevices>(
            capture_, hid_, clock_, lines_, ui_, [this](uint64_t generation) { notices_.Post(generation); },
            [this] { ++reconnectRequests_; }, std::move(pacers));
    }

    void StartUp() {
        ASSERT_TRUE(box_->SearchLineInterface());
        box_->ResetLineStates();
        ASSERT_TRUE(box_->capture().InitCapture());
        ASSERT_TRUE(box_->capture().FindCaptureDevice(device_, 8000, WaveCapture::Search::kStartUp));
        box_->StartThreads();
    }

    AtomicClock clock_{1000};
    FakeCaptureBackend capture_;
    FakeHidBackend hid_;
    LineStates lines_;
    RecordingUi ui_;
    NoticeQueue notices_;
    std::atomic<int> reconnectRequests_{0};
    StepPacer* watchdogPacer_ = nullptr;
    StepPacer* pollPacer_ = nullptr;
    std::string device_ = "USB Audio";
    std::unique_ptr<LineBoxDevices> box_;
};

TEST_F(LineBoxTest, StartUpSetsSeizureTicksToNowAndLinesIdle) {
    lines_.lineActive[0] = true;
    StartUp();
    EXPECT_FALSE(lines_.lineActive[0]);
    EXPECT_EQ(lines_.lineSeizedAt[0], 1000u);
    EXPECT_EQ(lines_.lineSeizedAt[1], 1000u);
    EXPECT_TRUE(box_->lineInterfacePresent());
    EXPECT_EQ(ui_.captions, std::vector<std::string>{"Pell Recorder - usb audio"});
}

TEST_F(LineBoxTest, ReconnectAndReloadReopenEverythingAndOnlyTheReconnectClearsTheLines) {
    StartUp();
    struct Case {
        const char* name;
        bool reconnect;
        bool linesCleared;
    };
    for (const Case c : {Case{"reload", false, false}, Case{"reconnect", true, true}}) {
        SCOPED_TRACE(c.name);
        lines_.lineActive[0] = true;
        lines_.lineActive[1] = true;
        const int opens = capture_.opens;
        const size_t searches = hid_.opened.size();
        if (c.reconnect) {
            box_->OnReconnect(device_, 16000);
        } else {
            box_->Reload(device_, 16000);
        }
        EXPECT_EQ(lines_.lineActive[0], !c.linesCleared);
        EXPECT_EQ(lines_.lineActive[1], !c.linesCleared);
        EXPECT_EQ(capture_.opens, opens + 1);
        EXPECT_EQ(capture_.openedRate, 16000u);
        EXPECT_EQ(hid_.opened.size(), searches + 1);
        EXPECT_TRUE(box_->lineInterfacePresent());
        EXPECT_TRUE(box_->capture().running());
    }
    EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(LineBoxTest, UnplugAndReplugAreFoundByTheWatchdogsRetries) {
    StartUp();
    // The watchdog's first check must come before the sound, as on a real start.
    watchdogPacer_->AwaitSleeps(1);
    // Sound flows; then the box is unplugged: no more sound, and the devices are gone.
    ASSERT_TRUE(capture_.Push(CountingFrames(4000, 0)));
    const std::optional<uint64_t> generation = notices_.Take();
    ASSERT_TRUE(generation);
    ASSERT_TRUE(box_->OnWaveBlock(*generation, [](const int16_t*, size_t) {}));
    capture_.devicesAtInitialize = {{"HDA Intel"}, {"HDA Intel"}, {"HDA Intel", "Other", "USB Audio CODEC"}};
    hid_.devices.clear();
    hid_.Unplug();

    watchdogPacer_->Step(15);
    EXPECT_EQ(reconnectRequests_, 0);
    watchdogPacer_->Step();
    ASSERT_EQ(reconnectRequests_, 1);
    box_->OnReconnect(device_, 8000);
    EXPECT_EQ(ui_.captions.back(), kCaptionSearching);
    EXPECT_FALSE(box_->lineInterfacePresent());
    EXPECT_FALSE(box_->capture().running());

    watchdogPacer_->Step(16);
    ASSERT_EQ(reconnectRequests_, 2);
    box_->OnReconnect(device_, 8000);
    EXPECT_FALSE(box_->lineInterfacePresent());

    // Plugged back in, as another card: the next retry finds both functions.
    hid_.devices = {{{"/dev/hidraw5", kLineBoxVendorId, kLineBoxProductId}}};
    watchdogPacer_->Step(16);
    ASSERT_EQ(reconnectRequests_, 3);
    box_->OnReconnect(device_, 8000);
    EXPECT_EQ(ui_.captions.back(), "Pell Recorder - usb audio");
    EXPECT_EQ(capture_.openedIndex, 2u);
    EXPECT_TRUE(box_->lineInterfacePresent());
    EXPECT_EQ(box_->lineInterface().devicePath(), "/dev/hidraw5");
    EXPECT_FALSE(lines_.lineActive[0]);
    EXPECT_FALSE(lines_.lineActive[1]);
    EXPECT_TRUE(ui_.messages.empty());

    // Sound flows again and keeps the watchdog quiet.
    ASSERT_TRUE(capture_.Push(CountingFrames(4000, 0)));
    const std::optional<uint64_t> again = notices_.Take();
    ASSERT_TRUE(again);
    EXPECT_TRUE(box_->OnWaveBlock(*again, [](const int16_t*, size_t) {}));
    watchdogPacer_->Step(15);
    EXPECT_EQ(reconnectRequests_, 3);
}

TEST_F(LineBoxTest, ABoxPluggedInAfterAFailedStartDeliversBlocks) {
    capture_.devices.clear();
    ASSERT_TRUE(box_->SearchLineInterface());
    box_->ResetLineStates();
    EXPECT_FALSE(box_->capture().InitCapture());
    EXPECT_FALSE(box_->capture().FindCaptureDevice(device_, 8000, WaveCapture::Search::kStartUp));
    box_->StartThreads();
    watchdogPacer_->AwaitSleeps(1);
    watchdogPacer_->Step(16);
    ASSERT_EQ(reconnectRequests_, 1);

    capture_.devices = {"USB Audio CODEC"};
    box_->OnReconnect(device_, 8000);
    ASSERT_TRUE(box_->capture().running());
    ASSERT_TRUE(capture_.Push(CountingFrames(4000, 0)));
    const std::optional<uint64_t> generation = notices_.Take();
    ASSERT_TRUE(generation) << "the capture thread runs whatever opened the device";
    EXPECT_TRUE(box_->OnWaveBlock(*generation, [](const int16_t*, size_t) {}));
    watchdogPacer_->Step(15);
    EXPECT_EQ(reconnectRequests_, 1);
}

TEST_F(LineBoxTest, SoundThatNeverReachesTheMainThreadDoesNotKeepTheWatchdogQuiet) {
    StartUp();
    watchdogPacer_->AwaitSleeps(1);
    // The device delivers for 20 s, but no block is ever processed.
    for (int second = 0; second < 20; ++second) {
        ASSERT_TRUE(capture_.Push(CountingFrames(8000, 0)));
        watchdogPacer_->Step();
    }
    EXPECT_EQ(reconnectRequests_, 1);
}

TEST_F(LineBoxTest, LineStatesReachTheCoreThroughThePollThread) {
    hid_.Script("/dev/hidraw0", {{0x00, 0x06}, {0x00, 0x02}});
    StartUp();
    pollPacer_->AwaitSleeps(1);
    EXPECT_FALSE(lines_.lineActive[1]);
    pollPacer_->Step();
    EXPECT_TRUE(lines_.lineActive[1]);
    EXPECT_FALSE(lines_.lineActive[0]);
}

TEST_F(LineBoxTest, ShutdownStopsEveryThreadAndClosesTheDevices) {
    StartUp();
    box_->Shutdown();
    EXPECT_EQ(capture_.closes, 1);
    EXPECT_FALSE(box_->lineInterfacePresent());
    box_.reset();
    EXPECT_EQ(capture_.closes, 1);
    EXPECT_EQ(capture_.terminations, 1);
}

}  // namespace
}  // namespace pell
