#include "recorder/core/alarms.h"

#include <gtest/gtest.h>

namespace pell {
namespace {

// One observation of condition "box" and what it must tell.
struct Step {
    int64_t at;
    bool holds;
    std::optional<AlarmChange> told;
};

TEST(AlarmBookTest, RaisesAfterTheGraceOnceRemindsAndClears) {
    struct Case {
        const char* name;
        int64_t grace;
        std::vector<Step> steps;
    };
    constexpr int64_t kDay = 86400;
    const Case cases[] = {
        {"a replug within the grace is no alarm", 60, {{0, true, {}}, {59, true, {}}, {60, false, {}}}},
        {"raised once after the grace",
         60,
         {{0, true, {}}, {60, true, AlarmChange::kRaised}, {61, true, {}}, {3600, true, {}}}},
        {"reminded at most daily",
         0,
         {{0, true, AlarmChange::kRaised},
          {kDay - 1, true, {}},
          {kDay, true, AlarmChange::kReminder},
          {kDay + 10, true, {}},
          {2 * kDay, true, AlarmChange::kReminder}}},
        {"cleared once, raised afresh later",
         0,
         {{0, true, AlarmChange::kRaised},
          {5, false, AlarmChange::kCleared},
          {6, false, {}},
          {7, true, AlarmChange::kRaised}}},
        {"the grace starts again after a return", 60, {{0, true, {}}, {30, false, {}}, {40, true, {}}, {99, true, {}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AlarmBook book(kDay);
        for (const Step& step : c.steps) {
            SCOPED_TRACE(step.at);
            const std::optional<AlarmNotice> notice = book.Observe("box", step.holds, "box gone", step.at, c.grace);
            ASSERT_EQ(notice.has_value(), step.told.has_value());
            if (notice) {
                EXPECT_EQ(notice->change, *step.told);
                EXPECT_EQ(notice->text, "box gone");
            }
        }
    }
}

TEST(AlarmBookTest, StandingListsRaisedConditionsWithTheTextTheyWereRaisedWith) {
    AlarmBook book(3600);
    book.Observe("space", true, "free space 10 MB", 0);
    book.Observe("space", true, "free space 9 MB", 10);
    book.Observe("box", true, "box gone", 0, 60);
    EXPECT_EQ(book.Standing(), std::vector<std::string>{"free space 10 MB"});
    const std::optional<AlarmNotice> reminder = book.Observe("space", true, "free space 8 MB", 3600);
    ASSERT_TRUE(reminder);
    EXPECT_EQ(AlarmNoticeText(*reminder), "Alarm still standing: free space 10 MB");
}

TEST(AlarmMailSubjectTest, IsOneLineOfBoundedLength) {
    const AlarmNotice notice{AlarmChange::kCleared, "k", "path /a\r\nBcc: x@y " + std::string(300, 'z')};
    const std::string subject = AlarmMailSubject(notice);
    EXPECT_EQ(subject.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(subject.rfind("PellRecorder Alarm cleared: path /a", 0), 0u);
    EXPECT_LE(subject.size(), 150u);
}

}  // namespace
}  // namespace pell
