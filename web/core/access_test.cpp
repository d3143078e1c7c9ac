#include "web/core/access.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>

namespace pell::web {
namespace {

const WebUser kAdmin{"ada", Role::kAdmin, {}, "h"};
const WebUser kListener{"lee", Role::kListener, {"Line 1", "Sales"}, "h"};

TEST(AccessRulesTest, TableNamesEveryRoleAndActionExactlyOnce) {
    std::set<std::pair<int, int>> seen;
    for (const AccessRule& rule : AccessRules()) {
        EXPECT_TRUE(seen.insert({static_cast<int>(rule.role), static_cast<int>(rule.action)}).second)
            << "role " << static_cast<int>(rule.role) << " action " << static_cast<int>(rule.action) << " twice";
    }
    EXPECT_EQ(seen.size(), 2u * (static_cast<std::size_t>(Action::kSeeAllRecorders) + 1));
}

struct RightCase {
    Role role;
    Action action;
    bool allowed;
};

class RoleRightsTest : public testing::TestWithParam<RightCase> {};

TEST_P(RoleRightsTest, ListenerMayListenDownloadAndBookmarkOnlyAdminMayHoldAndSeeEveryRecorder) {
    EXPECT_EQ(RoleMay(GetParam().role, GetParam().action), GetParam().allowed);
}

INSTANTIATE_TEST_SUITE_P(Table, RoleRightsTest,
                         testing::Values(RightCase{Role::kListener, Action::kSearchCalls, true},
                                         RightCase{Role::kListener, Action::kListen, true},
                                         RightCase{Role::kListener, Action::kDownload, true},
                                         RightCase{Role::kListener, Action::kBookmark, true},
                                         RightCase{Role::kListener, Action::kProtect, false},
                                         RightCase{Role::kListener, Action::kSeeRecorders, true},
                                         RightCase{Role::kListener, Action::kSeeAllRecorders, false},
                                         RightCase{Role::kAdmin, Action::kProtect, true},
                                         RightCase{Role::kAdmin, Action::kSeeAllRecorders, true},
                                         RightCase{Role::kAdmin, Action::kDownload, true}));

CallRecord Call(const std::string& root, const std::string& line) {
    CallRecord call;
    call.id = 7;
    call.root = root;
    call.folder = "06.12.2026";
    call.facts.name = "a0000001.mp3";
    call.facts.line = line;
    return call;
}

struct ReachCase {
    const char* name;
    const WebUser* user;
    std::string root;
    std::string line;
    bool reached;
};

class ReachTest : public testing::TestWithParam<ReachCase> {};

TEST_P(ReachTest, CallIsReachedOnlyInAServedRootAndOnTheUsersLines) {
    const ReachCase& c = GetParam();
    EXPECT_EQ(MayReachCall(*c.user, Call(c.root, c.line), {"/srv/rec1/", "/srv/rec2"}), c.reached) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReachTest,
    testing::Values(ReachCase{"own line", &kListener, "/srv/rec1", "Line 1", true},
                    ReachCase{"own line in other letter case", &kListener, "/srv/rec2", "LINE 1", true},
                    ReachCase{"second own line", &kListener, "/srv/rec1", "Sales", true},
                    ReachCase{"another line", &kListener, "/srv/rec1", "Line 2", false},
                    ReachCase{"line whose name begins like an own one", &kListener, "/srv/rec1", "Line 10", false},
                    ReachCase{"empty line", &kListener, "/srv/rec1", "", false},
                    ReachCase{"root not served", &kListener, "/srv/other", "Line 1", false},
                    ReachCase{"root trailing slash matches", &kAdmin, "/srv/rec2/", "Line 2", true},
                    ReachCase{"admin any line", &kAdmin, "/srv/rec1", "Line 2", true},
                    ReachCase{"admin, root not served", &kAdmin, "/srv/other", "Line 2", false}),
    [](const testing::TestParamInfo<ReachCase>& info) {
        std::string name = info.param.name;
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        }
        return name;
    });

TEST(SearchLinesTest, ListenerAskingForNothingGetsItsOwnLines) {
    EXPECT_EQ(SearchLines(kListener, std::nullopt), (std::vector<std::string>{"Line 1", "Sales"}));
}

TEST(SearchLinesTest, ListenerAskingForOtherLinesGetsAnEmptyListThatMatchesNothing) {
    const auto lines = SearchLines(kListener, std::vector<std::string>{"Line 2", "line 3"});
    ASSERT_TRUE(lines.has_value());
    EXPECT_TRUE(lines->empty());
}

TEST(SearchLinesTest, ListenerRequestIsCutToItsOwnLines) {
    EXPECT_EQ(SearchLines(kListener, std::vector<std::string>{"Line 2", "sales"}), (std::vector<std::string>{"sales"}));
}

TEST(SearchLinesTest, AdminRequestStandsAsAsked) {
    EXPECT_EQ(SearchLines(kAdmin, std::nullopt), std::nullopt);
    EXPECT_EQ(SearchLines(kAdmin, std::vector<std::string>{"Line 2"}), (std::vector<std::string>{"Line 2"}));
}

}  // namespace
}  // namespace pell::web
