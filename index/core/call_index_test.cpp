#include "index/core/call_index.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

#include "custody/core/hold_list.h"
#include "custody/core/manifest.h"
#include "custody/core/testing/fake_custody_files.h"
#include "index/core/testing/fake_call_files.h"
#include "index/core/testing/memory_call_store.h"
#include "player/catalogue/catalogue_test_support.h"
#include "testsupport/manual_clock.h"

namespace pell {
namespace {

using test::FakeCallFiles;
using test::MemoryCallStore;

// 12:00 UTC on 10 March 2026, and the seconds of a day.
constexpr int64_t kNow = 1'773'144'000;
constexpr int64_t kDay = 86'400;

std::string Recording(const std::string& number, int seconds, const std::string& bookmark = "", uint8_t played = 0) {
    return test::Layer3Audio(seconds) + test::TagString(test::RecorderTag(number, "Line 1", 'I', played, bookmark));
}

class RefreshTest : public testing::Test {
protected:
    RefreshTest() : clock_(MakeLocal(2026, 3, 10, 12, 0, 0)), index_(store_, files_, clock_) {
        // Three days: two long settled, one today (still being written to).
        files_.Write("/rec/01.03.2026/a0000001.mp3", Recording("0171555001", 60), kNow - 9 * kDay);
        files_.Write("/rec/01.03.2026/a0000002.mp3", Recording("0171555002", 30), kNow - 9 * kDay + 100);
        files_.Write("/rec/02.03.2026/a0000003.mp3", Recording("0171555003", 45), kNow - 8 * kDay);
        files_.Write("/rec/10.03.2026/a0000004.mp3", Recording("0171555004", 10), kNow - 60);
        files_.Write("/rec/10.03.2026/notes.txt", "not a recording", kNow - 60);
        files_.Write("/rec/misc/a0000009.mp3", Recording("999", 5), kNow - 60);
        settledAfterFirst_ = index_.Refresh({"/rec"}, Options());
    }

    RefreshOptions Options() const {
        RefreshOptions options;
        options.verifyBudgetFiles = budget_;
        return options;
    }

    std::vector<std::string> Numbers() const {
        std::vector<std::string> numbers;
        for (const CallRecord& call : store_.All()) numbers.push_back(call.facts.number);
        std::sort(numbers.begin(), numbers.end());
        return numbers;
    }

    const CallFacts* Facts(const std::string& name) const {
        static CallFacts found;
        for (const CallRecord& call : store_.All()) {
            if (call.facts.name == name) return &(found = call.facts);
        }
        return nullptr;
    }

