#include "recorder/devices/wave_capture.h"

#include <gtest/gtest.h>

#include "recorder/devices/testing/device_fakes.h"

namespace pell {
namespace {

using testing::CountingFrames;
using testing::FakeCaptureBackend;
using testing::NoticeQueue;
using testing::RecordingUi;
using Devices = std::vector<std::optional<std::string>>;

struct InitCase {
    const char* name;
    bool initializeWorks;
    Devices devices;
    bool ok;
    std::vector<std::string> messages;
};

void PrintTo(const InitCase& c, std::ostream* os) { *os << c.name; }

class InitCaptureTest : public ::testing::TestWithParam<InitCase> {};

TEST_P(InitCaptureTest, NeedsAReadableFirstInputDevice) {
    const InitCase& c = GetParam();
    FakeCaptureBackend backend;
    backend.initializeWorks = c.initializeWorks;
    backend.devices = c.devices;
    RecordingUi ui;
    WaveCapture capture(backend, ui, {});
    EXPECT_EQ(capture.InitCapture(), c.ok);
    EXPECT_EQ(ui.messages, c.messages);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, InitCaptureTest,
    ::testing::Values(InitCase{"NoDevice", true, {}, false, {kNoSoundDevice}},
                      InitCase{"AudioSystemDown", false, {"USB Audio CODEC"}, false, {kNoSoundDevice}},
                      InitCase{"FirstUnreadable", true, {std::nullopt, "USB Audio CODEC"}, false, {kNoCapabilities}},
                      InitCase{"Ready", true, {"HDA Intel", "USB Audio CODEC"}, true, {}}),
    [](const ::testing::TestParamInfo<InitCase>& info) { return std::string(info.param.name); });

struct FindCase {
    const char* name;
    Devices devices;
    std::string setting;
    int32_t rate;
    WaveCapture::Search search;
    bool openWorks;
    bool found;
    std::optional<size_t> opened;
    uint32_t openedRate;
    std::vector<std::string> captions;
    std::vector<std::string> messages;
};

void PrintTo(const FindCase& c, std::ostream* os) { *os << c.name; }

class FindCaptureDeviceTest : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindCaptureDeviceTest, OpensTheMatchAndNamesItOnlyOnceOpen) {
    const FindCase& c = GetParam();
    FakeCaptureBackend backend;
    backend.devices = c.devices;
    backend.openWorks = c.openWorks;
    RecordingUi ui;
    WaveCapture capture(backend, ui, {});
    ASSERT_TRUE(capture.InitCapture());
    std::string setting = c.setting;
    EXPECT_EQ(capture.FindCaptureDevice(setting, c.rate, c.search), c.found);
    EXPECT_EQ(setting, ToLower(c.setting));
    EXPECT_EQ(backend.openedIndex, c.opened);
    if (c.opened) {
        EXPECT_EQ(backend.openedRate, c.openedRate);
    }
    EXPECT_EQ(capture.running(), c.found);
    EXPECT_EQ(ui.captions, c.captions);
    EXPECT_EQ(ui.messages, c.messages);
}

const Devices kTwoBoxes = {"HDA Intel PCH", "USB Audio CODEC: first", "USB AUDIO CODEC: second"};
constexpr auto kStartUp = WaveCapture::Search::kStartUp;
constexpr auto kRetry = WaveCapture::Search::kRetry;

INSTANTIATE_TEST_SUITE_P(
    Searches, FindCaptureDeviceTest,
    ::testing::Values(
        FindCase{"LowerIndexWins",
                 kTwoBoxes,
                 "USB Audio",
                 8000,
                 kStartUp,
                 true,
                 true,
                 1,
                 8000,
                 {"Pell Recorder - usb audio"},
                 {}},
        FindCase{
            "EmptySettingFirstDevice", kTwoBoxes, "", 16000, kStartUp, true, true, 0, 16000, {"Pell Recorder - "}, {}},
        FindCase{"BadRateFallsBack",
                 kTwoBoxes,
                 "second",
                 96000,
                 kStartUp,
                 true,
                 true,
                 2,
                 8000,
                 {"Pell Recorder - second"},
                 {}},
        FindCase{"RateWithoutAWholeFrameFallsBack",
                 kTwoBoxes,
                 "second",
                 1,
                 kStartUp,
                 true,
                 true,
                 2,
                 8000,
                 {"Pell Recorder - second"},
                 {}},
        FindCase{
            "NotFound", kTwoBoxes, "line box", 8000, kStartUp, true, false, std::nullopt, 0, {kCaptionSearching}, {}},
        FindCase{"OpenFailsAtStartUp",
                 kTwoBoxes,
                 "codec",
                 8000,
                 kStartUp,
                 false,
                 false,
                 std::nullopt,
                 0,
                 {kCaptionSearching},
                 {kCannotOpenInput}},
        FindCase{"OpenFailsOnRetryIsSilent",
                 kTwoBoxes,
                 "codec",
                 8000,
                 kRetry,
                 false,
                 false,
                 std::nullopt,
                 0,
                 {kCaptionSearching},
                 {}}),
    [](const ::testing::TestParamInfo<FindCase>& info) { return std::string(info.param.name); });

// The test's thread plays the window's main thread.
class CaptureBlocksTest : public ::testing::Test {
protected:
    void Open(int32_t rate, const std::string& device = "usb audio") {
        backend_.devices = {"HDA Intel", "USB Audio CODEC"};
        ASSERT_TRUE(capture_.InitCapture());
        std::string setting = device;
        ASSERT_TRUE(capture_.FindCaptureDevice(setting, rate, WaveCapture::Search::kStartUp));
    }

