// pell-web over real HTTP on localhost: the server, its file, index and password adapters and
// a client that behaves as a browser or as an attacker would.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <set>
#include <sstream>

#include "custody/posix/custody.h"
#include "recorder/core/recorder_status.h"
#include "web/server/web_command.h"
#include "web/tests/web_test_server.h"

namespace pell::web {
namespace {

class WebHttp : public ::testing::Test {
protected:
    WebHttp() : browser(server.http->Port()) {}
    std::string Id(const std::string& name) { return std::to_string(server.ids.at(name)); }
    Server server;
    Browser browser;
};

TEST_F(WebHttp, WithoutSessionNoPageCallOrFileIsGiven) {
    const struct {
        const char* method;
        std::string path;
        int status;
    } cases[] = {
        {"GET", "/calls", 303},
        {"GET", "/recorders", 303},
        {"GET", "/api/calls", 401},
        {"GET", "/api/calls/" + Id("in-1.mp3"), 401},
        {"GET", "/api/calls/" + Id("in-1.mp3") + "/audio", 401},
        {"GET", "/api/calls/" + Id("in-1.mp3") + "/download", 401},
        {"GET", "/api/recorders", 401},
        {"GET", "/api/lines", 401},
        {"POST", "/api/calls/" + Id("in-1.mp3") + "/bookmark", 401},
    };
    for (const auto& c : cases) {
        auto result = std::string(c.method) == "GET" ? browser.Get(c.path) : browser.Post(c.path, {{"text", "x"}});
        ASSERT_TRUE(result) << c.path;
        EXPECT_EQ(result->status, c.status) << c.method << " " << c.path;
        EXPECT_EQ(result->body.find("TAG"), std::string::npos) << c.path;
    }
    // A made-up cookie is no session either.
    browser.cookie = "pell_session=" + std::string(64, 'a');
    EXPECT_EQ(browser.Get("/api/calls")->status, 401);
    EXPECT_EQ(browser.Get("/login")->status, 200);
}

TEST_F(WebHttp, ListenerNeitherSeesNorFetchesAnotherLinesCall) {
    ASSERT_EQ(browser.LogIn("bob", kPassword), 200);
    auto search = browser.Get("/api/calls");
    ASSERT_EQ(search->status, 200);
    const Json found = Json::parse(search->body);
    std::set<std::string> numbers;
    for (const Json& call : found["calls"]) numbers.insert(call["number"]);
    EXPECT_EQ(numbers, (std::set<std::string>{"5551234", "7778888"}));
    // Asking for the other line by name finds nothing either.
    auto asked = browser.Get("/api/calls?line=Line%202");
    ASSERT_EQ(asked->status, 200);
    EXPECT_TRUE(Json::parse(asked->body)["calls"].empty());

    const std::string other = Id("in-2.mp3");
    const std::string missing = std::to_string(server.ids.at("in-2.mp3") + 1000);
    for (const std::string& id : {other, missing}) {
        for (const char* tail : {"", "/audio", "/download"}) {
            auto result = browser.Get("/api/calls/" + id + std::string(tail));
            ASSERT_TRUE(result);
            EXPECT_EQ(result->status, 404) << id << tail;
            EXPECT_EQ(result->body, "{\"error\":\"No such call.\"}") << "a guessed id must tell nothing";
        }
        EXPECT_EQ(browser.Post("/api/calls/" + id + "/bookmark", {{"text", "mine"}})->status, 404);
    }
    EXPECT_EQ(BookmarkOf(server.Path("in-2.mp3")), "");
    EXPECT_EQ(browser.Get("/api/calls/" + Id("in-1.mp3"))->status, 200);
}

TEST_F(WebHttp, ChangesWithoutTheFormTokenAreRefused) {
    ASSERT_EQ(browser.LogIn("alice", kPassword), 200);
    const std::string path = "/api/calls/" + Id("in-1.mp3") + "/bookmark";
    const struct {
        const char* what;
        httplib::Headers headers;
        bool token;
    } cases[] = {
        {"no token", {}, false},
        {"a forged token", {{"X-CSRF-Token", std::string(64, '0')}}, false},
        {"another site's page", {{"Origin", "http://evil.example"}}, true},
        {"a cross-site fetch", {{"Sec-Fetch-Site", "cross-site"}}, true},
    };
    for (const auto& c : cases) {
        auto result = browser.client.Post(path, browser.Headers(c.headers), httplib::Params{{"text", "forged"}});
        if (c.token) {
            httplib::Headers headers = browser.Headers(c.headers);
            headers.emplace("X-CSRF-Token", browser.csrf);
            result = browser.client.Post(path, headers, httplib::Params{{"text", "forged"}});
        }
        ASSERT_TRUE(result) << c.what;
        EXPECT_EQ(result->status, 403) << c.what;
    }
    EXPECT_EQ(BookmarkOf(server.Path("in-1.mp3")), "");
    auto saved = browser.Post(path, {{"text", "complaint 17"}});
    ASSERT_EQ(saved->status, 200) << saved->body;
    EXPECT_EQ(BookmarkOf(server.Path("in-1.mp3")), "complaint 17");
    EXPECT_EQ(Json::parse(saved->body)["bookmark"], "complaint 17");
    const AuditRead audit = ReadAudit(server.root);
    ASSERT_EQ(audit.entries.size(), 1u) << "only the change that was made is in the trail";
    EXPECT_EQ(audit.entries[0].action, "bookmark");
}

TEST_F(WebHttp, RangesServeTheAskedBytes) {
    ASSERT_EQ(browser.LogIn("alice", kPassword), 200);
    // The first play sets the played byte: the bytes compared are the ones after it.
    ASSERT_EQ(browser.Get("/api/calls/" + Id("in-1.mp3") + "/audio")->status, 200);
    std::ifstream in(server.Path("in-1.mp3"), std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto size = static_cast<int64_t>(file.size());
    const std::string total = "/" + std::to_string(size);
    const struct {
        std::string range;
        int status;
        int64_t first;
        int64_t length;
    } cases[] = {
        {"", 200, 0, size},
        {"bytes=0-99", 206, 0, 100},
        {"bytes=4000-4999", 206, 4000, 1000},
        {"bytes=-128", 206, size - 128, 128},
        {"bytes=8000-", 206, 8000, size - 8000},
        {"bytes=" + std::to_string(size - 1) + "-" + std::to_string(size + 500), 206, size - 1, 1},
        {"bytes=" + std::to_string(size) + "-", 416, 0, 0},
    };
    for (const auto& c : cases) {
        httplib::Headers headers;
        if (!c.range.empty()) headers.emplace("Range", c.range);
        auto result = browser.Get("/api/calls/" + Id("in-1.mp3") + "/audio", headers);
        ASSERT_TRUE(result) << c.range;
        EXPECT_EQ(result->status, c.status) << c.range;
        if (c.status == 416) {
            EXPECT_EQ(result->get_header_value("Content-Range"), "bytes */" + std::to_string(size));
            continue;
        }
        EXPECT_TRUE(result->body == file.substr(static_cast<std::size_t>(c.first), static_cast<std::size_t>(c.length)))
            << c.range << ": " << result->body.size() << " bytes";
        EXPECT_EQ(result->get_header_value("Accept-Ranges"), "bytes");
        if (c.status == 206) {
            EXPECT_EQ(result->get_header_value("Content-Range"),
                      "bytes " + std::to_string(c.first) + "-" + std::to_string(c.first + c.length - 1) + total);
        }
    }
}

TEST_F(WebHttp, PlayMarksTheCallPlayedAndEveryServingIsAudited) {
    ASSERT_EQ(browser.LogIn("bob", kPassword), 200);
    const std::string id = Id("in-3.mp3");
    ASSERT_EQ(browser.Get("/api/calls/" + id + "/audio", {{"Range", "bytes=0-"}})->status, 206);
    EXPECT_TRUE(PlayedOf(server.Path("in-3.mp3")));
    // Seeking is no new play.
    ASSERT_EQ(browser.Get("/api/calls/" + id + "/audio", {{"Range", "bytes=3000-"}})->status, 206);
    auto download = browser.Get("/api/calls/" + id + "/download");
    ASSERT_EQ(download->status, 200);
    EXPECT_NE(download->get_header_value("Content-Disposition").find("attachment; filename=\""), std::string::npos);
    std::vector<std::string> served;
    for (const AuditEntry& entry : ReadAudit(server.root).entries) {
        EXPECT_EQ(entry.recording, server.Path("in-3.mp3"));
        served.push_back(entry.user + " " + entry.action + " " + entry.detail);
    }
    EXPECT_EQ(served, (std::vector<std::string>{"bob play ", "bob copy download"}));
    auto call = browser.Get("/api/calls/" + id);
    EXPECT_EQ(Json::parse(call->body)["played"], true) << "the index learns of the played mark";
}

TEST_F(WebHttp, EveryServingAndChangeIsInTheRootsAuditTrailWithTheWebUserAndTheChainHolds) {
    ASSERT_EQ(browser.LogIn("alice", kPassword), 200);
    const std::string id = Id("in-1.mp3");
    ASSERT_EQ(browser.Get("/api/calls/" + id + "/audio")->status, 200);
    ASSERT_EQ(browser.Get("/api/calls/" + id + "/download")->status, 200);
    ASSERT_EQ(browser.Post("/api/calls/" + id + "/bookmark", {{"text", "Mr Smith 0171"}})->status, 200);
    ASSERT_EQ(browser.Post("/api/calls/" + id + "/protect", {})->status, 200);
    ASSERT_EQ(browser.Post("/api/calls/" + id + "/unprotect", {})->status, 200);
    const AuditRead audit = ReadAudit(server.root);
    ASSERT_EQ(audit.error, 0);
    EXPECT_TRUE(audit.check.Intact());
    std::vector<std::string> actions;
    for (const AuditEntry& entry : audit.entries) {
        EXPECT_EQ(entry.user, "alice");
        EXPECT_EQ(entry.program, "pell-web");
        EXPECT_EQ(entry.recording, server.Path("in-1.mp3"));
        EXPECT_EQ(entry.detail.find("Smith"), std::string::npos) << "a bookmark's text stays out of the trail";
        actions.push_back(entry.action);
    }
    EXPECT_EQ(actions, (std::vector<std::string>{"play", "copy", "bookmark", "protect", "unprotect"}));

    // An entry edited afterwards is found by the chain.
    std::string text = server.dir.Read("records/audit.log");
    const std::size_t at = text.find("alice");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 5, "carol");
    server.dir.Write("records/audit.log", text);
    EXPECT_FALSE(ReadAudit(server.root).check.Intact());
}

TEST_F(WebHttp, OnlyAnAdminWithTheFormTokenProtectsAndSearchShowsTheHoldList) {
    const std::string id = Id("in-1.mp3");
    const std::string list = server.root + "/" + kDay + "/protected.list";
    Browser listener(server.http->Port());
    ASSERT_EQ(listener.LogIn("bob", kPassword), 200);
    ASSERT_EQ(browser.LogIn("alice", kPassword), 200);
    const struct {
        const char* what;
        Browser* who;
        httplib::Headers headers;
        bool token;
        int status;
    } refused[] = {
        {"a listener", &listener, {}, true, 403},
        {"an admin without the token", &browser, {}, false, 403},
        {"an admin with a forged token", &browser, {{"X-CSRF-Token", std::string(64, 'f')}}, false, 403},
        {"no session", nullptr, {}, false, 401},
    };
    for (const auto& c : refused) {
        Browser anonymous(server.http->Port());
        Browser& who = c.who != nullptr ? *c.who : anonymous;
        auto result = who.Post("/api/calls/" + id + "/protect", {}, c.headers, c.token);
        ASSERT_TRUE(result) << c.what;
        EXPECT_EQ(result->status, c.status) << c.what;
        EXPECT_FALSE(fs::exists(list)) << c.what;
    }
    EXPECT_EQ(ReadAudit(server.root).error, ENOENT) << "nothing was done";
    EXPECT_EQ(Json::parse(listener.Get("/api/session")->body)["mayProtect"], false);
    EXPECT_EQ(Json::parse(browser.Get("/api/session")->body)["mayProtect"], true);

    const auto shown = [&](Browser& who) {
        std::map<std::string, bool> held;
        auto result = who.Get("/api/calls");
        EXPECT_EQ(result->status, 200) << result->body;
        const Json answer = Json::parse(result->body);
        for (const Json& call : answer["calls"]) held[call["number"]] = call["protected"];
        return held;
    };
    auto on = browser.Post("/api/calls/" + id + "/protect", {});
    ASSERT_EQ(on->status, 200) << on->body;
    EXPECT_EQ(Json::parse(on->body)["protected"], true);
    EXPECT_TRUE(IsProtected(server.Path("in-1.mp3"))) << "the day folder's hold list names it";
    EXPECT_EQ(shown(listener)["5551234"], true) << "a listener sees the hold of its line's call";
    // The index was told, so a search for protected calls finds it.
    const Json found = Json::parse(browser.Get("/api/calls?protected=yes")->body)["calls"];
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]["number"], "5551234");
    // Protected from the command line: the page shows the list as it is, not as the index last read it.
    ASSERT_TRUE(ChangeHolds(HoldRequest{{server.Path("in-3.mp3")}, true, "pell-catalogue", ""}).failures.empty());
    EXPECT_EQ(shown(browser), (std::map<std::string, bool>{{"5551234", true}, {"0123456", false}, {"7778888", true}}));
    auto off = browser.Post("/api/calls/" + id + "/unprotect", {});
    ASSERT_EQ(off->status, 200) << off->body;
    EXPECT_FALSE(IsProtected(server.Path("in-1.mp3")));
    EXPECT_EQ(shown(browser)["5551234"], false);
}

