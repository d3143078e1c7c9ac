#include "player/engine/waveform.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <vector>

#include <gtest/gtest.h>

#include "player/engine/testing/mp3_fixtures.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

// Two seconds of tone, one of silence, one of tone: a call with a pause.
std::string CallWithPause(int rate, int channels) {
    std::vector<std::int16_t> pcm = testing::MakeTone({rate, channels, 2.0, 500, 700, 12000});
    pcm.resize(pcm.size() + static_cast<std::size_t>(rate * channels), 0);
    const std::vector<std::int16_t> more = testing::MakeTone({rate, channels, 1.0, 500, 700, 12000});
    pcm.insert(pcm.end(), more.begin(), more.end());
    return testing::EncodeMp3(pcm, rate, channels, {rate > 16000 ? 64 : 16, false, true});
}

TEST(WaveformTest, OutlineFollowsTheSoundAndTheDecodedLength) {
    struct Case {
        int rate;
        int channels;
    } cases[] = {{8000, 1}, {22050, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        TempDir dir;
        dir.Write("call.mp3", CallWithPause(c.rate, c.channels) + testing::Id3v1Tag());
        std::string error;
        const std::optional<Waveform> w = ComputeWaveform(dir.File("call.mp3"), &error);
        ASSERT_TRUE(w.has_value()) << error;
        int refChannels = 0;
        const std::vector<std::uint8_t> reference = testing::ReferenceDecode(dir.File("call.mp3"), &refChannels);
        EXPECT_EQ(w->sampleRate, c.rate);
        EXPECT_EQ(w->channels, c.channels);
        EXPECT_EQ(w->frames, reference.size() / (2 * static_cast<std::size_t>(c.channels)));
        EXPECT_EQ(w->peaks.size(), (w->frames * 1000 / static_cast<std::uint64_t>(c.rate) + 19) / 20);
        // Tone at 1 s, silence at 2.5 s, tone again at 3.5 s (the encoder's delay is a few ms).
        const auto at = [&](double seconds) { return w->peaks[static_cast<std::size_t>(seconds * 50)]; };
        EXPECT_GT(at(1.0).peak, 10000);
        EXPECT_GT(at(1.0).rms, 7000);
        EXPECT_LT(at(2.5).peak, 300);
        EXPECT_GT(at(3.5).peak, 10000);
        EXPECT_NEAR(w->DurationMs(), 4000, 250);
    }
}

TEST(WaveformTest, ColumnsAndClicksMapOntoTheCall) {
    Waveform w;
    w.sampleRate = 8000;
    w.channels = 1;
    w.frames = std::uint64_t{8000} * 2;  // 2 s
    for (int i = 0; i < 100; ++i) w.peaks.push_back({static_cast<std::uint16_t>(i * 100), 0});
    struct Case {
        int columns;
        std::vector<std::uint16_t> expected;
    } cases[] = {
        {1, {9900}},
        {4, {2400, 4900, 7400, 9900}},
        {0, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(ColumnPeaks(w, c.columns), c.expected) << c.columns;
    // More columns than peaks: each column shows the peak under it.
    const std::vector<std::uint16_t> wide = ColumnPeaks(w, 200);
    EXPECT_EQ(wide[0], 0);
    EXPECT_EQ(wide[199], 9900);
    EXPECT_EQ(MsAtColumn(w, 0, 400), 0u);
    EXPECT_EQ(MsAtColumn(w, 100, 400), 500u);
    EXPECT_EQ(MsAtColumn(w, 400, 400), 2000u);
    EXPECT_EQ(MsAtColumn(w, 900, 400), 2000u);
    EXPECT_EQ(MsAtColumn(w, -5, 400), 0u);
}

TEST(WaveformTest, CacheFileRefusesDamageAndOtherFiles) {
    Waveform w;
    w.sampleRate = 16000;
    w.channels = 2;
    w.frames = 12345;
    w.peaks = {{1, 2}, {30000, 20000}, {0, 0}};
    const std::string bytes = EncodeWaveform(w, 77);
    const std::optional<Waveform> back = DecodeWaveform(bytes, 77);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->frames, 12345u);
    EXPECT_EQ(back->peaks.size(), 3u);
    EXPECT_EQ(back->peaks[1].peak, 30000);
    EXPECT_EQ(back->peaks[1].rms, 20000);
    std::string badRate = bytes;
    badRate[16] = 0;
    badRate[17] = 0;
    const std::string cases[] = {"",          bytes.substr(0, 20),          bytes.substr(0, bytes.size() - 1),
                                 bytes + "x", "PELLWAV2" + bytes.substr(8), badRate};
    for (const std::string& c : cases) EXPECT_FALSE(DecodeWaveform(c, 77).has_value()) << c.size();
    EXPECT_FALSE(DecodeWaveform(bytes, 78).has_value());
}

TEST(WaveformTest, CacheLivesInTheProgramFolderAndSurvivesTagWrites) {
    TempDir program;
    TempDir records;
    const std::string mp3 = records.File("0000001.mp3");
    const std::string audio = CallWithPause(8000, 1);
    records.Write("0000001.mp3", audio + testing::Id3v1Tag());
    const WaveformCache cache(program.path());
    std::string error;
    const std::optional<Waveform> first = cache.Get(mp3, &error);
    ASSERT_TRUE(first.has_value()) << error;
    // Nothing is written beside the recordings.
    std::size_t recordFiles = 0;
    for (const auto& entry : std::filesystem::directory_iterator(records.path())) {
        (void)entry;
        ++recordFiles;
    }
    EXPECT_EQ(recordFiles, 1u);
    EXPECT_EQ(std::filesystem::path(cache.FileFor(mp3)).parent_path(),
              std::filesystem::path(program.File("waveforms")));
    ASSERT_TRUE(std::filesystem::exists(cache.FileFor(mp3)));
    ASSERT_TRUE(cache.Load(mp3).has_value());

    // The played mark and a bookmark rewrite the tag: the outline still belongs to the file.
    std::string tag = testing::Id3v1Tag();
    tag[94] = 1;
    records.Write("0000001.mp3", audio + tag);
    EXPECT_TRUE(cache.Load(mp3).has_value());
    // Other audio under the same name: computed anew.
    records.Write("0000001.mp3", CallWithPause(16000, 1));
    EXPECT_FALSE(cache.Load(mp3).has_value());
    const std::optional<Waveform> again = cache.Get(mp3, &error);
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->sampleRate, 16000);

    EXPECT_FALSE(cache.Get(records.File("missing.mp3"), &error).has_value());
    EXPECT_NE(error.find("missing.mp3"), std::string::npos);
    records.Write("junk.mp3", std::string(5000, 'x'));
    EXPECT_FALSE(cache.Get(records.File("junk.mp3"), &error).has_value());
    EXPECT_NE(error.find("no audio"), std::string::npos);
}

TEST(WaveformTest, PruneKeepsTheNewestOutlines) {
    TempDir program;
    const WaveformCache cache(program.path());
    std::filesystem::create_directories(cache.Folder());
    for (int i = 0; i < 6; ++i) {
        const std::string path = cache.Folder() + "/" + std::to_string(i) + ".peaks";
        std::ofstream(path) << i;
        std::filesystem::last_write_time(path,
                                         std::filesystem::file_time_type::clock::now() + std::chrono::seconds(i - 10));
    }
    std::ofstream(cache.Folder() + "/notes.txt") << "kept";
    cache.Prune(2);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(cache.Folder()))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"4.peaks", "5.peaks", "notes.txt"}));
}

TEST(WaveformTest, CancelStopsTheWork) {
    TempDir dir;
    dir.Write("call.mp3", CallWithPause(8000, 1));
    std::atomic<bool> cancel{true};
    std::string error;
    EXPECT_FALSE(ComputeWaveform(dir.File("call.mp3"), &error, &cancel).has_value());
    EXPECT_EQ(error, "cancelled");
}

}  // namespace
}  // namespace pell
