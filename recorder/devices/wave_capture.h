// Continuous 16-bit stereo capture in half-second blocks with two alternating buffers A and B,
// as the main window consumes them.
//
// The audio thread writes frames into a host-side ring (10 s); the capture thread moves them,
// one block at a time, into whichever of A and B is queued and tells the window through
// `BlockReadyFn` (on the capture thread; the window posts it to its main thread). The main
// thread then calls OnWaveBlock, which processes the next buffer in A, B order and queues it
// again. Each open has its own generation, so a notice queued before a close is dropped after
// the reopen.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "recorder/devices/capture_backend.h"
#include "recorder/devices/capture_format.h"
#include "recorder/devices/pacer.h"
#include "recorder/devices/sample_ring.h"

namespace pell {

inline constexpr char kNoSoundDevice[] = "No Sound Device";
inline constexpr char kNoCapabilities[] = "Cannot determine sound card capabilities !";
inline constexpr char kCannotOpenInput[] = "Cannot Open Sound Input Device!";
inline constexpr char kCaptionSearching[] = "Pell Recorder - searching device";
inline constexpr char kCaptionPrefix[] = "Pell Recorder - ";

// What capture shows the user; the window implements it on its main thread.
class CaptureUi {
public:
    virtual ~CaptureUi() = default;
    virtual void ShowMessage(const std::string& text) = 0;
    virtual void SetCaption(const std::string& text) = 0;
};

// A filled block is waiting; called on the capture thread with the open's generation.
using BlockReadyFn = std::function<void(uint64_t generation)>;
// Processes one block: `count` interleaved values (left first), on the main thread.
using ProcessBlockFn = std::function<void(const int16_t* samples, size_t count)>;

class WaveCapture {
public:
    // Start-up shows the capture messages; a retry (reconnect, reload) stays silent, because a
    // modal box there would stall recovery until someone clicks.
    enum class Search { kStartUp, kRetry };

    WaveCapture(CaptureBackend& backend, CaptureUi& ui, BlockReadyFn onBlockReady);
    // Closes the device, ends and joins the capture thread, ends the audio system.
    ~WaveCapture();
    WaveCapture(const WaveCapture&) = delete;
    WaveCapture& operator=(const WaveCapture&) = delete;

    bool InitCapture();
    // Lower-cases `device` in place, opens the first matching input device at the effective
    // rate and names it in the caption once open. A retry restarts the audio system first, so a
    // box that came back (perhaps as another card) is seen.
    bool FindCaptureDevice(std::string& device, int32_t sampleRate, Search search);
    bool OpenCapture(size_t deviceIndex, bool showMessages = true);
    // Closes an open stream, once; anything else is a no-op.
    void CloseCapture();
    // Main thread, per block notice: processes the next buffer and queues it again. False when
    // the notice is stale (closed, or from an earlier open) and nothing was processed.
    bool OnWaveBlock(uint64_t generation, const ProcessBlockFn& process);

    bool running() const;
    uint32_t sampleRate() const { return sampleRate_; }
    size_t samplesPerBuffer() const { return samplesPerBuffer_; }
    // Values dropped because the host-side ring was full, since the last open.
    uint64_t droppedSamples() const { return droppedSamples_.load(); }
    // Frames the device has delivered since construction; grows while sound arrives, even when
    // the main thread is busy.
    uint64_t framesReceived() const { return framesReceived_.load(); }

private:
    void StartThread();
    void RunCaptureThread();
    void OnFrames(const int16_t* interleaved, size_t frames);

    CaptureBackend& backend_;
    CaptureUi& ui_;
    BlockReadyFn onBlockReady_;
    bool initialised_ = false;

    mutable std::mutex mutex_;                     // guards everything below except the ring's own indices
    std::array<std::vector<int16_t>, 2> buffers_;  // A, B
    std::array<bool, 2> queued_{};                 // buffer belongs to the capture side
    size_t fillBuffer_ = 0;                        // the capture thread fills this one next
    uint16_t nextBuffer_ = 0;                      // 0: the next processed buffer is A
    bool running_ = false;
    bool threadQuit_ = false;
    uint64_t generation_ = 0;
    uint32_t sampleRate_ = kFallbackSampleRate;
    size_t samplesPerBuffer_ = ValuesPerBlock(kFallbackSampleRate);

    SampleRing ring_;
    std::atomic<uint64_t> droppedSamples_{0};
    std::atomic<uint64_t> framesReceived_{0};
    std::unique_ptr<CaptureStream> stream_;
    AutoResetEvent event_;
    std::thread thread_;
};

}  // namespace pell
