#include "recorder/devices/testing/device_fakes.h"

#include <chrono>

namespace pell::testing {

bool StepPacer::Sleep(uint32_t ms) {
    std::unique_lock lock(mutex_);
    const int ticket = ++entered_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return stopped_ || released_ >= ticket; });
    if (stopped_) return false;
    if (clock_) clock_->AdvanceMs(ms);
    return true;
}

void StepPacer::Stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    changed_.notify_all();
}

void StepPacer::AwaitSleeps(int count) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return entered_ >= count || stopped_; });
}

void StepPacer::Step(int count) {
    for (int i = 0; i < count; ++i) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return entered_ > released_ || stopped_; });
        ++released_;
        changed_.notify_all();
        // Wait until the thread came round to its next sleep, so each step is one whole turn.
        changed_.wait(lock, [&] { return entered_ > released_ || stopped_; });
    }
}

int StepPacer::sleeps() const {
    std::lock_guard lock(mutex_);
    return entered_;
}

FakeCaptureStream::~FakeCaptureStream() {
    std::lock_guard lock(backend_.mutex_);
    if (backend_.stream_ == this) backend_.stream_ = nullptr;
    ++backend_.closes;
}

bool FakeCaptureStream::Start() {
    if (!backend_.startWorks) return false;
    std::lock_guard lock(backend_.mutex_);
    backend_.stream_ = this;
    return true;
}

bool FakeCaptureBackend::Initialize() {
    ++initializations;
    if (!devicesAtInitialize.empty()) {
        devices = devicesAtInitialize.front();
        devicesAtInitialize.pop_front();
    }
    return initializeWorks;
}

std::unique_ptr<CaptureStream> FakeCaptureBackend::Open(size_t index, uint32_t sampleRate, FramesCallback onFrames) {
    ++opens;
    if (!openWorks || index >= devices.size()) return nullptr;
    openedIndex = index;
    openedRate = sampleRate;
    return std::make_unique<FakeCaptureStream>(*this, std::move(onFrames));
}

bool FakeCaptureBackend::Push(const std::vector<int16_t>& interleaved) {
    std::lock_guard lock(mutex_);
    if (!stream_) return false;
    stream_->Push(interleaved.data(), interleaved.size() / 2);
    return true;
}

class FakeHidDevice final : public HidDevice {
public:
    FakeHidDevice(FakeHidBackend& backend, std::string path) : backend_(backend), path_(std::move(path)) {}
    int Read(uint8_t* buffer, size_t length, int) override {
        ++backend_.reads_;
        if (backend_.unplugged_) return -1;
        std::lock_guard lock(backend_.mutex_);
        for (auto& [path, reads] : backend_.scripts_) {
            if (path != path_ || reads.empty()) continue;
            std::vector<uint8_t> report = reads.front();
            reads.pop_front();
            const size_t n = std::min(length, report.size());
            std::copy(report.begin(), report.begin() + static_cast<long>(n), buffer);
            return static_cast<int>(n);
        }
        return 0;
    }

private:
    FakeHidBackend& backend_;
    std::string path_;
};

std::vector<HidDeviceInfo> FakeHidBackend::Enumerate(uint16_t, uint16_t) {
    std::vector<HidDeviceInfo> infos;
    for (const Device& device : devices) infos.push_back(device.info);
    return infos;
}

std::unique_ptr<HidDevice> FakeHidBackend::Open(const std::string& path) {
    for (const Device& device : devices) {
        if (device.info.path != path) continue;
        if (!device.opens) return nullptr;
        opened.push_back(path);
        return std::make_unique<FakeHidDevice>(*this, path);
    }
    return nullptr;
}

void FakeHidBackend::Script(const std::string& path, std::vector<std::vector<uint8_t>> reads) {
    std::lock_guard lock(mutex_);
    scripts_.emplace_back(path, std::deque<std::vector<uint8_t>>(reads.begin(), reads.end()));
}

void NoticeQueue::Post(uint64_t generation) {
    std::lock_guard lock(mutex_);
    notices_.push_back(generation);
    posted_.notify_all();
}

std::optional<uint64_t> NoticeQueue::Take(int timeoutMs) {
    std::unique_lock lock(mutex_);
    if (!posted_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !notices_.empty(); }))
        return std::nullopt;
    const uint64_t generation = notices_.front();
    notices_.pop_front();
    return generation;
}

size_t NoticeQueue::size() const {
    std::lock_guard lock(mutex_);
    return notices_.size();
}

std::vector<int16_t> CountingFrames(size_t frames, uint32_t first) {
    std::vector<int16_t> values(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        values[2 * i] = static_cast<int16_t>(first + i);
        values[2 * i + 1] = static_cast<int16_t>(~(first + i));
    }
    return values;
}

}  // namespace pell::testing