    test::ScopedTimeZone utc_{test::kUtc};
    ManualClock clock_;
    MemoryCallStore store_;
    FakeCallFiles files_;
    CallIndex index_;
    std::size_t budget_ = 0;
    RefreshReport settledAfterFirst_;
};

TEST_F(RefreshTest, FirstBuildIndexesEveryRecordingInDayFoldersOnly) {
    EXPECT_EQ(settledAfterFirst_.outcome, RefreshReport::Outcome::kDone);
    EXPECT_EQ(settledAfterFirst_.added, 4u);
    EXPECT_EQ(Numbers(), (std::vector<std::string>{"0171555001", "0171555002", "0171555003", "0171555004"}));
    const CallFacts* call = Facts("a0000001.mp3");
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call->line, "Line 1");
    EXPECT_EQ(call->durationSeconds, 60);
    EXPECT_EQ(call->startTime, kNow - 9 * kDay - 60);
    EXPECT_EQ(call->direction, CallDirection::kIncoming);
    EXPECT_TRUE(store_.Folder("/rec", "01.03.2026")->settled);
    EXPECT_FALSE(store_.Folder("/rec", "10.03.2026")->settled);
}

struct ChangeCase {
    const char* name;
    std::function<void(FakeCallFiles&)> change;
    std::size_t added;
    std::size_t changed;
    std::size_t removed;
    std::vector<std::string> numbers;
    std::size_t budget = 0;
};

class RefreshChangeTest : public RefreshTest, public testing::WithParamInterface<ChangeCase> {};

TEST_P(RefreshChangeTest, FindsWhatChangedAndReadsOnlyThat) {
    budget_ = GetParam().budget;
    files_.ResetCounts();
    GetParam().change(files_);
    const int readsBefore = files_.Reads();
    const RefreshReport report = index_.Refresh({"/rec"}, Options());
    EXPECT_EQ(report.outcome, RefreshReport::Outcome::kDone);
    EXPECT_EQ(report.added, GetParam().added);
    EXPECT_EQ(report.changed, GetParam().changed);
    EXPECT_EQ(report.removed, GetParam().removed);
    EXPECT_EQ(files_.Reads() - readsBefore, static_cast<int>(GetParam().added + GetParam().changed));
    EXPECT_EQ(Numbers(), GetParam().numbers);
    // A second refresh finds nothing more.
    const RefreshReport again = index_.Refresh({"/rec"}, Options());
    EXPECT_EQ(again.added + again.changed + again.removed, 0u);
}

const std::vector<std::string> kAll = {"0171555001", "0171555002", "0171555003", "0171555004"};

INSTANTIATE_TEST_SUITE_P(
    Cases, RefreshChangeTest,
    testing::Values(
        ChangeCase{"nothing changed", [](FakeCallFiles&) {}, 0, 0, 0, kAll},
        ChangeCase{"new file in an old day",
                   [](FakeCallFiles& f) {
                       f.Write("/rec/02.03.2026/a0000005.mp3", Recording("0171555005", 20), kNow - 8 * kDay);
                   },
                   1,
                   0,
                   0,
                   {"0171555001", "0171555002", "0171555003", "0171555004", "0171555005"}},
        ChangeCase{
            "call filed a second ago",
            [](FakeCallFiles& f) { f.Write("/rec/10.03.2026/a0000005.mp3", Recording("0171555005", 20), kNow - 1); },
            1,
            0,
            0,
            {"0171555001", "0171555002", "0171555003", "0171555004", "0171555005"}},
        ChangeCase{"a new day",
                   [](FakeCallFiles& f) { f.Write("/rec/11.03.2026/a0000005.mp3", Recording("0171555005", 20), kNow); },
                   1,
                   0,
                   0,
                   {"0171555001", "0171555002", "0171555003", "0171555004", "0171555005"}},
        ChangeCase{"file grown while the recorder writes it",
                   [](FakeCallFiles& f) { f.Rewrite("/rec/10.03.2026/a0000004.mp3", Recording("0171555004", 50)); }, 0,
                   1, 0, kAll},
        ChangeCase{"tag changed by another player in a settled day",
                   [](FakeCallFiles& f) {
                       f.Rewrite("/rec/01.03.2026/a0000002.mp3", Recording("0171555002", 30, "refund", 1));
                   },
                   0, 1, 0, kAll, 100},
        ChangeCase{"file deleted",
                   [](FakeCallFiles& f) { f.Remove("/rec/02.03.2026/a0000003.mp3"); },
                   0,
                   0,
                   1,
                   {"0171555001", "0171555002", "0171555004"}},
        ChangeCase{"day folder removed by cleaning",
                   [](FakeCallFiles& f) { f.Remove("/rec/01.03.2026"); },
                   0,
                   0,
                   2,
                   {"0171555003", "0171555004"}}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        }
        return name;
    });

TEST_F(RefreshTest, TagChangeInASettledDayWaitsForTheCheckBudgetOrAFullCheck) {
    files_.Rewrite("/rec/01.03.2026/a0000002.mp3", Recording("0171555002", 30, "refund", 1));
    budget_ = 0;
    EXPECT_EQ(index_.Refresh({"/rec"}, Options()).changed, 0u);
    RefreshOptions full = Options();
    full.verifyAll = true;
    EXPECT_EQ(index_.Refresh({"/rec"}, full).changed, 1u);
    EXPECT_EQ(Facts("a0000002.mp3")->bookmark, "refund");
    EXPECT_TRUE(Facts("a0000002.mp3")->played);
}

