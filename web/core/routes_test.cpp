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
    if (c.outcome == Outcome::Found) {
        EXPECT_EQ(match.route->id, c.id) << c.path;
        EXPECT_EQ(match.callId, c.callId) << c.path;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, RouteTest,
    testing::Values(RouteCase{"GET", "/", Outcome::Found, RouteId::Home, 0},
                    RouteCase{"HEAD", "/calls", Outcome::Found, RouteId::CallsPage, 0},
                    RouteCase{"GET", "/api/calls", Outcome::Found, RouteId::Search, 0},
                    RouteCase{"GET", "/api/calls/42", Outcome::Found, RouteId::Call, 42},
                    RouteCase{"GET", "/api/calls/42/audio", Outcome::Found, RouteId::Audio, 42},
                    RouteCase{"GET", "/api/calls/900000000000000000/download", Outcome::Found, RouteId::Download,
                              900000000000000000},
                    RouteCase{"POST", "/api/calls/3/bookmark", Outcome::Found, RouteId::Bookmark, 3},
                    RouteCase{"GET", "/static/app.js", Outcome::Found, RouteId::Asset, 0},
                    RouteCase{"POST", "/api/calls/42/audio", Outcome::WrongMethod, RouteId::Audio, 0},
                    RouteCase{"GET", "/api/calls/3/bookmark", Outcome::WrongMethod, RouteId::Bookmark, 0},
                    RouteCase{"DELETE", "/api/calls/3", Outcome::WrongMethod, RouteId::Call, 0},
                    RouteCase{"GET", "/api/calls/0042/audio", Outcome::NoSuchPath, RouteId::Audio, 0},
                    RouteCase{"GET", "/api/calls/-1/audio", Outcome::NoSuchPath, RouteId::Audio, 0},
                    RouteCase{"GET", "/api/calls/1e3/audio", Outcome::NoSuchPath, RouteId::Audio, 0},
                    RouteCase{"GET", "/api/calls/9999999999999999999/audio", Outcome::NoSuchPath, RouteId::Audio, 0},
                    RouteCase{"GET", "/api/calls/42/audio/", Outcome::NoSuchPath, RouteId::Audio, 0},
                    RouteCase{"GET", "/api/calls/42/../../etc/passwd", Outcome::NoSuchPath, RouteId::Audio, 0},
                    RouteCase{"GET", "/static/../web.ini", Outcome::NoSuchPath, RouteId::Asset, 0},
                    RouteCase{"GET", "/static/..", Outcome::NoSuchPath, RouteId::Asset, 0},
                    RouteCase{"GET", "/static/.htaccess", Outcome::NoSuchPath, RouteId::Asset, 0},
                    RouteCase{"GET", "/static/a/b.js", Outcome::NoSuchPath, RouteId::Asset, 0},
                    RouteCase{"GET", "/static/", Outcome::NoSuchPath, RouteId::Asset, 0},
                    RouteCase{"GET", "/etc/passwd", Outcome::NoSuchPath, RouteId::Asset, 0},
                    RouteCase{"GET", "//calls", Outcome::NoSuchPath, RouteId::Asset, 0}));

TEST(RouteTableTest, EveryChangeNeedsTheFormTokenAndEveryGetNone) {
    for (const RouteSpec& route : RouteTable()) {
        if (route.id == RouteId::Login) continue;  // before a session there is no token; the origin is checked
        EXPECT_EQ(route.method == "POST", route.needs == Needs::Change) << route.pattern;
    }
}

TEST(RouteTableTest, OnlyTheLogInAndItsFilesAreReachableWithoutASession) {
    for (const RouteSpec& route : RouteTable()) {
        const bool open = route.id == RouteId::Home || route.id == RouteId::LoginPage || route.id == RouteId::Asset ||
                          route.id == RouteId::Login;
        EXPECT_EQ(route.needs == Needs::Nothing, open) << route.pattern;
    }
}

TEST(RouteTableTest, WrongMethodNamesTheMethodsThePathTakes) {
    EXPECT_EQ(MatchRoute("PUT", "/api/calls/1").allow, "GET, HEAD");
    EXPECT_EQ(MatchRoute("GET", "/api/login").allow, "POST");
}

}  // namespace
}  // namespace pell::web
