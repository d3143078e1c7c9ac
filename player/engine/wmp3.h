#pragma once

// The player's MP3 playback engine. It opens one recording at a time, measures it, and plays it
// on a worker thread of its own: the worker collects a few frames under the stream lock, decodes
// them into the next free buffer of the wave output's ring and queues it; each buffer the device
// finishes wakes the worker again. Two locks guard it, always taken in this order: the thread
// lock (held by the worker for its whole run) and the stream lock (every use of the stream's
// position); a third, innermost lock guards the PCM in the ring against the level meter.
// Operations return 1 on success and 0 with a last-error text on failure.

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
#include "player/engine/wave_output.h"
#include "player/engine/wstream.h"

namespace pell {

class WMp3 {
public:
    explicit WMp3(std::unique_ptr<WaveOutput> output);
    ~WMp3();
    WMp3(const WMp3&) = delete;
    WMp3& operator=(const WMp3&) = delete;

    int OpenMp3File(const char* fileName, int bufferMs);
    // length 0: to the end of the file.
    int OpenMp3File(const char* fileName, int bufferMs, std::uint32_t startOffset, std::uint32_t length);
    int Play();
    int Pause();
    int Resume();
    int Stop();
    int Seek(int seconds);
    std::uint32_t GetPosition();
    std::uint32_t GetLength() const { return lengthSeconds_.load(); }
    int GetVUData(int* left, int* right);
    int Close();

    int EnableEqualizer(int enable);
    int SetEqualizer(int preamp, int band, int gain);

    std::string GetError() const;
    bool IsPlaying() const { return playing_.load() != 0; }
    bool IsPaused() const { return paused_.load() != 0; }
    // The measurement of the open stream (cleared by Close).
    StreamInfo GetStreamInfo() const;
    BufferPlan GetBufferPlan() const { return plan_; }
    WaveOutput& Output() { return *output_; }
    // The decoder's gain for a channel's subband, as the next frame will use it.
    double SubbandGain(int channel, int subband) const;

    // Frame functions over the attached stream and the current header.
    bool FindFirstValidFrame();
    int GetID3Version();
    bool ReadXingHeader();
    const FrameHeader& CurrentHeader() const { return header_; }

private:
    int OpenStream(std::unique_ptr<WStream> stream, int bufferMs, std::uint32_t startOffset, std::uint32_t length);
    bool MeasureStream(std::uint32_t length);
    int GetID3VersionLocked();
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
    Mp3DecoderState decoder_;
    EqualizerBands bands_;
    std::unique_ptr<WaveOutput> output_;
    std::thread worker_;
    std::atomic<bool> workerRunning_{false};
    std::atomic<std::thread::id> workerId_{};
    std::unique_ptr<AutoResetEvent> wakeEvent_;
    std::vector<std::uint8_t> inputBuffer_;
    BufferPlan plan_;
    int framePcmBytes_ = 0;

    std::recursive_mutex threadLock_;
    mutable std::mutex streamLock_;
    mutable std::mutex bufferLock_;

    std::atomic<int> playing_{0};
    std::atomic<int> paused_{0};
    std::atomic<int> seekOffset_{0};
    std::atomic<std::uint64_t> doneBytes_{0};
    std::atomic<std::uint32_t> currentBuffer_{0};
    std::atomic<int> levelReady_{0};
    std::atomic<bool> streamOpen_{false};
    // Set by the worker's own stop at the stream's end, so the position reads the length.
    std::atomic<bool> atEnd_{false};
    std::atomic<std::uint32_t> lengthSeconds_{0};

    mutable std::mutex errorLock_;
    ErrorText error_;
};

}  // namespace pell
