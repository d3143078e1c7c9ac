#pragma once

// Wave outputs without a sound card. QueuedWaveOut keeps the device's queue and completes the
// oldest buffer when asked (CompleteNext), handing its PCM to a sink first; tests drive it
// buffer by buffer and can make the open or a write fail. FileWaveOut completes each buffer as
// soon as it is queued, on the caller's thread, and writes its PCM to a file in large blocks.

#include <deque>
#include <functional>
#include <vector>

#include "common/core/unique_fd.h"
#include "player/engine/wave_output.h"

namespace pell {

class QueuedWaveOut : public WaveOutput {
public:
    using Sink = std::function<void(const std::uint8_t* data, std::uint32_t bytes)>;

    QueuedWaveOut() = default;
    ~QueuedWaveOut() override = default;

    // Plays the oldest queued buffer to its end; false when nothing is queued, paused or closed.
    bool CompleteNext();
    std::size_t QueuedCount() const;
    bool IsOpen() const;
    // Waits (bounded) until pred holds for the queue length and open state; false on time-out.
    bool WaitFor(const std::function<bool(std::size_t queued, bool open)>& pred,
                 std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;

    void SetSink(Sink sink);
    // Failure injection: the open answers this code; the n-th PlayBuffer (1-based) fails.
    void FailOpenWith(OutputResult result);
    void FailPlayBufferNumber(int n);
    int OpenCount() const;

protected:
    OutputResult OpenDevice(std::uint32_t deviceId) override;
    void ClearLocked() override;
    bool QueueLocked(std::uint32_t index, const WaveHeader& header) override;
    std::size_t TakeAllLocked(std::span<std::uint32_t> out) override;
    bool IdleLocked() const override { return queue_.empty(); }
    void SetPausedLocked(bool paused) override { paused_ = paused; }
    std::uint64_t PlayedFramesLocked() const override { return playedFrames_; }

private:
    std::deque<std::uint32_t> queue_;
    bool paused_ = false;
    std::uint64_t playedFrames_ = 0;
    Sink sink_;
    OutputResult failOpenResult_ = OutputResult::kOk;
    int failPlayNumber_ = 0;
    int playCount_ = 0;
    int openCount_ = 0;
};

class FileWaveOut : public QueuedWaveOut {
public:
    // PCM goes to the file at path (16-bit, interleaved, as decoded); an empty path discards it.
    explicit FileWaveOut(const std::string& path);
    // Writes what is still gathered; only CloseFile can say whether that worked.
    ~FileWaveOut() override;
    bool FileOk() const { return fileOk_; }
    std::uint64_t BytesWritten() const;
    // write(2) calls made so far: one per kWriteBlockBytes of PCM, and one for the rest at the end.
    std::uint64_t WriteCalls() const;
    static constexpr std::size_t kWriteBlockBytes = std::size_t{256} * 1024;
    // Closes the file; false when any PCM did not reach it (a write or the close failed). Later
    // PCM is counted but not written.
    bool CloseFile();

    // A buffer is written and completed at once, on the caller's thread; while paused they wait.
    int PlayBuffer(std::uint32_t index) override;
    int Restart() override;

private:
    void WriteBlockLocked();

    UniqueFd file_;
    std::vector<std::uint8_t> block_;
    std::uint64_t writeCalls_ = 0;
    bool fileOk_ = true;
    std::uint64_t written_ = 0;
    bool writeFailed_ = false;
};

}  // namespace pell