TEST_F(RefreshTest, CheckBudgetVisitsTheLongestUncheckedDaysFirst) {
    files_.Rewrite("/rec/01.03.2026/a0000001.mp3", Recording("0171555001", 60, "first"));
    files_.Rewrite("/rec/02.03.2026/a0000003.mp3", Recording("0171555003", 45, "second"));
    budget_ = 1;
    clock_.Set(MakeLocal(2026, 3, 10, 12, 0, 1));
    const RefreshReport first = index_.Refresh({"/rec"}, Options());
    clock_.Set(MakeLocal(2026, 3, 10, 12, 0, 2));
    const RefreshReport second = index_.Refresh({"/rec"}, Options());
    EXPECT_EQ(first.changed + second.changed, 2u);
    EXPECT_EQ(Facts("a0000001.mp3")->bookmark, "first");
    EXPECT_EQ(Facts("a0000003.mp3")->bookmark, "second");
}

// The day folder's custody records as the recorder and pell-catalogue write them.
std::string ManifestOf(const std::string& name, int64_t startTime) {
    test::FakeCustodyFiles custody;
    custody.AddFolder("/d");
    EXPECT_EQ(RecordFiled(custody, "/d", FiledFacts{name, startTime, startTime + 60, "Line 1", "0171", 'I', 1},
                          AudioDigest{}),
              0);
    return custody.Read("/d/manifest.log").value_or("");
}

TEST_F(RefreshTest, HoldAndFiledStartTimeComeFromTheDayFolderAndOutliveARebuildAndACopy) {
    files_.Write("/rec/01.03.2026/protected.list", FormatHoldList({"a0000002.mp3"}), kNow - 50);
    files_.Write("/rec/01.03.2026/manifest.log", ManifestOf("a0000001.mp3", kNow - 9 * kDay - 75), kNow - 50);
    index_.Refresh({"/rec"}, Options());
    ASSERT_NE(Facts("a0000002.mp3"), nullptr);
    EXPECT_TRUE(Facts("a0000002.mp3")->isProtected);
    EXPECT_FALSE(Facts("a0000001.mp3")->isProtected);
    EXPECT_EQ(Facts("a0000001.mp3")->startTime, kNow - 9 * kDay - 75) << "the manifest's start, not the file's";
    EXPECT_EQ(Facts("a0000002.mp3")->startTime, kNow - 9 * kDay + 100 - 30) << "no manifest entry: the file's";

    // A new index over the same files, and over a copy of the root, holds the same calls.
    MemoryCallStore rebuilt;
    CallIndex fresh(rebuilt, files_, clock_);
    files_.Write("/copy/01.03.2026/a0000002.mp3", Recording("0171555002", 30), kNow);
    files_.Write("/copy/01.03.2026/protected.list", FormatHoldList({"a0000002.mp3"}), kNow);
    fresh.Refresh({"/rec", "/copy"}, Options());
    CallCriteria held;
    held.isProtected = true;
    const StoreResult<SearchPage> found = fresh.Search({"/rec", "/copy"}, held);
    ASSERT_TRUE(found.Ok());
    ASSERT_EQ(found.value.calls.size(), 2u);
    for (const CallRecord& call : found.value.calls) EXPECT_EQ(call.facts.name, "a0000002.mp3");

    // Releasing the hold rewrites the list, which the next refresh sees though the file is unchanged.
    files_.Remove("/rec/01.03.2026/protected.list");
    files_.Write("/rec/01.03.2026/protected.list", FormatHoldList({"a0000001.mp3"}), kNow);
    index_.Refresh({"/rec"}, Options());
    EXPECT_TRUE(Facts("a0000001.mp3")->isProtected);
    EXPECT_FALSE(Facts("a0000002.mp3")->isProtected);
    EXPECT_EQ(Facts("a0000001.mp3")->startTime, kNow - 9 * kDay - 75);
}

// A manifest of several filed recordings, each with its audio digest.
std::string ManifestWithAudio(const std::vector<std::pair<std::string, std::string>>& filed) {
    test::FakeCustodyFiles custody;
    custody.AddFolder("/d");
    for (const auto& [name, sha256] : filed) {
        EXPECT_EQ(RecordFiled(custody, "/d", FiledFacts{name, kNow - 120, kNow - 60, "Line 1", "0171", 'I', 1},
                              AudioDigest{sha256, 1}),
                  0);
    }
    return custody.Read("/d/manifest.log").value_or("");
}