    // Takes the next notice and processes it; the block's values and buffer address.
    bool ProcessNext(std::vector<int16_t>* values = nullptr, const int16_t** buffer = nullptr) {
        const std::optional<uint64_t> generation = notices_.Take();
        if (!generation) return false;
        return capture_.OnWaveBlock(*generation, [&](const int16_t* samples, size_t count) {
            if (values) values->assign(samples, samples + count);
            if (buffer) *buffer = samples;
        });
    }

    FakeCaptureBackend backend_;
    RecordingUi ui_;
    NoticeQueue notices_;
    WaveCapture capture_{backend_, ui_, [this](uint64_t generation) { notices_.Post(generation); }};
};

TEST_F(CaptureBlocksTest, BuffersAlternateAndCarryHalfSecondsInOrder) {
    struct RateCase {
        int32_t rate;
        size_t values;
    };
    for (const RateCase c : {RateCase{8000, 8000}, RateCase{16000, 16000}, RateCase{11025, 11024}}) {
        SCOPED_TRACE(c.rate);
        Open(c.rate);
        const std::vector<int16_t> sound = CountingFrames(c.values / 2 * 4, 0);
        ASSERT_TRUE(backend_.Push(sound));
        const int16_t* first = nullptr;
        for (size_t block = 0; block < 4; ++block) {
            std::vector<int16_t> values;
            const int16_t* buffer = nullptr;
            ASSERT_TRUE(ProcessNext(&values, &buffer));
            ASSERT_EQ(values.size(), c.values);
            EXPECT_TRUE(std::equal(values.begin(), values.end(), sound.begin() + static_cast<long>(block * c.values)));
            if (block == 0) first = buffer;
            EXPECT_EQ(buffer == first, block % 2 == 0) << "A, B, A, B";
        }
        capture_.CloseCapture();
    }
}

TEST_F(CaptureBlocksTest, ANoticeFromBeforeACloseIsDropped) {
    Open(8000);
    ASSERT_TRUE(backend_.Push(CountingFrames(4000, 0)));
    const std::optional<uint64_t> stale = notices_.Take();
    ASSERT_TRUE(stale);
    capture_.CloseCapture();
    EXPECT_FALSE(
        capture_.OnWaveBlock(*stale, [](const int16_t*, size_t) { ADD_FAILURE() << "processed after close"; }));
    std::string setting = "usb";
    ASSERT_TRUE(capture_.FindCaptureDevice(setting, 8000, WaveCapture::Search::kRetry));
    EXPECT_FALSE(
        capture_.OnWaveBlock(*stale, [](const int16_t*, size_t) { ADD_FAILURE() << "processed after reopen"; }));
    // After the reopen the first buffer is A again and holds the new sound.
    ASSERT_TRUE(backend_.Push(CountingFrames(8000, 500)));
    std::vector<int16_t> values;
    ASSERT_TRUE(ProcessNext(&values));
    EXPECT_EQ(values.front(), 500);
}

TEST_F(CaptureBlocksTest, CloseClosesAnOpenStreamOnce) {
    capture_.CloseCapture();
    EXPECT_EQ(backend_.closes, 0);
    Open(8000);
    capture_.CloseCapture();
    capture_.CloseCapture();
    EXPECT_EQ(backend_.closes, 1);
    EXPECT_FALSE(capture_.running());
    EXPECT_FALSE(backend_.Push(CountingFrames(10, 0)));
}

TEST_F(CaptureBlocksTest, AMainThreadBlockedForFiveSecondsLosesNoSample) {
    Open(8000);
    // 5.5 s of sound arrive in 20 ms pieces while the main thread handles nothing.
    uint32_t next = 0;
    for (int piece = 0; piece < 275; ++piece, next += 160) ASSERT_TRUE(backend_.Push(CountingFrames(160, next)));
    uint32_t expected = 0;
    for (int block = 0; block < 11; ++block) {
        std::vector<int16_t> values;
        ASSERT_TRUE(ProcessNext(&values)) << block;
        for (size_t frame = 0; frame < values.size() / 2; ++frame, ++expected) {
            ASSERT_EQ(values[2 * frame], static_cast<int16_t>(expected)) << "block " << block << " frame " << frame;
            ASSERT_EQ(values[2 * frame + 1], static_cast<int16_t>(~expected));
        }
    }
    EXPECT_EQ(capture_.droppedSamples(), 0u);
}

TEST_F(CaptureBlocksTest, SoundBeyondTheHostBufferIsCountedAsDropped) {
    Open(8000);
    // Two buffers plus 10 s of ring hold 11 s; 12 s arrive.
    ASSERT_TRUE(backend_.Push(CountingFrames(8000, 0)));
    const std::optional<uint64_t> a = notices_.Take();
    const std::optional<uint64_t> b = notices_.Take();
    ASSERT_TRUE(a && b);
    for (int second = 1; second < 12; ++second) ASSERT_TRUE(backend_.Push(CountingFrames(8000, second * 8000)));
    ASSERT_TRUE(capture_.OnWaveBlock(*a, [](const int16_t*, size_t) {}));
    ASSERT_TRUE(capture_.OnWaveBlock(*b, [](const int16_t*, size_t) {}));
    for (int block = 0; block < 20; ++block) ASSERT_TRUE(ProcessNext()) << block;
    EXPECT_EQ(notices_.size(), 0u);
    EXPECT_EQ(capture_.droppedSamples(), 8000u * 2);
}

TEST_F(CaptureBlocksTest, ARetryRestartsTheAudioSystemToFindABoxThatCameBack) {
    backend_.devicesAtInitialize = {{"USB Audio CODEC"}, {"HDA Intel"}, {"HDA Intel", "USB Audio CODEC (card 2)"}};
    ASSERT_TRUE(capture_.InitCapture());
    std::string setting = "usb audio codec";
    ASSERT_TRUE(capture_.FindCaptureDevice(setting, 8000, WaveCapture::Search::kStartUp));
    EXPECT_FALSE(capture_.FindCaptureDevice(setting, 8000, WaveCapture::Search::kRetry));
    EXPECT_EQ(ui_.captions.back(), kCaptionSearching);
    EXPECT_TRUE(capture_.FindCaptureDevice(setting, 8000, WaveCapture::Search::kRetry));
    EXPECT_EQ(backend_.openedIndex, 1u);
    EXPECT_EQ(ui_.captions.back(), "Pell Recorder - usb audio codec");
    EXPECT_EQ(backend_.initializations, 3);
    EXPECT_EQ(backend_.terminations, 2);
    EXPECT_TRUE(ui_.messages.empty());
}

TEST(WaveCaptureLifetimeTest, DestructionEndsTheThreadWithBlocksPending) {
    FakeCaptureBackend backend;
    backend.devices = {"USB Audio CODEC"};
    RecordingUi ui;
    NoticeQueue notices;
    {
        WaveCapture capture(backend, ui, [&](uint64_t generation) { notices.Post(generation); });
        ASSERT_TRUE(capture.InitCapture());
        std::string setting;
        ASSERT_TRUE(capture.FindCaptureDevice(setting, 8000, WaveCapture::Search::kStartUp));
        ASSERT_TRUE(backend.Push(CountingFrames(8000 * 3, 0)));
        ASSERT_TRUE(notices.Take());
    }
    EXPECT_EQ(backend.closes, 1);
    EXPECT_EQ(backend.terminations, 1);
}

}  // namespace
}  // namespace pell
