#include "custody/core/chained_log.h"

#include <gtest/gtest.h>

#include <functional>

#include "custody/core/testing/fake_custody_files.h"

namespace pell {
namespace {

using test::FakeCustodyFiles;

constexpr const char* kLog = "/rec/audit.log";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

std::vector<LogField> Entry(const std::string& what) {
    return {LogField::Plain("action", what), LogField::Plain("recording", "05.03.2026/a0000001.mp3")};
}

// A log of five entries, "one" to "five".
std::string FiveEntries(FakeCustodyFiles& files) {
    files.AddFolder("/rec");
    for (const char* what : {"one", "two", "three", "four", "five"}) {
        EXPECT_EQ(AppendEntries(files, kLog, {Entry(what)}), 0);
    }
    return *files.Read(kLog);
}

struct EscapeCase {
    std::string value;
    std::string escaped;
};

class LogValueEscapeTest : public testing::TestWithParam<EscapeCase> {};

TEST_P(LogValueEscapeTest, EveryValueStaysOnOneLineAndComesBackUnchanged) {
    EXPECT_EQ(EscapeLogValue(GetParam().value), GetParam().escaped);
    EXPECT_EQ(UnescapeLogValue(GetParam().escaped), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Values, LogValueEscapeTest,
                         testing::Values(EscapeCase{"Line 1", "Line 1"}, EscapeCase{"a\tb", "a\\tb"},
                                         EscapeCase{"a\nb\r", "a\\nb\\r"}, EscapeCase{"C:\\rec", "C:\\\\rec"},
                                         EscapeCase{std::string("\x1b[2J\x7f", 5), "\\x1B[2J\\x7F"},
                                         EscapeCase{"Caf\xc3\xa9 = 3", "Caf\xc3\xa9 = 3"}, EscapeCase{"", ""}));

TEST(LogValueEscapeTest, BrokenEscapesAreNoValue) {
    for (const char* text : {"a\\", "\\q", "\\x4", "\\xZZ", "a\tb"}) {
        EXPECT_EQ(UnescapeLogValue(text), std::nullopt) << text;
    }
}

struct TamperCase {
    const char* name;
    std::function<std::string(const std::string& log)> tamper;
    std::vector<LogProblem::Kind> problems;
    std::vector<uint64_t> problemSeqs;
    bool tornTail = false;
    std::size_t interrupted = 0;
};

class ChainTamperTest : public testing::TestWithParam<TamperCase> {};

TEST_P(ChainTamperTest, EveryEditOrRemovalIsFoundAndCrashesAreNot) {
    FakeCustodyFiles files;
    const std::string log = FiveEntries(files);
    const LogCheck check = CheckLog(GetParam().tamper(log));
    std::vector<LogProblem::Kind> kinds;
    std::vector<uint64_t> seqs;
    for (const LogProblem& problem : check.problems) {
        kinds.push_back(problem.kind);
        seqs.push_back(problem.seq);
    }
    EXPECT_EQ(kinds, GetParam().problems);
    EXPECT_EQ(seqs, GetParam().problemSeqs);
    EXPECT_EQ(check.tornTail, GetParam().tornTail);
    EXPECT_EQ(check.interrupted.size(), GetParam().interrupted);
}

std::string EditLine(const std::string& log, std::size_t index, const std::function<std::string(std::string)>& edit) {
    std::vector<std::string> lines = Lines(log);
    lines[index] = edit(lines[index]);
    return Joined(lines);
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

using Kind = LogProblem::Kind;

INSTANTIATE_TEST_SUITE_P(
    Tampering, ChainTamperTest,
    testing::Values(
        TamperCase{"Untouched", [](const std::string& log) { return log; }, {}, {}},
        TamperCase{"ValueEdited",
                   [](const std::string& log) {
                       return EditLine(log, 2, [](const std::string& line) { return Replace(line, "three", "thr3e"); });
                   },
                   {Kind::kAltered},
                   {3}},
        TamperCase{"MiddleEntryRemoved",
                   [](const std::string& log) {
                       std::vector<std::string> lines = Lines(log);
                       lines.erase(lines.begin() + 2);
                       return Joined(lines);
                   },
                   {Kind::kMissing},
                   {3}},
        TamperCase{"FirstEntryRemoved",
                   [](const std::string& log) { return log.substr(log.find('\n') + 1); },
                   {Kind::kMissing},
                   {1}},
        TamperCase{"TwoEntriesSwapped",
                   [](const std::string& log) {
                       std::vector<std::string> lines = Lines(log);
                       std::swap(lines[1], lines[2]);
                       return Joined(lines);
                   },
                   {Kind::kMissing, Kind::kOutOfOrder, Kind::kMissing},
                   {2, 2, 3}},
        TamperCase{"EditedEntryReHashed",
                   [](const std::string& log) {
                       // The forger recomputes the edited entry's own chain: the next entry breaks.
                       std::vector<std::string> lines = Lines(log);
                       const std::string previous = ParseEntry(lines[1])->chain;
                       lines[2] = FormatEntry(3, Entry("thr3e"), previous);
                       lines[2].pop_back();
                       return Joined(lines);
                   },
                   {Kind::kAltered},
                   {4}},
        TamperCase{"ForgedEntryInserted",
                   [](const std::string& log) {
                       std::vector<std::string> lines = Lines(log);
                       lines.insert(lines.begin() + 2, FormatEntry(3, Entry("forged"), std::string(64, 'a')));
                       lines[2].pop_back();
                       return Joined(lines);
                   },
                   {Kind::kAltered, Kind::kOutOfOrder},
                   {3, 3}},
        TamperCase{"SequenceRenumbered",
                   [](const std::string& log) {
                       return EditLine(log, 3, [](const std::string& line) { return "9" + line.substr(1); });
                   },
                   {Kind::kMissing, Kind::kOutOfOrder},
                   {4, 5}},
        TamperCase{"LineMangledByHand",
                   [](const std::string& log) {
                       return EditLine(log, 2,
                                       [](const std::string& line) { return Replace(line, "chain=", "chain:"); });
                   },
                   {Kind::kUnreadable, Kind::kMissing},
                   {0, 3}},
        TamperCase{
            "LastAppendCutShort", [](const std::string& log) { return log.substr(0, log.size() - 30); }, {}, {}, true},
        TamperCase{"LastLineEndMissing", [](const std::string& log) { return log.substr(0, log.size() - 1); }, {}, {}}),
    [](const auto& info) { return info.param.name; });

TEST(ChainAppendTest, AnAppendCutShortIsEndedAndTheChainGoesOnFromTheLastWholeEntry) {
    FakeCustodyFiles files;
    FiveEntries(files);
    files.CutNextAppend(40);
    EXPECT_EQ(AppendEntries(files, kLog, {Entry("six, cut")}), EIO);
    EXPECT_TRUE(CheckLog(*files.Read(kLog)).tornTail);

    ASSERT_EQ(AppendEntries(files, kLog, {Entry("six"), Entry("seven")}), 0);
    const LogCheck check = CheckLog(*files.Read(kLog));
    EXPECT_TRUE(check.Intact());
    EXPECT_FALSE(check.tornTail);
    EXPECT_EQ(check.interrupted, (std::vector<std::size_t>{6}));
    ASSERT_EQ(check.entries.size(), 7u);
    EXPECT_EQ(check.entries[5].Get("action"), "six");
    EXPECT_EQ(check.entries[5].seq, 6u);
    EXPECT_EQ(check.headSeq, 7u);
}

TEST(ChainAppendTest, AnAppendCutJustBeforeItsLineEndKeepsTheEntry) {
    FakeCustodyFiles files;
    const std::string five = FiveEntries(files);
    files.Write(kLog, five.substr(0, five.size() - 1));
    ASSERT_EQ(AppendEntries(files, kLog, {Entry("six")}), 0);
    const LogCheck check = CheckLog(*files.Read(kLog));
    EXPECT_TRUE(check.Intact());
    EXPECT_TRUE(check.interrupted.empty());
    EXPECT_EQ(check.headSeq, 6u);
}

TEST(ChainAppendTest, AFailedCallLeavesTheLogAsItWas) {
    FakeCustodyFiles files;
    const std::string before = FiveEntries(files);
    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        files.FailCall(n, ENOSPC);
        EXPECT_EQ(AppendEntries(files, kLog, {Entry("six")}), ENOSPC);
        EXPECT_EQ(*files.Read(kLog), before);
    }
    EXPECT_EQ(AppendEntries(files, kLog, {Entry("six")}), 0);
    EXPECT_EQ(CheckLog(*files.Read(kLog)).headSeq, 6u);
}

TEST(SealedFieldTest, ErasedValueLeavesNoTraceAndTheChainStillVerifies) {
    FakeCustodyFiles files;
    files.AddFolder("/rec");
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) {
        ASSERT_EQ(
            AppendEntries(files, kLog,
                          {{LogField::Plain("name", name), LogField::Sealed("number", std::string("0171 ") + name)}}),
            0);
    }
    const std::string before = *files.Read(kLog);
    EXPECT_NE(before.find("0171 b.mp3"), std::string::npos);
    const std::string salt = CheckLog(before).entries[1].fields[1].salt;

    const auto isB = [](const LogEntry& entry) { return entry.Get("name") == "b.mp3"; };
    ASSERT_EQ(RedactAndAppend(files, kLog, isB, {"number"}, {{LogField::Plain("kind", "erased")}}), 0);
    const std::string after = *files.Read(kLog);
    EXPECT_EQ(after.find("0171 b.mp3"), std::string::npos);
    EXPECT_EQ(after.find(salt), std::string::npos);
    const LogCheck check = CheckLog(after);
    EXPECT_TRUE(check.Intact());
    ASSERT_EQ(check.entries.size(), 4u);
    EXPECT_TRUE(check.entries[1].IsRedacted("number"));
    EXPECT_EQ(check.entries[1].Get("number"), std::nullopt);
    EXPECT_EQ(check.entries[0].Get("number"), "0171 a.mp3");
    EXPECT_EQ(check.entries[2].Get("number"), "0171 c.mp3");
    EXPECT_EQ(check.entries[1].chain, CheckLog(before).entries[1].chain);
}

TEST(SealedFieldTest, ASealedValueEditedBreaksTheChain) {
    FakeCustodyFiles files;
    files.AddFolder("/rec");
    ASSERT_EQ(AppendEntries(files, kLog, {{LogField::Sealed("number", "0171555")}}), 0);
    const std::string log = Replace(*files.Read(kLog), "0171555", "0171556");
    EXPECT_EQ(CheckLog(log).problems.size(), 1u);
}

}  // namespace
}  // namespace pell
