#include "custody/core/removal.h"

#include <gtest/gtest.h>

#include <map>

#include "custody/core/hold_list.h"
#include "custody/core/manifest.h"
#include "custody/core/testing/custody_test_support.h"
#include "custody/core/verify.h"
#include "testsupport/manual_clock.h"

namespace pell {
namespace {

using test::FakeCustodyFiles;

constexpr const char* kDay = "/rec/05.03.2026";
const AuditIdentity kRecorder{"pell", "PellRecorder"};
std::string At(const std::string& name) { return std::string(kDay) + "/" + name; }

// Three recordings, each with its own number; `held` of them protected.
const std::map<std::string, std::string> kNumbers = {
    {"a.mp3", "0171 555 0001"}, {"b.mp3", "0171 555 0002"}, {"c.mp3", "0207 946 0003"}};

void FileDay(FakeCustodyFiles& files, const std::vector<std::string>& held) {
    for (const auto& [name, number] : kNumbers) test::FileRecording(files, kDay, name, number, "Line 1");
    if (!held.empty()) {
        ASSERT_EQ(ChangeHolds(files, kDay, held, true).error, 0);
    }
}

std::vector<std::string> AuditActions(FakeCustodyFiles& files, ManualClock& clock) {
    std::vector<std::string> out;
    for (const AuditEntry& entry : AuditTrail(files, clock).Read("/rec").entries) {
        out.push_back(entry.action + " " + PathInRoot("/rec", entry.recording) + " " + entry.detail);
    }
    return out;
}

// What may never be left, whatever failed: a protected recording gone, or the number of a
// recording that is gone still in its manifest.
void ExpectRulesKept(FakeCustodyFiles& files, const std::vector<std::string>& held) {
    const std::string manifest = files.Read(At(kManifestFileName)).value_or("");
    for (const auto& [name, number] : kNumbers) {
        const bool isHeld = std::find(held.begin(), held.end(), name) != held.end();
        if (isHeld) {
            EXPECT_TRUE(files.Exists(At(name))) << name << " is protected";
        }
        if (!files.Exists(At(name))) {
            EXPECT_EQ(manifest.find(number), std::string::npos) << name;
        }
    }
    if (!manifest.empty()) {
        EXPECT_TRUE(CheckLog(manifest).Intact());
    }
}

TEST(RemoveDayFolderTest, WithoutProtectedRecordingsTheWholeFolderGoes) {
    FakeCustodyFiles files;
    ManualClock clock;
    FileDay(files, {});
    files.Write(At("notes/today.txt"), "x");
    const DayRemoval removal = RemoveDayFolder(files, clock, kDay, RemovalReason::kRetention, kRecorder);
    EXPECT_TRUE(removal.Complete());
    EXPECT_TRUE(removal.folderRemoved);
    EXPECT_EQ(removal.removed, (std::vector<std::string>{"a.mp3", "b.mp3", "c.mp3", "notes"}));
    EXPECT_TRUE(removal.kept.empty());
    EXPECT_FALSE(files.Exists(kDay));
    EXPECT_EQ(AuditActions(files, clock),
              (std::vector<std::string>{"retention 05.03.2026/a.mp3 ", "retention 05.03.2026/b.mp3 ",
                                        "retention 05.03.2026/c.mp3 ", "retention 05.03.2026 day folder removed"}));
}

TEST(RemoveDayFolderTest, ProtectedRecordingsStayWithTheirListAndProof) {
    FakeCustodyFiles files;
    ManualClock clock;
    FileDay(files, {"b.mp3"});
    const DayRemoval removal = RemoveDayFolder(files, clock, kDay, RemovalReason::kCleaning, kRecorder);
    EXPECT_TRUE(removal.Complete());
    EXPECT_FALSE(removal.folderRemoved);
    EXPECT_EQ(removal.kept, (std::vector<std::string>{"b.mp3"}));
    EXPECT_EQ(removal.removed, (std::vector<std::string>{"a.mp3", "c.mp3"}));
    EXPECT_TRUE(IsProtected(files, At("b.mp3")));
    const FolderVerification verified = VerifyDayFolder(files, kDay);
    EXPECT_EQ(verified.verified, 1u);
    EXPECT_TRUE(verified.findings.empty());
    ExpectRulesKept(files, {"b.mp3"});
    EXPECT_NE(files.Read(At(kManifestFileName))->find("0171 555 0002"), std::string::npos);
    EXPECT_EQ(AuditActions(files, clock),
              (std::vector<std::string>{"clean 05.03.2026/a.mp3 ", "clean 05.03.2026/c.mp3 ",
                                        "clean 05.03.2026 1 protected recording kept"}));
    // The next pass finds only the protected one and removes nothing.
    const DayRemoval again = RemoveDayFolder(files, clock, kDay, RemovalReason::kCleaning, kRecorder);
    EXPECT_TRUE(again.removed.empty());
    EXPECT_EQ(again.kept, (std::vector<std::string>{"b.mp3"}));
}

TEST(RemoveDayFolderTest, AHoldListThatCannotBeReadKeepsEverything) {
    FakeCustodyFiles files;
    ManualClock clock;
    FileDay(files, {"a.mp3"});
    files.SetError(At(kHoldFileName), EIO);
    const DayRemoval removal = RemoveDayFolder(files, clock, kDay, RemovalReason::kCleaning, kRecorder);
    EXPECT_FALSE(removal.Complete());
    ASSERT_EQ(removal.failures.size(), 1u);
    EXPECT_NE(removal.failures[0].find("nothing was removed"), std::string::npos);
    for (const auto& [name, number] : kNumbers) EXPECT_TRUE(files.Exists(At(name)));
}

TEST(RemoveDayFolderTest, AMissingFolderIsNoFailure) {
    FakeCustodyFiles files;
    ManualClock clock;
    const DayRemoval removal = RemoveDayFolder(files, clock, kDay, RemovalReason::kCleaning, kRecorder);
    EXPECT_FALSE(removal.existed);
    EXPECT_TRUE(removal.failures.empty());
}

TEST(RemoveDayFolderTest, AnyFailedCallKeepsTheRules) {
    for (const bool withHold : {false, true}) {
        const std::vector<std::string> held = withHold ? std::vector<std::string>{"b.mp3"} : std::vector<std::string>{};
        FakeCustodyFiles reference;
        ManualClock clock;
        FileDay(reference, held);
        const int before = reference.Calls();
        RemoveDayFolder(reference, clock, kDay, RemovalReason::kCleaning, kRecorder);
        const int calls = reference.Calls() - before;
        for (int n = 1; n <= calls; ++n) {
            SCOPED_TRACE(testing::Message() << "hold " << withHold << ", call " << n << " of " << calls);
            FakeCustodyFiles files;
            FileDay(files, held);
            files.FailCall(n);
            const DayRemoval removal = RemoveDayFolder(files, clock, kDay, RemovalReason::kCleaning, kRecorder);
            EXPECT_TRUE(!removal.failures.empty() || !removal.auditProblem.empty());
            ExpectRulesKept(files, held);
            for (const std::string& name : removal.removed) EXPECT_FALSE(files.Exists(At(name))) << name;
        }
    }
}

class EraseTest : public testing::Test {
protected:
    EraseTest() : clock_(MakeLocal(2026, 4, 1, 10, 0, 0)) { FileDay(files_, {"c.mp3"}); }

