// pell-web over an index on a real PostgreSQL server that this test program starts: log in,
// find the call by number, play it, and see the played mark come back from the database.
#include <gtest/gtest.h>

#include <cstdio>

#include "index/postgres/testing/pg_test_server.h"
#include "web/tests/web_test_server.h"

namespace pell::web {
namespace {

constexpr int kSkipped = 77;  // CTest's SKIP_RETURN_CODE

pell::test::PgTestServer* gPostgres = nullptr;

TEST(WebPostgres, LogInSearchAndPlayOverASharedIndex) {
    ASSERT_NE(gPostgres, nullptr);
    TempDir player;
    player.Write("index.ini",
                 "[index]\nstore=postgresql\nconnection=" + gPostgres->Connection(gPostgres->CreateDatabase()) + "\n");
    ServerSetup setup;
    setup.indexProgramFolder = player.path();
    Server server(setup);
    ASSERT_TRUE(server.http) << "the server did not start";
    ASSERT_NE(server.calls->Describe().find("PostgreSQL"), std::string::npos) << server.calls->Describe();
    Browser browser(server.http->Port());
    ASSERT_EQ(browser.LogIn("bob", kPassword), 200);

    auto found = browser.Get("/api/calls?number=555");
    ASSERT_EQ(found->status, 200) << found->body;
    const Json calls = Json::parse(found->body)["calls"];
    ASSERT_EQ(calls.size(), 1u) << found->body;
    EXPECT_EQ(calls[0]["number"], "5551234");
    EXPECT_EQ(calls[0]["played"], false);
    const std::string id = std::to_string(calls[0]["id"].get<int64_t>());

    auto played = browser.Get("/api/calls/" + id + "/audio", {{"Range", "bytes=0-"}});
    ASSERT_EQ(played->status, 206) << played->body;
    std::ifstream in(server.Path("in-1.mp3"), std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(played->body == file) << played->body.size() << " of " << file.size() << " bytes";
    EXPECT_TRUE(PlayedOf(server.Path("in-1.mp3")));
    EXPECT_EQ(Json::parse(browser.Get("/api/calls/" + id)->body)["played"], true) << "the database learnt the mark";
    // The listener's other line stays out of reach on this store too.
    const std::string other = std::to_string(server.ids.at("in-2.mp3"));
    EXPECT_EQ(browser.Get("/api/calls/" + other + "/audio")->status, 404);
}

}  // namespace
}  // namespace pell::web

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    std::string whyNot;
    bool missing = false;
    std::unique_ptr<pell::test::PgTestServer> server = pell::test::PgTestServer::Start(whyNot, missing);
    if (!server) {
        std::fprintf(stderr, "web_postgres_test: %s: %s\n", missing ? "skipped" : "failed", whyNot.c_str());
        return missing ? pell::web::kSkipped : 1;
    }
    pell::web::gPostgres = server.get();
    const int code = RUN_ALL_TESTS();
    pell::web::gPostgres = nullptr;
    return code;
}
