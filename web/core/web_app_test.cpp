#include "web/core/web_app.h"

#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>

#include "testsupport/manual_clock.h"
#include "web/core/testing/web_fakes.h"

namespace pell::web {
namespace {

using Json = nlohmann::json;

constexpr const char* kRoot = "/srv/rec";
constexpr const char* kFolder = "06.12.2026";

CallFacts Facts(const std::string& name, const std::string& line, const std::string& number) {
    CallFacts f;
    f.name = name;
    f.readable = f.timesKnown = true;
    f.startTime = 1'796'544'000;
    f.durationSeconds = 5;
    f.line = line;
    f.number = number;
    f.direction = CallDirection::kIncoming;
    return f;
}

class WebAppTest : public testing::Test {
protected:
    WebAppTest() {
        UserList users;
        users.users.push_back(WebUser{"alice", Role::kAdmin, {}, "fake:secret-a"});
        users.users.push_back(WebUser{"bob", Role::kListener, {"Line 1"}, "fake:secret-b"});
        users_.Set(users);
        roots_.Set({kRoot});
        line1_ = calls_.Add(kRoot, kFolder, Facts("a0000001.mp3", "Line 1", "5551234"));
        line2_ = calls_.Add(kRoot, kFolder, Facts("b0000001.mp3", "Line 2", "0123456"));
        recordings_.Put(Path("a0000001.mp3"), std::string(1000, 'a'));
        recordings_.Put(Path("b0000001.mp3"), std::string(1000, 'b'));
        settings_.recorderFolders = {"/var/lib/pell/recorder", "/srv/other-recorder"};
        app_ = std::make_unique<WebApp>(WebAppPorts{clock_, random_, passwords_, users_, roots_, calls_, recordings_,
                                                    custody_, recorders_, assets_, log_},
                                        settings_);
    }

    static std::string Path(const std::string& name) { return std::string(kRoot) + "/" + kFolder + "/" + name; }

    struct Login {
        std::string cookie;
        std::string csrf;
    };

    WebRequest Get(const std::string& path, const Login& login = {}) const {
        WebRequest request;
        request.method = "GET";
        request.path = path;
        request.host = "pell.example:8080";
        request.cookie = login.cookie;
        request.remoteAddress = "192.0.2.10";
        return request;
    }

    WebRequest Post(const std::string& path, const Login& login, Parameters params = {}) const {
        WebRequest request = Get(path, login);
        request.method = "POST";
        request.origin = "http://pell.example:8080";
        request.csrfToken = login.csrf;
        request.params = std::move(params);
        return request;
    }

    WebResponse LogIn(const std::string& name, const std::string& password, const std::string& address = "192.0.2.10") {
        WebRequest request = Post("/api/login", {}, {{"name", name}, {"password", password}});
        request.remoteAddress = address;
        return app_->Handle(request);
    }

    Login As(const std::string& name) {
        const WebResponse response = LogIn(name, "secret-" + name.substr(0, 1));
        EXPECT_EQ(response.status, 200) << response.body;
        const std::string* cookie = response.FindHeader("Set-Cookie");
        EXPECT_NE(cookie, nullptr);
        Login login;
        if (cookie != nullptr) login.cookie = cookie->substr(0, cookie->find(';'));
        login.csrf = Json::parse(response.body)["csrf"];
        return login;
    }

    static Json Body(const WebResponse& response) { return Json::parse(response.body); }

    std::vector<std::string> Actions() {
        std::vector<std::string> out;
        for (const auto& logged : custody_.Entries()) {
            const AuditRecord& entry = logged.entry;
            out.push_back(entry.user + " " + std::string(AuditActionName(entry.action)) +
                          (entry.detail.empty() ? "" : " (" + entry.detail + ")"));
        }
        return out;
    }

