#include "player/engine/devices/wwaveout.h"

#include <algorithm>
#include <array>
#include <cstring>

#include <portaudio.h>

namespace pell {

namespace {
void NoCallback(WaveOutput*, unsigned, void*, WaveHeader*) {}
}  // namespace

WWaveOut::~WWaveOut() {
    Reset();
    if (stream_ != nullptr) {
        Pa_AbortStream(stream_);
        Pa_CloseStream(stream_);
    }
    if (paInitialized_) Pa_Terminate();
}

int WWaveOut::OpenResultForPaError(int paError) {
    switch (paError) {
    case paNoError: return MMSYSERR_NOERROR;
    case paInvalidDevice: return MMSYSERR_BADDEVICEID;
    case paDeviceUnavailable: return MMSYSERR_ALLOCATED;
    case paInsufficientMemory: return MMSYSERR_NOMEM;
    case paInvalidChannelCount:
    case paInvalidSampleRate:
    case paSampleFormatNotSupported: return WAVERR_BADFORMAT;
    case paNotInitialized:
    case paHostApiNotFound:
    case paInvalidHostApi: return MMSYSERR_NODRIVER;
    default: return MMSYSERR_ERROR;
    }
}

int WWaveOut::OpenAudioOutput(std::uint32_t deviceId, WaveOutProc callback, void* instance, std::uint32_t) {
    if (stream_ != nullptr) {
        SetError(OpenAudioOutputErrorText(MMSYSERR_ALLOCATED));
        return 0;
    }
    if (!paInitialized_) {
        if (Pa_Initialize() != paNoError) {
            SetError(OpenAudioOutputErrorText(MMSYSERR_NODRIVER));
            return 0;
        }
        paInitialized_ = true;
    }
    PaDeviceIndex device = deviceId == WAVE_MAPPER ? Pa_GetDefaultOutputDevice() : static_cast<PaDeviceIndex>(deviceId);
    if (device == paNoDevice) {
        SetError(OpenAudioOutputErrorText(MMSYSERR_NODRIVER));
        return 0;
    }
    if (device < 0 || device >= Pa_GetDeviceCount()) {
        SetError(OpenAudioOutputErrorText(MMSYSERR_BADDEVICEID));
        return 0;
    }
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    PaStreamParameters params{};
    params.device = device;
    params.channelCount = GetFormat().nChannels;
    params.sampleFormat = paInt16;
    params.suggestedLatency = info ? info->defaultHighOutputLatency : 0.1;
    {
        std::lock_guard lock(lock_);
        callback_ = callback ? callback : &NoCallback;
        instance_ = instance;
        queue_.clear();
        pending_.clear();
        chunks_.clear();
        headOffset_ = 0;
        lastDacTime_ = 0;
        framesSent_ = 0;
        framesPlayed_ = 0;
        paused_ = false;
        open_ = true;
    }
    PaStream* stream = nullptr;
    PaError err = Pa_OpenStream(&stream, nullptr, &params, GetFormat().nSamplesPerSec, paFramesPerBufferUnspecified,
                                paNoFlag, reinterpret_cast<PaStreamCallback*>(&WWaveOut::StreamCallback), this);
    if (err == paNoError) {
        err = Pa_StartStream(stream);
        if (err != paNoError) Pa_CloseStream(stream);
    }
    if (err != paNoError) {
        std::lock_guard lock(lock_);
        open_ = false;
        SetError(OpenAudioOutputErrorText(OpenResultForPaError(err)));
        return 0;
    }
    stream_ = stream;
    return 1;
}

int WWaveOut::Close() {
    if (stream_ == nullptr) {
        SetError(CloseErrorText(MMSYSERR_INVALHANDLE));
        return 0;
    }
    {
        std::lock_guard lock(lock_);
        if (!queue_.empty() || !pending_.empty()) {
            SetError(CloseErrorText(WAVERR_STILLPLAYING));
            return 0;
        }
        open_ = false;
    }
    // Waits for a running callback, so no completion reaches the engine afterwards.
    Pa_AbortStream(stream_);
    Pa_CloseStream(stream_);
    stream_ = nullptr;
    return 1;
}

int WWaveOut::PlayBuffer(std::uint32_t index) {
    std::lock_guard lock(lock_);
    WaveHeader* header = Header(index);
    if (!open_ || header == nullptr) {
        SetError("WWaveOut::PlayBuffer   *** Can't prepare data");
        return 0;
    }
    header->dwLoops = 0;
    header->dwFlags.store(WHDR_PREPARED | WHDR_INQUEUE);
    queue_.push_back(index);
    return 1;
}

int WWaveOut::Reset() {
    std::vector<std::uint32_t> returned;
    WaveOutProc callback = nullptr;
    void* instance = nullptr;
    {
        std::lock_guard lock(lock_);
        for (const Pending& p : pending_) returned.push_back(p.index);
        returned.insert(returned.end(), queue_.begin(), queue_.end());
        pending_.clear();
        queue_.clear();
        chunks_.clear();
        headOffset_ = 0;
        callback = callback_;
        instance = instance_;
    }
    for (std::uint32_t index : returned) CompleteHeader(this, callback, instance, Header(index));
    return 1;
}

int WWaveOut::Pause() {
    std::lock_guard lock(lock_);
    paused_ = true;
    return 1;
}

int WWaveOut::Restart() {
    std::lock_guard lock(lock_);
    paused_ = false;
    return 1;
}

std::optional<std::uint64_t> WWaveOut::PlayedFrames() const {
    std::lock_guard lock(lock_);
    if (!open_) return std::nullopt;
    return framesPlayed_;
}

int WWaveOut::StreamCallback(const void*, void* output, unsigned long frames, const void* timeInfo, unsigned long,
                             void* self) {
    const auto* times = static_cast<const PaStreamCallbackTimeInfo*>(timeInfo);
    return static_cast<WWaveOut*>(self)->Fill(static_cast<std::uint8_t*>(output), frames, times->currentTime,
                                              times->outputBufferDacTime);
}

int WWaveOut::Fill(std::uint8_t* out, unsigned long frames, double now, double dacStart) {
    const std::uint32_t align = GetFormat().nBlockAlign;
    const double rate = GetFormat().nSamplesPerSec;
    // No allocation on the audio thread: more completions than this wait for the next call.
    std::array<std::uint32_t, 64> finished{};
    std::size_t finishedCount = 0;
    WaveOutProc callback = nullptr;
    void* instance = nullptr;
    {
        std::lock_guard lock(lock_);
        callback = callback_;
        instance = instance_;
        // What the device has played by now.
        while (!chunks_.empty() && chunks_.front().dacTime <= now) {
            Chunk& c = chunks_.front();
            const double heard = (now - c.dacTime) * rate;
            const std::uint32_t frames = heard >= c.frames ? c.frames : static_cast<std::uint32_t>(heard);
            framesPlayed_ = std::max(framesPlayed_, c.firstFrame + frames);
            if (frames < c.frames) break;
            chunks_.pop_front();
        }
        while (!pending_.empty() && pending_.front().dacTime <= now && finishedCount < finished.size()) {
            framesPlayed_ = std::max(framesPlayed_, pending_.front().endFrame);
            finished[finishedCount++] = pending_.front().index;
            pending_.pop_front();
        }
        // Some devices report no or jumping times; buffers still complete in their order.
        dacStart = std::max(dacStart, lastDacTime_);
        std::uint32_t written = 0;
        if (!paused_) {
            while (written < frames && !queue_.empty()) {
                WaveHeader* head = Header(queue_.front());
                const std::uint32_t left = (head->dwBufferLength - headOffset_) / align;
                const std::uint32_t take = std::min<std::uint32_t>(left, static_cast<std::uint32_t>(frames) - written);
                if (take > 0) {
                    std::memcpy(out + written * align, head->lpData + headOffset_, take * align);
                    chunks_.push_back({framesSent_, take, dacStart + written / rate});
                    framesSent_ += take;
                    written += take;
                    headOffset_ += take * align;
                }
                if ((head->dwBufferLength - headOffset_) / align == 0) {
                    lastDacTime_ = dacStart + written / rate;
                    pending_.push_back({queue_.front(), lastDacTime_, framesSent_});
                    queue_.pop_front();
                    headOffset_ = 0;
                }
            }
        }
        std::memset(out + written * align, 0, (frames - written) * align);
    }
    for (std::size_t i = 0; i < finishedCount; ++i) CompleteHeader(this, callback, instance, Header(finished[i]));
    return paContinue;
}

}  // namespace pell