TEST_F(WebHttp, TraversalAndLinksReachNoFile) {
    ASSERT_EQ(browser.LogIn("alice", kPassword), 200);
    for (const char* path :
         {"/static/../users", "/static/%2e%2e%2fusers", "/static/..%2fusers", "/static/app.css/../../users",
          "/api/calls/1/../../../users", "/static//etc/passwd", "/static/login.html", "/users", "/index.sqlite"}) {
        auto result = browser.Get(path);
        ASSERT_TRUE(result) << path;
        EXPECT_EQ(result->status, 404) << path;
        EXPECT_EQ(result->body.find("argon2id"), std::string::npos) << path;
    }
    // A recording swapped for a link to another file, and a day folder swapped for a link.
    fs::remove(server.Path("in-1.mp3"));
    fs::create_symlink(server.secret, server.Path("in-1.mp3"));
    const std::string otherDay = server.root + "/02.03.2026";
    fs::create_directory_symlink(server.root + "/" + kDay, otherDay);
    auto linked = browser.Get("/api/calls/" + Id("in-1.mp3") + "/audio");
    ASSERT_TRUE(linked);
    EXPECT_EQ(linked->status, 404);
    EXPECT_EQ(linked->body.find("payroll"), std::string::npos);
    EXPECT_TRUE(server.log.Contains("a symbolic link, not followed"));

    CallRecord viaLink;
    viaLink.root = server.root;
    viaLink.folder = "02.03.2026";
    viaLink.facts.name = "in-2.mp3";
    EXPECT_EQ(server.recordings.Open(viaLink).problem, RecordingProblem::kNotPlain);
    viaLink.folder = "..";
    viaLink.facts.name = "secret.txt";
    EXPECT_EQ(server.recordings.Open(viaLink).problem, RecordingProblem::kNotPlain);
    viaLink.folder = kDay;
    viaLink.facts.name = "../../secret.txt";
    EXPECT_EQ(server.recordings.Open(viaLink).problem, RecordingProblem::kNotPlain);
}