TEST_F(RefreshTest, AudioHashIsTheManifestsAndFilledInWhenTheManifestComesAfterTheFile) {
    const std::string noted(64, 'b');  // not the hash of the bytes: the index takes it, never computes it
    EXPECT_TRUE(Facts("a0000004.mp3")->audioSha256.empty()) << "read before the recorder wrote its manifest";
    files_.Write("/rec/10.03.2026/manifest.log",
                 ManifestWithAudio({{"a0000004.mp3", noted}, {"a0000099.mp3", std::string(64, 'c')}}), kNow - 30);
    files_.ResetCounts();
    index_.Refresh({"/rec"}, Options());
    EXPECT_EQ(Facts("a0000004.mp3")->audioSha256, noted);
    EXPECT_EQ(files_.Reads(), 1) << "only the recording the manifest newly describes is read again";
    EXPECT_TRUE(Facts("a0000003.mp3")->audioSha256.empty()) << "not in any manifest";

    files_.ResetCounts();
    index_.Refresh({"/rec"}, Options());
    EXPECT_EQ(files_.Reads(), 0) << "a row that matches its manifest is not read again";

    // A digest that is not 64 lower-case hex digits is no digest.
    for (const std::string& malformed : {std::string(63, 'a'), std::string(64, 'A'), std::string(60, 'a') + "\t;x;"}) {
        files_.Remove("/rec/10.03.2026/manifest.log");
        files_.Write("/rec/10.03.2026/manifest.log", ManifestWithAudio({{"a0000004.mp3", malformed}}), kNow - 20);
        index_.Refresh({"/rec"}, Options());
        EXPECT_TRUE(Facts("a0000004.mp3")->audioSha256.empty()) << malformed;
    }
}

TEST_F(RefreshTest, UnreachableRootKeepsItsCallsUntilItIsBack) {
    files_.SetError("/rec", EIO);
    files_.Remove("/rec/02.03.2026/a0000003.mp3");
    const RefreshReport down = index_.Refresh({"/rec"}, Options());
    ASSERT_EQ(down.unreachable.size(), 1u);
    EXPECT_EQ(down.unreachable[0].place, "/rec");
    EXPECT_EQ(down.removed, 0u);
    EXPECT_EQ(Numbers(), kAll);
    files_.SetError("/rec", 0);
    const RefreshReport back = index_.Refresh({"/rec"}, Options());
    EXPECT_TRUE(back.unreachable.empty());
    EXPECT_EQ(back.removed, 1u);
}

TEST_F(RefreshTest, DayFolderThatCannotBeListedKeepsItsCalls) {
    files_.Write("/rec/01.03.2026/a0000005.mp3", Recording("0171555005", 20), kNow - 9 * kDay);
    files_.SetError("/rec/01.03.2026", EACCES);
    const RefreshReport report = index_.Refresh({"/rec"}, Options());
    ASSERT_EQ(report.unreachable.size(), 1u);
    EXPECT_EQ(report.unreachable[0].place, "/rec/01.03.2026");
    EXPECT_EQ(Numbers(), kAll);
    files_.SetError("/rec/01.03.2026", 0);
    EXPECT_EQ(index_.Refresh({"/rec"}, Options()).added, 1u);
}

TEST_F(RefreshTest, UnreadableFileIsListedWithTheListsDefaultsAndReadOnceItOpens) {
    files_.Write("/rec/10.03.2026/a0000005.mp3", Recording("0171555005", 20), kNow - 1);
    files_.SetUnreadable("/rec/10.03.2026/a0000005.mp3", true);
    index_.Refresh({"/rec"}, Options());
    ASSERT_NE(Facts("a0000005.mp3"), nullptr);
    EXPECT_FALSE(Facts("a0000005.mp3")->readable);
    files_.SetUnreadable("/rec/10.03.2026/a0000005.mp3", false);
    // What makes a file readable (chmod, a new owner) moves its change time.
    files_.Rewrite("/rec/10.03.2026/a0000005.mp3", Recording("0171555005", 20));
    index_.Refresh({"/rec"}, Options());
    EXPECT_TRUE(Facts("a0000005.mp3")->readable);
    EXPECT_EQ(Facts("a0000005.mp3")->number, "0171555005");
}

