#include "player/engine/devices/wwaveout.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include <portaudio.h>

namespace pell {

WWaveOut::~WWaveOut() {
    Reset();
    if (stream_ != nullptr) {
        Pa_AbortStream(stream_);
        Pa_CloseStream(stream_);
    }
    if (paInitialized_) Pa_Terminate();
}

OutputResult WWaveOut::OpenResultForPaError(int paError) {
    switch (paError) {
        case paNoError:
            return OutputResult::kOk;
        case paInvalidDevice:
            return OutputResult::kBadDeviceId;
        case paDeviceUnavailable:
            return OutputResult::kAllocated;
        case paInsufficientMemory:
            return OutputResult::kNoMemory;
        case paInvalidChannelCount:
        case paInvalidSampleRate:
        case paSampleFormatNotSupported:
            return OutputResult::kBadFormat;
        case paNotInitialized:
        case paHostApiNotFound:
        case paInvalidHostApi:
            return OutputResult::kNoDriver;
        default:
            return OutputResult::kError;
    }
}

OutputResult WWaveOut::OpenDevice(std::uint32_t deviceId) {
    if (!paInitialized_) {
        if (Pa_Initialize() != paNoError) return OutputResult::kNoDriver;
        paInitialized_ = true;
    }
    PaDeviceIndex device =
        deviceId == kDefaultOutputDevice ? Pa_GetDefaultOutputDevice() : static_cast<PaDeviceIndex>(deviceId);
    if (device == paNoDevice) return OutputResult::kNoDriver;
    if (device < 0 || device >= Pa_GetDeviceCount()) return OutputResult::kBadDeviceId;
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    PaStreamParameters params{};
    params.device = device;
    params.channelCount = GetFormat().channels;
    params.sampleFormat = paInt16;
    params.suggestedLatency = std::max(info ? info->defaultHighOutputLatency : 0.0, kSuggestedLatencySeconds);
    PaStream* stream = nullptr;
    const PaError err =
        Pa_OpenStream(&stream, nullptr, &params, GetFormat().samplesPerSec, paFramesPerBufferUnspecified, paNoFlag,
                      reinterpret_cast<PaStreamCallback*>(&WWaveOut::StreamCallback), this);
    if (err != paNoError) return OpenResultForPaError(err);
    const PaStreamInfo* streamInfo = Pa_GetStreamInfo(stream);
    outputLatency_ = streamInfo ? streamInfo->outputLatency : params.suggestedLatency;
    stream_ = stream;
    return OutputResult::kOk;
}

void WWaveOut::ClearLocked() {
    queue_.Open(GetNumOfBuffers(), GetFormat().samplesPerSec, GetFormat().blockAlign, outputLatency_);
    ramp_.Reset(volume_->Get());
    discarded_ = false;
}

OutputResult WWaveOut::StartDevice() {
    const PaError err = Pa_StartStream(stream_);
    if (err == paNoError) return OutputResult::kOk;
    Pa_CloseStream(stream_);
    stream_ = nullptr;
    return OpenResultForPaError(err);
}

void WWaveOut::CloseDevice() {
    bool discarded = false;
    {
        std::lock_guard lock(lock_);
        discarded = discarded_;
    }
    // Both wait for a running callback, so no completion reaches the engine afterwards. At a
    // record's end the host still holds up to its latency of the last words: they play out.
    if (discarded) {
        Pa_AbortStream(stream_);
    } else {
        Pa_StopStream(stream_);
    }
    Pa_CloseStream(stream_);
    stream_ = nullptr;
}

std::size_t WWaveOut::TakeAllLocked(std::span<std::uint32_t> out) {
    // At a record's end every buffer has come back, so nothing is taken and nothing discarded.
    const std::size_t taken = queue_.TakeAll(out);
    if (taken > 0) discarded_ = true;
    return taken;
}

bool WWaveOut::QueueLocked(std::uint32_t index, const WaveHeader& header) {
    return queue_.Push(index, header.data, header.validBytes);
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
    std::unique_lock lock(lock_);
    const std::size_t count = queue_.Render(out, static_cast<std::uint32_t>(frames), now, dacStart, finished);
    ramp_.Apply(out, frames, GetFormat().channels, volume_->Get());
    DeliverCompletions(lock, std::span(finished.data(), count));
    return paContinue;
}

}  // namespace pell
