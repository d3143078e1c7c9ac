#include "index/core/filed_call_feed.h"

#include <gtest/gtest.h>

#include <atomic>

namespace pell {
namespace {

using namespace std::chrono_literals;

// An index that is down for the first `failures` adds, recording what reached it.
struct FlakyIndex {
    std::mutex mutex;
    int failures = 0;
    StoreStatus::Code code = StoreStatus::Code::kUnavailable;
    std::vector<std::string> added;
    std::vector<std::vector<std::string>> reconciled;

    FiledCallFeed::Add Add() {
        return [this](const std::string&, const std::string& path) {
            const std::lock_guard<std::mutex> lock(mutex);
            if (failures > 0) {
                --failures;
                return StoreStatus::Failure(code, "server down");
            }
            if (path.find("bad") != std::string::npos) return StoreStatus::Failure(StoreStatus::Code::kInvalid, "bad");
            added.push_back(path);
            return StoreStatus::Success();
        };
    }
    FiledCallFeed::Reconcile Reconcile() {
        return [this](const std::vector<std::string>& roots) {
            const std::lock_guard<std::mutex> lock(mutex);
            reconciled.push_back(roots);
            return StoreStatus::Success();
        };
    }
};

const FiledCallFeed::Options kFast{100, 1ms, 4ms};

TEST(FiledCallFeedTest, CallsReachTheIndexInTheOrderFiled) {
    FlakyIndex index;
    FiledCallFeed feed(index.Add(), index.Reconcile(), kFast);
    for (int i = 0; i < 20; ++i) feed.Filed("/rec", "/rec/01.01.2026/a" + std::to_string(i) + ".mp3");
    ASSERT_TRUE(feed.Flush(5s));
    ASSERT_EQ(index.added.size(), 20u);
    EXPECT_EQ(index.added.front(), "/rec/01.01.2026/a0.mp3");
    EXPECT_EQ(index.added.back(), "/rec/01.01.2026/a19.mp3");
    EXPECT_TRUE(index.reconciled.empty());
    EXPECT_EQ(feed.Counts().added, 20u);
}

struct OutageCase {
    const char* name;
    int failures;
    StoreStatus::Code code;
};

class FiledCallFeedOutageTest : public testing::TestWithParam<OutageCase> {};

TEST_P(FiledCallFeedOutageTest, AfterAnOutageEveryCallArrivesAndItsRootIsReconciled) {
    FlakyIndex index;
    index.failures = GetParam().failures;
    index.code = GetParam().code;
    FiledCallFeed feed(index.Add(), index.Reconcile(), kFast);
    feed.Filed("/rec1", "/rec1/01.01.2026/a1.mp3");
    feed.Filed("/rec2", "/rec2/01.01.2026/b1.mp3");
    ASSERT_TRUE(feed.Flush(10s));
    EXPECT_EQ(index.added, (std::vector<std::string>{"/rec1/01.01.2026/a1.mp3", "/rec2/01.01.2026/b1.mp3"}));
    ASSERT_EQ(index.reconciled.size(), 1u);
    EXPECT_EQ(index.reconciled[0][0], "/rec1");
}

INSTANTIATE_TEST_SUITE_P(Outages, FiledCallFeedOutageTest,
                         testing::Values(OutageCase{"one", 1, StoreStatus::Code::kUnavailable},
                                         OutageCase{"several", 6, StoreStatus::Code::kUnavailable},
                                         OutageCase{"failed", 2, StoreStatus::Code::kFailed}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FiledCallFeedTest, RecordingOutsideADayFolderIsRefusedOnceNotRetried) {
    FlakyIndex index;
    FiledCallFeed feed(index.Add(), index.Reconcile(), kFast);
    feed.Filed("/rec", "/rec/bad.mp3");
    feed.Filed("/rec", "/rec/01.01.2026/a1.mp3");
    ASSERT_TRUE(feed.Flush(5s));
    EXPECT_EQ(feed.Counts().refused, 1u);
    EXPECT_EQ(index.added.size(), 1u);
}

TEST(FiledCallFeedTest, TooManyWaitingDropsTheOldestAndReconcilesTheirRoot) {
    FlakyIndex index;
    index.failures = 1'000'000;
    FiledCallFeed::Options options = kFast;
    options.maxPending = 3;
    FiledCallFeed feed(index.Add(), index.Reconcile(), options);
    for (int i = 0; i < 10; ++i) feed.Filed("/rec", "/rec/01.01.2026/a" + std::to_string(i) + ".mp3");
    EXPECT_GE(feed.Counts().dropped, 6u);
    {
        const std::lock_guard<std::mutex> lock(index.mutex);
        index.failures = 0;
    }
    ASSERT_TRUE(feed.Flush(10s));
    EXPECT_LE(index.added.size(), 4u);
    EXPECT_EQ(index.added.back(), "/rec/01.01.2026/a9.mp3");
    ASSERT_FALSE(index.reconciled.empty());
    EXPECT_EQ(index.reconciled.back(), (std::vector<std::string>{"/rec"}));
}

TEST(FiledCallFeedTest, StopsPromptlyWhileWaitingToRetry) {
    FlakyIndex index;
    index.failures = 1'000'000;
    const auto start = std::chrono::steady_clock::now();
    {
        FiledCallFeed feed(index.Add(), index.Reconcile(), FiledCallFeed::Options{10, 60s, 60s});
        feed.Filed("/rec", "/rec/01.01.2026/a1.mp3");
        std::this_thread::sleep_for(20ms);
        EXPECT_FALSE(feed.Flush(1ms));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
}

}  // namespace
}  // namespace pell