TEST_F(WebHttp, OversizedInputIsRefusedUnread) {
    ASSERT_EQ(browser.LogIn("alice", kPassword), 200);
    const std::string huge(1 << 20, 'a');
    auto body = browser.client.Post("/api/login", browser.Headers({{"Origin", "http://" + browser.host}}),
                                    "name=alice&password=" + huge, "application/x-www-form-urlencoded");
    ASSERT_TRUE(body);
    EXPECT_EQ(body->status, 413);
    auto uri = browser.Get("/api/calls?number=" + std::string(20'000, '5'));
    ASSERT_TRUE(uri);
    EXPECT_EQ(uri->status, 414);
    auto number = browser.Get("/api/calls?number=" + std::string(65, '5'));
    ASSERT_TRUE(number);
    EXPECT_EQ(number->status, 400);
    auto bookmark = browser.Post("/api/calls/" + Id("in-1.mp3") + "/bookmark", {{"text", std::string(31, 'x')}});
    EXPECT_EQ(bookmark->status, 400);
    auto longName = browser.Post("/api/login", {{"name", std::string(100, 'a')}, {"password", "x"}}, {}, false);
    EXPECT_EQ(longName->status, 400);
}

TEST_F(WebHttp, RepeatedFailedLogInsAreHeldBack) {
    // Five failures are free, the sixth starts the wait.
    for (int i = 0; i < 6; ++i) EXPECT_EQ(browser.LogIn("alice", "wrong password"), 401) << i;
    auto held = browser.Post("/api/login", {{"name", "alice"}, {"password", kPassword}}, {}, false);
    ASSERT_TRUE(held);
    EXPECT_EQ(held->status, 429) << "even the right password waits";
    EXPECT_FALSE(held->get_header_value("Retry-After").empty());
    EXPECT_TRUE(server.log.Contains("failed log-in for \"alice\" from 127.0.0.1 (6 in a row)"));
    // Another account from the same desk is not held back by alice's failures.
    EXPECT_EQ(browser.LogIn("bob", kPassword), 200);
}

TEST_F(WebHttp, SessionCookieIsHttpOnlyAndStrict) {
    auto result = browser.Post("/api/login", {{"name", "Alice"}, {"password", kPassword}}, {}, false);
    ASSERT_EQ(result->status, 200);
    EXPECT_EQ(result->get_header_value("Set-Cookie").substr(result->get_header_value("Set-Cookie").find(';')),
              "; Path=/; HttpOnly; SameSite=Strict");
    EXPECT_EQ(result->get_header_value("X-Frame-Options"), "DENY");
    EXPECT_NE(result->get_header_value("Content-Security-Policy").find("default-src 'none'"), std::string::npos);
}

TEST_F(WebHttp, AccountRemovedOrFileBrokenEndsItsSessions) {
    ASSERT_EQ(browser.LogIn("bob", kPassword), 200);
    Browser admin(server.http->Port());
    ASSERT_EQ(admin.LogIn("alice", kPassword), 200);
    ASSERT_EQ(browser.Get("/api/calls")->status, 200);
    UserList list = ParseUsers(server.dir.Read("users")).list;
    ASSERT_EQ(RemoveUser(list, "bob"), "");
    server.dir.Write("users", FormatUsers(list));
    EXPECT_EQ(browser.Get("/api/calls")->status, 401) << "bob was removed";
    EXPECT_EQ(admin.Get("/api/calls")->status, 200);
    server.dir.Write("users", "[alice]\nrole=chief\n");
    EXPECT_EQ(admin.Get("/api/calls")->status, 401) << "a broken file lets nobody in";
    EXPECT_EQ(admin.LogIn("alice", kPassword), 503);
    EXPECT_TRUE(server.log.Contains("nobody can log in"));
}

// status.json as the recorder writes it, aged by its modification time.
void WriteHealthFile(const std::string& folder, const std::string& state, int64_t ageSeconds) {
    HealthReport report;
    report.version = "1.4";
    report.written = SystemClock().Now();
    report.state = state;
    report.boxPresent = true;
    report.soundPresent = true;
    report.diskFreeBytes = 41'000'000'000;
    report.lines[0].condition = LineCondition::kRecording;
    report.lines[0].callStart = report.written;
    report.lines[1].lastFiledAt = report.written;
    report.lines[1].lastNumber = "0123456";
    report.alarms = {"Line 2 has had no call for 3 days"};
    const std::string path = folder + "/status.json";
    std::ofstream(path) << FormatHealthJson(report);
    const auto when = static_cast<time_t>(std::time(nullptr) - ageSeconds);
    const utimbuf times{when, when};
    ASSERT_EQ(::utime(path.c_str(), &times), 0);
}

TEST(WebHttpRecorders, PageShowsEachRecordersStateLinesAndAlarmsAndSaysWhenItsFileIsStale) {
    TempDir folders;
    const std::string recorder = folders.File("recorder");
    fs::create_directories(recorder);
    folders.Write("recorder/settings.ini", "[channel1]\ndescription=Line 1\n[channel2]\ndescription=Line 2\n");
    ServerSetup setup;
    setup.recorderFolders = {recorder, folders.File("never-started")};
    Server server(setup);
    Browser admin(server.http->Port());
    ASSERT_EQ(admin.LogIn("alice", kPassword), 200);
    Browser listener(server.http->Port());
    ASSERT_EQ(listener.LogIn("bob", kPassword), 200);
    const auto recorders = [](Browser& who) {
        auto result = who.Get("/api/recorders");
        EXPECT_EQ(result->status, 200) << result->body;
        return Json::parse(result->body)["recorders"];
    };

    WriteHealthFile(recorder, "recording", 2);
    Json shown = recorders(admin);
    ASSERT_EQ(shown.size(), 2u);
    const Json& running = shown[0];
    EXPECT_EQ(running["folder"], recorder);
    EXPECT_EQ(running["presence"], "present");
    EXPECT_EQ(running["state"], "recording");
    EXPECT_EQ(running["stale"], false);
    EXPECT_EQ(running["boxPresent"], true);
    EXPECT_EQ(running["diskFreeBytes"], 41'000'000'000);
    ASSERT_EQ(running["lines"].size(), 2u);
    EXPECT_EQ(running["lines"][0]["description"], "Line 1");
    EXPECT_EQ(running["lines"][0]["state"], "recording");
    EXPECT_FALSE(running["lines"][0]["callStartText"].is_null());
    EXPECT_EQ(running["lines"][1]["lastCallNumber"], "0123456");
    ASSERT_EQ(running["alarms"].size(), 1u);
    EXPECT_EQ(running["alarms"][0]["message"], "Line 2 has had no call for 3 days");
    EXPECT_EQ(shown[1]["presence"], "absent");

    // A listener of line 1 sees its own line, not the other one nor the folders.
    const Json own = recorders(listener);
    ASSERT_EQ(own.size(), 1u);
    EXPECT_EQ(own[0]["folder"], "");
    ASSERT_EQ(own[0]["lines"].size(), 1u);
    EXPECT_EQ(own[0]["lines"][0]["line"], 1);

    WriteHealthFile(recorder, "recording", 45);
    EXPECT_EQ(recorders(admin)[0]["stale"], true) << "not rewritten for 45 s: not running or not writing";
    WriteHealthFile(recorder, "stopped", 3600);
    EXPECT_EQ(recorders(admin)[0]["state"], "stopped");
    folders.Write("recorder/status.json", "{\"version\": \"1.4\", \"lines\": [");
    EXPECT_EQ(recorders(admin)[0]["presence"], "broken") << "a file caught half written";
}

TEST(WebHttps, TlsSessionCookieIsSecureAndHostBound) {
    ServerSetup setup;
    setup.tls = true;
    Server server(setup);
    httplib::SSLClient client("127.0.0.1", server.http->Port());
    client.enable_server_certificate_verification(false);
    auto result = client.Post("/api/login", {{"Origin", "https://127.0.0.1:" + std::to_string(server.http->Port())}},
                              httplib::Params{{"name", "alice"}, {"password", kPassword}});
    ASSERT_TRUE(result) << httplib::to_string(result.error());
    EXPECT_EQ(result->status, 200) << result->body;
    const std::string cookie = result->get_header_value("Set-Cookie");
    EXPECT_TRUE(cookie.starts_with("__Host-pell_session=")) << cookie;
    EXPECT_NE(cookie.find("; Secure"), std::string::npos);
    // Plain HTTP on the TLS port gets no page.
    httplib::Client plain("127.0.0.1", server.http->Port());
    plain.set_read_timeout(2, 0);
    auto clear = plain.Get("/login");
    EXPECT_TRUE(!clear || clear->status != 200);
}

TEST(WebPasswords, Argon2idHashesVerifyOnlyTheirPassword) {
    SodiumPasswords passwords(Cheap());
    const std::string hash = passwords.Hash("a long passphrase");
    EXPECT_TRUE(hash.starts_with("$argon2id$v=19$")) << hash;
    EXPECT_NE(passwords.Hash("a long passphrase"), hash) << "every hash has its own salt";
    EXPECT_TRUE(passwords.Verify(hash, "a long passphrase"));
    EXPECT_FALSE(passwords.Verify(hash, "a long passphrasE"));
    EXPECT_FALSE(passwords.Verify("fake:a long passphrase", "a long passphrase")) << "only Argon2id is taken";
    EXPECT_TRUE(SodiumPasswords().Hash("x").starts_with("$argon2id$v=19$m=65536,t=2,p=1$"));
}

TEST(WebUserCommand, AddChangeAndRemoveAccounts) {
    TempDir dir;
    const std::string file = dir.File("users");
    SodiumPasswords passwords(Cheap());
    const auto run = [&](const std::vector<std::string>& args, const std::string& input, std::string* err = nullptr) {
        std::istringstream in(input);
        std::ostringstream out;
        std::ostringstream errors;
        const int code = RunUserCommand(args, file, passwords, {in, out, errors, false});
        if (err != nullptr) *err = errors.str();
        return code;
    };
    std::string err;
    EXPECT_EQ(run({"add", "Carol", "--role", "listener", "--line", "Line 2"}, "carol's secret\n"), 0);
    EXPECT_EQ(run({"add", "carol", "--role", "admin"}, "another one\n", &err), 1);
    EXPECT_NE(err.find("exists already"), std::string::npos);
    EXPECT_EQ(run({"add", "dave", "--role", "listener"}, "dave's secret\n", &err), 1);
    EXPECT_NE(err.find("a listener needs at least one --line"), std::string::npos);
    EXPECT_EQ(run({"add", "erin", "--role", "admin"}, "short\n", &err), 1);
    EXPECT_NE(err.find("at least 8"), std::string::npos);
    EXPECT_EQ(run({"add", "erin", "--role", "chief"}, "erin's secret\n"), 2);
    EXPECT_EQ(run({"add", "erin", "--role", "admin"}, "erin's secret\n"), 0);

    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "the hashes are the owner's only";
    UsersFile users(file, *std::make_unique<test::FakeLog>());
    auto list = users.Users();
    ASSERT_TRUE(list);
    ASSERT_NE(list->Find("carol"), nullptr);
    EXPECT_EQ(list->Find("carol")->lines, std::vector<std::string>{"Line 2"});
    EXPECT_TRUE(passwords.Verify(list->Find("carol")->passwordHash, "carol's secret"));

    EXPECT_EQ(run({"passwd", "carol"}, "a new secret\n"), 0);
    EXPECT_EQ(run({"passwd", "nobody"}, "a new secret\n"), 1);
    EXPECT_EQ(run({"remove", "erin"}, ""), 0);
    EXPECT_EQ(run({"remove", "erin"}, ""), 1);
    UsersFile again(file, *std::make_unique<test::FakeLog>());
    list = again.Users();
    EXPECT_TRUE(passwords.Verify(list->Find("carol")->passwordHash, "a new secret"));
    EXPECT_EQ(list->Find("erin"), nullptr);
}

}  // namespace
}  // namespace pell::web
