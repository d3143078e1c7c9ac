#include "recorder/devices/line_interface.h"

namespace pell {

bool DecodeLineReport(const uint8_t* report, int length, uint8_t& state) {
    if (length <= 0) return false;
    state = report[length - 1];
    return true;
}

void ApplyLineState(uint8_t state, LineStates& lines, uint32_t nowTickMs) {
    const bool active[2] = {(state & kLine1IdleBit) == 0, (state & kLine2IdleBit) == 0};
    // A stored tick of 0 means "never seized", so a seizure at tick 0 is noted as 1.
    const uint32_t seizedAt = nowTickMs == 0 ? 1 : nowTickMs;
    for (size_t line = 0; line < 2; ++line) {
        if (active[line] && !lines.lineActive[line].load()) lines.lineSeizedAt[line].store(seizedAt);
        lines.lineActive[line].store(active[line]);
    }
}

bool LineInterface::FindLineInterface() {
    std::lock_guard lock(handleMutex_);
    device_.reset();
    devicePath_.clear();
    present_ = false;
    for (const HidDeviceInfo& info : backend_.Enumerate(kLineBoxVendorId, kLineBoxProductId)) {
        if (info.vendorId != kLineBoxVendorId || info.productId != kLineBoxProductId) continue;
        std::unique_ptr<HidDevice> device = backend_.Open(info.path);
        if (!device) continue;
        device_ = std::move(device);
        devicePath_ = info.path;
        present_ = true;
        return true;
    }
    return false;
}

bool LineInterface::ReadLineReport(uint8_t& state) {
    std::lock_guard lock(handleMutex_);
    if (!device_) return false;
    uint8_t report[2] = {0, 0};
    const int length = device_->Read(report, sizeof report, kLineReportTimeoutMs);
    return DecodeLineReport(report, length, state);
}

void LineInterface::Close() {
    std::lock_guard lock(handleMutex_);
    device_.reset();
    devicePath_.clear();
    present_ = false;
}

std::string LineInterface::devicePath() const {
    std::lock_guard lock(handleMutex_);
    return devicePath_;
}

void LinePoller::Start() {
    if (thread_.joinable()) return;
    thread_ = std::thread([this] { Run(); });
}

void LinePoller::Stop() {
    pacer_.Stop();
    if (thread_.joinable()) thread_.join();
}

void LinePoller::Run() {
    do {
        uint8_t state = 0;
        if (line_.present() && line_.ReadLineReport(state)) ApplyLineState(state, lines_, clock_.TickMs());
    } while (pacer_.Sleep(kLinePollIntervalMs));
}

}  // namespace pell