    ManualClock clock_;
    test::CountingRandom random_;
    test::FakePasswords passwords_;
    test::FakeUsers users_;
    test::FakeRoots roots_;
    test::FakeRecordings recordings_;
    test::FakeCalls calls_{&recordings_};
    test::FakeCustody custody_;
    test::FakeRecorders recorders_;
    test::FakeAssets assets_;
    test::FakeLog log_;
    WebAppSettings settings_;
    std::unique_ptr<WebApp> app_;
    int64_t line1_ = 0;
    int64_t line2_ = 0;
};

struct NoSessionCase {
    const char* method;
    const char* path;
    int status;
};

class NoSessionTest : public WebAppTest, public testing::WithParamInterface<NoSessionCase> {};

TEST_P(NoSessionTest, WithoutASessionPagesSendToTheLogInAndEverythingElseIsRefused) {
    WebRequest request = Get(GetParam().path);
    request.method = GetParam().method;
    request.origin = "http://pell.example:8080";
    const WebResponse response = app_->Handle(request);
    EXPECT_EQ(response.status, GetParam().status) << GetParam().path;
    if (response.status == 303) {
        EXPECT_EQ(*response.FindHeader("Location"), "/login");
    }
    EXPECT_EQ(response.file, nullptr);
    EXPECT_TRUE(custody_.Entries().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, NoSessionTest,
    testing::Values(NoSessionCase{"GET", "/", 303}, NoSessionCase{"GET", "/calls", 303},
                    NoSessionCase{"GET", "/recorders", 303}, NoSessionCase{"GET", "/login", 200},
                    NoSessionCase{"GET", "/static/app.css", 200}, NoSessionCase{"GET", "/api/session", 401},
                    NoSessionCase{"GET", "/api/calls", 401}, NoSessionCase{"GET", "/api/calls/1", 401},
                    NoSessionCase{"GET", "/api/calls/1/audio", 401}, NoSessionCase{"GET", "/api/calls/1/download", 401},
                    NoSessionCase{"POST", "/api/calls/1/bookmark", 401},
                    NoSessionCase{"POST", "/api/calls/1/protect", 401}, NoSessionCase{"GET", "/api/recorders", 401},
                    NoSessionCase{"POST", "/api/logout", 401}));

TEST_F(WebAppTest, SessionCookieIsHttpOnlyStrictAndUnderTlsSecureWithTheHostPrefix) {
    const WebResponse plain = LogIn("alice", "secret-a");
    EXPECT_EQ(plain.FindHeader("Set-Cookie")->substr(plain.FindHeader("Set-Cookie")->find(';')),
              "; Path=/; HttpOnly; SameSite=Strict");
    WebRequest request = Post("/api/login", {}, {{"name", "alice"}, {"password", "secret-a"}});
    request.secure = true;
    request.origin = "https://pell.example:8080";
    const WebResponse tls = app_->Handle(request);
    ASSERT_EQ(tls.status, 200);
    const std::string cookie = *tls.FindHeader("Set-Cookie");
    EXPECT_EQ(cookie.rfind("__Host-pell_session=", 0), 0u) << cookie;
    EXPECT_NE(cookie.find("; Path=/; HttpOnly; SameSite=Strict; Secure"), std::string::npos) << cookie;
}

TEST_F(WebAppTest, EveryAnswerCarriesTheSecurityHeaders) {
    const Login alice = As("alice");
    for (const char* path : {"/calls", "/api/calls", "/static/app.js", "/nothing-here"}) {
        const WebResponse response = app_->Handle(Get(path, alice));
        ASSERT_NE(response.FindHeader("Content-Security-Policy"), nullptr) << path;
        EXPECT_EQ(response.FindHeader("Content-Security-Policy")->find("script-src 'self'") != std::string::npos, true);
        EXPECT_EQ(*response.FindHeader("X-Content-Type-Options"), "nosniff") << path;
        EXPECT_EQ(*response.FindHeader("X-Frame-Options"), "DENY") << path;
        EXPECT_NE(response.FindHeader("Cache-Control"), nullptr) << path;
    }
}

TEST_F(WebAppTest, ListenerSearchShowsOnlyItsLinesWhateverItAsksFor) {
    const Login bob = As("bob");
    for (const Parameters& params : {Parameters{}, Parameters{{"line", "Line 2"}}, Parameters{{"number", "0123456"}},
                                     Parameters{{"line", "Line 1"}, {"line", "Line 2"}}}) {
        WebRequest request = Get("/api/calls", bob);
        request.params = params;
        const WebResponse response = app_->Handle(request);
        ASSERT_EQ(response.status, 200) << response.body;
        const Json body = Body(response);  // the loop must not walk a temporary's member
        for (const Json& call : body["calls"]) EXPECT_EQ(call["line"], "Line 1") << response.body;
    }
    const Json lines = Body(app_->Handle(Get("/api/lines", bob)));
    EXPECT_EQ(lines["lines"], Json::array({"Line 1"}));
}

TEST_F(WebAppTest, AdminSearchFindsByNumberWithTheRowTexts) {
    WebRequest request = Get("/api/calls", As("alice"));
    request.params = {{"number", "0123"}};
    const Json body = Body(app_->Handle(request));
    ASSERT_EQ(body["calls"].size(), 1u);
    EXPECT_EQ(body["calls"][0]["id"], line2_);
    EXPECT_EQ(body["calls"][0]["line"], "Line 2");
    EXPECT_EQ(body["calls"][0]["durationText"], "00:00:05");
    EXPECT_EQ(body["calls"][0]["direction"], "in");
}

TEST_F(WebAppTest, SearchWithABadFieldSaysWhichAndAnIndexThatIsDownSaysSo) {
    const Login alice = As("alice");
    WebRequest request = Get("/api/calls", alice);
    request.params = {{"from", "yesterday"}};
    const WebResponse bad = app_->Handle(request);
    EXPECT_EQ(bad.status, 400);
    EXPECT_NE(Body(bad)["error"].get<std::string>().find("from"), std::string::npos);
    calls_.faults.FailOn(1);
    const WebResponse down = app_->Handle(Get("/api/calls", alice));
    EXPECT_EQ(down.status, 503);
    EXPECT_NE(Body(down)["error"].get<std::string>().find("the server is down"), std::string::npos);
}

TEST_F(WebAppTest, ListenerCannotReachAnotherLinesCallByAnyRouteAndTheAttemptIsLogged) {
    const Login bob = As("bob");
    const std::string id = std::to_string(line2_);
    for (const std::string& path :
         {"/api/calls/" + id, "/api/calls/" + id + "/audio", "/api/calls/" + id + "/download"}) {
        const WebResponse response = app_->Handle(Get(path, bob));
        EXPECT_EQ(response.status, 404) << path;
        EXPECT_EQ(response.file, nullptr) << path;
        // The same answer as for an id that does not exist: guessing tells nothing.
        EXPECT_EQ(response.body, app_->Handle(Get("/api/calls/999999", bob)).body);
    }
    const WebResponse bookmark = app_->Handle(Post("/api/calls/" + id + "/bookmark", bob, {{"text", "mine now"}}));
    EXPECT_EQ(bookmark.status, 404);
    EXPECT_EQ(recordings_.Bookmark(Path("b0000001.mp3")), "");
    EXPECT_TRUE(custody_.Entries().empty());
    EXPECT_TRUE(log_.Contains("bob asked for call " + id));
}

TEST_F(WebAppTest, CallOfARootNoLongerServedIsUnreachable) {
    const Login alice = As("alice");
    roots_.Set({"/srv/elsewhere"});
    EXPECT_EQ(app_->Handle(Get("/api/calls/" + std::to_string(line1_) + "/audio", alice)).status, 404);
}

TEST_F(WebAppTest, PlayFromTheStartIsAuditedOnceMarksPlayedAndTellsTheIndex) {
    const Login bob = As("bob");
    WebRequest request = Get("/api/calls/" + std::to_string(line1_) + "/audio", bob);
    request.range = "bytes=0-";
    const WebResponse first = app_->Handle(request);
    ASSERT_EQ(first.status, 206) << first.body;
    EXPECT_EQ(*first.FindHeader("Content-Range"), "bytes 0-999/1000");
    EXPECT_EQ(first.fileLength, 1000);
    EXPECT_TRUE(recordings_.Played(Path("a0000001.mp3")));
    EXPECT_EQ(calls_.Noted(), std::vector<std::string>{Path("a0000001.mp3")});
    request.range = "bytes=500-";  // a seek
    EXPECT_EQ(app_->Handle(request).status, 206);
    request.range = "bytes=0-";  // the player starting over
    app_->Handle(request);
    EXPECT_EQ(Actions(), std::vector<std::string>{"bob play"});
    const auto entries = custody_.Entries();
    EXPECT_EQ(entries[0].root, kRoot);
    EXPECT_EQ(entries[0].entry.program, "pell-web");
    EXPECT_EQ(entries[0].entry.recording, Path("a0000001.mp3"));
    clock_.AdvanceMs(10 * 60'000);
    app_->Handle(request);
    EXPECT_EQ(Actions(), (std::vector<std::string>{"bob play", "bob play"}));
    const Json call = Body(app_->Handle(Get("/api/calls/" + std::to_string(line1_), bob)));
    EXPECT_EQ(call["played"], true);
}

TEST_F(WebAppTest, HeadRequestPlaysNothing) {
    WebRequest request = Get("/api/calls/" + std::to_string(line1_) + "/audio", As("alice"));
    request.method = "HEAD";
    EXPECT_EQ(app_->Handle(request).status, 200);
    EXPECT_TRUE(custody_.Entries().empty());
    EXPECT_FALSE(recordings_.Played(Path("a0000001.mp3")));
}

TEST_F(WebAppTest, PlayIsRefusedWhileTheAuditTrailCannotBeWrittenAndServedOnceItCan) {
    const Login bob = As("bob");
    const WebRequest request = Get("/api/calls/" + std::to_string(line1_) + "/audio", bob);
    custody_.auditFaults.FailOn(1);
    const WebResponse refused = app_->Handle(request);
    EXPECT_EQ(refused.status, 503);
    EXPECT_EQ(refused.file, nullptr);
    EXPECT_NE(Body(refused)["error"].get<std::string>().find("Read-only file system"), std::string::npos);
    EXPECT_FALSE(recordings_.Played(Path("a0000001.mp3")));
    const WebResponse served = app_->Handle(request);
    EXPECT_EQ(served.status, 200);
    EXPECT_EQ(Actions(), std::vector<std::string>{"bob play"});
}

TEST_F(WebAppTest, PlayGoesOnWhenThePlayedMarkCannotBeWritten) {
    recordings_.writeFaults.FailOn(1);
    const WebResponse response = app_->Handle(Get("/api/calls/" + std::to_string(line1_) + "/audio", As("bob")));
    EXPECT_EQ(response.status, 200);
    EXPECT_TRUE(log_.Contains("played mark"));
}

struct StreamRangeCase {
    const char* range;
    int status;
    int64_t offset;
    int64_t length;
    const char* contentRange;
};

class StreamRangeTest : public WebAppTest, public testing::WithParamInterface<StreamRangeCase> {};

TEST_P(StreamRangeTest, RangesGiveThePartAsked) {
    WebRequest request = Get("/api/calls/" + std::to_string(line1_) + "/audio", As("alice"));
    request.range = GetParam().range;
    const WebResponse response = app_->Handle(request);
    EXPECT_EQ(response.status, GetParam().status);
    EXPECT_EQ(response.fileOffset, GetParam().offset);
    EXPECT_EQ(response.fileLength, GetParam().length);
    const std::string* contentRange = response.FindHeader("Content-Range");
    EXPECT_EQ(contentRange ? *contentRange : "", GetParam().contentRange);
}

INSTANTIATE_TEST_SUITE_P(Table, StreamRangeTest,
                         testing::Values(StreamRangeCase{"", 200, 0, 1000, ""},
                                         StreamRangeCase{"bytes=0-99", 206, 0, 100, "bytes 0-99/1000"},
                                         StreamRangeCase{"bytes=400-599", 206, 400, 200, "bytes 400-599/1000"},
                                         StreamRangeCase{"bytes=-10", 206, 990, 10, "bytes 990-999/1000"},
                                         StreamRangeCase{"bytes=1000-", 416, 0, 0, "bytes */1000"}));

TEST_F(WebAppTest, RecordingThatIsALinkOrGoneIsNotServed) {
    const Login alice = As("alice");
    recordings_.SetProblem(Path("a0000001.mp3"), RecordingProblem::kNotPlain);
    EXPECT_EQ(app_->Handle(Get("/api/calls/" + std::to_string(line1_) + "/audio", alice)).status, 404);
    EXPECT_TRUE(log_.Contains("refused to serve"));
    recordings_.SetProblem(Path("a0000001.mp3"), RecordingProblem::kMissing);
    EXPECT_EQ(app_->Handle(Get("/api/calls/" + std::to_string(line1_) + "/download", alice)).status, 404);
}

TEST_F(WebAppTest, DownloadIsAnAttachmentAndAuditedEveryTime) {
    const Login bob = As("bob");
    const WebRequest request = Get("/api/calls/" + std::to_string(line1_) + "/download", bob);
    const WebResponse response = app_->Handle(request);
    ASSERT_EQ(response.status, 200);
    const std::string disposition = *response.FindHeader("Content-Disposition");
    EXPECT_EQ(disposition.rfind("attachment; filename=\"Line-1_", 0), 0u) << disposition;
    EXPECT_NE(disposition.find("_5551234.mp3\""), std::string::npos) << disposition;
    app_->Handle(request);
    EXPECT_EQ(Actions(), (std::vector<std::string>{"bob copy (download)", "bob copy (download)"}));
    EXPECT_FALSE(recordings_.Played(Path("a0000001.mp3")));
}

TEST_F(WebAppTest, ChangesWithoutTheFormTokenOrFromAnotherSiteAreRefused) {
    const Login bob = As("bob");
    const std::string path = "/api/calls/" + std::to_string(line1_) + "/bookmark";
    WebRequest missing = Post(path, bob, {{"text", "x"}});
    missing.csrfToken.clear();
    WebRequest wrong = Post(path, bob, {{"text", "x"}});
    wrong.csrfToken = std::string(64, '0');
    WebRequest foreign = Post(path, bob, {{"text", "x"}});
    foreign.origin = "https://evil.example";
    WebRequest crossSite = Post(path, bob, {{"text", "x"}});
    crossSite.fetchSite = "cross-site";
    crossSite.origin.clear();
    for (const WebRequest& request : {missing, wrong, foreign, crossSite}) {
        EXPECT_EQ(app_->Handle(request).status, 403);
    }
    EXPECT_EQ(recordings_.Bookmark(Path("a0000001.mp3")), "");
    EXPECT_TRUE(custody_.Entries().empty());
}

TEST_F(WebAppTest, BookmarkIsStoredNotedAndAuditedWithoutItsText) {
    const Login bob = As("bob");
    const std::string path = "/api/calls/" + std::to_string(line1_) + "/bookmark";
    const WebResponse response = app_->Handle(Post(path, bob,
                                                   {{"text",
                                                     "R\xC3\xBC"
                                                     "ckruf Montag"}}));
    ASSERT_EQ(response.status, 200) << response.body;
    EXPECT_EQ(Body(response)["bookmark"],
              "R\xC3\xBC"
              "ckruf Montag");
    EXPECT_EQ(recordings_.Bookmark(Path("a0000001.mp3")),
              "R\xC3\xBC"
              "ckruf Montag");
    EXPECT_EQ(calls_.Noted().size(), 1u);
    ASSERT_EQ(app_->Handle(Post(path, bob, {{"text", ""}})).status, 200);
    // A bookmark may name a person or a number: the trail only says it changed.
    EXPECT_EQ(Actions(), (std::vector<std::string>{"bob bookmark (set)", "bob bookmark (cleared)"}));
    EXPECT_EQ(custody_.Entries()[0].entry.recording, Path("a0000001.mp3"));
    EXPECT_EQ(app_->Handle(Post(path, bob, {{"text", std::string(31, 'x')}})).status, 400);
    EXPECT_EQ(app_->Handle(Post(path, bob, {})).status, 400);
}

TEST_F(WebAppTest, BookmarkSavedWithoutItsAuditEntrySaysSo) {
    custody_.auditFaults.FailOn(1);
    const WebResponse response =
        app_->Handle(Post("/api/calls/" + std::to_string(line1_) + "/bookmark", As("bob"), {{"text", "x"}}));
    EXPECT_EQ(response.status, 500);
    EXPECT_NE(Body(response)["error"].get<std::string>().find("saved, but the audit trail"), std::string::npos);
}

TEST_F(WebAppTest, OnlyAnAdminProtectsAndEachChangeIsAudited) {
    const std::string path = "/api/calls/" + std::to_string(line1_);
    const Login bob = As("bob");
    EXPECT_EQ(app_->Handle(Post(path + "/protect", bob)).status, 403);
    EXPECT_EQ(Body(app_->Handle(Get("/api/session", bob)))["mayProtect"], false);
    const Login alice = As("alice");
    EXPECT_EQ(Body(app_->Handle(Get("/api/session", alice)))["mayProtect"], true);
    const WebResponse on = app_->Handle(Post(path + "/protect", alice));
    ASSERT_EQ(on.status, 200) << on.body;
    EXPECT_EQ(Body(on)["protected"], true);
    EXPECT_EQ(calls_.Noted(), std::vector<std::string>{Path("a0000001.mp3")}) << "the index reads the hold again";
    EXPECT_EQ(Body(app_->Handle(Get(path, alice)))["protected"], true);
    EXPECT_EQ(Body(app_->Handle(Post(path + "/protect", alice)))["protected"], true) << "protected already";
    EXPECT_EQ(Body(app_->Handle(Post(path + "/unprotect", alice)))["protected"], false);
    EXPECT_EQ(Actions(), (std::vector<std::string>{"alice protect", "alice unprotect"}));
    EXPECT_EQ(custody_.Entries()[0].root, kRoot);
    EXPECT_EQ(custody_.Entries()[0].entry.program, "pell-web");
}

TEST_F(WebAppTest, HoldThatCannotBeChangedOrRecordedSaysSo) {
    const std::string path = "/api/calls/" + std::to_string(line1_) + "/protect";
    const Login alice = As("alice");
    const struct {
        const char* what;
        test::FaultPlan* faults;
        const char* says;
        bool heldAfter;
    } cases[] = {
        {"the hold list cannot be written", &custody_.holdFaults, "The hold could not be changed: Permission denied",
         false},
        {"the audit trail cannot be written", &custody_.auditFaults,
         "The hold was changed, but the audit trail could not be written: Read-only file system", true},
    };
    for (const auto& c : cases) {
        app_->Handle(Post("/api/calls/" + std::to_string(line1_) + "/unprotect", alice));
        c.faults->FailOn(1);
        const WebResponse response = app_->Handle(Post(path, alice));
        EXPECT_EQ(response.status, 500) << c.what;
        EXPECT_EQ(Body(response)["error"], c.says) << c.what;
        EXPECT_EQ(custody_.Hold(Path("a0000001.mp3")).state == HoldState::kHeld, c.heldAfter) << c.what;
    }
}

TEST_F(WebAppTest, SearchShowsTheHoldListAsItIsNowAndAnUnreadableListAsAHold) {
    const Login alice = As("alice");
    // Protected by another program: the index has not read the folder again yet.
    custody_.SetProtected(Path("a0000001.mp3"), true, "someone");
    custody_.BreakHoldList(Path("b0000001.mp3"));
    const Json found = Body(app_->Handle(Get("/api/calls", alice)));
    std::map<std::string, std::pair<bool, std::string>> shown;
    for (const Json& call : found["calls"]) shown[call["number"]] = {call["protected"], call["holdProblem"]};
    EXPECT_EQ(shown["5551234"], std::make_pair(true, std::string()));
    EXPECT_EQ(shown["0123456"].first, true);
    EXPECT_NE(shown["0123456"].second.find("protected.list: Permission denied"), std::string::npos);
}

TEST_F(WebAppTest, WrongPasswordIsRefusedCountedAndLogged) {
    const WebResponse response = LogIn("bob", "guess");
    EXPECT_EQ(response.status, 401);
    EXPECT_EQ(response.FindHeader("Set-Cookie"), nullptr);
    EXPECT_TRUE(log_.Contains("failed log-in for \"bob\" from 192.0.2.10 (1 in a row)"));
}

TEST_F(WebAppTest, UnknownNameCostsAPasswordCheckLikeAKnownOne) {
    const int before = passwords_.Verifications();
    EXPECT_EQ(LogIn("mallory", "guess").status, 401);
    EXPECT_EQ(passwords_.Verifications(), before + 1);
}

TEST_F(WebAppTest, RepeatedFailuresAreHeldBackWithoutCheckingThePassword) {
    for (int i = 0; i < 6; ++i) EXPECT_EQ(LogIn("bob", "guess" + std::to_string(i)).status, 401);
    const int checked = passwords_.Verifications();
    const WebResponse held = LogIn("bob", "secret-b");
    EXPECT_EQ(held.status, 429);
    EXPECT_EQ(*held.FindHeader("Retry-After"), "1");
    EXPECT_EQ(passwords_.Verifications(), checked);
    clock_.AdvanceMs(1000);
    const WebResponse in = LogIn("bob", "secret-b");
    ASSERT_EQ(in.status, 200);
    EXPECT_EQ(Body(in)["failedAttempts"], 6);
}

TEST_F(WebAppTest, LogInFromAnotherSiteIsRefused) {
    WebRequest request = Post("/api/login", {}, {{"name", "bob"}, {"password", "secret-b"}});
    request.origin = "https://evil.example";
    EXPECT_EQ(app_->Handle(request).status, 403);
}

TEST_F(WebAppTest, ChangedPasswordOrRemovedAccountEndsItsSessions) {
    const Login bob = As("bob");
    ASSERT_EQ(app_->Handle(Get("/api/session", bob)).status, 200);
    UserList changed;
    changed.users.push_back(WebUser{"bob", Role::kListener, {"Line 1"}, "fake:new"});
    users_.Set(changed);
    EXPECT_EQ(app_->Handle(Get("/api/session", bob)).status, 401);
    users_.Set(UserList{});
    EXPECT_EQ(LogIn("bob", "new").status, 401);
}

TEST_F(WebAppTest, ListenerRightsFollowTheUsersFileAtOnce) {
    const Login bob = As("bob");
    UserList more;
    more.users.push_back(WebUser{"bob", Role::kListener, {"Line 1", "Line 2"}, "fake:secret-b"});
    users_.Set(more);
    EXPECT_EQ(app_->Handle(Get("/api/calls/" + std::to_string(line2_), bob)).status, 200);
}

TEST_F(WebAppTest, UnreadableUsersFileLetsNobodyIn) {
    users_.Break();
    EXPECT_EQ(LogIn("alice", "secret-a").status, 503);
}

TEST_F(WebAppTest, IdleSessionExpires) {
    const Login bob = As("bob");
    clock_.AdvanceMs(30 * 60'000);
    EXPECT_EQ(app_->Handle(Get("/api/session", bob)).status, 401);
    EXPECT_EQ(app_->Handle(Get("/calls", bob)).status, 303);
}

TEST_F(WebAppTest, LogoutEndsTheSessionAndClearsTheCookie) {
    const Login bob = As("bob");
    const WebResponse out = app_->Handle(Post("/api/logout", bob));
    ASSERT_EQ(out.status, 200);
    EXPECT_NE(out.FindHeader("Set-Cookie")->find("Max-Age=0"), std::string::npos);
    EXPECT_EQ(app_->Handle(Get("/api/session", bob)).status, 401);
}

TEST_F(WebAppTest, RecordersShowNoStatusYetAndAListenerOnlyItsLines) {
    recorders_.SetNames("/var/lib/pell/recorder", {"Line 1", "Line 2"});
    recorders_.SetNames("/srv/other-recorder", {"Fax", "Night line"});
    const Json absent = Body(app_->Handle(Get("/api/recorders", As("alice"))));
    ASSERT_EQ(absent["recorders"].size(), 2u);
    EXPECT_EQ(absent["recorders"][0]["presence"], "absent");
    const int64_t now = static_cast<int64_t>(ToTimeT(clock_.Now()));
    recorders_.SetStatus("/var/lib/pell/recorder",
                         StatusFile{true,
                                    R"({"lines": [{"line": 1, "state": "recording"}, {"line": 2, "state": "idle",
                                        "last_call": {"number": "0123456"}}], "alarms": ["box missing"]})",
                                    now, ""});
    const Json mine = Body(app_->Handle(Get("/api/recorders", As("bob"))));
    ASSERT_EQ(mine["recorders"].size(), 1u) << mine.dump();
    const Json& recorder = mine["recorders"][0];
    EXPECT_EQ(recorder["folder"], "");
    ASSERT_EQ(recorder["lines"].size(), 1u);
    EXPECT_EQ(recorder["lines"][0]["description"], "Line 1");
    EXPECT_EQ(recorder["lines"][0]["state"], "recording");
    EXPECT_EQ(recorder["alarms"][0]["message"], "box missing");
    EXPECT_EQ(mine.dump().find("0123456"), std::string::npos);
}

TEST_F(WebAppTest, AssetAnswersItsTagWithNotModified) {
    WebRequest request = Get("/static/app.css");
    request.ifNoneMatch = "\"css1\"";
    EXPECT_EQ(app_->Handle(request).status, 304);
    EXPECT_EQ(app_->Handle(Get("/static/login.html")).status, 404);  // pages only under their own address
}

TEST_F(WebAppTest, WrongMethodNamesTheAllowedOnes) {
    WebRequest request = Get("/api/calls/1/audio", As("alice"));
    request.method = "DELETE";
    const WebResponse response = app_->Handle(request);
    EXPECT_EQ(response.status, 405);
    EXPECT_EQ(*response.FindHeader("Allow"), "GET, HEAD");
}

}  // namespace
}  // namespace pell::web