class BuildTest : public testing::Test {
protected:
    BuildTest() : clock_(MakeLocal(2026, 3, 10, 12, 0, 0)), index_(store_, files_, clock_) {
        for (int day = 1; day <= 5; ++day) {
            for (int file = 0; file < 4; ++file) {
                const std::string folder = "/rec/0" + std::to_string(day) + ".03.2026";
                files_.Write(folder + "/a000000" + std::to_string(file) + ".mp3",
                             Recording(std::to_string(day * 10 + file), 5), kNow - (10 - day) * kDay);
            }
        }
    }
    test::ScopedTimeZone utc_{test::kUtc};
    ManualClock clock_;
    MemoryCallStore store_;
    FakeCallFiles files_;
    CallIndex index_;
};

TEST_F(BuildTest, InterruptedFirstBuildKeepsTheNewestDaysAndGoesOnWithoutReadingAFileTwice) {
    RefreshOptions options;
    options.batchFiles = 3;
    options.cancelled = [this] { return files_.Reads() >= 6; };
    const RefreshReport first = index_.Refresh({"/rec"}, options);
    EXPECT_EQ(first.outcome, RefreshReport::Outcome::kInterrupted);
    const auto kept = store_.All();
    ASSERT_EQ(kept.size(), 6u);
    for (const CallRecord& call : kept) EXPECT_GE(call.folder, "04.03.2026") << call.folder;
    std::vector<RefreshProgress> seen;
    options.cancelled = nullptr;
    options.progress = [&seen](const RefreshProgress& p) { seen.push_back(p); };
    const RefreshReport second = index_.Refresh({"/rec"}, options);
    EXPECT_EQ(second.outcome, RefreshReport::Outcome::kDone);
    EXPECT_EQ(store_.All().size(), 20u);
    EXPECT_EQ(files_.Reads(), 20);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().foldersDone, seen.back().foldersToScan);
    EXPECT_EQ(seen.back().filesRead, 14u);
}

struct StoreFaultCase {
    int failAfter;
    StoreStatus::Code code;
};

class StoreFaultTest : public BuildTest, public testing::WithParamInterface<StoreFaultCase> {};

TEST_P(StoreFaultTest, StoreFailureStopsTheRefreshAndTheNextOneCatchesUp) {
    store_.FailAfter(GetParam().failAfter, GetParam().code);
    const RefreshReport failed = index_.Refresh({"/rec"});
    EXPECT_EQ(failed.outcome, RefreshReport::Outcome::kStoreFailed);
    EXPECT_EQ(failed.store.code, GetParam().code);
    EXPECT_FALSE(failed.store.message.empty());
    const RefreshReport next = index_.Refresh({"/rec"});
    EXPECT_EQ(next.outcome, RefreshReport::Outcome::kDone);
    EXPECT_EQ(store_.All().size(), 20u);
}

// Every store call of a first build in turn: root, folders, each folder's id, files and apply.
INSTANTIATE_TEST_SUITE_P(EveryCall, StoreFaultTest,
                         testing::Values(StoreFaultCase{0, StoreStatus::Code::kUnavailable},
                                         StoreFaultCase{1, StoreStatus::Code::kFailed},
                                         StoreFaultCase{2, StoreStatus::Code::kUnavailable},
                                         StoreFaultCase{3, StoreStatus::Code::kUnavailable},
                                         StoreFaultCase{4, StoreStatus::Code::kFailed},
                                         StoreFaultCase{9, StoreStatus::Code::kUnavailable}));

