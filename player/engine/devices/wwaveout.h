#pragma once

// The sound card behind the engine's ring of buffers: a PortAudio output stream in callback mode
// takes queued buffers in order and counts a buffer done when the device has played its last
// frame (by the stream's DAC time, or by the frames handed out plus the output latency where
// the host gives no times), then calls the engine's callback on the audio thread, which never
// allocates.

#include "player/engine/playout_queue.h"
#include "player/engine/wave_output.h"

typedef void PaStream;

namespace pell {

class WWaveOut : public WaveOutput {
public:
    WWaveOut() = default;
    ~WWaveOut() override;

    int OpenAudioOutput(std::uint32_t deviceId, WaveOutProc callback, void* instance, std::uint32_t flags) override;
    int Close() override;
    int PlayBuffer(std::uint32_t index) override;
    int Reset() override;
    int Pause() override;
    int Restart() override;

    // The nearest device-open result for a PortAudio error.
    static int OpenResultForPaError(int paError);

protected:
    std::optional<std::uint64_t> PlayedFrames() const override;

private:
    static int StreamCallback(const void* input, void* output, unsigned long frames, const void* timeInfo,
                              unsigned long statusFlags, void* self);
    int Fill(std::uint8_t* out, unsigned long frames, double now, double dacStart);

    PaStream* stream_ = nullptr;
    bool paInitialized_ = false;
    WaveOutProc callback_ = nullptr;
    void* instance_ = nullptr;

    mutable std::mutex lock_;
    PlayoutQueue queue_;
    bool open_ = false;
};

}  // namespace pell
