#include "player/engine/wave_output.h"

#include <new>

namespace pell {

const char* OpenAudioOutputErrorText(OutputResult result) {
    switch (result) {
        case OutputResult::kOk:
            return "";
        case OutputResult::kAllocated:
            return "WWaveOut::OpenAudioOutput  *** Specified resource is already allocated";
        case OutputResult::kBadDeviceId:
            return "WWaveOut::OpenAudioOutput  *** Specified device identifier is out of range";
        case OutputResult::kNoDriver:
            return "WWaveOut::OpenAudioOutput  *** No device driver is present";
        case OutputResult::kNoMemory:
            return "WWaveOut::OpenAudioOutput  *** Unable to allocate or lock memory";
        case OutputResult::kBadFormat:
            return "WWaveOut::OpenAudioOutput   *** Attempted to open with an unsupported waveform-audio format";
        case OutputResult::kSync:
            return "WWaveOut::OpenAudioOutput   *** The device is synchronous but waveOutOpen was called without "
                   "using the WAVE_ALLOWSYNC flag";
        default:
            return "WWaveOut::OpenAudioOutput   *** Unknown error";
    }
}

const char* CloseErrorText(OutputResult result) {
    switch (result) {
        case OutputResult::kOk:
            return "";
        case OutputResult::kInvalidHandle:
            return "WWaveOut::Close  *** Specified device handle is invalid";
        case OutputResult::kNoDriver:
            return "WWaveOut::Close  *** No device driver is present";
        case OutputResult::kNoMemory:
            return "WWaveOut::Close   *** Unable to allocate or lock memory";
        case OutputResult::kStillPlaying:
            return "WWaveOut::Close   *** There are still buffers in the queue";
        default:
            return "WWaveOut::Close   *** Unknown error";
    }
}

namespace {
void NoCallback(WaveOutput*, OutputMessage, void*, WaveHeader*) {}

// Last-error texts besides the open and close results, character for character as the output
// has always stored them.
constexpr std::string_view kAlreadyInitialized = "WWaveOut::Initialize   *** Already initializet. Uninitialize first.";
constexpr std::string_view kNoHeaderMemory = "WWave::Initialize *** Can't allocate memory for WAVEHDR structure";
constexpr std::string_view kNoBufferMemory = "WWave::Initialize *** Can't allocate memory for output data buffer";
constexpr std::string_view kCantPrepare = "WWaveOut::PlayBuffer   *** Can't prepare data";
constexpr std::string_view kCantWrite = "WWaveOut::PlayBuffer   *** Can't write data";
}  // namespace

WaveOutput::~WaveOutput() = default;

int WaveOutput::Initialize(std::uint16_t formatTag, std::uint16_t channels, std::uint32_t samplesPerSec,
                           std::uint16_t bitsPerSample, std::uint32_t numberOfBuffers, std::uint32_t bufferMs) {
    if (headers_) {
        SetError(kAlreadyInitialized);
        return 0;
    }
    format_.formatTag = formatTag;
    format_.channels = channels;
    format_.samplesPerSec = samplesPerSec;
    format_.bitsPerSample = bitsPerSample;
    format_.avgBytesPerSec = samplesPerSec * channels * bitsPerSample / 8;
    format_.blockAlign = static_cast<std::uint16_t>(channels * bitsPerSample / 8);
    format_.extraSize = 0;

    std::unique_ptr<WaveHeader[]> headers(new (std::nothrow) WaveHeader[numberOfBuffers]);
    if (!headers) {
        SetError(kNoHeaderMemory);
        return 0;
    }
    const std::uint32_t size = static_cast<std::uint32_t>(std::uint64_t{bufferMs} * format_.avgBytesPerSec / 1000);
    std::vector<std::unique_ptr<std::uint8_t[]>> buffers;
    buffers.reserve(numberOfBuffers);
    for (std::uint32_t i = 0; i < numberOfBuffers; ++i) {
        std::unique_ptr<std::uint8_t[]> data(new (std::nothrow) std::uint8_t[size > 0 ? size : 1]());
        if (!data) {
            SetError(kNoBufferMemory);
            return 0;
        }
        headers[i].data = data.get();
        headers[i].index = i;
        buffers.push_back(std::move(data));
    }
    headers_ = std::move(headers);
    buffers_ = std::move(buffers);
    bufferCount_ = numberOfBuffers;
    bufferSize_ = size;
    bufferMs_ = bufferMs;
    sampleRate_ = samplesPerSec;
    return 1;
}

int WaveOutput::Uninitialize() {
    headers_.reset();
    buffers_.clear();
    bufferCount_ = 0;
    bufferSize_ = 0;
    return 1;
}

int WaveOutput::UnprepareHeader(std::uint32_t index) {
    WaveHeader* header = Header(index);
    if (header == nullptr) return 0;
    if (header->flags.load() & kBufferQueued) return 0;
    header->flags.fetch_and(~kBufferPrepared);
    return 1;
}

int WaveOutput::OpenAudioOutput(std::uint32_t deviceId, WaveOutProc callback, void* instance, std::uint32_t) {
    {
        std::lock_guard lock(lock_);
        if (open_) {
            SetError(OpenAudioOutputErrorText(OutputResult::kAllocated));
            return 0;
        }
    }
    OutputResult result = OpenDevice(deviceId);
    if (result == OutputResult::kOk) {
        std::lock_guard lock(lock_);
        callback_ = callback ? callback : &NoCallback;
        instance_ = instance;
        ClearLocked();
        open_ = true;
        changed_.notify_all();
    }
    if (result == OutputResult::kOk) {
        result = StartDevice();
        if (result != OutputResult::kOk) {
            std::lock_guard lock(lock_);
            open_ = false;
            changed_.notify_all();
        }
    }
    if (result != OutputResult::kOk) {
        SetError(OpenAudioOutputErrorText(result));
        return 0;
    }
    return 1;
}

int WaveOutput::Close() {
    {
        std::unique_lock lock(lock_);
        // No completion may reach the engine after its device is closed.
        changed_.wait(lock, [&] { return deliveriesInFlight_ == 0; });
        if (!open_) {
            SetError(CloseErrorText(OutputResult::kInvalidHandle));
            return 0;
        }
        if (!IdleLocked()) {
            SetError(CloseErrorText(OutputResult::kStillPlaying));
            return 0;
        }
        open_ = false;
        changed_.notify_all();
    }
    CloseDevice();
    return 1;
}

int WaveOutput::PlayBuffer(std::uint32_t index) {
    std::lock_guard lock(lock_);
    WaveHeader* header = Header(index);
    if (!open_ || header == nullptr) {
        SetError(kCantPrepare);
        return 0;
    }
    header->flags.store(kBufferPrepared);
    if (!QueueLocked(index, *header)) {
        SetError(kCantWrite);
        return 0;
    }
    header->flags.store(kBufferPrepared | kBufferQueued);
    changed_.notify_all();
    return 1;
}

int WaveOutput::Reset() {
    std::vector<std::uint32_t> returned(GetNumOfBuffers());
    std::unique_lock lock(lock_);
    returned.resize(TakeAllLocked(returned));
    DeliverCompletions(lock, returned);
    return 1;
}

int WaveOutput::Pause() {
    std::lock_guard lock(lock_);
    SetPausedLocked(true);
    return 1;
}

int WaveOutput::Restart() {
    std::lock_guard lock(lock_);
    SetPausedLocked(false);
    changed_.notify_all();
    return 1;
}

void WaveOutput::DeliverCompletions(std::unique_lock<std::mutex>& lock, std::span<const std::uint32_t> finished) {
    if (finished.empty()) return;
    const WaveOutProc callback = callback_;
    void* const instance = instance_;
    ++deliveriesInFlight_;
    lock.unlock();
    for (std::uint32_t index : finished) CompleteHeader(this, callback, instance, Header(index));
    lock.lock();
    --deliveriesInFlight_;
    changed_.notify_all();
}

std::uint64_t WaveOutput::GetPosition(int kind) const {
    std::uint64_t frames = 0;
    {
        std::lock_guard lock(lock_);
        if (!open_) return 0;
        frames = PlayedFramesLocked();
    }
    switch (kind) {
        case 0:
            return frames;
        case 1:
            return sampleRate_ ? frames * 1000 / sampleRate_ : 0;
        case 2:
            return sampleRate_ ? frames / sampleRate_ : 0;
        case 3:
            return frames * format_.blockAlign;
        default:
            return 0;
    }
}

WaveHeader* WaveOutput::Header(std::uint32_t index) const {
    return headers_ && index < bufferCount_ ? &headers_[index] : nullptr;
}

std::uint8_t* WaveOutput::GetBufferData(std::uint32_t index) const {
    WaveHeader* header = Header(index);
    return header ? header->data : nullptr;
}

void WaveOutput::SetBufferDataSize(std::uint32_t index, std::uint32_t bytes) {
    if (WaveHeader* header = Header(index)) header->validBytes = bytes > bufferSize_ ? bufferSize_ : bytes;
}

std::uint32_t WaveOutput::GetBufferDataSize(std::uint32_t index) const {
    WaveHeader* header = Header(index);
    return header ? header->validBytes : 0;
}

int WaveOutput::IsBufferDone(std::uint32_t index) const {
    WaveHeader* header = Header(index);
    return header && (header->flags.load() & kBufferDone) ? 1 : 0;
}

void WaveOutput::SetBufferDone(std::uint32_t index) {
    if (WaveHeader* header = Header(index)) header->flags.fetch_or(kBufferDone);
}

std::string WaveOutput::GetError() const {
    std::lock_guard lock(errorLock_);
    return error_.Get();
}

void WaveOutput::SetError(std::string_view message) {
    std::lock_guard lock(errorLock_);
    error_.Set(message);
}

void WaveOutput::CompleteHeader(WaveOutput* output, WaveOutProc callback, void* instance, WaveHeader* header) {
    // The engine may refill the buffer as soon as it is marked done, so the callback gets the
    // finished header as it was.
    WaveHeader finished;
    finished.data = header->data;
    finished.validBytes = header->validBytes;
    finished.index = header->index;
    std::uint32_t flags = header->flags.load();
    while (!header->flags.compare_exchange_weak(flags, (flags & ~kBufferQueued) | kBufferDone)) {}
    finished.flags.store((flags & ~kBufferQueued) | kBufferDone);
    if (callback != nullptr) callback(output, OutputMessage::kDone, instance, &finished);
}

}  // namespace pell
