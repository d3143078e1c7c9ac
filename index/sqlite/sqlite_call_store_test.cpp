#include "index/sqlite/sqlite_call_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <thread>

#include "custody/posix/custody.h"
#include "index/core/call_index.h"
#include "index/core/schema.h"
#include "index/core/testing/call_store_conformance.h"
#include "player/catalogue/catalogue_test_support.h"
#include "testsupport/manual_clock.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

using test::CallStoreConformance;
using test::StoreMaker;

TempDir& SharedDir() {
    static TempDir dir;
    return dir;
}

std::unique_ptr<CallStore> MakeSqlite(bool fresh) {
    static int count = 0;
    if (fresh) ++count;
    auto opened = SqliteCallStore::Open(SharedDir().File("conformance" + std::to_string(count) + ".sqlite"));
    EXPECT_TRUE(opened.error.empty()) << opened.error;
    return std::move(opened.store);
}

INSTANTIATE_TEST_SUITE_P(Sqlite, CallStoreConformance, testing::Values(StoreMaker{"Sqlite", MakeSqlite}),
                         test::StoreMakerName);

TEST(SqliteSearchPlanTest, NumberAndTextSearchesUseTheirFullTextIndexes) {
    StoreQuery query;
    query.roots = {"/rec"};
    query.criteria = PrepareCriteria(CallCriteria{.number = "555", .text = "refund"}, {}).criteria;
    const SqliteQuery built = BuildSqliteSearch(query);
    EXPECT_NE(built.sql.find("call_digits MATCH ?"), std::string::npos);
    EXPECT_NE(built.sql.find("call_words MATCH ?"), std::string::npos);
    query.criteria = PrepareCriteria(CallCriteria{.number = "55"}, {}).criteria;
    EXPECT_EQ(BuildSqliteSearch(query).sql.find("MATCH"), std::string::npos);
}

TEST(SqliteOpenTest, FileThatIsNoIndexIsRefusedWithItsNameAndUntouched) {
    TempDir dir;
    dir.Write("notes.sqlite", std::string(4096, 'x'));
    const auto opened = SqliteCallStore::Open(dir.File("notes.sqlite"));
    EXPECT_EQ(opened.store, nullptr);
    EXPECT_NE(opened.error.find(dir.File("notes.sqlite")), std::string::npos) << opened.error;
    EXPECT_EQ(dir.Read("notes.sqlite"), std::string(4096, 'x'));
    EXPECT_NE(SqliteCallStore::Open(dir.File("missing/index.sqlite")).error, "");
}

