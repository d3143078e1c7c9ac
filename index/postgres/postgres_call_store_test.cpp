#include "index/postgres/postgres_call_store.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sys/stat.h>

#include <thread>

#include "custody/posix/custody.h"
#include "index/core/call_index.h"
#include "index/core/testing/call_store_conformance.h"
#include "index/postgres/testing/pg_test_server.h"
#include "player/catalogue/catalogue_test_support.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

using test::CallStoreConformance;
using test::PgTestServer;
using test::StoreMaker;

// The one server of this test program, started before the first test and stopped after the last.
class ServerEnvironment : public testing::Environment {
public:
    void SetUp() override {
        bool missing = false;
        server = PgTestServer::Start(whyNot, missing);
        if (!server && !missing) FAIL() << whyNot;
        if (!server) std::fprintf(stderr, "index_postgres_test: skipped: %s\n", whyNot.c_str());
    }
    void TearDown() override { server.reset(); }

    std::unique_ptr<PgTestServer> server;
    std::string whyNot;
};

ServerEnvironment* environment = nullptr;

PgTestServer* Server() { return environment != nullptr ? environment->server.get() : nullptr; }

#define REQUIRE_SERVER()                                          \
    if (Server() == nullptr) GTEST_SKIP() << environment->whyNot; \
    static_assert(true)

std::unique_ptr<CallStore> Connect(const std::string& database) {
    auto opened = PostgresCallStore::Open(Server()->Connection(database));
    EXPECT_TRUE(opened.status.Ok()) << opened.status.message;
    return std::move(opened.store);
}

std::unique_ptr<CallStore> MakePostgres(bool fresh) {
    static std::string database;
    if (Server() == nullptr) return nullptr;
    if (fresh || database.empty()) database = Server()->CreateDatabase();
    return Connect(database);
}

INSTANTIATE_TEST_SUITE_P(Postgres, CallStoreConformance,
                         testing::Values(StoreMaker{"Postgres",
                                                    [](bool fresh) {
                                                        if (Server() == nullptr) {
                                                            ADD_FAILURE() << "no server: " << environment->whyNot;
                                                        }
                                                        return MakePostgres(fresh);
                                                    }}),
                         test::StoreMakerName);

std::string Recording(const std::string& number) {
    return test::Layer3Audio(20) + test::TagString(test::RecorderTag(number, "Line 1"));
}

class RecorderFeedTest : public testing::Test {
protected:
    void SetUp() override {
        REQUIRE_SERVER();
        database_ = Server()->CreateDatabase();
        root_ = dir_.File("rec");
        ::mkdir(root_.c_str(), 0755);
        ::mkdir((root_ + "/10.03.2026").c_str(), 0755);
    }

    std::string File(int n) {
        const std::string name = "a" + std::to_string(1'000'000 + n) + ".mp3";
        dir_.Write("rec/10.03.2026/" + name, Recording("0171555" + std::to_string(n)));
        return root_ + "/10.03.2026/" + name;
    }

    TempDir dir_;
    std::string database_;
    std::string root_;
    test::ScopedTimeZone utc_{test::kUtc};
};

TEST_F(RecorderFeedTest, TwoRecordersFilingAtOnceLoseNoCall) {
    constexpr int kPerRecorder = 60;
    std::vector<std::string> paths;
    for (int n = 0; n < 2 * kPerRecorder; ++n) paths.push_back(File(n));
    std::vector<StoreStatus> failures[2];
    const auto recorder = [&](int which) {
        auto store = Connect(database_);
        PosixCallFiles files;
        SystemClock clock;
        CallIndex index(*store, files, clock);
        for (int n = which; n < 2 * kPerRecorder; n += 2) {
            const StoreStatus status = index.AddFiled(root_, paths[static_cast<std::size_t>(n)]);
            if (!status.Ok()) failures[which].push_back(status);
        }
    };
    std::thread first(recorder, 0);
    std::thread second(recorder, 1);
    first.join();
    second.join();
    EXPECT_TRUE(failures[0].empty()) << failures[0][0].message;
    EXPECT_TRUE(failures[1].empty()) << failures[1][0].message;

    auto store = Connect(database_);
    EXPECT_EQ(store->CountCalls({root_}).value, 2 * kPerRecorder);
    PosixCallFiles files;
    SystemClock clock;
    CallIndex player(*store, files, clock);
    const RefreshReport report = player.Refresh({root_});
    EXPECT_EQ(report.outcome, RefreshReport::Outcome::kDone);
    EXPECT_EQ(report.added + report.changed + report.removed, 0u);
    EXPECT_EQ(player.Search({root_}, CallCriteria{.number = "0171555117"}).value.calls.size(), 1u);
}

