// The recorder's real devices, with the simulated line box beside them when
// PELL_LINE_BOX_SCENARIO names a scenario folder.
#pragma once

#include <memory>
#include <string>

#include "common/core/clock.h"
#include "recorder/devices/adapters/hidapi_line.h"
#include "recorder/devices/adapters/portaudio_capture.h"
#include "recorder/devices/simulated_box.h"

namespace pell {

class SystemLineBoxBackends {
public:
    // `scenarioFolder` null: read PELL_LINE_BOX_SCENARIO. A scenario that cannot be loaded
    // leaves only the real devices; scenarioError() says why.
    explicit SystemLineBoxBackends(Clock& clock, const char* scenarioFolder = nullptr);
    SystemLineBoxBackends(const SystemLineBoxBackends&) = delete;
    SystemLineBoxBackends& operator=(const SystemLineBoxBackends&) = delete;

    CaptureBackend& capture() {
        return simulatedCapture_ ? static_cast<CaptureBackend&>(*simulatedCapture_) : portAudio_;
    }
    HidBackend& hid() { return simulatedHid_ ? static_cast<HidBackend&>(*simulatedHid_) : hidapi_; }
    bool simulated() const { return box_ != nullptr; }
    const std::string& scenarioError() const { return scenarioError_; }

private:
    PortAudioCapture portAudio_;
    HidapiLineBackend hidapi_;
    std::unique_ptr<SimulatedLineBox> box_;
    std::unique_ptr<CaptureWithSimulatedBox> simulatedCapture_;
    std::unique_ptr<HidWithSimulatedBox> simulatedHid_;
    std::string scenarioError_;
};

}  // namespace pell
