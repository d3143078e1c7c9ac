// The platform's audio input, as WaveCapture sees it: a list of input devices and a stream that
// hands interleaved 16-bit stereo frames to a callback on the audio thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pell {

// Called on the audio thread with `frames` frames of left, right int16 samples; must not block.
using FramesCallback = std::function<void(const int16_t* interleaved, size_t frames)>;

class CaptureStream {
public:
    // Destruction stops and closes the stream; no callback runs after it returns.
    virtual ~CaptureStream() = default;
    virtual bool Start() = 0;
};

class CaptureBackend {
public:
    virtual ~CaptureBackend() = default;
    // Starts the audio system and lists its devices; false when it cannot start.
    virtual bool Initialize() = 0;
    // Ends the audio system; every stream must be closed before.
    virtual void Terminate() = 0;
    // Input devices in index order; nullopt for a device whose capabilities cannot be read.
    virtual std::vector<std::optional<std::string>> InputDevices() = 0;
    // Opens input device `index` (of InputDevices) for 16-bit stereo at `sampleRate`; nullptr on
    // failure. The stream is not started.
    virtual std::unique_ptr<CaptureStream> Open(size_t index, uint32_t sampleRate, FramesCallback onFrames) = 0;
};

}  // namespace pell
