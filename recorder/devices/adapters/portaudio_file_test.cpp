// PortAudio over ALSA "file" PCMs: exact bytes from a raw file, fast and unpaced.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "common/core/wav_file.h"
#include "recorder/devices/adapters/integration_support.h"
#include "recorder/devices/adapters/portaudio_capture.h"
#include "recorder/devices/adapters/system_devices.h"
#include "recorder/devices/testing/device_fakes.h"
#include "recorder/devices/wave_capture.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

using testing::CountingFrames;
using testing::NoticeQueue;
using testing::RecordingUi;

constexpr char kBoxOne[] = "USB Audio CODEC test box";
constexpr char kBoxTwo[] = "USB AUDIO CODEC test box two";
constexpr uint32_t kSecondFileStart = 20000;

std::string FilePcm(const std::string& name, const std::string& file) {
    return "pcm.\"" + name + "\" { type file; slave.pcm \"null\"; file \"/dev/null\"; infile \"" + file +
           "\"; format \"raw\"; hint { show on description \"" + name + "\" } }\n";
}

void WriteRaw(const std::string& path, const std::vector<int16_t>& samples) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(samples.size() * 2));
}

class AlsaFileCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::ifstream("/usr/share/alsa/alsa.conf")) GTEST_SKIP() << "ALSA's configuration is not installed";
        // Plenty of sound: at the end of its file the PCM repeats stale bytes.
        WriteRaw(dir_.File("one.raw"), CountingFrames(400000, 0));
        WriteRaw(dir_.File("two.raw"), CountingFrames(400000, kSecondFileStart));
        testing::UseAlsaConfig(dir_.path(),
                               FilePcm(kBoxOne, dir_.File("one.raw")) + FilePcm(kBoxTwo, dir_.File("two.raw")));
    }

    TempDir dir_;
    RecordingUi ui_;
    NoticeQueue notices_;
};

TEST_F(AlsaFileCaptureTest, ProbingTheDevicesWritesNothingToStandardError) {
    // A card that is not there, as on a machine without the box: ALSA complains while probing it.
    testing::UseAlsaConfig(dir_.path(), FilePcm(kBoxOne, dir_.File("one.raw")) +
                                            "pcm.\"missing card\" { type hw; card 9; hint { show on description "
                                            "\"missing card\" } }\n");
    const std::string captured = dir_.File("stderr.txt");
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    const int file = ::open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(file, 0);
    ::dup2(file, STDERR_FILENO);
    ::close(file);
    {
        PortAudioCapture backend;
        ASSERT_TRUE(backend.Initialize());
        EXPECT_FALSE(backend.InputDevices().empty());
        backend.Terminate();
    }
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    EXPECT_EQ(dir_.Read("stderr.txt"), "");
}

TEST_F(AlsaFileCaptureTest, PortAudioListsTheFilePcmsAsInputDevices) {
    PortAudioCapture backend;
    ASSERT_TRUE(backend.Initialize());
    const auto devices = backend.InputDevices();
    EXPECT_TRUE(std::count(devices.begin(), devices.end(), std::optional<std::string>(kBoxOne)) == 1);
    EXPECT_TRUE(std::count(devices.begin(), devices.end(), std::optional<std::string>(kBoxTwo)) == 1);
}

struct ExactCase {
    const char* name;
    int32_t rate;
    std::string setting;
    size_t values;
};

void PrintTo(const ExactCase& c, std::ostream* os) { *os << c.name; }

class AlsaFileExactBytesTest : public AlsaFileCaptureTest, public ::testing::WithParamInterface<ExactCase> {};

