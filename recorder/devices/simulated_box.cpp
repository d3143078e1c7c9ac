#include "recorder/devices/simulated_box.h"

#include <algorithm>

namespace pell {
namespace {

class SimulatedStream final : public CaptureStream {
public:
    SimulatedStream(const SimulatedLineBox& box, uint32_t sampleRate, FramesCallback onFrames,
                    std::unique_ptr<Pacer> pacer)
        : box_(box), sampleRate_(sampleRate), onFrames_(std::move(onFrames)), pacer_(std::move(pacer)) {}
    ~SimulatedStream() override {
        pacer_->Stop();
        if (thread_.joinable()) thread_.join();
    }

    bool Start() override {
        if (thread_.joinable()) return true;
        delivered_ = FramesDue();  // the sound goes on while nobody listens
        thread_ = std::thread([this] { Run(); });
        return true;
    }

private:
    uint64_t FramesDue() const { return uint64_t{box_.ElapsedMs()} * sampleRate_ / 1000; }

    void Run() {
        std::vector<int16_t> chunk;
        do {
            const uint64_t due = FramesDue();
            while (delivered_ < due) {
                const size_t frames = static_cast<size_t>(std::min<uint64_t>(due - delivered_, 4096));
                chunk.resize(frames * 2);
                box_.scenario().FramesAt(delivered_, frames, sampleRate_, chunk.data());
                onFrames_(chunk.data(), frames);
                delivered_ += frames;
            }
        } while (pacer_->Sleep(kSimulatedChunkMs));
    }

    const SimulatedLineBox& box_;
    uint32_t sampleRate_;
    FramesCallback onFrames_;
    std::unique_ptr<Pacer> pacer_;
    uint64_t delivered_ = 0;
    std::thread thread_;
};

class SimulatedLineInterface final : public HidDevice {
public:
    explicit SimulatedLineInterface(const SimulatedLineBox& box) : box_(box) {}
    int Read(uint8_t* buffer, size_t length, int) override {
        if (length < 2) return -1;
        buffer[0] = 0;  // report id
        buffer[1] = box_.scenario().StateByteAt(box_.ElapsedMs());
        return 2;
    }

private:
    const SimulatedLineBox& box_;
};

}  // namespace

std::unique_ptr<CaptureStream> SimulatedLineBox::OpenCapture(uint32_t sampleRate, FramesCallback onFrames,
                                                             std::unique_ptr<Pacer> pacer) const {
    if (sampleRate == 0) return nullptr;
    return std::make_unique<SimulatedStream>(*this, sampleRate, std::move(onFrames), std::move(pacer));
}

std::unique_ptr<HidDevice> SimulatedLineBox::OpenLineInterface() const {
    return std::make_unique<SimulatedLineInterface>(*this);
}

bool CaptureWithSimulatedBox::Initialize() {
    realStarted_ = real_.Initialize();
    return true;  // the simulated box is always there
}

void CaptureWithSimulatedBox::Terminate() {
    if (realStarted_) real_.Terminate();
    realStarted_ = false;
}

std::vector<std::optional<std::string>> CaptureWithSimulatedBox::InputDevices() {
    std::vector<std::optional<std::string>> devices;
    if (realStarted_) devices = real_.InputDevices();
    realCount_ = devices.size();
    devices.emplace_back(kSimulatedCaptureName);
    return devices;
}

std::unique_ptr<CaptureStream> CaptureWithSimulatedBox::Open(size_t index, uint32_t sampleRate,
                                                             FramesCallback onFrames) {
    if (index < realCount_) return real_.Open(index, sampleRate, std::move(onFrames));
    if (index == realCount_) return box_.OpenCapture(sampleRate, std::move(onFrames));
    return nullptr;
}

std::vector<HidDeviceInfo> HidWithSimulatedBox::Enumerate(uint16_t vendorId, uint16_t productId) {
    std::vector<HidDeviceInfo> devices = real_.Enumerate(vendorId, productId);
    devices.push_back({kSimulatedHidPath, kLineBoxVendorId, kLineBoxProductId});
    return devices;
}

std::unique_ptr<HidDevice> HidWithSimulatedBox::Open(const std::string& path) {
    if (path == kSimulatedHidPath) return box_.OpenLineInterface();
    return real_.Open(path);
}

}  // namespace pell
