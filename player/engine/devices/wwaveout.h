#pragma once

// The sound card behind the engine's ring of buffers: a PortAudio output stream in callback mode
// takes queued buffers in order and counts a buffer done when the device has played its last
// frame (by the stream's DAC time, or by the frames handed out plus the output latency where
// the host gives no times), then calls the engine's callback on the audio thread, which never
// allocates. The callback applies the stream volume to what it hands out.

#include "player/engine/playout_queue.h"
#include "player/engine/stream_volume.h"
#include "player/engine/wave_output.h"

typedef void PaStream;

namespace pell {

class WWaveOut : public WaveOutput {
public:
    // volume must outlive the output; the player's is the process's stream volume.
    explicit WWaveOut(const StreamVolume& volume = ProcessStreamVolume()) : volume_(&volume) {}
    ~WWaveOut() override;

    // The latency asked of the host: room for the audio thread to be late under load without a
    // gap. Pause and volume changes are heard this much later; positions stay exact.
    static constexpr double kSuggestedLatencySeconds = 0.2;

    // The nearest device-open result for a PortAudio error.
    static OutputResult OpenResultForPaError(int paError);

protected:
    OutputResult OpenDevice(std::uint32_t deviceId) override;
    OutputResult StartDevice() override;
    void CloseDevice() override;
    void ClearLocked() override;
    bool QueueLocked(std::uint32_t index, const WaveHeader& header) override;
    std::size_t TakeAllLocked(std::span<std::uint32_t> out) override;
    bool IdleLocked() const override { return queue_.Idle(); }
    void SetPausedLocked(bool paused) override { queue_.SetPaused(paused); }
    std::uint64_t PlayedFramesLocked() const override { return queue_.PlayedFrames(); }

private:
    static int StreamCallback(const void* input, void* output, unsigned long frames, const void* timeInfo,
                              unsigned long statusFlags, void* self);
    int Fill(std::uint8_t* out, unsigned long frames, double now, double dacStart);

    PaStream* stream_ = nullptr;
    bool paInitialized_ = false;
    // The latency the opened stream reports, for the queue's counted clock.
    double outputLatency_ = 0;
    PlayoutQueue queue_;
    // Set when queued sound was taken back (a stop or seek): closing then drops what the host
    // still holds. Otherwise the record ended and closing lets the host play it out.
    bool discarded_ = false;
    const StreamVolume* volume_;
    VolumeRamp ramp_;
};

}  // namespace pell
