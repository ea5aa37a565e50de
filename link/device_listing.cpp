#include "link/device_listing.h"

#include "link/cable_connection.h"

#include <algorithm>

std::vector<ListedDevice> listDevicesAsTheWindowDoes(std::shared_ptr<HidPlatform> platform) {
    CableConnection link;
    TJvHidDeviceController controller(nullptr, std::move(platform));
    link.attach(&controller);
    std::vector<ListedDevice> out;
    for (int i = 0; i < link.DevListBox.Count(); ++i) {
        ListedDevice d;
        d.name = link.DevListBox.Text(i);
        d.selected = i == link.DevListBox.ItemIndex;
        if (TJvHidDevice* dev = link.DevListBox.Object(i)) {
            d.vendorId = dev->VendorID();
            d.productId = dev->ProductID();
            d.readWrite = dev->CanReadWrite();
            d.openError = dev->OpenError();
            d.path = dev->PnPInfo().DevicePath();
        }
        out.push_back(std::move(d));
    }
    link.detach();
    return out;
}

bool isKnownCableBridge(quint16 vendorId, quint16 productId) {
    return (vendorId == 0x1A86 && productId == 0xE008) ||
           (vendorId == 0x04FA && productId == 0x2490);
}

namespace {

// What to look at when no cable would do.
QStringList noCableAdvice() {
    return {
        QString(),
        QStringLiteral("What to check:"),
        QStringLiteral("  - the cable is plugged in (lsusb lists it, /sys/class/hidraw/ has a "
                       "node for it)"),
        QStringLiteral("    and its product string is \"%1\";").arg(CableConnection::kCableName),
        QStringLiteral("  - the udev rule 70-z4072.rules is installed, so that you may open "
                       "the cable (the"),
        QStringLiteral("    package installs it; from the source tree:"),
        QStringLiteral("      sudo install -m 644 packaging/70-z4072.rules /etc/udev/rules.d/"),
        QStringLiteral("      sudo udevadm control --reload-rules && sudo udevadm trigger"),
        QStringLiteral("    then unplug the cable and plug it in again."),
        QStringLiteral("  - `z4072 --simulate` shows how it looks with a working cable.")};
}

} // namespace

QStringList describeDevices(const std::vector<ListedDevice>& devices, const HidPlatform& platform) {
    if (devices.empty())
        return QStringList{QStringLiteral("No HID devices found.")} + noCableAdvice();
    qsizetype width = 0;
    for (const ListedDevice& d : devices)
        width = std::max(width, d.name.size());
    auto hex4 = [](quint16 v) {
        return QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0')).toUpper();
    };
    QStringList lines;
    const ListedDevice* refusedCable = nullptr;
    bool anySelected = false;
    for (const ListedDevice& d : devices) {
        QString access = QStringLiteral("read/write");
        if (!d.readWrite) {
            access = QStringLiteral("no read/write");
            if (d.openError != 0)
                access += QStringLiteral(" (") + platform.errorText(d.openError) + u')';
            if (!refusedCable && (d.selected || isKnownCableBridge(d.vendorId, d.productId)))
                refusedCable = &d;
        }
        anySelected = anySelected || d.selected;
        lines << QStringLiteral("%1 %2  %3:%4  %5  %6")
                     .arg(QChar(d.selected ? u'*' : u' '))
                     .arg(d.name, -int(width))
                     .arg(hex4(d.vendorId), hex4(d.productId), access, d.path);
    }
    lines << QString();
    if (anySelected)
        lines << QStringLiteral("* the cable that CONNECT uses");
    else
        lines << QStringLiteral("No \"%1\" cable (without a serial number): CONNECT will say that "
                                "the cable is not connected.")
                     .arg(CableConnection::kCableName)
              << noCableAdvice();
    if (refusedCable)
        lines << QStringLiteral(
                     "The cable %1:%2 may not be opened for reading and writing. Install "
                     "the udev rule")
                     .arg(hex4(refusedCable->vendorId), hex4(refusedCable->productId))
              << QStringLiteral("70-z4072.rules (README: \"Using the real cable on Linux\"; "
                                "another cable needs its IDs")
              << QStringLiteral("added to it), then unplug the cable and plug it in again.");
    return lines;
}
