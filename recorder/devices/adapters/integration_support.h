// What the device integration tests set up without hardware: an ALSA configuration of their
// own, and a private PulseAudio daemon with a pipe-fed source, stopped even when a test fails.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace pell::testing {

// Points ALSA (and so PortAudio) at the system configuration plus `extraConfig`, written to
// `folder`/asoundrc. Call before the audio system starts.
void UseAlsaConfig(const std::string& folder, const std::string& extraConfig);

// Runs a program to its end; its exit code, or -1 when it could not run.
int RunProgram(const std::vector<std::string>& argv, std::string* output = nullptr);

// A PulseAudio daemon on a socket in `folder` whose only source, "linebox" (stereo 16-bit), is
// fed from the FIFO `folder`/linebox.fifo.
class PulseDaemon {
public:
    PulseDaemon(std::string folder, uint32_t sampleRate) : folder_(std::move(folder)), sampleRate_(sampleRate) {}
    ~PulseDaemon() { Stop(); }
    PulseDaemon(const PulseDaemon&) = delete;
    PulseDaemon& operator=(const PulseDaemon&) = delete;

    // Empty on success, else why it did not start.
    std::string Start();
    void Stop();
    std::string server() const { return "unix:" + folder_ + "/native"; }
    std::string fifo() const { return folder_ + "/linebox.fifo"; }
    // The box unplugged and plugged back in: the source module goes and comes again.
    bool RemoveSource();
    bool AddSource();
    int Pactl(const std::vector<std::string>& args, std::string* output = nullptr) const;

private:
    std::string SourceArguments() const;

    std::string folder_;
    uint32_t sampleRate_;
    bool started_ = false;
};

// Writes counting stereo frames (never zero: left n % 30000 + 1, right its negative) into a
// FIFO at the real-time rate, 20 ms at a time, from its own thread.
class PacedFifoWriter {
public:
    PacedFifoWriter(const std::string& fifo, uint32_t sampleRate);
    ~PacedFifoWriter();
    PacedFifoWriter(const PacedFifoWriter&) = delete;
    PacedFifoWriter& operator=(const PacedFifoWriter&) = delete;

    uint64_t framesWritten() const { return framesWritten_.load(); }

private:
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> framesWritten_{0};
    std::thread thread_;
};

// The left value PacedFifoWriter writes for frame `n`.
inline int16_t PacedFrameValue(uint64_t n) { return static_cast<int16_t>(n % 30000 + 1); }

// Checks that the non-zero frames of `samples` (interleaved) are consecutive frames of the
// writer's pattern; empty when they are, else the first fault.
std::string CheckPacedPattern(const std::vector<int16_t>& samples, size_t* nonZeroFrames = nullptr);

}  // namespace pell::testing
