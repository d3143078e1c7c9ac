#include <gtest/gtest.h>

#include "player/engine/queued_wave_out.h"
#include "player/engine/testing/mp3_fixtures.h"
#include "player/engine/wmp3.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

using testing::EncodeOptions;
using testing::SilentFrames;
using testing::ToneParams;

class WMp3OpenTest : public ::testing::Test {
protected:
    WMp3OpenTest() : mp3_(std::make_unique<QueuedWaveOut>()) {}
    std::string Write(const std::string& name, const std::string& bytes) {
        dir_.Write(name, bytes);
        return dir_.File(name);
    }
    TempDir dir_;
    WMp3 mp3_;
};

// 100 frames of 8 kbit/s MPEG-2.5 Layer III at 8000 Hz mono, 72 bytes each.
std::string EightKiloHertz(int frames) { return SilentFrames(frames, 25, 3, 1, 2, true); }

// Two 36-byte frames after 100 bytes of other data whose "TAG" lies 128 bytes before the end.
std::string TagBeforeAudio() {
    std::string prefix(100, 'p');
    prefix.replace(44, 3, "TAG");
    return prefix + SilentFrames(2, 2, 3, 1, 2, true);
}

struct MeasureCase {
    const char* name;
    std::string bytes;
    std::uint32_t audioStart, audioBytes, frames, seconds;
    int rate, channels, layer, vbr, xing;
};

TEST_F(WMp3OpenTest, MeasuresStreamsWithTagsAndHeaders) {
    const std::string id3v2 = testing::Id3v2Tag(300, true);
    const std::vector<std::uint8_t> toc;
    const MeasureCase cases[] = {
        {"cbr 8 kHz", EightKiloHertz(100), 0, 7200, 100, 7, 8000, 1, 3, 0, 0},
        {"id3v1 excluded", EightKiloHertz(100) + testing::Id3v1Tag(), 0, 7200, 100, 7, 8000, 1, 3, 0, 0},
        {"no id3v1 keeps the last bytes", EightKiloHertz(100) + std::string(128, 'x'), 0, 7328, 101, 7, 8000, 1, 3, 0,
         0},
        {"id3v2 with false sync", id3v2 + EightKiloHertz(100), 310, 7200, 100, 7, 8000, 1, 3, 0, 0},
        {"xing without toc", testing::XingFrame(1, 9, 0, false, 3, 200, toc) + SilentFrames(200, 1, 3, 9, 0, false), 0,
         201 * 417, 200, 5, 44100, 2, 3, 1, 1},
        {"xing without a count", testing::XingFrame(1, 9, 0, false, 0, 0, toc) + SilentFrames(50, 1, 3, 9, 0, false), 0,
         51 * 417, 0, 0, 44100, 2, 3, 1, 1},
        {"TAG inside the data before the audio", TagBeforeAudio(), 100, 72, 2, 0, 16000, 1, 3, 0, 0},
        {"mpeg-2 layer II", SilentFrames(40, 2, 2, 8, 2, true), 0, 40 * 576, 40, 2, 16000, 1, 2, 0, 0},
        {"layer I", SilentFrames(300, 1, 1, 12, 0, false), 0, 300 * 416, 300, 2, 44100, 2, 1, 0, 0},
    };
    for (const MeasureCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Write("m.mp3", c.bytes);
        ASSERT_EQ(mp3_.OpenMp3File(path.c_str(), 1000), 1) << mp3_.GetError();
        const StreamInfo info = mp3_.GetStreamInfo();
        EXPECT_EQ(info.audioStart, c.audioStart);
        EXPECT_EQ(info.audioBytes, c.audioBytes);
        EXPECT_EQ(info.frames, c.frames);
        EXPECT_EQ(mp3_.GetLength(), c.seconds);
        EXPECT_EQ(info.sampleRate, c.rate);
        EXPECT_EQ(info.channels, c.channels);
        EXPECT_EQ(info.layer, c.layer);
        EXPECT_EQ(info.vbr, c.vbr);
        EXPECT_EQ(info.xing, c.xing);
        EXPECT_EQ(mp3_.Close(), 1);
        EXPECT_EQ(mp3_.GetLength(), 0u);
    }
}

