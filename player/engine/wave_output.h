#pragma once

// A ring of PCM output buffers in front of an output device. The engine decodes into a buffer,
// hands it to the device with PlayBuffer, and the device marks it done and calls the callback
// when it has played the buffer's last frame. Subclasses supply the device: a sound card
// (WWaveOut), a file written as fast as possible, or a test fake completing buffers on demand.
// Every operation returns 1 on success and 0 with a last-error text on failure.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "player/engine/error_text.h"

namespace pell {

// Header flags. Done: the device has played the buffer and the engine may refill it.
inline constexpr std::uint32_t kBufferDone = 0x1;
inline constexpr std::uint32_t kBufferPrepared = 0x2;
inline constexpr std::uint32_t kBufferQueued = 0x10;

// What the device tells the engine's callback; only kDone is sent.
enum class OutputMessage { kOpen, kClose, kDone };

// The device the engine plays on: the system's default output.
inline constexpr std::uint32_t kDefaultOutputDevice = 0xFFFFFFFFu;
// The engine's open flag: completions arrive through its callback function.
inline constexpr std::uint32_t kCallbackFunction = 0x30000;

struct WaveHeader {
    std::uint8_t* data = nullptr;
    std::uint32_t validBytes = 0;         // set by the engine after decoding
    std::uint32_t index = 0;              // the buffer's place in the ring
    std::atomic<std::uint32_t> flags{0};  // set by the device's thread, read by the engine's
};

// The PCM format a device plays, in the fields of a WAVE header's format chunk.
struct WaveFormat {
    std::uint16_t formatTag = 0;  // 1: PCM
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSec = 0;   // Hz
    std::uint32_t avgBytesPerSec = 0;  // bytes of sound per second
    std::uint16_t blockAlign = 0;      // bytes per frame (all channels of one sample)
    std::uint16_t bitsPerSample = 0;
    std::uint16_t extraSize = 0;  // bytes of format data after these fields
};

// Why a device open or close failed; each has its last-error text.
enum class OutputResult {
    kOk,
    kError,
    kBadDeviceId,
    kAllocated,
    kInvalidHandle,
    kNoDriver,
    kNoMemory,
    kBadFormat,
    kStillPlaying,
    kSync,
};

// Last-error texts of a failed device open and close, by result code.
const char* OpenAudioOutputErrorText(OutputResult result);
const char* CloseErrorText(OutputResult result);

class WaveOutput;
// Called on the device's thread (or the one resetting it) with OutputMessage::kDone and the finished header.
using WaveOutProc = void (*)(WaveOutput* output, OutputMessage message, void* instance, WaveHeader* header);

class WaveOutput {
public:
    WaveOutput() = default;
    virtual ~WaveOutput();
    WaveOutput(const WaveOutput&) = delete;
    WaveOutput& operator=(const WaveOutput&) = delete;

    int Initialize(std::uint16_t formatTag, std::uint16_t channels, std::uint32_t samplesPerSec,
                   std::uint16_t bitsPerSample, std::uint32_t numberOfBuffers, std::uint32_t bufferMs);
    int Uninitialize();

    int OpenAudioOutput(std::uint32_t deviceId, WaveOutProc callback, void* instance, std::uint32_t flags);
    // Fails while buffers are queued; waits for completions being delivered, so none reaches the
    // engine after it returns.
    int Close();
    virtual int PlayBuffer(std::uint32_t index);
    virtual int UnprepareHeader(std::uint32_t index);
    // Hands every queued buffer back as done, in order.
    int Reset();
    int Pause();
    virtual int Restart();

    // kind 0 samples, 1 milliseconds, 2 whole seconds, 3 bytes played since the device opened;
    // 0 while it is closed or for another kind.
    std::uint64_t GetPosition(int kind) const;

    std::uint8_t* GetBufferData(std::uint32_t index) const;
    void SetBufferDataSize(std::uint32_t index, std::uint32_t bytes);
    std::uint32_t GetBufferDataSize(std::uint32_t index) const;
    int IsBufferDone(std::uint32_t index) const;
    void SetBufferDone(std::uint32_t index);
    std::uint32_t GetNumOfBuffers() const { return bufferCount_; }
    std::uint32_t GetBufferSize() const { return bufferSize_; }
    const WaveFormat& GetFormat() const { return format_; }
    std::string GetError() const;

protected:
    // What a device supplies. The ...Locked hooks run with lock_ held and must not call back
    // into the engine; OpenDevice, StartDevice and CloseDevice run without it.
    // Acquires the device for the stored format; kOk or the reason it cannot.
    virtual OutputResult OpenDevice(std::uint32_t deviceId) = 0;
    // Starts it once the engine's callback is in place; a failure leaves the device closed.
    virtual OutputResult StartDevice() { return OutputResult::kOk; }
    // Releases it after Close found nothing queued; no completion may run after it returns.
    virtual void CloseDevice() {}
    // Forgets what an earlier open played: an empty queue, not paused, no frames played.
    virtual void ClearLocked() = 0;
    // Queues a buffer's valid bytes behind the others; false when the device refuses it.
    virtual bool QueueLocked(std::uint32_t index, const WaveHeader& header) = 0;
    // Takes every queued buffer, in order, into out (which holds the buffer count); returns how many.
    virtual std::size_t TakeAllLocked(std::span<std::uint32_t> out) = 0;
    virtual bool IdleLocked() const = 0;
    virtual void SetPausedLocked(bool paused) = 0;
    // Sample frames the device has played since it was opened.
    virtual std::uint64_t PlayedFramesLocked() const = 0;

    WaveHeader* Header(std::uint32_t index) const;
    void SetError(std::string_view message);
    // Marks the finished buffers done and tells the engine with lock released, so the engine may
    // queue the next buffer from its callback; returns with lock held again. Allocation-free, so
    // the audio thread may call it.
    void DeliverCompletions(std::unique_lock<std::mutex>& lock, std::span<const std::uint32_t> finished);

    // Guards the device's queue and open state, the engine's callback and the delivery count.
    mutable std::mutex lock_;
    // Notified on every change of the queue or the open state.
    mutable std::condition_variable changed_;
    bool open_ = false;

private:
    static void CompleteHeader(WaveOutput* output, WaveOutProc callback, void* instance, WaveHeader* header);

    std::unique_ptr<WaveHeader[]> headers_;
    std::vector<std::unique_ptr<std::uint8_t[]>> buffers_;
    WaveFormat format_;
    std::uint32_t bufferCount_ = 0;
    std::uint32_t bufferSize_ = 0;
    std::uint32_t bufferMs_ = 0;
    std::uint32_t sampleRate_ = 0;
    WaveOutProc callback_ = nullptr;
    void* instance_ = nullptr;
    int deliveriesInFlight_ = 0;
    mutable std::mutex errorLock_;
    ErrorText error_;
};

}  // namespace pell
