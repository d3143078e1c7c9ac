#pragma once

// The sound card behind the engine's ring of buffers: a PortAudio output stream in callback mode
// takes queued buffers in order and counts a buffer done when the device has played its last
// frame (by the stream's DAC time), then calls the engine's callback on the audio thread.

#include <deque>
#include <vector>

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
    struct Pending {
        std::uint32_t index;
        double dacTime;           // when its last frame leaves the device
        std::uint64_t endFrame;   // frames sent up to its end
    };
    struct Chunk {
        std::uint64_t firstFrame;
        std::uint32_t frames;
        double dacTime;
    };
    static int StreamCallback(const void* input, void* output, unsigned long frames, const void* timeInfo,
                              unsigned long statusFlags, void* self);
    int Fill(std::uint8_t* out, unsigned long frames, double now, double dacStart);

    PaStream* stream_ = nullptr;
    bool paInitialized_ = false;
    WaveOutProc callback_ = nullptr;
    void* instance_ = nullptr;

    mutable std::mutex lock_;
    std::deque<std::uint32_t> queue_;
    std::uint32_t headOffset_ = 0;   // bytes of the head buffer already sent
    std::deque<Pending> pending_;    // sent whole, not yet heard, in order
    double lastDacTime_ = 0;
    std::deque<Chunk> chunks_;       // sent PCM not yet heard, for the position
    std::uint64_t framesSent_ = 0;
    std::uint64_t framesPlayed_ = 0;
    bool paused_ = false;
    bool open_ = false;
};

}  // namespace pell