    std::vector<ErasureTarget> Targets() const {
        return {{At("a.mp3"), "Line 1"}, {At("b.mp3"), "Line 2"}, {At("c.mp3"), "Line 1"}};
    }

    FakeCustodyFiles files_;
    ManualClock clock_;
    const AuditIdentity who_{"alice", "pell-catalogue"};
};

TEST_F(EraseTest, ErasesForGoodRefusesProtectedAndKeepsARecordWithoutTheNumber) {
    const ErasureReport report = EraseRecordings(files_, clock_, Targets(), who_);
    ASSERT_EQ(report.outcomes.size(), 3u);
    EXPECT_EQ(report.outcomes[0].result, ErasureOutcome::Result::kErased);
    EXPECT_EQ(report.outcomes[1].result, ErasureOutcome::Result::kErased);
    EXPECT_EQ(report.outcomes[2].result, ErasureOutcome::Result::kProtected);
    EXPECT_EQ(report.outcomes[2].reason, "protected (legal hold)");
    EXPECT_FALSE(files_.Exists(At("a.mp3")));
    EXPECT_FALSE(files_.Exists(At("b.mp3")));
    EXPECT_TRUE(files_.Exists(At("c.mp3")));
    ExpectRulesKept(files_, {"c.mp3"});

    const ManifestRead manifest = ReadManifest(files_, kDay);
    EXPECT_EQ(manifest.records.at("a.mp3").state, ManifestState::kErased);
    EXPECT_TRUE(manifest.records.at("a.mp3").numberErased);
    EXPECT_EQ(manifest.records.at("c.mp3").facts.number, "0207 946 0003");
    EXPECT_TRUE(VerifyDayFolder(files_, kDay).findings.empty());

    const std::string audit = *files_.Read("/rec/audit.log");
    EXPECT_EQ(audit.find("555"), std::string::npos) << audit;
    EXPECT_EQ(AuditActions(files_, clock_),
              (std::vector<std::string>{"erase 05.03.2026/a.mp3 on request; line Line 1",
                                        "erase 05.03.2026/b.mp3 on request; line Line 2",
                                        "erase  2 recordings erased on request (Line 1: 1, Line 2: 1); 1 protected "
                                        "or undecided left"}));
    EXPECT_EQ(AuditTrail(files_, clock_).Read("/rec").entries.at(0).user, "alice");
}

TEST_F(EraseTest, OnlyRecordingsInDayFoldersAreErased) {
    files_.Write("/rec/misc/a.mp3", "x");
    const ErasureReport report = EraseRecordings(files_, clock_, {{"/rec/misc/a.mp3", ""}, {At("nope.mp3"), ""}}, who_);
    EXPECT_EQ(report.outcomes[0].reason, "not a recording in a day folder");
    EXPECT_EQ(report.outcomes[1].reason, "No such file or directory");
    EXPECT_TRUE(files_.Exists("/rec/misc/a.mp3"));
}

TEST_F(EraseTest, AnyFailedCallKeepsTheRules) {
    FakeCustodyFiles reference;
    FileDay(reference, {"c.mp3"});
    const int before = reference.Calls();
    EraseRecordings(reference, clock_, Targets(), who_);
    const int calls = reference.Calls() - before;
    for (int n = 1; n <= calls; ++n) {
        SCOPED_TRACE(testing::Message() << "call " << n << " of " << calls);
        FakeCustodyFiles files;
        FileDay(files, {"c.mp3"});
        files.FailCall(n);
        const ErasureReport report = EraseRecordings(files, clock_, Targets(), who_);
        ExpectRulesKept(files, {"c.mp3"});
        bool failed = !report.auditProblems.empty();
        for (const ErasureOutcome& outcome : report.outcomes) {
            EXPECT_EQ(outcome.result == ErasureOutcome::Result::kErased, !files.Exists(outcome.path)) << outcome.path;
            failed = failed || outcome.result == ErasureOutcome::Result::kFailed;
        }
        EXPECT_TRUE(failed);
    }
}

}  // namespace
}  // namespace pell
