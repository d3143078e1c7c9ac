#include "player/catalogue/tag_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "player/catalogue/catalogue_test_support.h"
#include "player/catalogue/record_info.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

using test::kUtc;
using test::Layer3Audio;
using test::RecorderTag;
using test::TagString;

enum class Write { kPlayed, kBookmark };

struct WriteCase {
    const char* name;
    std::string before;
    Write write;
    std::string text;  // bookmark text
    TagWriteResult result;
    std::string after;
};

std::string FreshTagWith(Write write, const std::string& text) {
    TagBytes tag = MakeFreshTag();
    if (write == Write::kPlayed) {
        SetPlayedMark(tag);
    } else {
        SetBookmarkText(tag, text);
    }
    return TagString(tag);
}

const std::string kAudio = Layer3Audio(3);
const std::string kNoTag = std::string(200, '\x11');

class TagWriterTest : public testing::TestWithParam<WriteCase> {};

TEST_P(TagWriterTest, ChangesOnlyTheTagAndKeepsTheLastWriteTime) {
    const WriteCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.File("a0000001.mp3");
    dir.Write("a0000001.mp3", c.before);
    test::SetLastWrite(path, 1236262200, 123456789);

    const TagWriteResult result = c.write == Write::kPlayed ? MarkPlayed(path) : StoreBookmark(path, c.text);

    EXPECT_EQ(result, c.result);
    EXPECT_EQ(dir.Read("a0000001.mp3"), c.after);
    const struct timespec lastWrite = test::LastWrite(path);
    EXPECT_EQ(lastWrite.tv_sec, 1236262200);
    EXPECT_EQ(lastWrite.tv_nsec, 123456789);
}

INSTANTIATE_TEST_SUITE_P(
    Files, TagWriterTest,
    testing::Values(
        WriteCase{"MarksPlayed", kAudio + TagString(RecorderTag("12", "Line 1", 'I')), Write::kPlayed, "",
                  TagWriteResult::kWritten, kAudio + TagString(RecorderTag("12", "Line 1", 'I', 1))},
        WriteCase{"PlayedStaysPlayed", kAudio + TagString(RecorderTag("12", "Line 1", 'O', 1, "b")), Write::kPlayed, "",
                  TagWriteResult::kWritten, kAudio + TagString(RecorderTag("12", "Line 1", 'O', 1, "b"))},
        WriteCase{"StoresBookmark", kAudio + TagString(RecorderTag("12", "Line 1", 'I')), Write::kBookmark, "call back",
                  TagWriteResult::kWritten, kAudio + TagString(RecorderTag("12", "Line 1", 'I', 0, "call back"))},
        WriteCase{"ShorterBookmarkClearsTheOldOne", kAudio + TagString(RecorderTag("1", "L", 'I', 1, "long old text")),
                  Write::kBookmark, "new", TagWriteResult::kWritten,
                  kAudio + TagString(RecorderTag("1", "L", 'I', 1, "new"))},
        WriteCase{"ThirtyByteBookmark", kAudio + TagString(RecorderTag("1", "L")), Write::kBookmark,
                  std::string(30, 'b'), TagWriteResult::kWritten,
                  kAudio + TagString(RecorderTag("1", "L", 'I', 0, std::string(30, 'b')))},
        WriteCase{"LongBookmarkIsCut", kAudio + TagString(RecorderTag("1", "L")), Write::kBookmark,
                  std::string(30, 'c') + "dddd", TagWriteResult::kWritten,
                  kAudio + TagString(RecorderTag("1", "L", 'I', 0, std::string(30, 'c')))},
        WriteCase{"TagOnlyFile", TagString(RecorderTag("1", "L")), Write::kPlayed, "", TagWriteResult::kWritten,
                  TagString(RecorderTag("1", "L", 'I', 1))},
        WriteCase{"NoTagIsLeftAlone", kNoTag, Write::kPlayed, "", TagWriteResult::kNoTag, kNoTag},
        WriteCase{"NoTagNoBookmark", kNoTag, Write::kBookmark, "x", TagWriteResult::kNoTag, kNoTag},
        WriteCase{"Exactly128WithoutTag", std::string(128, 'x'), Write::kPlayed, "", TagWriteResult::kNoTag,
                  std::string(128, 'x')},
        WriteCase{"EmptyFileGetsAFreshTag", "", Write::kPlayed, "", TagWriteResult::kWritten,
                  FreshTagWith(Write::kPlayed, "")},
        WriteCase{"TwoByteFileKeepsItsBytes", "\xFF\xFB", Write::kBookmark, "short", TagWriteResult::kWritten,
                  "\xFF\xFB" + FreshTagWith(Write::kBookmark, "short")},
        WriteCase{"Byte127FileKeepsItsBytes", std::string(127, 'z'), Write::kPlayed, "", TagWriteResult::kWritten,
                  std::string(127, 'z') + FreshTagWith(Write::kPlayed, "")}),
    [](const auto& info) { return info.param.name; });