TEST(SqliteOpenTest, IndexOfAnotherVersionIsRebuiltEmpty) {
    TempDir dir;
    const std::string file = dir.File("index.sqlite");
    {
        auto store = SqliteCallStore::Open(file).store;
        ASSERT_NE(store, nullptr);
        const int64_t root = store->RootId("/rec").value;
        ASSERT_TRUE(
            store->ApplyFiles(store->FolderId(root, "01.01.2026").value, {CallFacts{.name = "a.mp3"}}, {}, std::nullopt)
                .Ok());
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "UPDATE meta SET value = '0' WHERE key = 'schema'", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    auto reopened = SqliteCallStore::Open(file).store;
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(reopened->CountCalls({"/rec"}).value, 0);
}

// An index file written by the version before the audio hash: its tables as they were then.
void WriteVersionOneIndex(const std::string& file) {
    std::string schema = kSqliteSchema;
    const std::string column = "  audio_sha256 TEXT NOT NULL DEFAULT '',\n";
    schema.erase(schema.find(column), column.size());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    const std::string sql =
        schema +
        "INSERT INTO meta VALUES ('schema', '1');"
        "INSERT INTO roots VALUES (1, '/old');"
        "INSERT INTO folders(id, root_id, name, complete, settled) VALUES (1, 1, '01.01.2026', 1, 1);"
        "INSERT INTO calls VALUES (1, 1, 1, '01.01.2026', 'a.mp3', 1, 1, 0, 0, 0, '', '555', '555', "
        "0, '', '', 0, 0, 0, 0, 0, 0, 'k');";
    char* error = nullptr;
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << error;
    sqlite3_close(db);
}

TEST(SqliteOpenTest, IndexOfTheVersionBeforeTheAudioHashIsRebuiltAndRefilledFromTheRecordRoot) {
    const test::ScopedTimeZone utc(test::kUtc);
    TempDir dir;
    const std::string root = dir.File("rec");
    const std::string day = root + "/10.03.2026";
    ASSERT_EQ(::mkdir(root.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(day.c_str(), 0755), 0);
    dir.Write("rec/10.03.2026/a0000001.mp3", test::Layer3Audio(30) + test::TagString(test::RecorderTag("555", "L1")));
    dir.Write("rec/10.03.2026/a0000002.mp3", test::Layer3Audio(20) + test::TagString(test::RecorderTag("556", "L1")));
    const AudioHashResult hashed = HashAudio(day + "/a0000001.mp3");
    ASSERT_EQ(hashed.error, 0);
    ASSERT_EQ(
        RecordFiled(day, FiledFacts{"a0000001.mp3", 1'773'144'000, 1'773'144'030, "L1", "555", 'I', 1}, hashed.digest),
        0);
    const std::string file = dir.File("index.sqlite");
    WriteVersionOneIndex(file);

    auto opened = SqliteCallStore::Open(file);
    ASSERT_NE(opened.store, nullptr) << opened.error;
    EXPECT_EQ(opened.store->CountCalls({"/old"}).value, 0) << "the old cache is dropped, not half converted";
    PosixCallFiles files;
    SystemClock clock;
    CallIndex index(*opened.store, files, clock);
    EXPECT_EQ(index.Refresh({root}).added, 2u);
    const auto found = index.Search({root}, CallCriteria{});
    ASSERT_TRUE(found.Ok()) << found.status.message;
    ASSERT_EQ(found.value.calls.size(), 2u);
    for (const CallRecord& call : found.value.calls) {
        EXPECT_EQ(call.facts.audioSha256, call.facts.name == "a0000001.mp3" ? hashed.digest.sha256 : "")
            << call.facts.name;
    }
}

// A reader searches while another connection refreshes: the write-ahead log lets both go on.
TEST(SqliteConcurrencyTest, SearchesGoOnWhileAnotherConnectionWrites) {
    TempDir dir;
    const std::string file = dir.File("index.sqlite");
    auto writer = SqliteCallStore::Open(file).store;
    auto reader = SqliteCallStore::Open(file).store;
    ASSERT_NE(writer, nullptr);
    ASSERT_NE(reader, nullptr);
    const int64_t root = writer->RootId("/rec").value;
    std::atomic<bool> done{false};
    std::atomic<int> searches{0};
    std::atomic<int> failures{0};
    std::thread searching([&] {
        StoreQuery query;
        query.roots = {"/rec"};
        while (!done) {
            if (!reader->Search(query).Ok()) ++failures;
            ++searches;
        }
    });
    for (int day = 1; day <= 20; ++day) {
        const int64_t folder = writer->FolderId(root, (day < 10 ? "0" : "") + std::to_string(day) + ".01.2026").value;
        std::vector<CallFacts> calls;
        for (int i = 0; i < 50; ++i)
            calls.push_back(CallFacts{.name = "a" + std::to_string(i) + ".mp3", .number = "555"});
        ASSERT_TRUE(writer->ApplyFiles(folder, calls, {}, std::nullopt).Ok());
    }
    done = true;
    searching.join();
    EXPECT_GT(searches.load(), 0);
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(reader->CountCalls({"/rec"}).value, 1000);
}

// The whole path on real files: a refresh through the SQLite store finds a file filed a moment ago.
TEST(SqliteRefreshTest, CallFiledAMomentAgoIsFoundByTheNextSearch) {
    const test::ScopedTimeZone utc(test::kUtc);
    TempDir dir;
    const std::string root = dir.File("rec");
    const std::string day = root + "/10.03.2026";
    ASSERT_EQ(::mkdir(root.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(day.c_str(), 0755), 0);
    const auto file = [&](const std::string& name, const std::string& number) {
        dir.Write("rec/10.03.2026/" + name,
                  test::Layer3Audio(30) + test::TagString(test::RecorderTag(number, "Line 1", 'I', 0, "refund")));
    };
    file("a0000001.mp3", "0171 555 1234");
    auto store = SqliteCallStore::Open(dir.File("index.sqlite")).store;
    ASSERT_NE(store, nullptr);
    PosixCallFiles files;
    SystemClock clock;
    CallIndex index(*store, files, clock, NumberPlan{"44", "0", "00"});
    EXPECT_EQ(index.Refresh({root}).added, 1u);
    file("a0000002.mp3", "+44 20 7946 0000");
    EXPECT_EQ(index.Refresh({root}).added, 1u);
    const auto found = index.Search({root}, CallCriteria{.number = "020 7946"});
    ASSERT_TRUE(found.Ok()) << found.status.message;
    ASSERT_EQ(found.value.calls.size(), 1u);
    EXPECT_EQ(found.value.calls[0].facts.name, "a0000002.mp3");
    EXPECT_EQ(index.Search({root}, CallCriteria{.text = "ref"}).value.calls.size(), 2u);
    EXPECT_EQ(index.Refresh({root}).added + index.Refresh({root}).changed, 0u);
}

}  // namespace
}  // namespace pell
