#include "web/core/routes.h"

#include <gtest/gtest.h>

namespace pell::web {
namespace {

using Outcome = RouteMatch::Outcome;

struct RouteCase {
    const char* method;
    const char* path;
    Outcome outcome;
    RouteId id;
    int64_t callId;
};

class RouteTest : public testing::TestWithParam<RouteCase> {};

TEST_P(RouteTest, PathAndMethodChooseOneRouteOrNone) {
    const RouteCase& c = GetParam();
    const RouteMatch match = MatchRoute(c.method, c.path);
    ASSERT_EQ(match.outcome, c.outcome) << c.method << " " << c.path;
    if (c.outcome == Outcome::kFound) {
        EXPECT_EQ(match.route->id, c.id) << c.path;
        EXPECT_EQ(match.callId, c.callId) << c.path;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, RouteTest,
    testing::Values(RouteCase{"GET", "/", Outcome::kFound, RouteId::kHome, 0},
                    RouteCase{"HEAD", "/calls", Outcome::kFound, RouteId::kCallsPage, 0},
                    RouteCase{"GET", "/api/calls", Outcome::kFound, RouteId::kSearch, 0},
                    RouteCase{"GET", "/api/calls/42", Outcome::kFound, RouteId::kCall, 42},
                    RouteCase{"GET", "/api/calls/42/audio", Outcome::kFound, RouteId::kAudio, 42},
                    RouteCase{"GET", "/api/calls/900000000000000000/download", Outcome::kFound, RouteId::kDownload,
                              900000000000000000},
                    RouteCase{"POST", "/api/calls/3/bookmark", Outcome::kFound, RouteId::kBookmark, 3},
                    RouteCase{"GET", "/static/app.js", Outcome::kFound, RouteId::kAsset, 0},
                    RouteCase{"POST", "/api/calls/42/audio", Outcome::kWrongMethod, RouteId::kAudio, 0},
                    RouteCase{"GET", "/api/calls/3/bookmark", Outcome::kWrongMethod, RouteId::kBookmark, 0},
                    RouteCase{"DELETE", "/api/calls/3", Outcome::kWrongMethod, RouteId::kCall, 0},
                    RouteCase{"GET", "/api/calls/0042/audio", Outcome::kNoSuchPath, RouteId::kAudio, 0},
                    RouteCase{"GET", "/api/calls/-1/audio", Outcome::kNoSuchPath, RouteId::kAudio, 0},
                    RouteCase{"GET", "/api/calls/1e3/audio", Outcome::kNoSuchPath, RouteId::kAudio, 0},
                    RouteCase{"GET", "/api/calls/9999999999999999999/audio", Outcome::kNoSuchPath, RouteId::kAudio, 0},
                    RouteCase{"GET", "/api/calls/42/audio/", Outcome::kNoSuchPath, RouteId::kAudio, 0},
                    RouteCase{"GET", "/api/calls/42/../../etc/passwd", Outcome::kNoSuchPath, RouteId::kAudio, 0},
                    RouteCase{"GET", "/static/../web.ini", Outcome::kNoSuchPath, RouteId::kAsset, 0},
                    RouteCase{"GET", "/static/..", Outcome::kNoSuchPath, RouteId::kAsset, 0},
                    RouteCase{"GET", "/static/.htaccess", Outcome::kNoSuchPath, RouteId::kAsset, 0},
                    RouteCase{"GET", "/static/a/b.js", Outcome::kNoSuchPath, RouteId::kAsset, 0},
                    RouteCase{"GET", "/static/", Outcome::kNoSuchPath, RouteId::kAsset, 0},
                    RouteCase{"GET", "/etc/passwd", Outcome::kNoSuchPath, RouteId::kAsset, 0},
                    RouteCase{"GET", "//calls", Outcome::kNoSuchPath, RouteId::kAsset, 0}));

TEST(RouteTableTest, EveryChangeNeedsTheFormTokenAndEveryGetNone) {
    for (const RouteSpec& route : RouteTable()) {
        if (route.id == RouteId::kLogin) continue;  // before a session there is no token; the origin is checked
        EXPECT_EQ(route.method == "POST", route.needs == Needs::kChange) << route.pattern;
    }
}

TEST(RouteTableTest, OnlyTheLogInAndItsFilesAreReachableWithoutASession) {
    for (const RouteSpec& route : RouteTable()) {
        const bool open = route.id == RouteId::kHome || route.id == RouteId::kLoginPage ||
                          route.id == RouteId::kAsset || route.id == RouteId::kLogin;
        EXPECT_EQ(route.needs == Needs::kNothing, open) << route.pattern;
    }
}

TEST(RouteTableTest, WrongMethodNamesTheMethodsThePathTakes) {
    EXPECT_EQ(MatchRoute("PUT", "/api/calls/1").allow, "GET, HEAD");
    EXPECT_EQ(MatchRoute("GET", "/api/login").allow, "POST");
}

}  // namespace
}  // namespace pell::web
