#include "recorder/devices/simulated_box.h"

#include <gtest/gtest.h>

#include "recorder/devices/testing/device_fakes.h"
#include "recorder/devices/wave_capture.h"

namespace pell {
namespace {

using testing::AtomicClock;
using testing::CountingFrames;
using testing::FakeCaptureBackend;
using testing::FakeHidBackend;
using testing::NoticeQueue;
using testing::RecordingUi;
using testing::StepPacer;

Scenario MakeScenario(uint32_t rate, size_t frames, const std::string& timeline) {
    Scenario scenario;
    scenario.sampleRate = rate;
    scenario.frames = CountingFrames(frames, 1);
    EXPECT_EQ(ParseTimeline(timeline, scenario.timeline), "");
    return scenario;
}

TEST(SimulatedLineInterfaceTest, IsFoundBesideRealDevicesAndFollowsTheTimeline) {
    AtomicClock clock(7000);
    SimulatedLineBox box(MakeScenario(8000, 8, "1 1 active\n2 2 active\n3 1 idle\n"), clock);
    struct Case {
        const char* name;
        std::vector<FakeHidBackend::Device> real;
        std::string path;
    };
    const Case cases[] = {
        {"alone", {}, kSimulatedHidPath},
        {"a real box comes first", {{{"/dev/hidraw2", kLineBoxVendorId, kLineBoxProductId}}}, "/dev/hidraw2"},
        {"other devices passed over", {{{"/dev/hidraw0", 0x1234, 0x0001}}}, kSimulatedHidPath}};
    for (const Case& c : cases) {
        FakeHidBackend real;
        real.devices = c.real;
        HidWithSimulatedBox hid(real, box);
        LineInterface line(hid);
        ASSERT_TRUE(line.FindLineInterface()) << c.name;
        EXPECT_EQ(line.devicePath(), c.path) << c.name;
    }
    FakeHidBackend real;
    HidWithSimulatedBox hid(real, box);
    LineInterface line(hid);
    ASSERT_TRUE(line.FindLineInterface());
    const std::pair<uint32_t, uint8_t> expected[] = {{500, 0x06}, {1000, 0x04}, {2500, 0x00}, {3000, 0x02}};
    uint32_t at = 0;
    for (auto [atMs, state] : expected) {
        clock.AdvanceMs(atMs - at);
        at = atMs;
        uint8_t read = 0xFF;
        ASSERT_TRUE(line.ReadLineReport(read));
        EXPECT_EQ(read, state) << atMs;
    }
}

TEST(SimulatedCaptureTest, ListedAfterRealDevicesAndOpenedByIndex) {
    AtomicClock clock;
    SimulatedLineBox box(MakeScenario(8000, 8, ""), clock);
    FakeCaptureBackend real;
    real.devices = {"HDA Intel"};
    CaptureWithSimulatedBox capture(real, box);
    ASSERT_TRUE(capture.Initialize());
    const std::vector<std::optional<std::string>> devices = capture.InputDevices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[1], kSimulatedCaptureName);
    EXPECT_EQ(MatchCaptureDevice(devices, "usb audio codec"), 1u);
    EXPECT_NE(capture.Open(0, 8000, [](const int16_t*, size_t) {}), nullptr);
    EXPECT_EQ(real.openedIndex, 0u);
    EXPECT_NE(capture.Open(1, 8000, [](const int16_t*, size_t) {}), nullptr);
    EXPECT_EQ(capture.Open(2, 8000, [](const int16_t*, size_t) {}), nullptr);
    real.initializeWorks = false;
    capture.Terminate();
    ASSERT_TRUE(capture.Initialize());
    EXPECT_EQ(capture.InputDevices().size(), 1u);
}

TEST(SimulatedCaptureTest, DeliversTheScenarioAsTimePassesFromWhereItStands) {
    struct Case {
        uint32_t rate;
        uint32_t openAtMs;  // scenario time when the stream starts
        size_t firstFrame;  // scenario frame it starts with
        size_t step;        // scenario frames per delivered frame times 2 (nearest-frame resampling)
    };
    for (const Case c : {Case{8000, 0, 0, 2}, Case{8000, 250, 2000, 2}, Case{16000, 100, 800, 1}}) {
        SCOPED_TRACE(c.rate);
        AtomicClock clock;
        SimulatedLineBox box(MakeScenario(8000, 8000, ""), clock);
        clock.AdvanceMs(c.openAtMs);
        auto pacer = std::make_unique<StepPacer>(&clock);
        StepPacer& steps = *pacer;
        std::vector<int16_t> received;
        std::mutex mutex;
        auto stream = box.OpenCapture(
            c.rate,
            [&](const int16_t* frames, size_t count) {
                std::lock_guard lock(mutex);
                received.insert(received.end(), frames, frames + 2 * count);
            },
            std::move(pacer));
        ASSERT_TRUE(stream->Start());
        steps.Step(5);  // 100 ms
        stream.reset();
        const size_t expectedFrames = c.rate / 10;
        ASSERT_EQ(received.size(), expectedFrames * 2);
        for (size_t frame = 0; frame < expectedFrames; ++frame) {
            const auto source = static_cast<int16_t>(1 + c.firstFrame + frame * c.step / 2);
            ASSERT_EQ(received[2 * frame], source) << frame;
        }
    }
}

TEST(SimulatedCaptureTest, WaveCaptureRecordsTheScenarioSoundInBlocks) {
    AtomicClock clock;
    SimulatedLineBox box(MakeScenario(8000, 8000 * 2, ""), clock);
    FakeCaptureBackend real;
    CaptureWithSimulatedBox backend(real, box);
    RecordingUi ui;
    NoticeQueue notices;
    WaveCapture capture(backend, ui, [&](uint64_t generation) { notices.Post(generation); });
    ASSERT_TRUE(capture.InitCapture());
    std::string setting = "simulated line box";
    ASSERT_TRUE(capture.FindCaptureDevice(setting, 8000, WaveCapture::Search::kStartUp));
    clock.AdvanceMs(1000);  // the real pacer wakes within 20 ms and hands out the second
    for (int block = 0; block < 2; ++block) {
        const std::optional<uint64_t> generation = notices.Take();
        ASSERT_TRUE(generation);
        std::vector<int16_t> values;
        ASSERT_TRUE(capture.OnWaveBlock(
            *generation, [&](const int16_t* samples, size_t count) { values.assign(samples, samples + count); }));
        ASSERT_EQ(values.size(), 8000u);
        EXPECT_EQ(values[0], static_cast<int16_t>(1 + block * 4000));
        EXPECT_EQ(values[7998], static_cast<int16_t>(1 + block * 4000 + 3999));
    }
    EXPECT_EQ(ui.captions.back(), "Pell Recorder - simulated line box");
}

}  // namespace
}  // namespace pell
