// The system's HID layer in a build without hidapi: no HID library, so no device is ever listed
// and nothing is reported.

#include "link/hid/hid_platform.h"

#include <cerrno>

namespace {

class NoHidPlatform : public HidPlatform {
public:
    bool available() const override { return false; }
    std::vector<HidInterfaceInfo> list() override { return {}; }
    std::unique_ptr<HidHandle> open(const HidInterfaceInfo&, HidAccess, quint32* error) override {
        *error = ENOSYS;
        return nullptr;
    }
    QString errorText(quint32 code) const override { return systemErrorText(code); }
    void setChangeCallback(std::function<void()>) override {}
};

} // namespace

std::shared_ptr<HidPlatform> makeSystemHidPlatform() {
    return std::make_shared<NoHidPlatform>();
}
