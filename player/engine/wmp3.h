#pragma once

// The player's MP3 playback engine. It opens one recording at a time, measures it, and plays it
// on a worker thread of its own: the worker collects a few frames under the stream lock, decodes
// them into the next free buffer of the wave output's ring and queues it; each buffer the device
// finishes wakes the worker again. Two locks guard it, always taken in this order: the thread
// lock (held by the worker for its whole run) and the stream lock (every use of the stream's
// position); a third, innermost lock guards the PCM in the ring against the level meter.
// Operations return 1 on success. A 0 means one of two things, told apart per operation below:
// "failed", with the reason in the last-error text, or "nothing to do", with the text untouched.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/core/auto_reset_event.h"
#include "player/engine/equalizer.h"
#include "player/engine/error_text.h"
#include "player/engine/mp3_decoder.h"
#include "player/engine/mp3_frame.h"
#include "player/engine/peak_limiter.h"
#include "player/engine/wave_output.h"
#include "player/engine/wstream.h"

namespace pell {

class WMp3 {
public:
    // Where playback stands. Moves, and the thread that makes them:
    //   Closed  -> Open     OpenMp3File succeeds (caller's thread).
    //   Open, Ended -> Playing   Play starts a worker (caller's thread).
    //   Playing -> Paused   Pause; Paused -> Playing: Resume, or Play (caller's thread).
    //   Playing, Paused -> Open   Stop, Seek (caller's thread), or the worker when the device
    //                       cannot be opened or refuses a buffer.
    //   Playing, Paused -> Ended  the worker, once the last buffer has played; Stop then has
    //                       nothing to do and the position reads the length until Seek or Play.
    //   Ended -> Open       Seek (caller's thread).
    //   any     -> Closed   Close (caller's thread, after the worker has ended).
    // The worker runs while the state is Playing or Paused and ends soon after it leaves them.
    enum class State { kClosed, kOpen, kPlaying, kPaused, kEnded };

    explicit WMp3(std::unique_ptr<WaveOutput> output);
    ~WMp3();
    WMp3(const WMp3&) = delete;
    WMp3& operator=(const WMp3&) = delete;

    // 0 failed: a file is already open, it cannot be opened, or it holds no playable frame.
    int OpenMp3File(const char* fileName, int bufferMs);
    // length 0: to the end of the file.
    int OpenMp3File(const char* fileName, int bufferMs, std::uint32_t startOffset, std::uint32_t length);
    // 0 failed: no file open, or no thread. 0 nothing to do: already playing. Paused: resumes.
    // A device that cannot be opened shows later: the worker sets the text and returns to Open.
    int Play();
    // 0 failed: no file open. 0 nothing to do: neither playing nor paused.
    int Pause();
    // 0 failed: no file open. Otherwise 1, also when nothing was paused.
    int Resume();
    // 0 failed: no file open. 0 nothing to do: neither playing nor paused (Ended included).
    int Stop();
    // 0 failed: no file open, or the stream cannot seek there (it is then back at the audio start).
    int Seek(int seconds);
    // Whole seconds; 0 failed: no file open.
    std::uint32_t GetPosition();
    std::uint32_t GetLength() const { return lengthSeconds_.load(); }
    // 0 nothing to show (not playing, or no buffer played yet); never fails with a text.
    int GetVUData(int* left, int* right);
    // Always 1.
    int Close();

    // Always 1.
    int EnableEqualizer(int enable);
    // 0 nothing done: a band or gain out of range; never sets a text.
    int SetEqualizer(int preamp, int band, int gain);

    std::string GetError() const;
    State GetState() const { return state_.load(); }
    bool IsPlaying() const { return IsPlaying(state_.load()); }
    bool IsPaused() const { return state_.load() == State::kPaused; }
    // The measurement of the open stream (cleared by Close).
    StreamInfo GetStreamInfo() const;
    BufferPlan GetBufferPlan() const { return plan_; }
    WaveOutput& Output() { return *output_; }
    // The decoder's gain for a channel's subband, as the next frame will use it.
    double SubbandGain(int channel, int subband) const;

    // Frame functions over the attached stream and the current header.
    bool FindFirstValidFrame();
    // 1 for an ID3v1 tag, plus 2 for an ID3v2 tag; 0 also when failed, with the text set.
    int GetID3Version();
    bool ReadXingHeader();
    const FrameHeader& CurrentHeader() const { return header_; }

private:
    int OpenStream(std::unique_ptr<WStream> stream, int bufferMs, std::uint32_t startOffset, std::uint32_t length);
    bool MeasureStream(std::uint32_t length);
    int GetID3VersionLocked();
    static bool IsPlaying(State state) { return state == State::kPlaying || state == State::kPaused; }
    // Leaves Playing or Paused for next and stops the device and the worker; 0 when the state
    // was neither (someone else stopped first).
    int StopPlayback(State next);
    // The worker's start: decoder, limiter and buffers reset, device opened; false (with the
    // text set and the state back to Open) when nothing can play.
    bool StartRun();
    void PlayingThread();
    // Collects the next frames and decodes them into buffer index; 0 at the stream's end (no
    // frame left) or when playing stopped.
    int FillBuffer(std::uint32_t index);
    // Copies up to a buffer's worth of whole frames into the input buffer, under the stream lock;
    // the bytes copied, 0 when none is left or playing stopped.
    std::uint32_t CollectFrames();
    // Decodes the collected bytes into buffer index, outside the stream lock; false when
    // playing stopped meanwhile.
    bool DecodeFrames(std::uint32_t index, std::uint32_t bytes);
    // Restores the equalizer's boost on one decoded frame; the bytes that stay in place.
    std::uint32_t ShapeFrame(std::uint8_t* pcm, std::uint32_t bytes);
    // At the stream's end, the frames the limiter still holds go into buffer index; false when
    // it holds none.
    bool FlushLimiter(std::uint32_t index);
    static void WaveOutDone(WaveOutput* output, OutputMessage message, void* instance, WaveHeader* header);
    bool AllBuffersDone() const;
    bool OnWorkerThread() const;
    void JoinWorker();
    void SetError(std::string_view message);
    void FailOpen(std::string_view message);

    std::unique_ptr<WStream> stream_;
    StreamInfo info_;
    FrameHeader header_;
    std::vector<std::uint8_t> searchBuffer_;
    SubbandGains gains_;
    Mp3Decoder decoder_{&gains_};
    EqualizerBands bands_;
    // Used by the worker only; on for a run that starts with the equalizer switched on.
    PeakLimiter limiter_;
    bool limiterOn_ = false;
    std::unique_ptr<WaveOutput> output_;
    std::thread worker_;
    std::atomic<std::thread::id> workerId_{};
    std::unique_ptr<AutoResetEvent> wakeEvent_;
    std::vector<std::uint8_t> inputBuffer_;
    BufferPlan plan_;
    int framePcmBytes_ = 0;

    std::recursive_mutex threadLock_;
    mutable std::mutex streamLock_;
    mutable std::mutex bufferLock_;

    std::atomic<State> state_{State::kClosed};
    std::atomic<int> seekOffset_{0};
    std::atomic<std::uint64_t> doneBytes_{0};
    std::atomic<std::uint32_t> currentBuffer_{0};
    std::atomic<int> levelReady_{0};
    std::atomic<std::uint32_t> lengthSeconds_{0};

    mutable std::mutex errorLock_;
    ErrorText error_;
};

}  // namespace pell
