// Device-change events from udev's monitor: each burst of hidraw events on the monitor's socket
// is one change, told on the main thread.

#include "link/hid/system_hid_layer.h"

#include <QObject>
#include <QSocketNotifier>

#include <libudev.h>

namespace systemhid {

namespace {

class UdevWatch final : public ChangeWatch {
public:
    // False when udev or its monitor cannot be had.
    bool start(std::function<void()> changed) {
        changed_ = std::move(changed);
        udev_ = udev_new();
        if (!udev_)
            return false;
        monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
        if (!monitor_ ||
            udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
            udev_monitor_enable_receiving(monitor_) < 0)
            return false;
        notifier_ =
            std::make_unique<QSocketNotifier>(udev_monitor_get_fd(monitor_), QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
            bool any = false;
            while (udev_device* d = udev_monitor_receive_device(monitor_)) {
                udev_device_unref(d);
                any = true;
            }
            if (any)
                changed_();
        });
        return true;
    }

    ~UdevWatch() override {
        notifier_.reset();
        if (monitor_)
            udev_monitor_unref(monitor_);
        if (udev_)
            udev_unref(udev_);
    }

private:
    std::function<void()> changed_;
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace

std::unique_ptr<ChangeWatch> watchSystemEvents(std::function<void()> changed) {
    auto watch = std::make_unique<UdevWatch>();
    if (!watch->start(std::move(changed)))
        return nullptr;
    return watch;
}

} // namespace systemhid
