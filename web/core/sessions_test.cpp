#include "web/core/sessions.h"

#include <gtest/gtest.h>

#include <set>

#include "testsupport/manual_clock.h"
#include "web/core/testing/web_fakes.h"

namespace pell::web {
namespace {

class SessionsTest : public testing::Test {
protected:
    ManualClock clock_;
    test::CountingRandom random_;
    SessionLimits limits_{.idleMs = 30 * 60'000, .lifetimeMs = 12 * 3'600'000, .maxSessions = 50, .maxPerUser = 3};
    SessionStore store_{clock_, random_, limits_};
};

TEST_F(SessionsTest, TokensAre64HexDigitsAndDistinct) {
    std::set<std::string> seen;
    for (int i = 0; i < 3; ++i) {
        const Session s = store_.Create("alice", "h");
        EXPECT_EQ(s.token.size(), 64u);
        EXPECT_EQ(s.token.find_first_not_of("0123456789abcdef"), std::string::npos);
        EXPECT_NE(s.token, s.csrfToken);
        EXPECT_TRUE(seen.insert(s.token).second);
    }
}

TEST_F(SessionsTest, TokenFindsItsSessionAndAChangedDigitDoesNot) {
    const Session s = store_.Create("alice", "h");
    ASSERT_TRUE(store_.Use(s.token).has_value());
    EXPECT_EQ(store_.Use(s.token)->userName, "alice");
    std::string forged = s.token;
    forged.back() = forged.back() == '0' ? '1' : '0';  // same selector, wrong rest
    EXPECT_FALSE(store_.Use(forged).has_value());
    EXPECT_FALSE(store_.Use(s.token.substr(0, 32)).has_value());
    EXPECT_FALSE(store_.Use("").has_value());
}

TEST_F(SessionsTest, IdleSessionEndsAndUseKeepsOneAlive) {
    const Session kept = store_.Create("alice", "h");
    const Session idle = store_.Create("bob", "h");
    for (int i = 0; i < 4; ++i) {
        clock_.AdvanceMs(20 * 60'000);
        EXPECT_TRUE(store_.Use(kept.token).has_value()) << "after " << (i + 1) * 20 << " minutes";
    }
    EXPECT_FALSE(store_.Use(idle.token).has_value());
}

TEST_F(SessionsTest, SessionEndsAtItsLifetimeWhateverItsUse) {
    const Session s = store_.Create("alice", "h");
    for (int minutes = 10; minutes < 12 * 60; minutes += 10) {
        clock_.AdvanceMs(10 * 60'000);
        ASSERT_TRUE(store_.Use(s.token).has_value()) << minutes;
    }
    clock_.AdvanceMs(10 * 60'000);
    EXPECT_FALSE(store_.Use(s.token).has_value());
}

TEST_F(SessionsTest, LogoutAndEndUserEndSessions) {
    const Session a = store_.Create("alice", "h");
    const Session a2 = store_.Create("alice", "h");
    const Session b = store_.Create("bob", "h");
    store_.End(a.token);
    EXPECT_FALSE(store_.Use(a.token).has_value());
    EXPECT_TRUE(store_.Use(a2.token).has_value());
    store_.EndUser("alice");
    EXPECT_FALSE(store_.Use(a2.token).has_value());
    EXPECT_TRUE(store_.Use(b.token).has_value());
}

TEST_F(SessionsTest, PerUserAndTotalLimitsDropTheLeastRecentlyUsed) {
    const Session first = store_.Create("alice", "h");
    clock_.AdvanceMs(1);
    const Session second = store_.Create("alice", "h");
    clock_.AdvanceMs(1);
    store_.Use(first.token);
    store_.Create("alice", "h");
    store_.Create("alice", "h");  // a fourth: the least recently used (second) goes
    EXPECT_TRUE(store_.Use(first.token).has_value());
    EXPECT_FALSE(store_.Use(second.token).has_value());
    for (int i = 0; i < 100; ++i) store_.Create("user" + std::to_string(i), "h");
    EXPECT_EQ(store_.Count(), 50u);
}

TEST_F(SessionsTest, PruneDropsExpiredSessions) {
    store_.Create("alice", "h");
    store_.Create("bob", "h");
    clock_.AdvanceMs(31 * 60'000);
    store_.Prune();
    EXPECT_EQ(store_.Count(), 0u);
}

TEST(SameTokenTest, ComparesWholeTokens) {
    EXPECT_TRUE(SessionStore::SameToken("abc", "abc"));
    EXPECT_FALSE(SessionStore::SameToken("abc", "abd"));
    EXPECT_FALSE(SessionStore::SameToken("abc", "ab"));
    EXPECT_FALSE(SessionStore::SameToken("", "a"));
}

}  // namespace
}  // namespace pell::web
