// Where the system tells nothing of devices that come and go (or the build has no libudev): the
// layer lists the devices again every second instead (hid_change_relist.cpp).

#include "link/hid/system_hid_layer.h"

namespace systemhid {

std::unique_ptr<ChangeWatch> watchSystemEvents(std::function<void()> /*changed*/) {
    return nullptr;
}

} // namespace systemhid
