#include "index/core/call_record.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "index/core/call_files.h"
#include "player/catalogue/catalogue_test_support.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

struct DayCase {
    const char* name;
    int32_t key;
};

class DayFolderKeyTest : public testing::TestWithParam<DayCase> {};

TEST_P(DayFolderKeyTest, OnlyRealDatesNamedAsTheRecorderNamesThem) {
    EXPECT_EQ(DayFolderKey(GetParam().name), GetParam().key) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Names, DayFolderKeyTest,
                         testing::Values(DayCase{"06.12.2026", 20261206}, DayCase{"29.02.2028", 20280229},
                                         DayCase{"29.02.2027", 0}, DayCase{"6.12.2026", 0}, DayCase{"06-12-2026", 0},
                                         DayCase{"06.12.2026x", 0}, DayCase{"aa.bb.cccc", 0}, DayCase{"", 0}));

struct RootCase {
    const char* root;
    const char* normal;
};

class NormaliseRootTest : public testing::TestWithParam<RootCase> {};

TEST_P(NormaliseRootTest, DropsTrailingSlashesButKeepsTheFileSystemRoot) {
    EXPECT_EQ(NormaliseRoot(GetParam().root), GetParam().normal);
}

INSTANTIATE_TEST_SUITE_P(Roots, NormaliseRootTest,
                         testing::Values(RootCase{"/srv/rec", "/srv/rec"}, RootCase{"/srv/rec//", "/srv/rec"},
                                         RootCase{"/", "/"}, RootCase{"//", "/"}, RootCase{"", ""}));

// What the index reads and shows must be what the date-range list shows for the same file.
TEST(IndexedRowTest, EveryKindOfFileGivesTheRowTheRecordListShows) {
    const test::ScopedTimeZone zone(test::kCentralEurope);
    TempDir dir;
    const std::string day = "05.03.2026";
    ::mkdir(dir.File(day).c_str(), 0755);
    const std::string folder = dir.File(day);
    const auto write = [&](const std::string& name, const std::string& bytes) {
        dir.Write(day + "/" + name, bytes);
        test::SetLastWrite(folder + "/" + name, test::LocalTime(2026, 3, 5, 14, 7, 55), 123);
    };
    write("a0000001.mp3",
          test::Layer3Audio(95) + test::TagString(test::RecorderTag("0171 555", "Line 1", 'I', 1, "refund")));
    write("a0000002.mp3", test::Layer3Audio(7));
    write("a0000003.mp3", "ab");
    write("a0000004.mp3", test::Layer3Audio(3) + test::TagString(test::RecorderTag("", "", 'O')));
    write("a0000005.mp3", std::string(300, 'x'));
    ::mkdir((folder + "/folder.mp3").c_str(), 0755);

    const std::vector<RecordRow> listed = FillRecordList(
        {dir.path()}, std::chrono::year_month_day{std::chrono::year{2026}, std::chrono::month{3}, std::chrono::day{5}},
        std::chrono::year_month_day{std::chrono::year{2026}, std::chrono::month{3}, std::chrono::day{5}});
    ASSERT_EQ(listed.size(), 5u);

    PosixCallFiles files;
    const FolderListing listing = files.List(folder, HasMp3Extension);
    ASSERT_EQ(listing.error, 0);
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const std::string name = listed[i].placement.substr(folder.size() + 1);
        const auto entry = std::find_if(listing.entries.begin(), listing.entries.end(),
                                        [&](const FolderEntry& e) { return e.name == name; });
        ASSERT_NE(entry, listing.entries.end()) << name;
        const auto facts = files.Read(listed[i].placement, name, entry->stamp);
        ASSERT_TRUE(facts.has_value());
        EXPECT_EQ(facts->stamp, entry->stamp) << name;
        const CallRecord call{1, dir.path(), day, *facts};
        EXPECT_EQ(ToRecordRow(call, i), listed[i]) << name;
    }
}

TEST(ContentKeyTest, KeyFollowsTheAudioAndNotTheTag) {
    const auto key = [](const std::string& bytes) {
        const MemoryRecordBytes memory(
            std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
        return ContentKey(memory);
    };
    const std::string audio = test::Layer3Audio(10);
    const std::string tagged = audio + test::TagString(test::RecorderTag("1", "Line 1"));
    const std::string bookmarked = audio + test::TagString(test::RecorderTag("1", "Line 1", 'I', 1, "refund"));
    EXPECT_EQ(key(tagged), key(bookmarked));
    EXPECT_EQ(key(tagged), key(audio));
    EXPECT_NE(key(tagged), key(test::Layer3Audio(10, 1) + test::TagString(test::RecorderTag("1", "Line 1"))));
    std::string changed = tagged;
    changed[100] = 1;
    EXPECT_NE(key(tagged), key(changed));
    EXPECT_EQ(key(tagged).size(), 16u);
}

TEST(HeadTailBytesTest, AnswersEveryReadAsTheFileWould) {
    for (const std::size_t length : {0u, 2u, 100u, 4096u, 4150u, 4300u, 20000u}) {
        std::vector<uint8_t> bytes(length);
        for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(i * 7);
        const MemoryRecordBytes memory(bytes);
        const HeadTailBytes buffered(memory);
        for (const int64_t offset : {int64_t{0}, int64_t{1}, int64_t{4000}, static_cast<int64_t>(length) - 128,
                                     static_cast<int64_t>(length) - 3, static_cast<int64_t>(length)}) {
            std::vector<uint8_t> a(200);
            std::vector<uint8_t> b(200);
            const std::size_t na = memory.ReadAt(offset, a);
            const std::size_t nb = buffered.ReadAt(offset, b);
            EXPECT_EQ(na, nb) << length << " at " << offset;
            EXPECT_EQ(a, b) << length << " at " << offset;
        }
    }
}

}  // namespace
}  // namespace pell
