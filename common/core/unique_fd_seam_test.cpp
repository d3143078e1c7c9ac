// UniqueFd against a scripted system: each close, read and write answers the next line of a
// table row, so interrupted, short and failed calls are tested without a device that makes them.
#include <cerrno>
#include <cstddef>
#include <deque>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <sys/types.h>
#include <vector>

namespace pell::scripted {

// One system call's answer: bytes moved (or the descriptor opened, or 0 for close), or -1 and
// the errno it sets.
struct Answer {
    ssize_t result;
    int error = 0;
};

struct Script {
    std::deque<Answer> answers;
    std::string source;   // what reads deliver, in order
    std::string written;  // what writes were allowed to take, in order
    std::vector<std::size_t> sizesAsked;
    int closes = 0;
};
Script script;

// Hands out the next answer; a call the row did not expect fails the test.
Answer Next(const char* call) {
    if (script.answers.empty()) {
        ADD_FAILURE() << "unexpected " << call << " after the script ended";
        return {-1, ENOSYS};
    }
    const Answer answer = script.answers.front();
    script.answers.pop_front();
    if (answer.result < 0) errno = answer.error;
    return answer;
}

// NOLINTBEGIN(readability-identifier-naming): they stand in for the POSIX calls of these names
int open(const char* /*path*/, int /*flags*/, mode_t /*mode*/) { return static_cast<int>(Next("open").result); }

int close(int /*fd*/) {
    ++script.closes;
    return static_cast<int>(Next("close").result);
}

ssize_t write(int /*fd*/, const void* data, std::size_t size) {
    script.sizesAsked.push_back(size);
    const Answer answer = Next("write");
    if (answer.result > 0)
        script.written.append(static_cast<const char*>(data), static_cast<std::size_t>(answer.result));
    return answer.result;
}

ssize_t read(int /*fd*/, void* data, std::size_t size) {
    script.sizesAsked.push_back(size);
    const Answer answer = Next("read");
    if (answer.result > 0) {
        script.source.copy(static_cast<char*>(data), static_cast<std::size_t>(answer.result));
        script.source.erase(0, static_cast<std::size_t>(answer.result));
    }
    return answer.result;
}
// NOLINTEND(readability-identifier-naming)

}  // namespace pell::scripted

#define PELL_SYSTEM_CALL(call) ::pell::scripted::call
// The implementation itself, built against the scripted calls above.
#include "common/core/unique_fd.cpp"  // NOLINT(bugprone-suspicious-include)

namespace pell {
namespace {

enum class Call { kWrite, kRead, kClose };

struct SeamCase {
    const char* behaviour;
    Call call;
    std::vector<scripted::Answer> answers;  // every one must be used, no call beyond them
    bool ok;
    int error;          // errno on failure
    std::string bytes;  // written, or read back, when ok (and written so far when not)
    std::vector<std::size_t> sizesAsked;
};

// Names the row instead of dumping its bytes when a case fails.
void PrintTo(const SeamCase& c, std::ostream* os) { *os << c.behaviour; }

constexpr int kFd = 7;
const std::string kHello = "hello";

class UniqueFdSeamTest : public testing::TestWithParam<SeamCase> {};

TEST_P(UniqueFdSeamTest, AnswersAsTheSystemDid) {
    const SeamCase& c = GetParam();
    scripted::script = {};
    scripted::script.answers.assign(c.answers.begin(), c.answers.end());
    scripted::script.source = kHello;
    errno = 0;
    bool ok = false;
    int error = 0;
    std::string bytes;
    {
        UniqueFd file(kFd);
        if (c.call == Call::kWrite) {
            ok = file.WriteAll(kHello.data(), kHello.size());
            error = errno;
            bytes = scripted::script.written;
        } else if (c.call == Call::kRead) {
            char buffer[8] = {};
            const ssize_t n = file.ReadFull(buffer, sizeof buffer);
            error = errno;
            ok = n >= 0;
            if (ok) bytes.assign(buffer, static_cast<std::size_t>(n));
        } else {
            ok = file.Close();
            error = errno;
            EXPECT_FALSE(file) << "the descriptor is given up whatever close says";
        }
        if (c.call != Call::kClose) file.Release();
    }
    EXPECT_EQ(ok, c.ok);
    if (!c.ok) {
        EXPECT_EQ(error, c.error);
    }
    EXPECT_EQ(bytes, c.bytes);
    EXPECT_EQ(scripted::script.sizesAsked, c.sizesAsked);
    EXPECT_TRUE(scripted::script.answers.empty()) << "the call stopped before the script ended";
    EXPECT_EQ(scripted::script.closes, c.call == Call::kClose ? 1 : 0) << "closed exactly once";
}

INSTANTIATE_TEST_SUITE_P(
    ScriptedCalls, UniqueFdSeamTest,
    testing::Values(
        SeamCase{"WriteRetriesAnInterruptedWrite", Call::kWrite, {{-1, EINTR}, {5}}, true, 0, "hello", {5, 5}},
        SeamCase{"WriteHandsTheRestAfterAShortWrite", Call::kWrite, {{2}, {3}}, true, 0, "hello", {5, 3}},
        SeamCase{"WriteRetriesAnInterruptionAfterAShortWrite",
                 Call::kWrite,
                 {{2}, {-1, EINTR}, {1}, {2}},
                 true,
                 0,
                 "hello",
                 {5, 3, 3, 2}},
        SeamCase{"WriteReportsTheSystemsError", Call::kWrite, {{2}, {-1, EIO}}, false, EIO, "he", {5, 3}},
        SeamCase{"WriteReportsAFullDiskWhenNothingIsTaken", Call::kWrite, {{0}}, false, ENOSPC, "", {5}},
        SeamCase{"ReadRetriesAnInterruptedRead", Call::kRead, {{-1, EINTR}, {5}, {0}}, true, 0, "hello", {8, 8, 3}},
        SeamCase{"ReadGathersShortReadsToTheEnd", Call::kRead, {{2}, {3}, {0}}, true, 0, "hello", {8, 6, 3}},
        SeamCase{"ReadReportsTheSystemsError", Call::kRead, {{2}, {-1, EIO}}, false, EIO, "", {8, 6}},
        SeamCase{"CloseSucceeds", Call::kClose, {{0}}, true, 0, "", {}},
        SeamCase{"CloseReportsALostWrite", Call::kClose, {{-1, EIO}}, false, EIO, "", {}},
        SeamCase{"CloseIsNotRetriedWhenInterrupted", Call::kClose, {{-1, EINTR}}, false, EINTR, "", {}}),
    [](const testing::TestParamInfo<SeamCase>& info) { return std::string(info.param.behaviour); });

}  // namespace
}  // namespace pell
