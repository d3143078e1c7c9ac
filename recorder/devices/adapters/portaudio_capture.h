// Capture over PortAudio: the input devices PortAudio lists, opened for 16-bit stereo with a
// callback. Restarting (Terminate, Initialize) lists the devices anew.
#pragma once

#include <vector>

#include "recorder/devices/capture_backend.h"

namespace pell {

class PortAudioCapture final : public CaptureBackend {
public:
    ~PortAudioCapture() override { Terminate(); }
    bool Initialize() override;
    void Terminate() override;
    std::vector<std::optional<std::string>> InputDevices() override;
    std::unique_ptr<CaptureStream> Open(size_t index, uint32_t sampleRate, FramesCallback onFrames) override;

private:
    bool initialised_ = false;
    std::vector<int> deviceIndices_;  // PortAudio's index of each listed input device
};

}  // namespace pell
