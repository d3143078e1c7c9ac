// The line interface over hidapi (hidraw): enumeration by identifiers, reads with a time limit.
#pragma once

#include "recorder/devices/line_interface.h"

namespace pell {

class HidapiLineBackend final : public HidBackend {
public:
    HidapiLineBackend();
    ~HidapiLineBackend() override;
    HidapiLineBackend(const HidapiLineBackend&) = delete;
    HidapiLineBackend& operator=(const HidapiLineBackend&) = delete;

    std::vector<HidDeviceInfo> Enumerate(uint16_t vendorId, uint16_t productId) override;
    std::unique_ptr<HidDevice> Open(const std::string& path) override;

private:
    bool initialised_ = false;
};

}  // namespace pell
