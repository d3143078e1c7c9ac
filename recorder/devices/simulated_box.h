// The simulated line box: a capture device and a line interface that play a scenario in real
// time, so the recorder can be shown and checked end to end without the box. Scenario time
// starts when the box is made; both functions follow the same time, like the real box.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/core/clock.h"
#include "recorder/devices/capture_backend.h"
#include "recorder/devices/line_interface.h"
#include "recorder/devices/pacer.h"
#include "recorder/devices/scenario.h"

namespace pell {

inline constexpr char kScenarioVariable[] = "PELL_LINE_BOX_SCENARIO";
inline constexpr char kSimulatedCaptureName[] = "USB Audio CODEC (simulated line box)";
inline constexpr char kSimulatedHidPath[] = "simulated:line-box";
// The simulated stream hands out what the elapsed time calls for this often.
inline constexpr uint32_t kSimulatedChunkMs = 20;

class SimulatedLineBox {
public:
    SimulatedLineBox(Scenario scenario, Clock& clock)
        : scenario_(std::move(scenario)), clock_(clock), startTickMs_(clock.TickMs()) {}

    uint32_t ElapsedMs() const { return TicksSince(startTickMs_, clock_.TickMs()); }
    const Scenario& scenario() const { return scenario_; }
    // `pacer` paces the stream's thread; the stream owns it.
    std::unique_ptr<CaptureStream> OpenCapture(uint32_t sampleRate, FramesCallback onFrames,
                                               std::unique_ptr<Pacer> pacer = std::make_unique<SteadyPacer>()) const;
    std::unique_ptr<HidDevice> OpenLineInterface() const;

private:
    Scenario scenario_;
    Clock& clock_;
    uint32_t startTickMs_;
};

// The real devices first, then the simulated box's capture device.
class CaptureWithSimulatedBox final : public CaptureBackend {
public:
    CaptureWithSimulatedBox(CaptureBackend& real, const SimulatedLineBox& box) : real_(real), box_(box) {}
    bool Initialize() override;
    void Terminate() override;
    std::vector<std::optional<std::string>> InputDevices() override;
    std::unique_ptr<CaptureStream> Open(size_t index, uint32_t sampleRate, FramesCallback onFrames) override;

private:
    CaptureBackend& real_;
    const SimulatedLineBox& box_;
    bool realStarted_ = false;
    size_t realCount_ = 0;
};

// The real HID devices first, then the simulated box's line interface.
class HidWithSimulatedBox final : public HidBackend {
public:
    HidWithSimulatedBox(HidBackend& real, const SimulatedLineBox& box) : real_(real), box_(box) {}
    std::vector<HidDeviceInfo> Enumerate(uint16_t vendorId, uint16_t productId) override;
    std::unique_ptr<HidDevice> Open(const std::string& path) override;

private:
    HidBackend& real_;
    const SimulatedLineBox& box_;
};

}  // namespace pell
