// The volume slider against a private PulseAudio daemon with a null sink, reached as the player
// reaches it (PortAudio, ALSA's pulse plugin): the sink's own volume must not move, and what
// the sink receives from us must scale.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include <gtest/gtest.h>

#include "player/engine/devices/alsa_volume.h"
#include "player/engine/devices/wwaveout.h"
#include "player/engine/testing/mp3_fixtures.h"
#include "player/engine/volume.h"
#include "player/engine/wmp3.h"
#include "recorder/devices/adapters/integration_support.h"
#include "testsupport/temp_dir.h"

extern char** environ;

namespace pell {
namespace {

using testing::PulseDaemon;

constexpr int kRate = 8000;

class StreamVolumePulseTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (testing::RunProgram({"pulseaudio", "--version"}) != 0) GTEST_SKIP() << "pulseaudio is not installed";
        if (!std::ifstream("/usr/share/alsa/alsa.conf")) GTEST_SKIP() << "ALSA's configuration is not installed";
        ASSERT_EQ(daemon_.Start(), "");
        ASSERT_EQ(daemon_.Pactl({"load-module", "module-null-sink", "sink_name=speakers", "rate=8000", "channels=1"}),
                  0);
        ASSERT_EQ(daemon_.Pactl({"set-default-sink", "speakers"}), 0);
        // Playback and the mixer both go to the daemon, as on a desktop.
        const std::string server = "server \"" + daemon_.server() + "\"";
        testing::UseAlsaConfig(
            dir_.path(), "pcm.!default { type pulse; " + server + " }\nctl.!default { type pulse; " + server + " }\n");
        dir_.Write("tone.mp3", testing::EncodeTone({kRate, 1, 1.5, 400, 0, 8000}, {32, false, true}));
    }

    std::string SinkVolume() const {
        std::string out;
        daemon_.Pactl({"get-sink-volume", "speakers"}, &out);
        return out;
    }

    // Plays the tone through the engine while parec records the sink's monitor; the RMS of the
    // recorded sound.
    double PlayAndMeasure() {
        const std::string capture = dir_.File("capture.raw");
        std::vector<std::string> args = {"parec",
                                         "--server=" + daemon_.server(),
                                         "--device=speakers.monitor",
                                         "--raw",
                                         "--format=s16le",
                                         "--rate=8000",
                                         "--channels=1",
                                         capture};
        std::vector<char*> argv;
        argv.reserve(args.size() + 1);
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        pid_t recorder = 0;
        EXPECT_EQ(posix_spawnp(&recorder, "parec", nullptr, nullptr, argv.data(), environ), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        {
            WMp3 mp3(std::make_unique<WWaveOut>());
            EXPECT_EQ(mp3.OpenMp3File(dir_.File("tone.mp3").c_str(), 1000), 1) << mp3.GetError();
            EXPECT_EQ(mp3.Play(), 1);
            for (int i = 0; i < 1000 && mp3.IsPlaying(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            EXPECT_FALSE(mp3.IsPlaying()) << mp3.GetError();
            mp3.Close();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        kill(recorder, SIGTERM);
        int status = 0;
        waitpid(recorder, &status, 0);
        std::ifstream in(capture, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        double sum = 0;
        std::size_t count = 0;
        for (std::size_t b = 0; b + 1 < bytes.size(); b += 2) {
            std::int16_t v = 0;
            std::memcpy(&v, bytes.data() + b, 2);
            if (v == 0) continue;
            sum += static_cast<double>(v) * v;
            ++count;
        }
        EXPECT_GT(count, static_cast<std::size_t>(kRate)) << "the monitor heard " << count << " samples";
        return count ? std::sqrt(sum / static_cast<double>(count)) : 0;
    }

    TempDir dir_;
    PulseDaemon daemon_{dir_.path(), kRate};
};

TEST_F(StreamVolumePulseTest, TheSliderScalesOurStreamAndLeavesTheSystemVolumeAlone) {
    const std::string systemBefore = SinkVolume();
    ASSERT_NE(systemBefore.find("Volume:"), std::string::npos) << systemBefore;
    SetWaveOutVolume(SliderToVolume(32));
    const double full = PlayAndMeasure();
    // Half way on the slider, as the window sets it when the slider is let go.
    SetWaveOutVolume(SliderToVolume(16));
    const double half = PlayAndMeasure();
    EXPECT_EQ(SinkVolume(), systemBefore);
    ASSERT_GT(full, 1000);
    // (16 x 2048 / 65535)^3: the curve of the desktop's own sliders.
    EXPECT_NEAR(half / full, 0.125, 0.02);
    SetWaveOutVolume(SliderToVolume(32));
}

}  // namespace
}  // namespace pell
