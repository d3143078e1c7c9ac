#include "recorder/devices/wave_capture.h"

namespace pell {

WaveCapture::WaveCapture(CaptureBackend& backend, CaptureUi& ui, BlockReadyFn onBlockReady)
    : backend_(backend), ui_(ui), onBlockReady_(std::move(onBlockReady)) {}

WaveCapture::~WaveCapture() {
    CloseCapture();
    {
        std::lock_guard lock(mutex_);
        threadQuit_ = true;
    }
    event_.Set();
    if (thread_.joinable()) thread_.join();
    if (initialised_) backend_.Terminate();
}

bool WaveCapture::InitCapture() {
    initialised_ = backend_.Initialize();
    const std::vector<std::optional<std::string>> devices =
        initialised_ ? backend_.InputDevices() : std::vector<std::optional<std::string>>{};
    if (devices.empty()) {
        ui_.ShowMessage(kNoSoundDevice);
        return false;
    }
    if (!devices.front()) {
        ui_.ShowMessage(kNoCapabilities);
        return false;
    }
    StartThread();
    return true;
}

void WaveCapture::StartThread() {
    if (!thread_.joinable()) thread_ = std::thread([this] { RunCaptureThread(); });
}

bool WaveCapture::FindCaptureDevice(std::string& device, int32_t sampleRate, Search search) {
    device = ToLower(device);
    if (search == Search::kRetry) {
        CloseCapture();
        if (initialised_) backend_.Terminate();
        initialised_ = backend_.Initialize();
    }
    const std::optional<size_t> index =
        initialised_ ? MatchCaptureDevice(backend_.InputDevices(), device) : std::nullopt;
    if (!index) {
        ui_.SetCaption(kCaptionSearching);
        return false;
    }
    sampleRate_ = EffectiveSampleRate(sampleRate);
    if (!OpenCapture(*index, search == Search::kStartUp)) {
        ui_.SetCaption(kCaptionSearching);
        return false;
    }
    ui_.SetCaption(kCaptionPrefix + device);
    return true;
}

bool WaveCapture::OpenCapture(size_t deviceIndex, bool showMessages) {
    CloseCapture();
    const size_t values = ValuesPerBlock(sampleRate_);
    {
        std::lock_guard lock(mutex_);
        samplesPerBuffer_ = values;
        for (auto& buffer : buffers_) buffer.assign(values, 0);
        queued_ = {true, true};
        fillBuffer_ = 0;
        nextBuffer_ = 0;
        ring_.Reset(values * kHostBufferBlocks);
        droppedSamples_ = 0;
        ++generation_;
    }
    std::unique_ptr<CaptureStream> stream = backend_.Open(
        deviceIndex, sampleRate_, [this](const int16_t* interleaved, size_t frames) { OnFrames(interleaved, frames); });
    if (!stream) {
        if (showMessages) ui_.ShowMessage(kCannotOpenInput);
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        running_ = true;
    }
    if (!stream->Start()) {
        std::lock_guard lock(mutex_);
        running_ = false;
        return false;  // the stream closes with `stream`
    }
    stream_ = std::move(stream);
    // However the device came to be open (a start-up that failed, then a reconnect), its blocks
    // must reach the window.
    StartThread();
    return true;
}

void WaveCapture::CloseCapture() {
    // Closing the stream first guarantees no audio callback touches the ring afterwards.
    std::unique_ptr<CaptureStream> stream;
    {
        std::lock_guard lock(mutex_);
        stream = std::move(stream_);
        running_ = false;
        ++generation_;
    }
    stream.reset();
}

bool WaveCapture::OnWaveBlock(uint64_t generation, const ProcessBlockFn& process) {
    size_t index = 0;
    {
        std::lock_guard lock(mutex_);
        if (!running_ || generation != generation_) return false;
        index = nextBuffer_ != 0 ? 1 : 0;
        if (queued_[index]) return false;  // no notice is ever sent for a buffer still queued
    }
    process(buffers_[index].data(), samplesPerBuffer_);
    {
        std::lock_guard lock(mutex_);
        if (generation != generation_) return true;
        queued_[index] = true;
        nextBuffer_ = nextBuffer_ == 0 ? 1 : 0;
    }
    event_.Set();
    return true;
}

bool WaveCapture::running() const {
    std::lock_guard lock(mutex_);
    return running_;
}

void WaveCapture::OnFrames(const int16_t* interleaved, size_t frames) {
    const size_t values = frames * kCaptureChannels;
    const size_t written = ring_.Write(interleaved, values);
    if (written < values) droppedSamples_ += values - written;
    framesReceived_ += frames;
    event_.Set();
}

void WaveCapture::RunCaptureThread() {
    for (;;) {
        event_.Wait();
        std::unique_lock lock(mutex_);
        if (threadQuit_) return;
        while (running_ && queued_[fillBuffer_] && ring_.Read(buffers_[fillBuffer_].data(), samplesPerBuffer_)) {
            queued_[fillBuffer_] = false;
            fillBuffer_ ^= 1;
            const uint64_t generation = generation_;
            lock.unlock();
            if (onBlockReady_) onBlockReady_(generation);
            lock.lock();
            if (threadQuit_) return;
        }
    }
}

}  // namespace pell
