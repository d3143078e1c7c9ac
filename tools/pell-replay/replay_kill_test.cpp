// A replay killed with SIGKILL in the middle of a call: the next start finishes the recording.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "common/core/wav_file.h"
#include "recorder/core/testing/mp3_decode.h"
#include "testsupport/temp_dir.h"
#include "tools/pell-replay/demo_scenario.h"
#include "tools/pell-replay/replay.h"

namespace pell {
namespace {

namespace fs = std::filesystem;

// Starts pell-replay on the folder's call, its output into out.txt and err.txt.
pid_t StartReplay(const TempDir& dir, const std::string& wav, const std::string& timeline, const char* pauseMs) {
    const pid_t child = fork();
    if (child != 0) return child;
    const int out = ::open(dir.File("out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(dir.File("err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::execl(PELL_REPLAY_TOOL, PELL_REPLAY_TOOL, "--folder", dir.path().c_str(), "--wav", wav.c_str(), "--timeline",
            timeline.c_str(), "--start", "2026-12-06 10:00:00", "--pause-ms", pauseMs, static_cast<char*>(nullptr));
    _exit(127);
}

int Wait(pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

TEST(ReplayKillTest, ACallCutBySigkillIsFinishedAndTaggedAtTheNextStart) {
    TempDir dir;
    std::string error;
    ASSERT_TRUE(WriteDemoScenario(dir.path(), &error)) << error;
    const std::string journal = dir.File("channel1.journal");
    const std::string recording = dir.File("line1/06.12.2026/in-0000000.mp3");

    // 100 ms a block: line 1 records from about 0.6 s to 1.8 s of real time.
    const pid_t first = StartReplay(dir, dir.File("call.wav"), dir.File("timeline.txt"), "100");
    ASSERT_GT(first, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    // The journal names the recording before it is made: wait for sound in the file itself.
    auto soundOnDisk = [&] {
        std::error_code ec;
        const uintmax_t size = fs::file_size(recording, ec);
        return !ec && size > 2000 && fs::exists(journal);
    };
    while (!soundOnDisk() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(first, SIGKILL);
    const int status = Wait(first);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the replay ended before it could be killed mid-call";
    ASSERT_TRUE(fs::exists(journal));
    EXPECT_EQ(dir.Read("out.txt"), "") << "nothing was filed before the kill";

    // The next start: a quiet second of sound, no line change.
    ASSERT_TRUE(WriteWavFile(dir.File("quiet.wav"), 8000, 2, std::vector<int16_t>(8000 * 2, 0)));
    dir.Write("quiet.txt", "");
    const int restart = Wait(StartReplay(dir, dir.File("quiet.wav"), dir.File("quiet.txt"), "0"));
    ASSERT_TRUE(WIFEXITED(restart) && WEXITSTATUS(restart) == 0) << dir.Read("err.txt");

    const std::string out = dir.Read("out.txt");
    EXPECT_NE(out.find("1\t" + recording + "\t5551234\tI\n"), std::string::npos) << out;
    EXPECT_NE(dir.Read("err.txt").find("has been finished"), std::string::npos) << dir.Read("err.txt");
    EXPECT_FALSE(fs::exists(journal));
    const std::string bytes = dir.Read("line1/06.12.2026/in-0000000.mp3");
    ASSERT_GT(bytes.size(), 128u);
    EXPECT_EQ(bytes.substr(bytes.size() - 128, 3), "TAG");
    EXPECT_EQ(bytes.substr(bytes.size() - 125, 7), "5551234");
    const DecodedMp3 mp3 = DecodeMp3File(recording);
    EXPECT_FALSE(mp3.decodeError);
    EXPECT_GT(mp3.samplesDecoded, 8000);
    EXPECT_EQ(dir.Read("channel1"), "1") << "the counter moved past the finished recording";
    // Whatever line 2 had running is finished the same way: every listed file is on disk and tagged.
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const std::string path = line.substr(2, line.find('\t', 2) - 2);
        const std::string file = dir.Read(path.substr(dir.path().size() + 1));
        ASSERT_GT(file.size(), 128u) << path;
        EXPECT_EQ(file.substr(file.size() - 128, 3), "TAG") << path;
    }
}

}  // namespace
}  // namespace pell