// A recording in memory whose writes stop after `writable` bytes, as on a full disk.
class FullDiskFile final : public TagFile {
public:
    FullDiskFile(std::string bytes, std::size_t writable, bool readable = true)
        : bytes(std::move(bytes)), writable_(writable), readable_(readable) {}
    int64_t Length() const override { return static_cast<int64_t>(bytes.size()); }
    bool ReadExactly(int64_t offset, void* out, std::size_t count) override {
        if (!readable_) return false;
        bytes.copy(static_cast<char*>(out), count, static_cast<std::size_t>(offset));
        return true;
    }
    bool WriteExactly(int64_t offset, const void* data, std::size_t count) override {
        const std::size_t written = std::min(count, writable_);
        const auto at = static_cast<std::size_t>(offset);
        if (bytes.size() < at + written) bytes.resize(at + written);
        bytes.replace(at, written, static_cast<const char*>(data), written);
        return written == count;
    }
    bool Truncate(int64_t length) override {
        bytes.resize(static_cast<std::size_t>(length));
        return true;
    }

    std::string bytes;

private:
    std::size_t writable_;
    bool readable_;
};

struct FailureCase {
    const char* name;
    std::string before;
    std::size_t writable;
    bool readable;
    TagWriteResult result;
    std::string after;
};

class TagWriteFailureTest : public testing::TestWithParam<FailureCase> {};

TEST_P(TagWriteFailureTest, LeavesNoHalfAppendedTag) {
    FullDiskFile file(GetParam().before, GetParam().writable, GetParam().readable);
    EXPECT_EQ(ChangeRecordingTag(file, [](TagBytes& tag) { SetPlayedMark(tag); }), GetParam().result);
    EXPECT_EQ(file.bytes, GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Disks, TagWriteFailureTest,
    testing::Values(FailureCase{"ShortFileOnFullDisk", "\xFF\xFB", 50, true, TagWriteResult::kIoFailed, "\xFF\xFB"},
                    FailureCase{"EmptyFileOnFullDisk", "", 0, true, TagWriteResult::kIoFailed, ""},
                    FailureCase{"ShortFileWithRoom", "ab", 128, true, TagWriteResult::kWritten,
                                "ab" + FreshTagWith(Write::kPlayed, "")},
                    FailureCase{"UnreadableTagIsNotWritten", TagString(RecorderTag("1", "L")), 128, false,
                                TagWriteResult::kIoFailed, TagString(RecorderTag("1", "L"))}),
    [](const auto& info) { return info.param.name; });

TEST(TagWriterTest, DurationAndDateStayTheSameAfterBothWrites) {
    test::ScopedTimeZone zone(kUtc);
    TempDir dir;
    const std::string path = dir.File("a.mp3");
    dir.Write("a.mp3", Layer3Audio(95) + TagString(RecorderTag("12", "Line 1", 'I')));
    test::SetLastWrite(path, 1236262200);
    const RecordInfo before = ReadRecordInfo(path);

    ASSERT_EQ(MarkPlayed(path), TagWriteResult::kWritten);
    ASSERT_EQ(StoreBookmark(path, "boss"), TagWriteResult::kWritten);

    RecordInfo expected = before;
    expected.played = 1;
    expected.bookmark = "boss";
    EXPECT_EQ(ReadRecordInfo(path), expected);
    EXPECT_EQ(before.duration, "00:01:35");
    EXPECT_EQ(before.date, "05.03.2009 14:08:25");
}

TEST(TagWriterTest, WhatCannotBeOpenedIsNotTouched) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("folder.mp3"));
    EXPECT_EQ(MarkPlayed(dir.File("missing.mp3")), TagWriteResult::kCannotOpen);
    EXPECT_EQ(StoreBookmark(dir.File("missing.mp3"), "x"), TagWriteResult::kCannotOpen);
    EXPECT_EQ(MarkPlayed(dir.File("folder.mp3")), TagWriteResult::kCannotOpen);
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing.mp3")));
}

}  // namespace
}  // namespace pell
