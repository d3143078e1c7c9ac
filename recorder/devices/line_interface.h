// The box's HID function: found by its USB identifiers, read one input report at a time, and
// turned by the line-poll thread into the two line flags and their seizure ticks.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/core/clock.h"
#include "recorder/core/line_state.h"
#include "recorder/devices/pacer.h"

namespace pell {

inline constexpr uint16_t kLineBoxVendorId = 0x08BB;
inline constexpr uint16_t kLineBoxProductId = 0x2902;
inline constexpr int kLineReportTimeoutMs = 1000;
inline constexpr uint32_t kLinePollIntervalMs = 50;
inline constexpr uint8_t kLine1IdleBit = 0x02;
inline constexpr uint8_t kLine2IdleBit = 0x04;

struct HidDeviceInfo {
    std::string path;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
};

// One open HID device.
class HidDevice {
public:
    virtual ~HidDevice() = default;
    // Reads one input report into `buffer`: the byte count, 0 when none came within `timeoutMs`,
    // -1 on an error (e.g. the device was unplugged).
    virtual int Read(uint8_t* buffer, size_t length, int timeoutMs) = 0;
};

// The platform's HID access.
class HidBackend {
public:
    virtual ~HidBackend() = default;
    // Present HID devices with these identifiers, in enumeration order.
    virtual std::vector<HidDeviceInfo> Enumerate(uint16_t vendorId, uint16_t productId) = 0;
    // nullptr when the device cannot be opened.
    virtual std::unique_ptr<HidDevice> Open(const std::string& path) = 0;
};

// The line state byte of a report as read: its last byte (hidapi drops a zero report id, so a
// 1-byte read holds only the state). Returns false for a read without bytes.
bool DecodeLineReport(const uint8_t* report, int length, uint8_t& state);

// Applies a state byte (bits active-low) to the line flags; a seizure tick is noted only on an
// idle-to-active change.
void ApplyLineState(uint8_t state, LineStates& lines, uint32_t nowTickMs);

// Search and reads of the line interface. The handle is replaced (search, close) only while no
// read is using it: a read holds the handle's lock for at most the read time limit.
class LineInterface {
public:
    explicit LineInterface(HidBackend& backend) : backend_(backend) {}
    LineInterface(const LineInterface&) = delete;
    LineInterface& operator=(const LineInterface&) = delete;

    // Closes any open handle, then opens the first enumerated device with the box's identifiers
    // that opens; false when there is none.
    bool FindLineInterface();
    // One report with a 1,000 ms limit; false on a timeout, an error or no open device.
    bool ReadLineReport(uint8_t& state);
    void Close();
    // Result of the last search (cleared by Close).
    bool present() const { return present_.load(); }
    std::string devicePath() const;

private:
    HidBackend& backend_;
    mutable std::mutex handleMutex_;
    std::unique_ptr<HidDevice> device_;
    std::string devicePath_;
    std::atomic<bool> present_{false};
};

// The line-poll thread: while the interface is present, reads a report and updates the line
// states, then sleeps 50 ms; with the device absent it only sleeps.
class LinePoller {
public:
    LinePoller(LineInterface& line, LineStates& lines, Clock& clock, Pacer& pacer)
        : line_(line), lines_(lines), clock_(clock), pacer_(pacer) {}
    ~LinePoller() { Stop(); }
    LinePoller(const LinePoller&) = delete;
    LinePoller& operator=(const LinePoller&) = delete;

    void Start();
    // Stops the pacer and joins the thread (at most one read time limit later).
    void Stop();

private:
    void Run();

    LineInterface& line_;
    LineStates& lines_;
    Clock& clock_;
    Pacer& pacer_;
    std::thread thread_;
};

}  // namespace pell
