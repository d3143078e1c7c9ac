#include "player/catalogue/record_info.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "player/catalogue/catalogue_test_support.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

using test::kCentralEurope;
using test::kUtc;
using test::Layer3Audio;
using test::RecorderTag;
using test::TagString;

std::span<const uint8_t> Bytes(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

struct SyncCase {
    const char* name;
    std::string bytes;
    int64_t offset;  // -1: no sync
    unsigned version, layer, index;
};

class FirstSyncTest : public testing::TestWithParam<SyncCase> {};

TEST_P(FirstSyncTest, FindsTheFirstSyncOrEnds) {
    const SyncCase& c = GetParam();
    MemoryRecordBytes bytes(Bytes(c.bytes));
    const auto sync = FindFirstSync(bytes);
    ASSERT_EQ(sync.has_value(), c.offset >= 0);
    if (!sync) return;
    EXPECT_EQ(sync->offset, c.offset);
    EXPECT_EQ(sync->versionBits, c.version);
    EXPECT_EQ(sync->layerBits, c.layer);
    EXPECT_EQ(sync->bitrateIndex, c.index);
}

INSTANTIATE_TEST_SUITE_P(
    Scans, FirstSyncTest,
    testing::Values(SyncCase{"AtStart", std::string("\xFF\xF3\x20\xC4", 4), 0, 2, 1, 2},
                    SyncCase{"AfterJunk", std::string("\0\x12\xFF\xFB\x90\x00", 6), 2, 3, 1, 9},
                    SyncCase{"FalseSyncThenReal", std::string("\xFF\x1F\xFF\xE2\x50\x00", 6), 2, 0, 1, 5},
                    SyncCase{"SecondByteFFIsASync", std::string("\xFF\xFF\xE0\x00", 4), 0, 3, 3, 14},
                    SyncCase{"LayerTwoStopsTheScan", std::string("\xFF\xFD\x80\x00\xFF\xFB\x90\x00", 8), 0, 3, 2, 8},
                    SyncCase{"Id3v2HeaderIsNotSkipped",
                             std::string("ID3\x03\0\0\0\0\0\x0A\xFF\xE7\x10\0\xFF\xFB\x90\0", 18), 10, 0, 3, 1},
                    SyncCase{"HeaderAcrossTheFirstRead",
                             std::string(511, '\0') + std::string("\xFF\x00\xFF\xFB\x90\x00", 6), 513, 3, 1, 9},
                    SyncCase{"NoSync", std::string(300, '\x55'), -1, 0, 0, 0},
                    SyncCase{"EndsInFF00", std::string("\x01\x02\xFF\x00", 4), -1, 0, 0, 0},
                    SyncCase{"EndsInFF", std::string("\x01\x02\x03\xFF", 4), -1, 0, 0, 0},
                    SyncCase{"TwoBytesAfterFF", std::string("\xFF\xFB\x90", 3), -1, 0, 0, 0},
                    SyncCase{"FalseSyncsToTheEnd", std::string("\xFF\x00\xFF\x00\xFF\x00\xFF", 7), -1, 0, 0, 0},
                    SyncCase{"Empty", std::string(), -1, 0, 0, 0}),
    [](const auto& info) { return info.param.name; });

// A bookmark whose last byte is 0xFF sits right before the genre byte at the very end.
TEST(FirstSyncTest, BookmarkEndingIn0xFFBeforeTheGenreEndsTheScan) {
    const std::string file =
        std::string(200, '\0') + TagString(RecorderTag("1", "L", 'I', 0, std::string(29, 'a') + "\xFF"));
    MemoryRecordBytes bytes(Bytes(file));
    EXPECT_FALSE(FindFirstSync(bytes).has_value());
}

// Reads fail past a given offset, as on a damaged disk.
class FailingBytes final : public RecordBytes {
public:
    FailingBytes(std::string bytes, int64_t readable) : bytes_(std::move(bytes)), readable_(readable) {}
    int64_t Length() const override { return static_cast<int64_t>(bytes_.size()); }
    std::size_t ReadAt(int64_t offset, std::span<uint8_t> out) const override {
        if (offset >= readable_) return 0;
        const std::size_t n = std::min<std::size_t>(out.size(), static_cast<std::size_t>(readable_ - offset));
        std::memcpy(out.data(), bytes_.data() + offset, n);
        return n;
    }

private:
    std::string bytes_;
    int64_t readable_;
};

TEST(FirstSyncTest, ReadErrorEndsTheScanWithoutSync) {
    std::string file(100000, '\0');
    file.replace(90000, 4, "\xFF\xFB\x90\x00", 4);
    EXPECT_FALSE(FindFirstSync(FailingBytes(file, 70000)).has_value());
    EXPECT_EQ(FindFirstSync(FailingBytes(file, 100000))->offset, 90000);
}

struct BitrateCase {
    unsigned version, layer, index;
    int kbps;
};

class BitrateTest : public testing::TestWithParam<BitrateCase> {};

TEST_P(BitrateTest, UsesTheRowOfVersionAndLayer) {
    FrameSync sync;
    sync.versionBits = GetParam().version;
    sync.layerBits = GetParam().layer;
    sync.bitrateIndex = GetParam().index;
    EXPECT_EQ(BitrateKbps(sync), GetParam().kbps);
}

INSTANTIATE_TEST_SUITE_P(Rows, BitrateTest,
                         testing::Values(BitrateCase{3, 1, 1, 32}, BitrateCase{3, 1, 9, 128},
                                         BitrateCase{3, 1, 14, 320},
                                         BitrateCase{1, 1, 9, 128},  // reserved version shares MPEG-1
                                         BitrateCase{2, 1, 1, 8}, BitrateCase{2, 1, 14, 160}, BitrateCase{0, 1, 2, 16},
                                         BitrateCase{3, 3, 14, 448}, BitrateCase{3, 3, 9, 288},
                                         BitrateCase{3, 2, 14, 384}, BitrateCase{3, 2, 2, 48},
                                         BitrateCase{2, 3, 13, 224}, BitrateCase{0, 3, 9, 144},
                                         BitrateCase{2, 2, 9, 80}, BitrateCase{3, 1, 0, 0}, BitrateCase{3, 1, 15, 0},
                                         BitrateCase{2, 2, 15, 0}, BitrateCase{3, 0, 9, 0}));

struct DurationCase {
    int64_t length;
    int kbps;
    int64_t seconds;
    const char* text;
};

class DurationTest : public testing::TestWithParam<DurationCase> {};

TEST_P(DurationTest, TakesTheTagOffAndTruncates) {
    const int64_t seconds = DurationSeconds(GetParam().length, GetParam().kbps);
    EXPECT_EQ(seconds, GetParam().seconds);
    EXPECT_EQ(FormatDuration(seconds), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Lengths, DurationTest,
                         testing::Values(DurationCase{128 + 2000 * 61, 16, 61, "00:01:01"},
                                         DurationCase{128 + 1999, 16, 0, "00:00:00"},
                                         DurationCase{128 + 2000 * 3661 + 1999, 16, 3661, "01:01:01"},
                                         DurationCase{128 + 1000 * 360000, 8, 360000, "100:00:00"},
                                         DurationCase{128 + 16000, 128, 1, "00:00:01"},
                                         DurationCase{128, 16, 0, "00:00:00"},
                                         DurationCase{100, 16, 0, "00:00:00"},  // shorter than a tag: never negative
                                         DurationCase{1000128, 0, 0, "00:00:00"}));

struct StartCase {
    const char* zone;
    std::time_t when;
    const char* text;
};

class StartTimeTest : public testing::TestWithParam<StartCase> {};

TEST_P(StartTimeTest, FormatsInTheLocalZone) {
    test::ScopedTimeZone zone(GetParam().zone);
    EXPECT_EQ(FormatStartTime(GetParam().when), GetParam().text);
}

// 1238288400 is 2009-03-29 01:00:00 UTC, the moment Central Europe moves to summer time.
INSTANTIATE_TEST_SUITE_P(Zones, StartTimeTest,
                         testing::Values(StartCase{kUtc, 1238288400, "29.03.2009 01:00:00"},
                                         StartCase{kCentralEurope, 1238288400 - 1, "29.03.2009 01:59:59"},
                                         StartCase{kCentralEurope, 1238288400, "29.03.2009 03:00:00"},
                                         StartCase{kUtc, 0, "01.01.1970 00:00:00"},
                                         StartCase{kUtc, 1800000000 + 1, "15.01.2027 08:00:01"}));

struct DescribeCase {
    const char* name;
    std::string file;
    RecordInfo expected;
};

RecordInfo Info(std::string channel, std::string number, std::string duration, std::string bookmark, std::string date,
                int played, CallDirection direction) {
    return RecordInfo{
        std::move(channel), std::move(number), std::move(duration), std::move(bookmark), std::move(date), played,
        direction};
}

class DescribeRecordingTest : public testing::TestWithParam<DescribeCase> {};

// Last write at 05.03.2009 14:10:00 UTC.
constexpr std::time_t kLastWrite = 1236262200;

TEST_P(DescribeRecordingTest, ReadsTagDurationAndStartTime) {
    test::ScopedTimeZone zone(kUtc);
    MemoryRecordBytes bytes(Bytes(GetParam().file));
    EXPECT_EQ(DescribeRecording(bytes, kLastWrite), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, DescribeRecordingTest,
    testing::Values(
        DescribeCase{"RecorderFile", Layer3Audio(125) + TagString(RecorderTag("0301234", "Line 1", 'I')),
                     Info("Line 1", "0301234", "00:02:05", "", "05.03.2009 14:07:55", 0, CallDirection::kIncoming)},
        DescribeCase{
            "PlayedOutgoingWithBookmark",
            Layer3Audio(60) + TagString(RecorderTag("77", "Line 2", 'O', 1, "price list")),
            Info("Line 2", "77", "00:01:00", "price list", "05.03.2009 14:09:00", 1, CallDirection::kOutgoing)},
        DescribeCase{"NoTagStillTakes128Off", Layer3Audio(10, 128),
                     Info("", "", "00:00:10", "", "05.03.2009 14:09:50", 0, CallDirection::kUnknown)},
        DescribeCase{"LayerTwoUsesItsRow", std::string("\xFF\xFD\x10\x00", 4) + std::string(4000 * 5 - 4 + 128, '\0'),
                     Info("", "", "00:00:05", "", "05.03.2009 14:09:55", 0, CallDirection::kUnknown)},
        DescribeCase{"FreeFormatIsUnknown", std::string("\xFF\xFB\x00\x00", 4) + std::string(50000, '\0'),
                     Info("", "", "00:00:00", "", "05.03.2009 14:10:00", 0, CallDirection::kUnknown)},
        DescribeCase{"NoSyncKeepsLastWrite", std::string(300, '\0') + TagString(RecorderTag("1", "L", 'U')),
                     Info("L", "1", "00:00:00", "", "05.03.2009 14:10:00", 0, CallDirection::kUnknown)},
        DescribeCase{"ShorterThanATag", std::string("\xFF\xF3\x20\xC4TAG", 7),
                     Info("", "", "00:00:00", "", "05.03.2009 14:10:00", 0, CallDirection::kUnknown)},
        DescribeCase{"ThreeBytes", std::string("abc"),
                     Info("", "", "00:00:00", "", "05.03.2009 14:10:00", 0, CallDirection::kUnknown)},
        DescribeCase{"TwoBytes", std::string("\xFF\xFB", 2), RecordInfo{}},
        DescribeCase{"Empty", std::string(), RecordInfo{}},
        DescribeCase{"OnlyATag", TagString(RecorderTag("5", "Line 1", 'I')),
                     Info("Line 1", "5", "00:00:00", "", "05.03.2009 14:10:00", 0, CallDirection::kIncoming)}),
    [](const auto& info) { return info.param.name; });

TEST(ReadRecordInfoTest, ReadsAFileWithItsLastWriteTime) {
    test::ScopedTimeZone zone(kUtc);
    TempDir dir;
    dir.Write("a0000001.mp3", Layer3Audio(125) + TagString(RecorderTag("0301234", "Line 1", 'O', 1, "x")));
    test::SetLastWrite(dir.File("a0000001.mp3"), kLastWrite, 999999999);
    EXPECT_EQ(ReadRecordInfo(dir.File("a0000001.mp3")),
              Info("Line 1", "0301234", "00:02:05", "x", "05.03.2009 14:07:55", 1, CallDirection::kOutgoing));
}

TEST(ReadRecordInfoTest, WhatCannotBeOpenedGivesTheDefaults) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("folder.mp3"));
    std::filesystem::create_symlink(dir.File("gone.mp3"), dir.File("dangling.mp3"));
    // Opening a FIFO for reading would block until a writer comes: it must not hang the list.
    ASSERT_EQ(::mkfifo(dir.File("pipe.mp3").c_str(), 0600), 0);
    for (const char* name : {"missing.mp3", "folder.mp3", "dangling.mp3", "pipe.mp3"}) {
        EXPECT_EQ(ReadRecordInfo(dir.File(name)), RecordInfo{}) << name;
    }
}

}  // namespace
}  // namespace pell
