#include "player/engine/queued_wave_out.h"

#include <algorithm>

#include <fcntl.h>

namespace pell {

OutputResult QueuedWaveOut::OpenDevice(std::uint32_t) {
    std::lock_guard lock(lock_);
    if (failOpenResult_ != OutputResult::kOk) return failOpenResult_;
    ++openCount_;
    return OutputResult::kOk;
}

void QueuedWaveOut::ClearLocked() {
    paused_ = false;
    playedFrames_ = 0;
}

bool QueuedWaveOut::QueueLocked(std::uint32_t index, const WaveHeader&) {
    if (++playCount_ == failPlayNumber_) return false;
    queue_.push_back(index);
    return true;
}

std::size_t QueuedWaveOut::TakeAllLocked(std::span<std::uint32_t> out) {
    const std::size_t count = std::min(out.size(), queue_.size());
    std::copy_n(queue_.begin(), count, out.begin());
    queue_.clear();
    return count;
}

bool QueuedWaveOut::CompleteNext() {
    std::unique_lock lock(lock_);
    if (!open_ || paused_ || queue_.empty()) return false;
    const std::uint32_t index = queue_.front();
    queue_.pop_front();
    const WaveHeader* header = Header(index);
    const std::uint32_t align = GetFormat().blockAlign ? GetFormat().blockAlign : 1;
    playedFrames_ += header->validBytes / align;
    if (sink_) sink_(header->data, header->validBytes);
    DeliverCompletions(lock, std::span(&index, 1));
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

void QueuedWaveOut::FailOpenWith(OutputResult result) {
    std::lock_guard lock(lock_);
    failOpenResult_ = result;
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

FileWaveOut::FileWaveOut(const std::string& path) {
    if (!path.empty()) {
        file_ = UniqueFd::Open(path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
        fileOk_ = static_cast<bool>(file_);
    }
    block_.reserve(kWriteBlockBytes);
    // Runs under lock_: buffers of a few kilobytes gather into one write of a block.
    SetSink([this](const std::uint8_t* data, std::uint32_t bytes) {
        written_ += bytes;
        if (!file_) return;
        while (bytes > 0) {
            const std::size_t take = std::min<std::size_t>(bytes, kWriteBlockBytes - block_.size());
            block_.insert(block_.end(), data, data + take);
            data += take;
            bytes -= static_cast<std::uint32_t>(take);
            if (block_.size() == kWriteBlockBytes) WriteBlockLocked();
        }
    });
}

FileWaveOut::~FileWaveOut() {
    std::lock_guard lock(lock_);
    if (file_) WriteBlockLocked();
}

void FileWaveOut::WriteBlockLocked() {
    if (block_.empty()) return;
    ++writeCalls_;
    if (!file_.WriteAll(block_.data(), block_.size())) writeFailed_ = true;
    block_.clear();
}

std::uint64_t FileWaveOut::WriteCalls() const {
    std::lock_guard lock(lock_);
    return writeCalls_;
}

std::uint64_t FileWaveOut::BytesWritten() const {
    std::lock_guard lock(lock_);
    return written_;
}

bool FileWaveOut::CloseFile() {
    std::lock_guard lock(lock_);
    if (file_) WriteBlockLocked();
    // A lost write on a full or remote file system may show only here.
    if (file_ && !file_.Close()) writeFailed_ = true;
    return !writeFailed_;
}

int FileWaveOut::PlayBuffer(std::uint32_t index) {
    const int result = QueuedWaveOut::PlayBuffer(index);
    while (CompleteNext()) {}
    return result;
}

int FileWaveOut::Restart() {
    QueuedWaveOut::Restart();
    while (CompleteNext()) {}
    return 1;
}

}  // namespace pell