TEST_F(BuildTest, FiledCallIsAddedAtOnceAndAnUnavailableStoreLeavesItToTheRefresh) {
    index_.Refresh({"/rec"});
    files_.Write("/rec/10.03.2026/a0000100.mp3", Recording("0207946", 5), kNow);
    EXPECT_TRUE(index_.AddFiled("/rec/", "/rec/10.03.2026/a0000100.mp3").Ok());
    auto found = index_.Search({"/rec"}, CallCriteria{.number = "0207946"});
    ASSERT_TRUE(found.Ok());
    ASSERT_EQ(found.value.calls.size(), 1u);
    EXPECT_EQ(found.value.calls[0].Path(), "/rec/10.03.2026/a0000100.mp3");

    files_.Write("/rec/10.03.2026/a0000101.mp3", Recording("0207947", 5), kNow);
    store_.FailAfter(0, StoreStatus::Code::kUnavailable, true);
    EXPECT_EQ(index_.AddFiled("/rec", "/rec/10.03.2026/a0000101.mp3").code, StoreStatus::Code::kUnavailable);
    store_.Heal();
    EXPECT_EQ(index_.Refresh({"/rec"}).added, 1u);
    EXPECT_EQ(index_.Search({"/rec"}, CallCriteria{.number = "0207947"}).value.calls.size(), 1u);
}

struct PathCase {
    const char* root;
    const char* path;
    bool valid;
};

class SplitCallPathTest : public testing::TestWithParam<PathCase> {};

TEST_P(SplitCallPathTest, AcceptsOnlyRecordingsDirectlyInADayFolderOfTheRoot) {
    EXPECT_EQ(SplitCallPath(GetParam().root, GetParam().path).has_value(), GetParam().valid) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SplitCallPathTest,
    testing::Values(PathCase{"/rec", "/rec/10.03.2026/a1.mp3", true}, PathCase{"/rec/", "/rec/10.03.2026/a1.MP3", true},
                    PathCase{"/", "/10.03.2026/a1.mp3", true}, PathCase{"/rec", "/record/10.03.2026/a1.mp3", false},
                    PathCase{"/rec", "/rec/10.03.2026/sub/a1.mp3", false},
                    PathCase{"/rec", "/rec/31.02.2026/a1.mp3", false},
                    PathCase{"/rec", "/rec/10.03.2026/a1.wav", false}, PathCase{"/rec", "/rec/a1.mp3", false},
                    PathCase{"", "/10.03.2026/a1.mp3", false}));

TEST_F(BuildTest, ChangeNotedByThePlayerIsReadAgainAndADeletedFileForgotten) {
    index_.Refresh({"/rec"});
    files_.Rewrite("/rec/01.03.2026/a0000001.mp3", Recording("11", 5, "call back"));
    EXPECT_TRUE(index_.NoteChanged("/rec", "/rec/01.03.2026/a0000001.mp3").Ok());
    EXPECT_EQ(index_.Search({"/rec"}, CallCriteria{.text = "back"}).value.calls.size(), 1u);
    files_.Remove("/rec/01.03.2026/a0000001.mp3");
    EXPECT_TRUE(index_.NoteChanged("/rec", "/rec/01.03.2026/a0000001.mp3").Ok());
    EXPECT_EQ(store_.All().size(), 19u);
    EXPECT_EQ(index_.NoteChanged("/rec", "/elsewhere/a.mp3").code, StoreStatus::Code::kInvalid);
}

TEST_F(BuildTest, SearchIsLimitedToTheRootsAsked) {
    files_.Write("/other/01.03.2026/b0000001.mp3", Recording("11", 5), kNow - 9 * kDay);
    index_.Refresh({"/rec", "/other"});
    EXPECT_EQ(index_.Search({"/rec"}, CallCriteria{.number = "11"}).value.calls.size(), 1u);
    EXPECT_EQ(index_.Search({"/rec", "/other/"}, CallCriteria{.number = "11"}).value.calls.size(), 2u);
    EXPECT_TRUE(index_.Search({}, CallCriteria{}).value.calls.empty());
    const auto limited = index_.Search({"/rec"}, CallCriteria{}, CallOrder{}, 5);
    EXPECT_EQ(limited.value.calls.size(), 5u);
    EXPECT_TRUE(limited.value.truncated);
}

}  // namespace
}  // namespace pell
