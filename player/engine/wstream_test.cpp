#include "player/engine/wstream.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "testsupport/temp_dir.h"

namespace pell {
namespace {

class WStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_.Write("ten.bin", "0123456789");
        ASSERT_EQ(stream_.OpenFile(dir_.File("ten.bin").c_str()), 1);
    }
    TempDir dir_;
    WStream stream_;
};

struct SeekCase {
    std::uint32_t from;
    std::int64_t distance;
    SeekFrom method;
    bool ok;
    std::uint32_t position;
};

TEST_F(WStreamTest, SeekKeepsInsideTheStreamForEveryMethod) {
    const SeekCase cases[] = {
        {0, 10, SeekFrom::kBegin, true, 10},   {0, 11, SeekFrom::kBegin, false, 0},
        {5, -1, SeekFrom::kBegin, false, 5},   {4, 6, SeekFrom::kCurrent, true, 10},
        {4, 7, SeekFrom::kCurrent, false, 4},  {4, -4, SeekFrom::kCurrent, true, 0},
        {4, -5, SeekFrom::kCurrent, false, 4}, {3, 0, SeekFrom::kEnd, true, 10},
        {3, -10, SeekFrom::kEnd, true, 0},     {3, -11, SeekFrom::kEnd, false, 3},
        {3, 1, SeekFrom::kEnd, false, 3},      {3, 0, static_cast<SeekFrom>(7), false, 3},
    };
    for (const SeekCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " " << c.distance << " " << static_cast<int>(c.method));
        ASSERT_EQ(stream_.Seek(c.from, SeekFrom::kBegin), 1);
        EXPECT_EQ(stream_.Seek(c.distance, c.method), c.ok ? 1 : 0);
        EXPECT_EQ(stream_.GetPosition(), c.position);
        if (!c.ok) {
            EXPECT_EQ(stream_.GetError(), "WStream::Seek\n\nCan't seek stream !\nlDistanceToMove out of bounds.");
        }
    }
}

TEST_F(WStreamTest, ReadCutsAtTheEndAndFailsThereLeavingThePosition) {
    char buf[8];
    std::uint32_t got = 99;
    ASSERT_EQ(stream_.Seek(7, SeekFrom::kBegin), 1);
    EXPECT_EQ(stream_.Read(buf, 8, &got), 1);
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(std::string(buf, 3), "789");
    EXPECT_EQ(stream_.Read(buf, 8, &got), 0);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(stream_.GetPosition(), 10u);
    EXPECT_EQ(stream_.GetError(), "WStream::Read\n\nCan't read from file");
    ASSERT_EQ(stream_.Seek(2, SeekFrom::kBegin), 1);
    EXPECT_EQ(stream_.Read(buf, 2, &got), 1);
    EXPECT_EQ(std::string(buf, 2), "23");
}

TEST_F(WStreamTest, ReadChecksItsArgumentsInOrder) {
    char buf[4];
    std::uint32_t got = 5;
    EXPECT_EQ(stream_.Read(buf, 4, nullptr), 0);
    EXPECT_EQ(stream_.GetError(), "WStream::Read\n\nlpNumberOfBytesRead can't be 0 !");
    EXPECT_EQ(stream_.Read(nullptr, 4, &got), 0);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(stream_.GetError(), "WStream::Read\n\nlpBuffer can't be 0 !");
    WStream closed;
    EXPECT_EQ(closed.Read(buf, 4, &got), 0);
    EXPECT_EQ(closed.GetError(), "WStream::Seek\n\nStream isn't open!");
    EXPECT_EQ(closed.Seek(0, SeekFrom::kBegin), 0);
    EXPECT_EQ(closed.GetError(), "WStream::Seek\n\nStream isn't open!");
}

TEST(WStreamReadTest, ReadsReturnTheFileBytesAcrossReadAheadBoundaries) {
    TempDir dir;
    std::string bytes(200000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 131 + i / 256) & 0xFF);
    dir.Write("big.bin", bytes);
    WStream stream;
    ASSERT_EQ(stream.OpenFile(dir.File("big.bin").c_str()), 1);
    struct Step {
        std::uint32_t at, count, expected;
    } steps[] = {
        {0, 4, 4},           {4, 413, 413},     {65530, 20, 20}, {65536, 4, 4},         {131000, 1000, 1000},
        {100, 70000, 70000}, {199990, 100, 10}, {5, 3, 3},       {65535, 65537, 65537}, {199999, 1, 1},
    };
    std::vector<char> buf(80000);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.at);
        ASSERT_EQ(stream.Seek(step.at, SeekFrom::kBegin), 1);
        std::uint32_t got = 0;
        ASSERT_EQ(stream.Read(buf.data(), step.count, &got), 1);
        EXPECT_EQ(got, step.expected);
        EXPECT_EQ(std::string(buf.data(), got), bytes.substr(step.at, got));
        EXPECT_EQ(stream.GetPosition(), step.at + got);
    }
    // Reads in a row continue where the last one stopped.
    ASSERT_EQ(stream.Seek(65000, SeekFrom::kBegin), 1);
    std::string joined;
    for (int i = 0; i < 10; ++i) {
        std::uint32_t got = 0;
        ASSERT_EQ(stream.Read(buf.data(), 417, &got), 1);
        joined.append(buf.data(), got);
    }
    EXPECT_EQ(joined, bytes.substr(65000, 4170));
}

TEST(WStreamOpenTest, OpenFailuresGiveTheirTexts) {
    TempDir dir;
    dir.Write("a.bin", "abc");
    WStream stream;
    EXPECT_EQ(stream.OpenFile(nullptr), 0);
    EXPECT_EQ(stream.GetError(), "WStream::OpenFile\n\nNeed file name!");
    EXPECT_EQ(stream.OpenFile(dir.File("missing.bin").c_str()), 0);
    EXPECT_EQ(stream.GetError(), "WStream::OpenFile\n\nCan't open file!");
    EXPECT_EQ(stream.OpenFile(dir.path().c_str()), 0);
    ASSERT_EQ(stream.OpenFile(dir.File("a.bin").c_str()), 1);
    EXPECT_EQ(stream.GetSize(), 3u);
    EXPECT_EQ(stream.OpenFile(dir.File("a.bin").c_str()), 0);
    EXPECT_EQ(stream.GetError(), "WStream::OpenFile\n\nStream already open.Close stream before!");
}

TEST(WStreamOpenTest, FilesOfFourGibibytesOrMoreAreRefused) {
    TempDir dir;
    const std::string path = dir.File("big.bin");
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    // Sparse: no disk space is used.
    ASSERT_EQ(::ftruncate(fileno(f), 0x100000000LL), 0);
    std::fclose(f);
    WStream stream;
    EXPECT_EQ(stream.OpenFile(path.c_str()), 0);
    EXPECT_NE(stream.GetError().find("4 GiB"), std::string::npos);
}

}  // namespace
}  // namespace pell
