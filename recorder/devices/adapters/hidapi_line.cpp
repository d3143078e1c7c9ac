#include "recorder/devices/adapters/hidapi_line.h"

#include <hidapi/hidapi.h>

namespace pell {
namespace {

class HidapiDevice final : public HidDevice {
public:
    explicit HidapiDevice(hid_device* device) : device_(device) {}
    ~HidapiDevice() override { hid_close(device_); }
    HidapiDevice(const HidapiDevice&) = delete;
    HidapiDevice& operator=(const HidapiDevice&) = delete;

    int Read(uint8_t* buffer, size_t length, int timeoutMs) override {
        return hid_read_timeout(device_, buffer, length, timeoutMs);
    }

private:
    hid_device* device_;
};

}  // namespace

HidapiLineBackend::HidapiLineBackend() : initialised_(hid_init() == 0) {}

HidapiLineBackend::~HidapiLineBackend() {
    if (initialised_) hid_exit();
}

std::vector<HidDeviceInfo> HidapiLineBackend::Enumerate(uint16_t vendorId, uint16_t productId) {
    std::vector<HidDeviceInfo> infos;
    if (!initialised_) return infos;
    hid_device_info* list = hid_enumerate(vendorId, productId);
    for (const hid_device_info* info = list; info; info = info->next)
        infos.push_back({info->path ? info->path : "", info->vendor_id, info->product_id});
    hid_free_enumeration(list);
    return infos;
}

std::unique_ptr<HidDevice> HidapiLineBackend::Open(const std::string& path) {
    if (!initialised_) return nullptr;
    hid_device* device = hid_open_path(path.c_str());
    if (!device) return nullptr;
    return std::make_unique<HidapiDevice>(device);
}

}  // namespace pell