TEST_P(AlsaFileExactBytesTest, BlocksHoldTheFileInOrder) {
    const ExactCase& c = GetParam();
    PortAudioCapture backend;
    WaveCapture capture(backend, ui_, [this](uint64_t generation) { notices_.Post(generation); });
    ASSERT_TRUE(capture.InitCapture());
    const auto devices = backend.InputDevices();
    const auto one = std::find(devices.begin(), devices.end(), std::optional<std::string>(kBoxOne));
    const auto two = std::find(devices.begin(), devices.end(), std::optional<std::string>(kBoxTwo));
    ASSERT_TRUE(one != devices.end() && two != devices.end());
    // "test box" names both: the one PortAudio lists first is taken.
    // "test box" names both: the one PortAudio lists first is taken.
    const bool onlyTwo = c.setting.find("two") != std::string::npos;
    const uint32_t start = onlyTwo || two < one ? kSecondFileStart : 0;
    std::string setting = c.setting;
    ASSERT_TRUE(capture.FindCaptureDevice(setting, c.rate, WaveCapture::Search::kStartUp)) << ui_.captions.back();
    EXPECT_EQ(ui_.captions.back(), "Pell Recorder - " + ToLower(c.setting));
    const std::vector<int16_t> expected = CountingFrames(c.values / 2 * 4, start);
    for (size_t block = 0; block < 4; ++block) {
        const std::optional<uint64_t> generation = notices_.Take();
        ASSERT_TRUE(generation);
        std::vector<int16_t> values;
        ASSERT_TRUE(capture.OnWaveBlock(
            *generation, [&](const int16_t* samples, size_t count) { values.assign(samples, samples + count); }));
        ASSERT_EQ(values.size(), c.values);
        ASSERT_TRUE(std::equal(values.begin(), values.end(), expected.begin() + static_cast<long>(block * c.values)))
            << "block " << block << " starts with " << values[0];
    }
    EXPECT_TRUE(ui_.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Rates, AlsaFileExactBytesTest,
                         ::testing::Values(ExactCase{"Rate8000", 8000, "usb audio codec TEST BOX", 8000},
                                           ExactCase{"Rate16000", 16000, "Test Box", 16000},
                                           ExactCase{"OddRate11025", 11025, "test box", 11024},
                                           ExactCase{"SecondBox32000", 32000, "box two", 32000}),
                         [](const ::testing::TestParamInfo<ExactCase>& info) { return std::string(info.param.name); });

TEST_F(AlsaFileCaptureTest, AnUnknownNameLeavesTheCaptionSearching) {
    PortAudioCapture backend;
    WaveCapture capture(backend, ui_, {});
    ASSERT_TRUE(capture.InitCapture());
    std::string setting = "no such box";
    EXPECT_FALSE(capture.FindCaptureDevice(setting, 8000, WaveCapture::Search::kStartUp));
    EXPECT_EQ(ui_.captions, std::vector<std::string>{kCaptionSearching});
    EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(AlsaFileCaptureTest, AReopenAfterARetryCapturesAgain) {
    PortAudioCapture backend;
    WaveCapture capture(backend, ui_, [this](uint64_t generation) { notices_.Post(generation); });
    ASSERT_TRUE(capture.InitCapture());
    std::string setting = "box two";
    ASSERT_TRUE(capture.FindCaptureDevice(setting, 8000, WaveCapture::Search::kStartUp));
    const std::optional<uint64_t> stale = notices_.Take();
    ASSERT_TRUE(stale);
    ASSERT_TRUE(capture.FindCaptureDevice(setting, 8000, WaveCapture::Search::kRetry));
    EXPECT_FALSE(capture.OnWaveBlock(*stale, [](const int16_t*, size_t) {}));
    // Notices of the old open may still be queued; the first of the new open starts the file again.
    for (;;) {
        const std::optional<uint64_t> generation = notices_.Take();
        ASSERT_TRUE(generation);
        std::vector<int16_t> values;
        if (!capture.OnWaveBlock(*generation, [&](const int16_t* s, size_t n) { values.assign(s, s + n); })) continue;
        EXPECT_EQ(values[0], static_cast<int16_t>(kSecondFileStart));
        break;
    }
}

TEST_F(AlsaFileCaptureTest, TheScenarioVariableAddsTheSimulatedBoxBesideRealDevices) {
    dir_.Write("call.wav", EncodeWav(8000, 2, CountingFrames(100, 1)));
    dir_.Write("timeline.txt", "1 1 active\n");
    SystemClock clock;
    SystemLineBoxBackends backends(clock, dir_.path().c_str());
    ASSERT_TRUE(backends.simulated()) << backends.scenarioError();
    ASSERT_TRUE(backends.capture().Initialize());
    const auto devices = backends.capture().InputDevices();
    ASSERT_GE(devices.size(), 3u);
    EXPECT_EQ(devices.back(), kSimulatedCaptureName);
    EXPECT_EQ(MatchCaptureDevice(devices, "simulated"), devices.size() - 1);
    const auto boxes = backends.hid().Enumerate(kLineBoxVendorId, kLineBoxProductId);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().path, kSimulatedHidPath);
    backends.capture().Terminate();

    // Named by the environment, as the recorder is started.
    setenv(kScenarioVariable, dir_.path().c_str(), 1);
    SystemLineBoxBackends fromEnvironment(clock);
    unsetenv(kScenarioVariable);
    EXPECT_TRUE(fromEnvironment.simulated()) << fromEnvironment.scenarioError();
    SystemLineBoxBackends withoutVariable(clock);
    EXPECT_FALSE(withoutVariable.simulated());

    SystemLineBoxBackends broken(clock, dir_.File("missing").c_str());
    EXPECT_FALSE(broken.simulated());
    EXPECT_NE(broken.scenarioError().find("call.wav"), std::string::npos);
}

}  // namespace
}  // namespace pell
