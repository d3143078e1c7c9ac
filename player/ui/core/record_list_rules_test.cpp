#include "player/ui/core/record_list_rules.h"

#include <gtest/gtest.h>

namespace pell {
namespace {

TEST(RecordListRulesTest, TheCurrentRowStaysOnItsRecordOrPassesToTheNextWhenItGoes) {
    struct Case {
        const char* name;
        int current;
        int removed;
        int rowsLeft;
        int after;
    };
    const Case cases[] = {
        {"no current row", -1, 2, 4, -1},
        {"a row above goes: the record moves up", 3, 1, 4, 2},
        {"a row below goes", 1, 3, 4, 1},
        {"the current row goes: the next takes its place", 2, 2, 4, 2},
        {"the last row goes: the new last", 4, 4, 4, 3},
        {"the only row goes", 0, 0, 0, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(CurrentRowAfterRemoval(c.current, c.removed, c.rowsLeft), c.after) << c.name;
}

TEST(RecordListRulesTest, DurationTextsAndTheSummaryOfTheList) {
    struct Case {
        const char* text;
        std::optional<std::int64_t> seconds;
    };
    const Case cases[] = {
        {"00:00:00", 0},         {"00:10:00", 600},           {"01:02:03", 3723},        {"123:00:01", 442801},
        {"", std::nullopt},      {"00:60:00", std::nullopt},  {"0:5:00", std::nullopt},  {"aa:00:00", std::nullopt},
        {"00:00", std::nullopt}, {"00:00:00x", std::nullopt}, {"-1:00:00", std::nullopt}};
    for (const Case& c : cases) EXPECT_EQ(DurationSeconds(c.text), c.seconds) << c.text;

    auto rows = [](std::vector<std::string> durations) {
        std::vector<RecordRow> out;
        for (std::string& d : durations) {
            RecordRow row;
            row.duration = std::move(d);
            out.push_back(std::move(row));
        }
        return out;
    };
    EXPECT_EQ(ListSummaryText({}), "No recordings");
    EXPECT_EQ(ListSummaryText(rows({"00:00:12"})), "1 recording, 00:00:12");
    // An unreadable file's empty duration counts as a recording of no length.
    EXPECT_EQ(ListSummaryText(rows({"00:59:30", "00:02:33", ""})), "3 recordings, 01:02:03 in all");
}

TEST(RecordListRulesTest, ThePlayingRecordIsNamedByLineTimeAndNumber) {
    RecordRow call;
    call.channel = "Line 2";
    call.date = "09.12.2026 02:39:52";
    call.duration = "00:00:40";
    call.number = "0123456";
    EXPECT_EQ(PlayingRecordText(call, false), "Playing: Line 2, 09.12.2026 02:39:52, 0123456 (00:00:40)");
    EXPECT_EQ(PlayingRecordText(call, true), "Paused: Line 2, 09.12.2026 02:39:52, 0123456 (00:00:40)");
    RecordRow unknown = call;
    unknown.channel = "Line 1";
    unknown.date = "09.12.2026 03:02:09";
    unknown.number.clear();
    EXPECT_EQ(PlayingRecordText(unknown, false), "Playing: Line 1, 09.12.2026 03:02:09 (00:00:40)");
    EXPECT_EQ(PlayingRecordText(RecordRow{}, true), "Paused:");
}

}  // namespace
}  // namespace pell
