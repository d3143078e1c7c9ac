#include "player/engine/queued_wave_out.h"

namespace pell {

namespace {
void NoCallback(WaveOutput*, unsigned, void*, WaveHeader*) {}
}  // namespace

int QueuedWaveOut::OpenAudioOutput(std::uint32_t, WaveOutProc callback, void* instance, std::uint32_t) {
    std::lock_guard lock(lock_);
    if (failOpenCode_ != MMSYSERR_NOERROR) {
        SetError(OpenAudioOutputErrorText(failOpenCode_));
        return 0;
    }
    if (open_) {
        SetError(OpenAudioOutputErrorText(MMSYSERR_ALLOCATED));
        return 0;
    }
    callback_ = callback ? callback : &NoCallback;
    instance_ = instance;
    open_ = true;
    paused_ = false;
    playedFrames_ = 0;
    ++openCount_;
    changed_.notify_all();
    return 1;
}

int QueuedWaveOut::Close() {
    std::unique_lock lock(lock_);
    // No completion may reach the engine after its device is closed.
    changed_.wait(lock, [&] { return callbacksInFlight_ == 0; });
    if (!open_) {
        SetError(CloseErrorText(MMSYSERR_INVALHANDLE));
        return 0;
    }
    if (!queue_.empty()) {
        SetError(CloseErrorText(WAVERR_STILLPLAYING));
        return 0;
    }
    open_ = false;
    changed_.notify_all();
    return 1;
}

int QueuedWaveOut::PlayBuffer(std::uint32_t index) {
    std::lock_guard lock(lock_);
    WaveHeader* header = Header(index);
    if (!open_ || header == nullptr) {
        SetError("WWaveOut::PlayBuffer   *** Can't prepare data");
        return 0;
    }
    header->dwLoops = 0;
    header->dwFlags.store(WHDR_PREPARED);
    if (++playCount_ == failPlayNumber_) {
        SetError("WWaveOut::PlayBuffer   *** Can't write data");
        return 0;
    }
    header->dwFlags.store(WHDR_PREPARED | WHDR_INQUEUE);
    queue_.push_back(index);
    changed_.notify_all();
    return 1;
}

int QueuedWaveOut::Reset() {
    std::deque<std::uint32_t> returned;
    WaveOutProc callback = nullptr;
    void* instance = nullptr;
    {
        std::lock_guard lock(lock_);
        returned.swap(queue_);
        callback = callback_;
        instance = instance_;
        ++callbacksInFlight_;
    }
    for (std::uint32_t index : returned) CompleteHeader(this, callback, instance, Header(index));
    std::lock_guard lock(lock_);
    --callbacksInFlight_;
    changed_.notify_all();
    return 1;
}

int QueuedWaveOut::Pause() {
    std::lock_guard lock(lock_);
    paused_ = true;
    return 1;
}

int QueuedWaveOut::Restart() {
    std::lock_guard lock(lock_);
    paused_ = false;
    changed_.notify_all();
    return 1;
}

bool QueuedWaveOut::CompleteNext() {
    WaveHeader* header = nullptr;
    WaveOutProc callback = nullptr;
    void* instance = nullptr;
    {
        std::lock_guard lock(lock_);
        if (!open_ || paused_ || queue_.empty()) return false;
        header = Header(queue_.front());
        queue_.pop_front();
        const std::uint32_t align = GetFormat().nBlockAlign ? GetFormat().nBlockAlign : 1;
        playedFrames_ += header->dwBufferLength / align;
        if (sink_) sink_(header->lpData, header->dwBufferLength);
        callback = callback_;
        instance = instance_;
        ++callbacksInFlight_;
    }
    CompleteHeader(this, callback, instance, header);
    std::lock_guard lock(lock_);
    --callbacksInFlight_;
    changed_.notify_all();
    return true;
}

std::size_t QueuedWaveOut::QueuedCount() const {
    std::lock_guard lock(lock_);
    return queue_.size();
}

bool QueuedWaveOut::IsOpen() const {
    std::lock_guard lock(lock_);
    return open_;
}

bool QueuedWaveOut::WaitFor(const std::function<bool(std::size_t, bool)>& pred,
                            std::chrono::milliseconds timeout) const {
    // The predicate may also read state outside this object, so it is re-checked every
    // 10 ms besides on every change here.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(lock_);
    while (!pred(queue_.size(), open_)) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        changed_.wait_for(lock, std::chrono::milliseconds(10));
    }
    return true;
}

void QueuedWaveOut::SetSink(Sink sink) {
    std::lock_guard lock(lock_);
    sink_ = std::move(sink);
}

void QueuedWaveOut::FailOpenWith(int resultCode) {
    std::lock_guard lock(lock_);
    failOpenCode_ = resultCode;
}

void QueuedWaveOut::FailPlayBufferNumber(int n) {
    std::lock_guard lock(lock_);
    failPlayNumber_ = n;
    playCount_ = 0;
}

int QueuedWaveOut::OpenCount() const {
    std::lock_guard lock(lock_);
    return openCount_;
}

std::optional<std::uint64_t> QueuedWaveOut::PlayedFrames() const {
    std::lock_guard lock(lock_);
    if (!open_) return std::nullopt;
    return playedFrames_;
}

FileWaveOut::FileWaveOut(const std::string& path) : path_(path) {
    if (!path_.empty()) file_ = std::fopen(path_.c_str(), "wb");
    SetSink([this](const std::uint8_t* data, std::uint32_t bytes) {
        if (file_ != nullptr && bytes > 0 && std::fwrite(data, 1, bytes, file_) != bytes) writeFailed_ = true;
        written_ += bytes;
    });
}

FileWaveOut::~FileWaveOut() {
    if (file_ != nullptr) std::fclose(file_);
}

std::uint64_t FileWaveOut::BytesWritten() const {
    std::lock_guard lock(lock_);
    return written_;
}

bool FileWaveOut::Flush() {
    std::lock_guard lock(lock_);
    if (file_ != nullptr && std::fflush(file_) != 0) writeFailed_ = true;
    return !writeFailed_;
}

int FileWaveOut::PlayBuffer(std::uint32_t index) {
    const int result = QueuedWaveOut::PlayBuffer(index);
    while (CompleteNext()) {
    }
    return result;
}

int FileWaveOut::Restart() {
    QueuedWaveOut::Restart();
    while (CompleteNext()) {
    }
    return 1;
}

}  // namespace pell
