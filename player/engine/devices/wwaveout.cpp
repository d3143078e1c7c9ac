#include "player/engine/devices/wwaveout.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

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
    PaStream* stream = nullptr;
    PaError err = Pa_OpenStream(&stream, nullptr, &params, GetFormat().nSamplesPerSec, paFramesPerBufferUnspecified,
                                paNoFlag, reinterpret_cast<PaStreamCallback*>(&WWaveOut::StreamCallback), this);
    if (err == paNoError) {
        const PaStreamInfo* streamInfo = Pa_GetStreamInfo(stream);
        std::lock_guard lock(lock_);
        callback_ = callback ? callback : &NoCallback;
        instance_ = instance;
        queue_.Open(GetNumOfBuffers(), GetFormat().nSamplesPerSec, GetFormat().nBlockAlign,
                    streamInfo ? streamInfo->outputLatency : params.suggestedLatency);
        open_ = true;
    }
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
        if (!queue_.Idle()) {
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
    if (!queue_.Push(index, header->lpData, header->dwBufferLength)) {
        SetError("WWaveOut::PlayBuffer   *** Can't write data");
        return 0;
    }
    header->dwLoops = 0;
    header->dwFlags.store(WHDR_PREPARED | WHDR_INQUEUE);
    return 1;
}

int WWaveOut::Reset() {
    std::vector<std::uint32_t> returned(GetNumOfBuffers());
    WaveOutProc callback = nullptr;
    void* instance = nullptr;
    {
        std::lock_guard lock(lock_);
        returned.resize(queue_.TakeAll(returned));
        callback = callback_;
        instance = instance_;
    }
    for (std::uint32_t index : returned) CompleteHeader(this, callback, instance, Header(index));
    return 1;
}

int WWaveOut::Pause() {
    std::lock_guard lock(lock_);
    queue_.SetPaused(true);
    return 1;
}

int WWaveOut::Restart() {
    std::lock_guard lock(lock_);
    queue_.SetPaused(false);
    return 1;
}

std::optional<std::uint64_t> WWaveOut::PlayedFrames() const {
    std::lock_guard lock(lock_);
    if (!open_) return std::nullopt;
    return queue_.PlayedFrames();
}

int WWaveOut::StreamCallback(const void*, void* output, unsigned long frames, const void* timeInfo, unsigned long,
                             void* self) {
    const auto* times = static_cast<const PaStreamCallbackTimeInfo*>(timeInfo);
    return static_cast<WWaveOut*>(self)->Fill(static_cast<std::uint8_t*>(output), frames,
                                              times ? times->currentTime : 0, times ? times->outputBufferDacTime : 0);
}

int WWaveOut::Fill(std::uint8_t* out, unsigned long frames, double now, double dacStart) {
    // More completions than this in one call wait for the next call.
    std::array<std::uint32_t, 64> finished{};
    std::size_t finishedCount = 0;
    WaveOutProc callback = nullptr;
    void* instance = nullptr;
    {
        std::lock_guard lock(lock_);
        callback = callback_;
        instance = instance_;
        finishedCount = queue_.Render(out, static_cast<std::uint32_t>(frames), now, dacStart, finished);
    }
    for (std::size_t i = 0; i < finishedCount; ++i) CompleteHeader(this, callback, instance, Header(finished[i]));
    return paContinue;
}

}  // namespace pell
