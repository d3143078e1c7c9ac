#pragma once

// Wave outputs without a sound card. QueuedWaveOut keeps the device's queue and completes the
// oldest buffer when asked (CompleteNext), handing its PCM to a sink first; tests drive it
// buffer by buffer and can make the open or a write fail. FileWaveOut completes buffers on a
// thread of its own as fast as they come and writes their PCM to a file.

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>

#include "player/engine/wave_output.h"

namespace pell {

class QueuedWaveOut : public WaveOutput {
public:
    using Sink = std::function<void(const std::uint8_t* data, std::uint32_t bytes)>;

    QueuedWaveOut() = default;
    ~QueuedWaveOut() override = default;

    int OpenAudioOutput(std::uint32_t deviceId, WaveOutProc callback, void* instance, std::uint32_t flags) override;
    int Close() override;
    int PlayBuffer(std::uint32_t index) override;
    int Reset() override;
    int Pause() override;
    int Restart() override;

    // Plays the oldest queued buffer to its end; false when nothing is queued, paused or closed.
    bool CompleteNext();
    std::size_t QueuedCount() const;
    bool IsOpen() const;
    // Waits (bounded) until pred holds for the queue length and open state; false on time-out.
    bool WaitFor(const std::function<bool(std::size_t queued, bool open)>& pred,
                 std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;

    void SetSink(Sink sink);
    // Failure injection: the open answers this code; the n-th PlayBuffer (1-based) fails.
    void FailOpenWith(int resultCode);
    void FailPlayBufferNumber(int n);
    int OpenCount() const;

protected:
    std::optional<std::uint64_t> PlayedFrames() const override;
    bool HasPlayableLocked() const { return open_ && !paused_ && !queue_.empty(); }
    mutable std::mutex lock_;
    mutable std::condition_variable changed_;

private:
    std::deque<std::uint32_t> queue_;
    bool open_ = false;
    bool paused_ = false;
    WaveOutProc callback_ = nullptr;
    void* instance_ = nullptr;
    std::uint64_t playedFrames_ = 0;
    Sink sink_;
    int callbacksInFlight_ = 0;
    int failOpenCode_ = MMSYSERR_NOERROR;
    int failPlayNumber_ = 0;
    int playCount_ = 0;
    int openCount_ = 0;
};

class FileWaveOut : public QueuedWaveOut {
public:
    // PCM goes to the file at path (16-bit, interleaved, as decoded); an empty path discards it.
    explicit FileWaveOut(const std::string& path);
    ~FileWaveOut() override;
    bool FileOk() const { return path_.empty() || file_ != nullptr; }
    std::uint64_t BytesWritten() const;
    // Pushes what is buffered to the file; false when any PCM did not reach it.
    bool Flush();

    // A buffer is written and completed at once, on the caller's thread; while paused they wait.
    int PlayBuffer(std::uint32_t index) override;
    int Restart() override;

private:
    std::string path_;
    std::FILE* file_ = nullptr;
    std::uint64_t written_ = 0;
    bool writeFailed_ = false;
};

}  // namespace pell
