#include "custody/core/hold_list.h"

#include <gtest/gtest.h>

#include "custody/core/testing/fake_custody_files.h"

namespace pell {
namespace {

using test::FakeCustodyFiles;

constexpr const char* kDay = "/rec/05.03.2026";

TEST(HoldListTest, AnyFileNameSurvivesTheList) {
    const std::set<std::string> names{"a0000001.mp3", "#hash.mp3", "tab\there.mp3", "back\\slash.mp3",
                                      "Caf\xc3\xa9.mp3"};
    EXPECT_EQ(ParseHoldList(FormatHoldList(names)), names);
    EXPECT_EQ(ParseHoldList("# remark\r\na.mp3\r\n\n  \nb.mp3"), (std::set<std::string>{"a.mp3", "b.mp3", "  "}));
}

struct HoldStep {
    std::vector<std::string> names;
    bool held;
    std::vector<std::string> changed;
    std::set<std::string> after;  // empty: no list left
};

TEST(HoldListTest, ProtectAndUnprotectChangeOnlyWhatTheyName) {
    const HoldStep steps[] = {
        {{"a.mp3", "b.mp3"}, true, {"a.mp3", "b.mp3"}, {"a.mp3", "b.mp3"}},
        {{"b.mp3", "c.mp3"}, true, {"c.mp3"}, {"a.mp3", "b.mp3", "c.mp3"}},
        {{"a.mp3", "x.mp3"}, false, {"a.mp3"}, {"b.mp3", "c.mp3"}},
        {{"b.mp3"}, true, {}, {"b.mp3", "c.mp3"}},
        {{"b.mp3", "c.mp3"}, false, {"b.mp3", "c.mp3"}, {}},
        {{"b.mp3"}, false, {}, {}},
    };
    FakeCustodyFiles files;
    files.AddFolder(kDay);
    int step = 0;
    for (const HoldStep& s : steps) {
        SCOPED_TRACE(++step);
        const HoldChange change = ChangeHolds(files, kDay, s.names, s.held);
        EXPECT_EQ(change.error, 0);
        EXPECT_EQ(change.changed, s.changed);
        const auto list = files.Read(std::string(kDay) + "/" + kHoldFileName);
        EXPECT_EQ(list.has_value(), !s.after.empty());
        if (list) {
            EXPECT_EQ(ParseHoldList(*list), s.after);
        }
        for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) {
            EXPECT_EQ(IsProtected(files, std::string(kDay) + "/" + name), s.after.count(name) != 0) << name;
        }
    }
}

TEST(HoldListTest, AListThatCannotBeReadCountsAsHeld) {
    FakeCustodyFiles files;
    files.Write(std::string(kDay) + "/a.mp3", "audio");
    files.Write(std::string(kDay) + "/" + kHoldFileName, "b.mp3\n");
    EXPECT_EQ(CheckHold(files, std::string(kDay) + "/a.mp3").state, HoldState::kFree);
    files.SetError(std::string(kDay) + "/" + kHoldFileName, EACCES);
    const HoldCheck check = CheckHold(files, std::string(kDay) + "/a.mp3");
    EXPECT_EQ(check.state, HoldState::kUnknown);
    EXPECT_NE(check.reason.find("protected.list: Permission denied"), std::string::npos) << check.reason;
    EXPECT_TRUE(IsProtected(files, std::string(kDay) + "/a.mp3"));
}

TEST(HoldListTest, AFailedRewriteChangesNothing) {
    FakeCustodyFiles files;
    files.AddFolder(kDay);
    ASSERT_EQ(ChangeHolds(files, kDay, {"a.mp3"}, true).error, 0);
    files.FailCall(3, ENOSPC);  // lock, read, then the rewrite
    const HoldChange change = ChangeHolds(files, kDay, {"b.mp3"}, true);
    EXPECT_EQ(change.error, ENOSPC);
    EXPECT_TRUE(change.changed.empty());
    EXPECT_FALSE(IsProtected(files, std::string(kDay) + "/b.mp3"));
    EXPECT_TRUE(IsProtected(files, std::string(kDay) + "/a.mp3"));
}

}  // namespace
}  // namespace pell
