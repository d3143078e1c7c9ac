#include "recorder/devices/adapters/integration_support.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "common/core/unique_fd.h"

extern char** environ;

namespace pell::testing {

void UseAlsaConfig(const std::string& folder, const std::string& extraConfig) {
    const std::string path = folder + "/asoundrc";
    std::ofstream(path) << extraConfig;
    setenv("ALSA_CONFIG_PATH", ("/usr/share/alsa/alsa.conf:" + path).c_str(), 1);
}

int RunProgram(const std::vector<std::string>& argv, std::string* output) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return -1;
    UniqueFd readEnd(pipeFds[0]);
    UniqueFd writeEnd(pipeFds[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), 1);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), 2);
    posix_spawn_file_actions_addclose(&actions, readEnd.Get());
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    // Our copy of the write end must go, or the read below never sees the end of the output.
    writeEnd.Close();
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(readEnd.Get(), buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    if (output) *output = text;
    if (spawned != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int PulseDaemon::Pactl(const std::vector<std::string>& args, std::string* output) const {
    std::vector<std::string> argv = {"pactl", "--server=" + server()};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, output);
}

std::string PulseDaemon::SourceArguments() const {
    return "source_name=linebox file=" + fifo() + " format=s16le rate=" + std::to_string(sampleRate_) + " channels=2";
}

std::string PulseDaemon::Start() {
    // No other source: with one, the daemon would move the capture stream there when the box's
    // source goes, and silence would keep flowing as if the box were still there.
    // Everything the daemon keeps lives in the test's own folder, so parallel tests never meet.
    setenv("PULSE_RUNTIME_PATH", folder_.c_str(), 1);
    setenv("PULSE_STATE_PATH", (folder_ + "/state").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
    setenv("HOME", folder_.c_str(), 1);
    std::string log;
    // The idle exit ends the daemon even when a crashed test never stops it.
    const int code = RunProgram({"pulseaudio", "-n", "--daemonize=yes", "--exit-idle-time=60", "--disable-shm=yes",
                                 "--use-pid-file=yes", "--log-target=file:" + folder_ + "/pulse.log", "-L",
                                 "module-native-protocol-unix socket=" + folder_ + "/native auth-anonymous=1", "-L",
                                 "module-pipe-source " + SourceArguments()},
                                &log);
    if (code != 0) return "pulseaudio did not start (exit " + std::to_string(code) + "): " + log;
    started_ = true;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string sources;
        if (Pactl({"info"}) == 0 && Pactl({"list", "short", "sources"}, &sources) == 0 &&
            sources.find("linebox") != std::string::npos)
            return {};
        usleep(100 * 1000);
    }
    return "pulseaudio started but its source never appeared";
}

void PulseDaemon::Stop() {
    if (!started_) return;
    started_ = false;
    std::ifstream pidFile(folder_ + "/pid");
    pid_t pid = 0;
    if (!(pidFile >> pid) || pid <= 0) return;
    kill(pid, SIGTERM);
    for (int attempt = 0; attempt < 50 && kill(pid, 0) == 0; ++attempt) usleep(100 * 1000);
    if (kill(pid, 0) == 0) kill(pid, SIGKILL);
}

bool PulseDaemon::RemoveSource() { return Pactl({"unload-module", "module-pipe-source"}) == 0; }

bool PulseDaemon::AddSource() { return Pactl({"load-module", "module-pipe-source", SourceArguments()}) == 0; }

PacedFifoWriter::PacedFifoWriter(const std::string& fifo, uint32_t sampleRate) {
    signal(SIGPIPE, SIG_IGN);  // a source that goes away must not end the test
    thread_ = std::thread([this, fifo, sampleRate] {
        const UniqueFd fifoFile = UniqueFd::Open(fifo, O_WRONLY | O_NONBLOCK);
        if (!fifoFile) return;
        const int fd = fifoFile.Get();
        const size_t framesPerPiece = sampleRate / 50;
        std::vector<int16_t> piece(framesPerPiece * 2);
        auto due = std::chrono::steady_clock::now();
        while (!stop_) {
            const uint64_t first = framesWritten_.load();
            for (size_t i = 0; i < framesPerPiece; ++i) {
                piece[2 * i] = PacedFrameValue(first + i);
                piece[2 * i + 1] = static_cast<int16_t>(-PacedFrameValue(first + i));
            }
            const char* bytes = reinterpret_cast<const char*>(piece.data());
            size_t left = piece.size() * 2;
            while (left > 0 && !stop_) {
                const ssize_t n = write(fd, bytes, left);
                if (n > 0) {
                    bytes += n;
                    left -= static_cast<size_t>(n);
                } else {
                    usleep(2000);  // the daemon has not drained the pipe yet, or the source went away
                }
            }
            framesWritten_ += framesPerPiece;
            due += std::chrono::milliseconds(20);
            std::this_thread::sleep_until(due);
        }
    });
}

PacedFifoWriter::~PacedFifoWriter() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

std::string CheckPacedPattern(const std::vector<int16_t>& samples, size_t* nonZeroFrames) {
    size_t count = 0;
    int16_t previous = 0;
    for (size_t frame = 0; frame < samples.size() / 2; ++frame) {
        const int16_t left = samples[2 * frame];
        const int16_t right = samples[2 * frame + 1];
        if (left == 0 && right == 0) continue;
        if (right != -left) return "frame " + std::to_string(frame) + ": channels do not belong together";
        if (count > 0) {
            const int16_t expected = previous == 30000 ? 1 : static_cast<int16_t>(previous + 1);
            if (left != expected) {
                return "frame " + std::to_string(frame) + ": " + std::to_string(left) + " follows " +
                       std::to_string(previous) + " (sound lost or repeated)";
            }
        }
        previous = left;
        ++count;
    }
    if (nonZeroFrames) *nonZeroFrames = count;
    return {};
}

}  // namespace pell::testing