TEST_F(WMp3OpenTest, LameFilesMeasureCloseToTheirDuration) {
    struct Case {
        int rate, channels, kbps;
        bool vbr;
        double seconds;
    } cases[] = {
        {44100, 2, 128, false, 3.0}, {8000, 1, 16, false, 5.0}, {22050, 1, 32, true, 4.0}, {16000, 1, 32, false, 3.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        ToneParams tone{c.rate, c.channels, c.seconds, 440, 660, 8000};
        const std::string path = Write("l.mp3", testing::EncodeTone(tone, EncodeOptions{c.kbps, c.vbr, true}));
        ASSERT_EQ(mp3_.OpenMp3File(path.c_str(), 1000), 1) << mp3_.GetError();
        const StreamInfo info = mp3_.GetStreamInfo();
        EXPECT_EQ(info.vbr, c.vbr ? 1 : 0);
        EXPECT_EQ(info.xing, c.vbr ? 1 : 0);
        // The encoder adds about one frame of delay and pads the last frame.
        EXPECT_NEAR(static_cast<double>(info.frames) * info.samplesPerFrame / c.rate, c.seconds, 0.2);
        mp3_.Close();
    }
}

TEST_F(WMp3OpenTest, FramesNotFoundOrUnreadableFailTheOpen) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* error;
    } cases[] = {
        {"shorter than 24 bytes", std::string("\xFF\xE3\x18\xC4", 4) + std::string(19, '\0'),
         "WMp3::_Open   *** Can't find first valid mp3 frame"},
        {"one frame only", testing::SilentFrame(1, 3, 9, 0, false) + std::string(600, 'z'),
         "WMp3::_Open   *** Can't find first valid mp3 frame"},
        {"headers that differ",
         testing::SilentFrame(1, 3, 9, 0, false) + testing::SilentFrame(1, 3, 9, 1, false) + std::string(600, 'z'),
         "WMp3::_Open   *** Can't find first valid mp3 frame"},
        {"no sync at all", std::string(20000, 'q'), "WMp3::_Open   *** Can't find first valid mp3 frame"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Write("bad.mp3", c.bytes);
        EXPECT_EQ(mp3_.OpenMp3File(path.c_str(), 1000), 0);
        EXPECT_EQ(mp3_.GetError(), c.error);
        EXPECT_EQ(mp3_.Play(), 0);
        EXPECT_EQ(mp3_.GetError(), "WMp3::Play\n\nStrean isn't open!");
    }
    const std::string good = Write("good.mp3", EightKiloHertz(100));
    EXPECT_EQ(mp3_.OpenMp3File(good.c_str(), 1000, 7201, 0), 0);
    EXPECT_EQ(mp3_.GetError(), "WMp3::_Open\n\nCan't seek !");
    EXPECT_EQ(mp3_.OpenMp3File(dir_.File("missing.mp3").c_str(), 1000), 0);
    EXPECT_EQ(mp3_.GetError(), "WMp3::OpenMp3File\n\nCan't open file");
}

TEST_F(WMp3OpenTest, BufferLengthBelowTwoHundredMillisecondsIsRefused) {
    const std::string path = Write("a.mp3", EightKiloHertz(100));
    struct Case {
        int ms, result;
    } cases[] = {{199, 0}, {200, 1}, {1000, 1}};
    for (const Case& c : cases) {
        EXPECT_EQ(mp3_.OpenMp3File(path.c_str(), c.ms), c.result) << c.ms;
        if (c.result == 0) {
            EXPECT_EQ(mp3_.GetError(), "WMp3::_Open\n\nBuffer can't be smaller than 200 ms");
            // The measurement stays readable after the later failure.
            EXPECT_EQ(mp3_.GetLength(), 7u);
        }
        mp3_.Close();
    }
}

TEST_F(WMp3OpenTest, SecondOpenWithoutCloseFails) {
    const std::string path = Write("a.mp3", EightKiloHertz(100));
    ASSERT_EQ(mp3_.OpenMp3File(path.c_str(), 1000), 1);
    EXPECT_EQ(mp3_.OpenMp3File(path.c_str(), 1000), 0);
    EXPECT_EQ(mp3_.GetError(), "You need to close mp3 file before open new one");
    EXPECT_EQ(mp3_.GetLength(), 7u);
}

TEST_F(WMp3OpenTest, AHeaderStraddlingTheSearchBlockIsFound) {
    // The first frame starts three bytes before the end of the first 8192-byte block.
    for (std::size_t junk : {8189u, 8190u, 8188u, 8191u, 100u}) {
        SCOPED_TRACE(junk);
        const std::string path = Write("s.mp3", std::string(junk, 'j') + EightKiloHertz(50));
        ASSERT_EQ(mp3_.OpenMp3File(path.c_str(), 1000), 1) << mp3_.GetError();
        EXPECT_EQ(mp3_.GetStreamInfo().audioStart, junk);
        mp3_.Close();
    }
}

