// PortAudio over ALSA's pulse plugin and a private PulseAudio daemon: sound paced in real time,
// a main thread that stalls, and a box that is unplugged and plugged back in.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "recorder/devices/adapters/hidapi_line.h"
#include "recorder/devices/adapters/integration_support.h"
#include "recorder/devices/adapters/portaudio_capture.h"
#include "recorder/devices/line_box.h"
#include "recorder/devices/testing/device_fakes.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

using testing::NoticeQueue;
using testing::PacedFifoWriter;
using testing::PulseDaemon;
using testing::RecordingUi;
using Seconds = std::chrono::duration<double>;

constexpr char kPulseBox[] = "USB Audio CODEC pulse box";
constexpr uint32_t kRate = 8000;

class PulseCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (testing::RunProgram({"pulseaudio", "--version"}) != 0) GTEST_SKIP() << "pulseaudio is not installed";
        if (!std::ifstream("/usr/share/alsa/alsa.conf")) GTEST_SKIP() << "ALSA's configuration is not installed";
        const std::string started = daemon_.Start();
        ASSERT_EQ(started, "");
        testing::UseAlsaConfig(dir_.path(),
                               "pcm.\"" + std::string(kPulseBox) + "\" { type pulse; server \"" + daemon_.server() +
                                   "\"; device \"linebox\"; hint { show on description \"" + kPulseBox + "\" } }\n");
    }

    // Takes notices for `seconds` of real time and processes them through `process`.
    template <typename Process>
    void ProcessFor(double seconds, Process&& process) {
        const auto end = std::chrono::steady_clock::now() + Seconds(seconds);
        while (std::chrono::steady_clock::now() < end) {
            if (const std::optional<uint64_t> generation = notices_.Take(100)) process(*generation);
        }
    }

    TempDir dir_;
    PulseDaemon daemon_{dir_.path(), kRate};
    RecordingUi ui_;
    NoticeQueue notices_;
};

TEST_F(PulseCaptureTest, RealTimeSoundSurvivesAMainThreadBlockedForFiveSeconds) {
    PortAudioCapture backend;
    WaveCapture capture(backend, ui_, [this](uint64_t generation) { notices_.Post(generation); });
    ASSERT_TRUE(capture.InitCapture());
    std::string setting = "pulse box";
    ASSERT_TRUE(capture.FindCaptureDevice(setting, kRate, WaveCapture::Search::kStartUp));
    PacedFifoWriter writer(daemon_.fifo(), kRate);
    const auto opened = std::chrono::steady_clock::now();

    std::this_thread::sleep_for(std::chrono::seconds(5));  // the main thread finishes a long recording
    std::vector<int16_t> sound;
    std::vector<double> arrivals;
    ProcessFor(3.0, [&](uint64_t generation) {
        capture.OnWaveBlock(generation, [&](const int16_t* samples, size_t count) {
            sound.insert(sound.end(), samples, samples + count);
            arrivals.push_back(Seconds(std::chrono::steady_clock::now() - opened).count());
        });
    });

    size_t frames = 0;
    EXPECT_EQ(testing::CheckPacedPattern(sound, &frames), "");
    EXPECT_EQ(capture.droppedSamples(), 0u);
    // What was written while the main thread stalled all arrived; only the last block may lag.
    EXPECT_GE(frames + kRate, writer.framesWritten() - kRate * 3 / 2) << "written " << writer.framesWritten();
    // Paced in real time: 8 s of running give about 16 blocks, not a burst of stale sound.
    EXPECT_GE(arrivals.size(), 12u);
    EXPECT_LE(arrivals.size(), 18u);
}

TEST_F(PulseCaptureTest, AnUnpluggedBoxIsFoundAgainByTheReconnect) {
    PortAudioCapture captureBackend;
    HidapiLineBackend hid;
    SystemClock clock;
    LineStates lines;
    std::atomic<int> reconnectRequests{0};
    LineBoxDevices box(
        captureBackend, hid, clock, lines, ui_, [this](uint64_t generation) { notices_.Post(generation); },
        [&] { ++reconnectRequests; });
    box.SearchLineInterface();
    box.ResetLineStates();
    ASSERT_TRUE(box.capture().InitCapture());
    std::string setting = "pulse box";
    ASSERT_TRUE(box.capture().FindCaptureDevice(setting, kRate, WaveCapture::Search::kStartUp));
    box.StartThreads();

    auto writer = std::make_unique<PacedFifoWriter>(daemon_.fifo(), kRate);
    int blocks = 0;
    ProcessFor(2.0, [&](uint64_t generation) {
        blocks += box.OnWaveBlock(generation, [](const int16_t*, size_t) {}) ? 1 : 0;
    });
    ASSERT_GE(blocks, 2);

    // Unplugged: the sound stops and the watchdog asks for a reconnect after 15 quiet seconds.
    writer.reset();
    ASSERT_TRUE(daemon_.RemoveSource());
    const auto unplugged = std::chrono::steady_clock::now();
    while (reconnectRequests == 0 && std::chrono::steady_clock::now() - unplugged < std::chrono::seconds(25)) {
        if (const std::optional<uint64_t> generation = notices_.Take(100))
            box.OnWaveBlock(generation.value(), [](const int16_t*, size_t) {});
    }
    ASSERT_EQ(reconnectRequests, 1);
    EXPECT_GE(Seconds(std::chrono::steady_clock::now() - unplugged).count(), 14.0);
    lines.lineActive[0] = true;
    box.OnReconnect(setting, kRate);
    EXPECT_FALSE(lines.lineActive[0]);
    const bool openedWithoutSource = box.capture().running();

    // Plugged back in: the next reconnect opens it and sound flows again.
    ASSERT_TRUE(daemon_.AddSource());
    writer = std::make_unique<PacedFifoWriter>(daemon_.fifo(), kRate);
    box.OnReconnect(setting, kRate);
    ASSERT_TRUE(box.capture().running());
    EXPECT_EQ(ui_.captions.back(), "Pell Recorder - pulse box");
    std::vector<int16_t> sound;
    ProcessFor(2.5, [&](uint64_t generation) {
        box.OnWaveBlock(generation, [&](const int16_t* samples, size_t count) {
            sound.insert(sound.end(), samples, samples + count);
        });
    });
    size_t frames = 0;
    EXPECT_EQ(testing::CheckPacedPattern(sound, &frames), "");
    EXPECT_GT(frames, kRate / 2);
    EXPECT_TRUE(ui_.messages.empty());
    if (openedWithoutSource) {
        std::cout << "note: the pulse plugin opened the stream while its source was gone\n";
    } else {
        EXPECT_NE(std::find(ui_.captions.begin(), ui_.captions.end(), kCaptionSearching), ui_.captions.end());
    }
}

}  // namespace
}  // namespace pell
