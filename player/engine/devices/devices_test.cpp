// The real PortAudio and ALSA paths without a sound card: ALSA's default device is a "file"
// PCM over the null device, which keeps the bytes it is given.

#include <condition_variable>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <vector>

#include <gtest/gtest.h>

#include "player/engine/devices/wwaveout.h"
#include "player/engine/stream_volume.h"
#include "player/engine/testing/mp3_fixtures.h"
#include "player/engine/volume.h"
#include "player/engine/wmp3.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

class DevicesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = new TempDir;
        const std::string conf = folder->File("asound.conf");
        std::ofstream(conf) << "pcm.!default { type file; slave.pcm \"null\"; file \"" << folder->File("device.raw")
                            << "\"; format \"raw\" }\nctl.!default { type hw; card 99 }\n";
        ::setenv("ALSA_CONFIG_PATH", ("/usr/share/alsa/alsa.conf:" + conf).c_str(), 1);
    }
    static void TearDownTestSuite() {
        delete folder;
        folder = nullptr;
    }
    static std::string DeviceBytes() {
        std::ifstream in(folder->File("device.raw"), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static TempDir* folder;
};
TempDir* DevicesTest::folder = nullptr;

struct Done {
    std::mutex lock;
    std::condition_variable cv;
    std::vector<std::uint32_t> order;
    std::vector<std::uint32_t> lengths;
};

void Record(WaveOutput*, OutputMessage message, void* instance, WaveHeader* header) {
    if (message != OutputMessage::kDone) return;
    auto* done = static_cast<Done*>(instance);
    std::lock_guard lock(done->lock);
    done->order.push_back(header->index);
    done->lengths.push_back(header->validBytes);
    done->cv.notify_all();
}

TEST_F(DevicesTest, BuffersReachTheDeviceInOrderAndComeBackDone) {
    WWaveOut out;
    ASSERT_EQ(out.Initialize(1, 1, 8000, 16, 4, 144), 1);
    Done done;
    ASSERT_EQ(out.OpenAudioOutput(kDefaultOutputDevice, &Record, &done, kCallbackFunction), 1) << out.GetError();
    const std::uint32_t sizes[] = {2304, 0, 1000, 2304};
    std::string expected;
    for (std::uint32_t i = 0; i < 4; ++i) {
        for (std::uint32_t b = 0; b < sizes[i]; ++b)
            out.GetBufferData(i)[b] = static_cast<std::uint8_t>(1 + (b * 7 + i) % 251);
        out.SetBufferDataSize(i, sizes[i]);
        expected.append(reinterpret_cast<const char*>(out.GetBufferData(i)), sizes[i]);
        ASSERT_EQ(out.PlayBuffer(i), 1);
    }
    {
        std::unique_lock lock(done.lock);
        ASSERT_TRUE(done.cv.wait_for(lock, std::chrono::seconds(20), [&] { return done.order.size() == 4; }));
    }
    EXPECT_EQ(done.order, (std::vector<std::uint32_t>{0, 1, 2, 3}));
    EXPECT_EQ(done.lengths, (std::vector<std::uint32_t>{2304, 0, 1000, 2304}));
    for (std::uint32_t i = 0; i < 4; ++i) EXPECT_EQ(out.IsBufferDone(i), 1);
    EXPECT_GE(out.GetPosition(0), (2304u + 1000u + 2304u) / 2);
    EXPECT_EQ(out.Close(), 1) << out.GetError();
    EXPECT_EQ(out.GetPosition(0), 0u);
    const std::string device = DeviceBytes();
    EXPECT_NE(device.find(expected), std::string::npos);
}

TEST_F(DevicesTest, CloseRefusesWhileBuffersAreQueuedAndResetReturnsThem) {
    WWaveOut out;
    ASSERT_EQ(out.Initialize(1, 2, 44100, 16, 3, 131), 1);
    Done done;
    ASSERT_EQ(out.OpenAudioOutput(kDefaultOutputDevice, &Record, &done, kCallbackFunction), 1) << out.GetError();
    ASSERT_EQ(out.Pause(), 1);
    for (std::uint32_t i = 0; i < 3; ++i) {
        out.SetBufferDataSize(i, out.GetBufferSize());
        ASSERT_EQ(out.PlayBuffer(i), 1);
    }
    EXPECT_EQ(out.Close(), 0);
    EXPECT_EQ(out.GetError(), "WWaveOut::Close   *** There are still buffers in the queue");
    EXPECT_EQ(out.Reset(), 1);
    EXPECT_EQ(done.order.size(), 3u);
    EXPECT_EQ(out.Close(), 1);
    EXPECT_EQ(out.Close(), 0);
    EXPECT_EQ(out.GetError(), "WWaveOut::Close  *** Specified device handle is invalid");
}

TEST_F(DevicesTest, OpenFailuresMapToTheirTexts) {
    struct Case {
        std::uint32_t device;
        std::uint16_t channels;
        const char* error;
    } cases[] = {
        {9999, 1, "WWaveOut::OpenAudioOutput  *** Specified device identifier is out of range"},
    };
    for (const Case& c : cases) {
        WWaveOut out;
        ASSERT_EQ(out.Initialize(1, c.channels, 8000, 16, 2, 144), 1);
        EXPECT_EQ(out.OpenAudioOutput(c.device, nullptr, nullptr, kCallbackFunction), 0);
        EXPECT_EQ(out.GetError(), c.error);
    }
    EXPECT_EQ(WWaveOut::OpenResultForPaError(0), OutputResult::kOk);
}

TEST_F(DevicesTest, TheEnginePlaysAFileToItsEndOnTheDevice) {
    const std::string path = folder->File("short.mp3");
    std::ofstream(path, std::ios::binary) << testing::EncodeTone({8000, 1, 0.6, 500, 0, 9000}, {16, false, true});
    WMp3 mp3(std::make_unique<WWaveOut>());
    ASSERT_EQ(mp3.OpenMp3File(path.c_str(), 1000), 1) << mp3.GetError();
    ASSERT_EQ(mp3.Play(), 1);
    // The device plays in real time; the worker stops itself once every buffer came back.
    for (int i = 0; i < 2000 && mp3.IsPlaying(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(mp3.IsPlaying()) << mp3.GetError();
    EXPECT_EQ(mp3.GetPosition(), mp3.GetLength());
    EXPECT_EQ(mp3.Close(), 1);
}

TEST_F(DevicesTest, TheStreamVolumeScalesWhatTheDeviceReceives) {
    struct Case {
        std::uint32_t volume;
        std::int16_t heard;
    } cases[] = {{65535, 8000}, {32768, 1000}, {0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.volume);
        StreamVolume volume;
        volume.Set(c.volume);
        WWaveOut out(volume);
        ASSERT_EQ(out.Initialize(1, 1, 8000, 16, 2, 144), 1);
        Done done;
        ASSERT_EQ(out.OpenAudioOutput(kDefaultOutputDevice, &Record, &done, kCallbackFunction), 1) << out.GetError();
        const std::int16_t sample = 8000;
        for (std::uint32_t i = 0; i < 2; ++i) {
            for (std::uint32_t b = 0; b < out.GetBufferSize(); b += 2)
                std::memcpy(out.GetBufferData(i) + b, &sample, 2);
            out.SetBufferDataSize(i, out.GetBufferSize());
            ASSERT_EQ(out.PlayBuffer(i), 1);
        }
        {
            std::unique_lock lock(done.lock);
            ASSERT_TRUE(done.cv.wait_for(lock, std::chrono::seconds(20), [&] { return done.order.size() == 2; }));
        }
        ASSERT_EQ(out.Close(), 1);
        const std::string device = DeviceBytes();
        std::size_t heard = 0;
        std::size_t other = 0;
        for (std::size_t b = 0; b + 1 < device.size(); b += 2) {
            std::int16_t v = 0;
            std::memcpy(&v, device.data() + b, 2);
            if (v == c.heard) {
                ++heard;
            } else if (v != 0) {
                ++other;
            }
        }
        // Both buffers, each 1152 samples, at the volume's factor; nothing at any other level.
        EXPECT_GE(heard, 2304u);
        EXPECT_EQ(other, 0u);
    }
    // The player's own volume is the process's, and setting it touches nothing outside.
    SetWaveOutVolume(SliderToVolume(20));
    EXPECT_EQ(VolumeToSlider(GetWaveOutVolume()), 20);
    SetWaveOutVolume(SliderToVolume(32));
    EXPECT_EQ(GetWaveOutVolume(), 65535u);
}

}  // namespace
}  // namespace pell