TEST_F(WMp3OpenTest, RegionArgumentsLimitTheStream) {
    const std::string frames = EightKiloHertz(100);
    const std::string path = Write("r.mp3", std::string(500, 'h') + frames + std::string(1000, 't'));
    ASSERT_EQ(mp3_.OpenMp3File(path.c_str(), 1000, 500, static_cast<std::uint32_t>(frames.size())), 1)
        << mp3_.GetError();
    const StreamInfo info = mp3_.GetStreamInfo();
    EXPECT_EQ(info.startOffset, 500u);
    EXPECT_EQ(info.audioStart, 500u);
    EXPECT_EQ(info.audioBytes, 7200u);
    EXPECT_EQ(mp3_.GetLength(), 7u);
}

TEST_F(WMp3OpenTest, SeekPositionsTheStreamByRuleAndClamps) {
    const std::string path = Write("a.mp3", EightKiloHertz(100));
    ASSERT_EQ(mp3_.OpenMp3File(path.c_str(), 1000), 1);
    struct Case {
        int seconds;
        std::uint32_t position;
    } cases[] = {{0, 0}, {3, 3}, {7, 7}, {8, 7}, {-4, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(mp3_.Seek(c.seconds), 1);
        EXPECT_EQ(mp3_.GetPosition(), c.position);
    }
    mp3_.Close();
    EXPECT_EQ(mp3_.Seek(1), 0);
    EXPECT_EQ(mp3_.GetError(), "WMp3::Play\n\nStrean isn't open!");
    EXPECT_EQ(mp3_.GetPosition(), 0u);
    EXPECT_EQ(mp3_.Stop(), 0);
    EXPECT_EQ(mp3_.GetError(), "WMp3::Play\n\nStream isn't open!");
    EXPECT_EQ(mp3_.Pause(), 0);
    int left = 5, right = 5;
    EXPECT_EQ(mp3_.GetVUData(&left, &right), 0);
    EXPECT_EQ(left + right, 0);
}

TEST_F(WMp3OpenTest, Id3VersionReportsBothTags) {
    struct Case {
        std::string prefix, suffix;
        int version;
    } cases[] = {{"", "", 0},
                 {"", testing::Id3v1Tag(), 1},
                 {testing::Id3v2Tag(100, false), "", 2},
                 {testing::Id3v2Tag(100, false), testing::Id3v1Tag(), 3}};
    for (const Case& c : cases) {
        const std::string path = Write("t.mp3", c.prefix + EightKiloHertz(60) + c.suffix);
        ASSERT_EQ(mp3_.OpenMp3File(path.c_str(), 1000), 1);
        EXPECT_EQ(mp3_.GetID3Version(), c.version);
        mp3_.Close();
    }
}

TEST_F(WMp3OpenTest, AFalseSyncWhoseFollowerLiesPastTheEndDoesNotHideTheFrames) {
    // A Layer I header claiming 1536 bytes, in a file shorter than that, before the real frames.
    const std::string falseSync = testing::FrameHeaderBytes(25, 1, 14, 2, false, true);
    const std::string path = Write("f.mp3", falseSync + EightKiloHertz(10));
    ASSERT_EQ(mp3_.OpenMp3File(path.c_str(), 1000), 1) << mp3_.GetError();
    EXPECT_EQ(mp3_.GetStreamInfo().audioStart, 4u);
    EXPECT_EQ(mp3_.GetStreamInfo().layer, 3);
}

TEST_F(WMp3OpenTest, ASeekTheStreamRefusesFailsAndKeepsThePositionTrue) {
    // A region longer than the file: later seconds lie beyond its last byte.
    const std::string path = Write("a.mp3", EightKiloHertz(100));
    ASSERT_EQ(mp3_.OpenMp3File(path.c_str(), 1000, 0, 72000), 1) << mp3_.GetError();
    ASSERT_EQ(mp3_.GetLength(), 72u);
    struct Case {
        int seconds, result;
        std::uint32_t position;
    } cases[] = {{3, 1, 3}, {50, 0, 0}, {6, 1, 6}, {72, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        EXPECT_EQ(mp3_.Seek(c.seconds), c.result);
        EXPECT_EQ(mp3_.GetPosition(), c.position);
        if (c.result == 0) {
            EXPECT_EQ(mp3_.GetError(), "WMp3::Seek\n\nCan't seek!");
        }
    }
}

}  // namespace
}  // namespace pell
