#include "player/ui/core/record_custody.h"

#include <gtest/gtest.h>

#include <optional>

#include "player/catalogue/catalogue_test_support.h"
#include "player/ui/core/testing/fake_custody_port.h"

namespace pell::player {
namespace {

using test::FakeCustodyPort;

const std::string kRoot = "/rec";
const std::string kA = "/rec/05.12.2026/a.mp3";
const std::string kB = "/rec/05.12.2026/b.mp3";
const std::string kC = "/rec/06.12.2026/c.mp3";
const std::string kOther = "/archive/01.01.2025/d.mp3";

TEST(CommandRowsTest, AreTheSelectionInListOrderElseTheCurrentRow) {
    const struct {
        int current;
        std::vector<int> selected;
        std::vector<int> rows;
    } cases[] = {
        {-1, {}, {}}, {3, {}, {3}}, {3, {3}, {3}}, {1, {4, 1, 2, 4}, {1, 2, 4}}, {-1, {2, 0}, {0, 2}}, {5, {-1}, {5}},
    };
    for (const auto& c : cases) EXPECT_EQ(CommandRows(c.current, c.selected), c.rows) << c.current;
}

TEST(AuditRecordingsTest, AppendsOncePerRootAsThePlayerAndSaysWhatWasNotRecorded) {
    const struct {
        const char* name;
        std::vector<std::string> paths;
        int failCall;  // 0: none; counts UserName as call 1
        std::vector<std::string> inRec;
        std::vector<std::string> inArchive;
        std::string notice;
    } cases[] = {
        {"one recording", {kA}, 0, {"copy " + kA + " alice PellPlayer"}, {}, ""},
        {"two roots, one append each",
         {kA, kOther, kC},
         0,
         {"copy " + kA + " alice PellPlayer", "copy " + kC + " alice PellPlayer"},
         {"copy " + kOther + " alice PellPlayer"},
         ""},
        {"a file in no day folder has no trail", {"/tmp/x.mp3"}, 0, {}, {}, ""},
        {"a failed append is named, the other root is still recorded",
         {kA, kB, kOther},
         2,
         {"copy " + kA + " alice PellPlayer", "copy " + kB + " alice PellPlayer"},
         {},
         "Not recorded in the audit trail: copy of \"d.mp3\" (/archive/audit.log: Permission denied)"},
        {"several recordings are counted",
         {kA, kB},
         2,
         {},
         {},
         "Not recorded in the audit trail: copy of 2 recordings (/rec/audit.log: Permission denied)"},
    };
    for (const auto& c : cases) {
        FakeCustodyPort port;
        if (c.failCall > 0) port.FailCall(c.failCall);
        EXPECT_EQ(AuditRecordings(port, AuditAction::kCopy, c.paths, "into /tmp"), c.notice) << c.name;
        EXPECT_EQ(port.Audited(kRoot), c.inRec) << c.name;
        EXPECT_EQ(port.Audited("/archive"), c.inArchive) << c.name;
    }
}

TEST(DeletePlanTest, KeepsProtectedAndUnknownHoldsAndSaysSoByName) {
    const std::string release =
        "To delete a protected recording, release its hold first: Unprotect in the list's menu, or "
        "pell-catalogue unprotect FILE.";
    const struct {
        const char* name;
        std::vector<std::string> paths;
        std::vector<std::string> held;
        bool unknownC;
        std::vector<std::string> deletable;
        std::string text;  // the refusal when nothing may go, else the question
    } cases[] = {
        {"one free recording", {kA}, {}, false, {kA}, "Do you really want to move \"a.mp3\" to the trash?"},
        {"one protected recording is refused with its release",
         {kA},
         {kA},
         false,
         {},
         "\"a.mp3\" is under legal hold and was not deleted.\n\nTo delete it, release its hold first: Unprotect in "
         "the list's menu, or pell-catalogue unprotect \"/rec/05.12.2026/a.mp3\"."},
        {"several, some protected: the others go and the kept are named",
         {kA, kB, kC},
         {kB},
         false,
         {kA, kC},
         "Do you really want to move these 2 recordings to the trash?\n\nKept, under legal hold: \"b.mp3\".\n\n" +
             release},
        {"all protected",
         {kA, kB},
         {kA, kB},
         false,
         {},
         "None of the 2 recordings was deleted.\n\nKept, under legal hold: \"a.mp3\" and \"b.mp3\".\n\n" + release},
        {"a hold list that cannot be read keeps its recording",
         {kC},
         {},
         true,
         {},
         "The recording was not deleted.\n\nKept, because its legal hold cannot be told: \"c.mp3\" (protected.list: "
         "Permission denied). Let this user read the day folder's protected.list, then try again."},
    };
    for (const auto& c : cases) {
        FakeCustodyPort port;
        port.held.insert(c.held.begin(), c.held.end());
        if (c.unknownC) port.unknown[kC] = "protected.list: Permission denied";
        const DeletePlan plan = PlanDelete(port, c.paths);
        EXPECT_EQ(plan.deletable, c.deletable) << c.name;
        EXPECT_EQ(plan.deletable.size() + plan.kept.size(), c.paths.size()) << c.name;
        EXPECT_EQ(plan.deletable.empty() ? DeleteRefusal(plan) : DeleteQuestion(plan), c.text) << c.name;
    }
}

TEST(DeletePlanTest, ListsAtMostFiveNamesAndCountsTheRest) {
    FakeCustodyPort port;
    std::vector<std::string> paths;
    for (char c = 'a'; c <= 'g'; ++c) paths.push_back("/rec/05.12.2026/" + std::string(1, c) + ".mp3");
    port.held.insert(paths.begin(), paths.end());
    const std::string refusal = DeleteRefusal(PlanDelete(port, paths));
    EXPECT_NE(refusal.find("\"a.mp3\", \"b.mp3\", \"c.mp3\", \"d.mp3\", \"e.mp3\" and 2 more."), std::string::npos)
        << refusal;
}

TEST(DeleteRecordingsTest, TrashesWhatIsStillFreeAuditsItAndReportsTheRest) {
    const struct {
        const char* name;
        std::vector<std::string> protectMeanwhile;
        std::vector<std::string> trashRefuses;
        int failCall;  // from the start of the deletion: CheckHold per file, then UserName, then the append
        std::vector<std::string> trashed;
        std::vector<std::string> audited;
        std::string report;
        bool auditNotice;
    } cases[] = {
        {"all go and are audited",
         {},
         {},
         0,
         {kA, kB},
         {"delete " + kA + " alice PellPlayer", "delete " + kB + " alice PellPlayer"},
         "",
         false},
        {"protected while asked: kept and said",
         {kB},
         {},
         0,
         {kA},
         {"delete " + kA + " alice PellPlayer"},
         "Kept, under legal hold: \"b.mp3\".\n\nTo delete a protected recording, release its hold first: Unprotect in "
         "the list's menu, or pell-catalogue unprotect FILE.",
         false},
        {"the trash refuses one",
         {},
         {kA},
         0,
         {kB},
         {"delete " + kB + " alice PellPlayer"},
         "Could not move \"a.mp3\" to the trash.",
         false},
        {"a hold that cannot be read now keeps the file",
         {},
         {},
         1,
         {kB},
         {"delete " + kB + " alice PellPlayer"},
         "Kept, because its legal hold cannot be told: \"a.mp3\" (protected.list: Permission denied). Let this user "
         "read the day folder's protected.list, then try again.",
         false},
        {"an audit that fails does not undo the deletion", {}, {}, 4, {kA, kB}, {}, "", true},
    };
    for (const auto& c : cases) {
        FakeCustodyPort port;
        const DeletePlan plan = PlanDelete(port, {kA, kB});
        port.held.insert(c.protectMeanwhile.begin(), c.protectMeanwhile.end());
        if (c.failCall > 0) port.FailCall(c.failCall);
        std::vector<std::string> moved;
        const DeleteOutcome outcome = DeleteRecordings(port, plan, [&](const std::string& path) {
            if (std::find(c.trashRefuses.begin(), c.trashRefuses.end(), path) != c.trashRefuses.end()) return false;
            moved.push_back(path);
            return true;
        });
        EXPECT_EQ(outcome.trashed, c.trashed) << c.name;
        EXPECT_EQ(moved, c.trashed) << c.name;
        EXPECT_EQ(port.Audited(kRoot), c.audited) << c.name;
        EXPECT_EQ(DeleteReport(outcome), c.report) << c.name;
        EXPECT_EQ(!outcome.auditNotice.empty(), c.auditNotice) << c.name << ": " << outcome.auditNotice;
    }
}

TEST(DeleteRecordingsTest, OneFileTheTrashRefusesKeepsTheUsualMessage) {
    FakeCustodyPort port;
    const DeleteOutcome outcome =
        DeleteRecordings(port, PlanDelete(port, {kA}), [](const std::string&) { return false; });
    EXPECT_EQ(DeleteReport(outcome), "Could not move the file to the trash.");
    EXPECT_TRUE(port.Audited(kRoot).empty());
}

TEST(ChangeHoldsTest, ProtectsAndReleasesAsThePlayerAndSaysWhatHappened) {
    const struct {
        const char* name;
        std::vector<std::string> heldBefore;
        std::vector<std::string> paths;
        bool held;
        int failCall;  // 1: the hold list; 2: its audit append
        std::vector<std::string> heldAfter;
        std::string status;
        std::string failure;
        std::string auditNotice = {};
    } cases[] = {
        {"protect one", {}, {kA}, true, 0, {kA}, "Protected: \"a.mp3\"", ""},
        {"protect several, one already",
         {kB},
         {kA, kB, kC},
         true,
         0,
         {kA, kB, kC},
         "Protected 2 recordings; \"b.mp3\" was already protected",
         ""},
        {"release", {kA, kB}, {kA, kB}, false, 0, {}, "Released 2 recordings", ""},
        {"release one not protected", {}, {kA}, false, 0, {}, "\"a.mp3\" was not protected", ""},
        {"a hold list that cannot be written",
         {},
         {kA},
         true,
         1,
         {},
         "",
         "Could not protect 1 recording:\n/rec/05.12.2026/a.mp3: Permission denied"},
        {"held, but the audit failed: said on the status line",
         {},
         {kA},
         true,
         2,
         {kA},
         "Protected: \"a.mp3\"",
         "",
         "Not recorded in the audit trail: /rec/audit.log: Permission denied (the hold was changed, but not "
         "recorded)"},
        {"a file in no day folder",
         {},
         {"/tmp/x.mp3"},
         true,
         0,
         {},
         "",
         "Could not protect 1 recording:\n/tmp/x.mp3: not in a day folder of a record root, so it has no hold list"},
    };
    for (const auto& c : cases) {
        FakeCustodyPort port;
        port.held.insert(c.heldBefore.begin(), c.heldBefore.end());
        if (c.failCall > 0) port.FailCall(c.failCall);
        const HoldOutcome outcome = ChangeHolds(port, c.paths, c.held);
        EXPECT_EQ(std::vector<std::string>(port.held.begin(), port.held.end()), c.heldAfter) << c.name;
        EXPECT_EQ(outcome.status, c.status) << c.name;
        EXPECT_EQ(outcome.failure, c.failure) << c.name;
        EXPECT_EQ(outcome.auditNotice, c.auditNotice) << c.name;
        for (const HoldRequest& request : port.requests) EXPECT_EQ(request.program, "PellPlayer") << c.name;
    }
}

TEST(ProofLineTest, SaysVerifiedOrWhatIsWrong) {
    using Kind = VerifyFinding::Kind;
    const struct {
        RecordingVerdict verdict;
        bool verified;
        std::string headline;
        std::string detail;
    } cases[] = {
        {{true, "verified"}, true, "verified", ""},
        {{false, "not verifiable: its day folder has no manifest"},
         false,
         "not verifiable",
         "its day folder has no manifest"},
        {{false, "altered: x",
          VerifyFinding{Kind::kAltered, kA, "the audio differs from the recording filed 05.12.2026"}},
         false,
         "altered since it was filed",
         "the audio differs from the recording filed 05.12.2026"},
        {{false, "unlisted: x", VerifyFinding{Kind::kUnlisted, kA, "not in the day folder's manifest"}},
         false,
         "not in the day folder's manifest",
         ""},
        {{false, "unlisted: x",
          VerifyFinding{Kind::kUnlisted, kA, "erased on 05.12.2026, yet a file of that name is there"}},
         false,
         "not in the day folder's manifest",
         "erased on 05.12.2026, yet a file of that name is there"},
        {{false, "missing", VerifyFinding{Kind::kMissing, kA, "not there"}},
         false,
         "missing from its day folder",
         "not there"},
        {{false, "unreadable: x", VerifyFinding{Kind::kUnreadable, kA, "Permission denied"}},
         false,
         "could not be read",
         "Permission denied"},
        {{false, "x", VerifyFinding{Kind::kManifestBroken, "/rec/05.12.2026/manifest.log", "line 3"}},
         false,
         "its day folder's manifest has been tampered with",
         "the audio is as listed, but the manifest's chain breaks at line 3"},
    };
    for (const auto& c : cases) {
        const ProofLine line = ProofLineOf(c.verdict);
        EXPECT_EQ(line.verified, c.verified) << c.verdict.text;
        EXPECT_EQ(line.headline, c.headline) << c.verdict.text;
        EXPECT_EQ(line.detail, c.detail) << c.verdict.text;
    }
}

TEST(AuditRowsTest, ListTheRecordingsEntriesNewestFirstAndSayWhenTheTrailFails) {
    pell::test::ScopedTimeZone utc(pell::test::kUtc);
    AuditRead read;
    auto entry = [](int64_t time, const std::string& action, const std::string& recording, bool intact = true) {
        AuditEntry e;
        e.time = time;
        e.user = "alice";
        e.program = "PellPlayer";
        e.action = action;
        e.recording = recording;
        e.intact = intact;
        return e;
    };
    read.entries = {entry(1765276800, "play", kA), entry(1765276860, "copy", kB), entry(1765276920, "protect", kA)};
    const RecordingAudit audit = AuditRowsFor(read, kA);
    ASSERT_EQ(audit.rows.size(), 2u);
    EXPECT_EQ(audit.rows[0].action, "protect");
    EXPECT_EQ(audit.rows[0].time, "09.12.2025 10:42:00");
    EXPECT_EQ(audit.rows[1].action, "play");
    EXPECT_EQ(audit.rows[1].user, "alice");
    EXPECT_EQ(audit.rows[1].program, "PellPlayer");
    EXPECT_EQ(audit.note, "");

    const struct {
        const char* name;
        std::function<void(AuditRead&)> change;
        std::string path;
        std::size_t rows;
        std::string note;
    } cases[] = {
        {"no trail yet", [](AuditRead& r) { r = {}, r.error = ENOENT; }, kA, 0, "No audit entries yet."},
        {"a trail that cannot be read", [](AuditRead& r) { r = {}, r.error = EACCES; }, kA, 0,
         "The audit trail cannot be read: /rec/audit.log: Permission denied"},
        {"no entry of this recording", {}, kC, 0, "No audit entries for this recording."},
        {"a broken chain marks its entries",
         [&](AuditRead& r) {
             r.entries[2].intact = false;
             r.check.problems.push_back(LogProblem{});
         },
         kA, 2, "The audit trail has been tampered with: entries marked \"!\" cannot be trusted."},
        {"outside a day folder",
         {},
         "/tmp/x.mp3",
         0,
         "Not in a day folder of a record root, so it has no audit trail."},
    };
    for (const auto& c : cases) {
        AuditRead changed = read;
        if (c.change) c.change(changed);
        const RecordingAudit result = AuditRowsFor(changed, c.path);
        EXPECT_EQ(result.rows.size(), c.rows) << c.name;
        EXPECT_EQ(result.note, c.note) << c.name;
    }
    AuditRead broken = read;
    broken.entries[2].intact = false;
    EXPECT_EQ(AuditRowsFor(broken, kA).rows[0].time, "! 09.12.2025 10:42:00");
}

TEST(DescribeRecordingTest, BringsProofHoldAndEntriesTogether) {
    FakeCustodyPort port;
    port.verdicts[kA] = {true, "verified"};
    port.held.insert(kA);
    ASSERT_EQ(AuditRecordings(port, AuditAction::kPlay, {kA}), "");
    const RecordingProperties properties = DescribeRecording(port, kA);
    EXPECT_EQ(properties.proof.headline, "verified");
    EXPECT_EQ(properties.hold, "protected (legal hold)");
    ASSERT_EQ(properties.audit.rows.size(), 1u);
    EXPECT_EQ(properties.audit.rows[0].action, "play");

    port.FailCall(2);  // the hold list
    EXPECT_EQ(DescribeRecording(port, kA).hold, "cannot be told: protected.list: Permission denied");
    EXPECT_EQ(DescribeRecording(port, kB).hold, "not protected");
}

}  // namespace
}  // namespace pell::player
