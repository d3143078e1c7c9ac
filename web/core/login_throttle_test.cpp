#include "web/core/login_throttle.h"

#include <gtest/gtest.h>

#include "testsupport/manual_clock.h"

namespace pell::web {
namespace {

struct WaitCase {
    int failures;    // in a row for one name, one second apart... all at once here
    int64_t waitMs;  // what the next try must wait right after them
};

class ThrottleWaitTest : public testing::TestWithParam<WaitCase> {};

TEST_P(ThrottleWaitTest, WaitDoublesAfterTheFreeFailuresUpToItsCeiling) {
    ManualClock clock;
    LoginThrottle throttle(clock);
    for (int i = 0; i < GetParam().failures; ++i) {
        // Each address on its own, so only the name's count grows.
        throttle.Failed("alice", "10.0.0." + std::to_string(i));
    }
    const ThrottleVerdict verdict = throttle.Check("alice", "10.9.9.9");
    EXPECT_EQ(verdict.allowed, GetParam().waitMs == 0);
    EXPECT_EQ(verdict.retryAfterMs, GetParam().waitMs);
}

INSTANTIATE_TEST_SUITE_P(Table, ThrottleWaitTest,
                         testing::Values(WaitCase{0, 0}, WaitCase{4, 0}, WaitCase{5, 0}, WaitCase{6, 1000},
                                         WaitCase{7, 2000}, WaitCase{8, 4000}, WaitCase{10, 16'000},
                                         WaitCase{15, 512'000}, WaitCase{16, 900'000}, WaitCase{40, 900'000}));

TEST(ThrottleTest, WaitRunsOutWithTime) {
    ManualClock clock;
    LoginThrottle throttle(clock);
    for (int i = 0; i < 7; ++i) throttle.Failed("alice", "a" + std::to_string(i));
    clock.AdvanceMs(1999);
    EXPECT_FALSE(throttle.Check("alice", "b").allowed);
    EXPECT_EQ(throttle.Check("alice", "b").retryAfterMs, 1);
    clock.AdvanceMs(1);
    EXPECT_TRUE(throttle.Check("alice", "b").allowed);
}

TEST(ThrottleTest, OneAddressTryingManyNamesIsHeldBack) {
    ManualClock clock;
    LoginThrottle throttle(clock);
    for (int i = 0; i < 21; ++i) throttle.Failed("user" + std::to_string(i), "203.0.113.9");
    EXPECT_FALSE(throttle.Check("someone-new", "203.0.113.9").allowed);
    EXPECT_TRUE(throttle.Check("someone-new", "198.51.100.1").allowed);
}

TEST(ThrottleTest, SuccessClearsTheNameAndReportsItsFailures) {
    ManualClock clock;
    LoginThrottle throttle(clock);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(throttle.Failed("alice", "a"), i + 1);
    EXPECT_EQ(throttle.Succeeded("alice"), 3);
    EXPECT_EQ(throttle.Succeeded("alice"), 0);
    EXPECT_EQ(throttle.Failed("alice", "a"), 1);
}

TEST(ThrottleTest, FailuresFadeAfterAnHourOfQuiet) {
    ManualClock clock;
    LoginThrottle throttle(clock);
    for (int i = 0; i < 9; ++i) throttle.Failed("alice", "a");
    clock.AdvanceMs(3'600'000);
    EXPECT_TRUE(throttle.Check("alice", "a").allowed);
    EXPECT_EQ(throttle.Failed("alice", "a"), 1);
}

TEST(ThrottleTest, KeysAreBoundedSoAFloodOfNamesCannotFillMemory) {
    ManualClock clock;
    ThrottleLimits limits;
    limits.maxKeys = 100;
    LoginThrottle throttle(clock, limits);
    for (int i = 0; i < 1000; ++i) {
        throttle.Failed("user" + std::to_string(i), "a" + std::to_string(i));
        clock.AdvanceMs(1);
    }
    // The newest are still known: user999's one failure is remembered.
    EXPECT_EQ(throttle.Failed("user999", "x"), 2);
}

TEST(ThrottleTest, ClockWrapDoesNotForgiveAWait) {
    ManualClock clock({}, 0xFFFFFF00u);
    LoginThrottle throttle(clock);
    for (int i = 0; i < 10; ++i) throttle.Failed("alice", "a" + std::to_string(i));
    clock.AdvanceMs(0x200);  // the 32-bit tick wraps
    EXPECT_FALSE(throttle.Check("alice", "b").allowed);
}

}  // namespace
}  // namespace pell::web
