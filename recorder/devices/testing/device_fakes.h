// In-process fakes for the line box devices: a capture backend whose stream the test feeds, a
// HID backend with scripted reports, a UI that records, a clock and a pacer that a test steps.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/core/clock.h"
#include "recorder/devices/capture_backend.h"
#include "recorder/devices/line_interface.h"
#include "recorder/devices/pacer.h"
#include "recorder/devices/wave_capture.h"

namespace pell::testing {

// A tick that several threads may read while the test moves it.
class AtomicClock final : public Clock {
public:
    explicit AtomicClock(uint32_t startTickMs = 1000) : tickMs_(startTickMs) {}
    uint32_t TickMs() override { return tickMs_.load(); }
    LocalDateTime Now() override { return {}; }
    void AdvanceMs(uint32_t ms) { tickMs_ += ms; }

private:
    std::atomic<uint32_t> tickMs_;
};

// Each Sleep blocks until the test releases it, then advances `clock` (if any) by the time asked.
class StepPacer final : public Pacer {
public:
    explicit StepPacer(AtomicClock* clock = nullptr) : clock_(clock) {}
    bool Sleep(uint32_t ms) override;
    void Stop() override;
    // Waits until the thread has entered Sleep `count` times in all.
    void AwaitSleeps(int count);
    // Lets `count` sleeps return, one at a time, each after the thread reached it.
    void Step(int count = 1);
    int sleeps() const;

private:
    AtomicClock* clock_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int entered_ = 0;
    int released_ = 0;
    bool stopped_ = false;
};

class FakeCaptureBackend;

class FakeCaptureStream final : public CaptureStream {
public:
    FakeCaptureStream(FakeCaptureBackend& backend, FramesCallback onFrames)
        : backend_(backend), onFrames_(std::move(onFrames)) {}
    ~FakeCaptureStream() override;
    bool Start() override;
    void Push(const int16_t* interleaved, size_t frames) { onFrames_(interleaved, frames); }

private:
    FakeCaptureBackend& backend_;
    FramesCallback onFrames_;
};

class FakeCaptureBackend final : public CaptureBackend {
public:
    std::vector<std::optional<std::string>> devices;
    bool initializeWorks = true;
    bool openWorks = true;
    bool startWorks = true;
    // What each Initialize lists (when set), e.g. a box that disappears and comes back.
    std::deque<std::vector<std::optional<std::string>>> devicesAtInitialize;

    bool Initialize() override;
    void Terminate() override { ++terminations; }
    std::vector<std::optional<std::string>> InputDevices() override { return devices; }
    std::unique_ptr<CaptureStream> Open(size_t index, uint32_t sampleRate, FramesCallback onFrames) override;

    // Feeds frames as the audio thread would; false when no stream is open.
    bool Push(const std::vector<int16_t>& interleaved);

    int initializations = 0;
    int terminations = 0;
    int opens = 0;
    int closes = 0;
    std::optional<size_t> openedIndex;
    uint32_t openedRate = 0;

private:
    friend class FakeCaptureStream;
    std::mutex mutex_;
    FakeCaptureStream* stream_ = nullptr;
};

// Scripted reads: each entry is what one Read returns (bytes; an empty entry is a timeout).
class FakeHidBackend final : public HidBackend {
public:
    struct Device {
        HidDeviceInfo info;
        bool opens = true;
    };
    std::vector<Device> devices;
    std::vector<std::string> opened;  // paths, in order

    std::vector<HidDeviceInfo> Enumerate(uint16_t vendorId, uint16_t productId) override;
    std::unique_ptr<HidDevice> Open(const std::string& path) override;

    // Reports for the device at `path` (shared by every handle opened on it).
    void Script(const std::string& path, std::vector<std::vector<uint8_t>> reads);
    // Reads answered so far across all handles.
    int reads() const { return reads_.load(); }
    // Every later read of any handle fails as an unplugged device does.
    void Unplug() { unplugged_ = true; }

private:
    friend class FakeHidDevice;
    std::mutex mutex_;
    std::vector<std::pair<std::string, std::deque<std::vector<uint8_t>>>> scripts_;
    std::atomic<int> reads_{0};
    std::atomic<bool> unplugged_{false};
};

class RecordingUi final : public CaptureUi {
public:
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void SetCaption(const std::string& text) override { captions.push_back(text); }
    std::vector<std::string> messages;
    std::vector<std::string> captions;
};

// Collects block notices from the capture thread for the test's "main thread".
class NoticeQueue {
public:
    void Post(uint64_t generation);
    // Waits for the next notice; nullopt when none comes within `timeoutMs` of real time (a
    // failure guard only, never part of a passing test's timing).
    std::optional<uint64_t> Take(int timeoutMs = 10000);
    size_t size() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<uint64_t> notices_;
};

// Interleaved stereo frames whose values count up from `first` (left) and down (right), so a
// lost, repeated or swapped sample shows.
std::vector<int16_t> CountingFrames(size_t frames, uint32_t first);

}  // namespace pell::testing