TEST_F(RecorderFeedTest, CallsFiledWhileTheServerWasDownAreThereAfterTheNextRefresh) {
    auto store = Connect(database_);
    PosixCallFiles files;
    SystemClock clock;
    CallIndex recorder(*store, files, clock);
    ASSERT_TRUE(recorder.AddFiled(root_, File(1)).Ok());
    ASSERT_TRUE(Server()->Stop());
    const StoreStatus down = recorder.AddFiled(root_, File(2));
    EXPECT_EQ(down.code, StoreStatus::Code::kUnavailable) << down.message;
    EXPECT_NE(down.message.find("PostgreSQL"), std::string::npos) << down.message;
    File(3);
    ASSERT_TRUE(Server()->Resume());
    // The same connection object comes back by itself.
    const StoreStatus back = recorder.AddFiled(root_, File(4));
    EXPECT_TRUE(back.Ok()) << back.message;
    EXPECT_EQ(store->CountCalls({root_}).value, 2);
    const RefreshReport report = recorder.Refresh({root_});
    EXPECT_EQ(report.added, 2u);
    EXPECT_EQ(store->CountCalls({root_}).value, 4);
}

TEST(PostgresOpenTest, ProgramsStartingTogetherCreateTheTablesOnce) {
    REQUIRE_SERVER();
    const std::string database = Server()->CreateDatabase();
    std::vector<std::string> errors(4);
    std::vector<std::thread> starting;
    for (std::size_t i = 0; i < errors.size(); ++i) {
        starting.emplace_back([&, i] {
            const auto opened = PostgresCallStore::Open(Server()->Connection(database));
            errors[i] = opened.status.message;
        });
    }
    for (std::thread& t : starting) t.join();
    for (const std::string& error : errors) EXPECT_EQ(error, "");
}

TEST(PostgresOpenTest, IndexOfAnotherSchemaVersionIsRefusedNotDropped) {
    REQUIRE_SERVER();
    const std::string database = Server()->CreateDatabase();
    ASSERT_NE(Connect(database), nullptr);
    PGconn* raw = PQconnectdb(Server()->Connection(database).c_str());
    PQclear(PQexec(raw, "UPDATE meta SET value = '99' WHERE key = 'schema'"));
    PQfinish(raw);
    const auto opened = PostgresCallStore::Open(Server()->Connection(database));
    EXPECT_EQ(opened.store, nullptr);
    EXPECT_EQ(opened.status.code, StoreStatus::Code::kFailed);
    EXPECT_NE(opened.status.message.find("schema 99"), std::string::npos) << opened.status.message;
}

// A site's index of the version before the audio hash is upgraded by the first program of the
// new version that opens it: rows kept, the column added, and the next refresh fills it in.
TEST_F(RecorderFeedTest, IndexOfSchemaOneIsUpgradedInPlaceAndTheNextRefreshFillsTheAudioHash) {
    REQUIRE_SERVER();
    const std::string first = File(1);
    File(2);
    const AudioHashResult hashed = HashAudio(first);
    ASSERT_EQ(hashed.error, 0);
    ASSERT_EQ(RecordFiled(root_ + "/10.03.2026",
                          FiledFacts{"a1000001.mp3", 1'773'144'000, 1'773'144'020, "Line 1", "01715551", 'I', 1},
                          hashed.digest),
              0);
    SystemClock clock;
    PosixCallFiles files;
    {
        auto store = Connect(database_);
        ASSERT_NE(store, nullptr);
        CallIndex index(*store, files, clock);
        ASSERT_EQ(index.Refresh({root_}).added, 2u);
    }
    PGconn* raw = PQconnectdb(Server()->Connection(database_).c_str());
    for (const char* sql : {"ALTER TABLE calls DROP COLUMN audio_sha256", "UPDATE meta SET value = '1'",
                            "UPDATE folders SET complete = TRUE, settled = TRUE"}) {
        PGresult* result = PQexec(raw, sql);
        EXPECT_EQ(PQresultStatus(result), PGRES_COMMAND_OK) << sql << ": " << PQerrorMessage(raw);
        PQclear(result);
    }
    PQfinish(raw);

    auto store = Connect(database_);
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(store->CountCalls({root_}).value, 2) << "a shared index keeps its rows through the upgrade";
    CallIndex index(*store, files, clock);
    const RefreshReport report = index.Refresh({root_});
    EXPECT_EQ(report.added, 0u);
    EXPECT_EQ(report.changed, 1u) << "only the recording its manifest lists is read again";
    const auto found = index.Search({root_}, CallCriteria{});
    ASSERT_TRUE(found.Ok()) << found.status.message;
    ASSERT_EQ(found.value.calls.size(), 2u);
    for (const CallRecord& call : found.value.calls) {
        EXPECT_EQ(call.facts.audioSha256, call.facts.name == "a1000001.mp3" ? hashed.digest.sha256 : "")
            << call.facts.name;
    }
    EXPECT_TRUE(Connect(database_) != nullptr) << "the next program finds it upgraded";
}

TEST(PostgresOpenTest, ServerThatIsNotThereIsUnavailableWithLibpqsReason) {
    const auto opened = PostgresCallStore::Open("host=127.0.0.1 port=1 dbname=x connect_timeout=2");
    EXPECT_EQ(opened.store, nullptr);
    EXPECT_EQ(opened.status.code, StoreStatus::Code::kUnavailable);
    EXPECT_NE(opened.status.message.find("cannot reach PostgreSQL"), std::string::npos);
}

}  // namespace
}  // namespace pell

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    pell::environment = new pell::ServerEnvironment();
    testing::AddGlobalTestEnvironment(pell::environment);
    return RUN_ALL_TESTS();
}
