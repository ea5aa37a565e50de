#pragma once

#include "link/hid/hid_platform.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// The HID devices as the window's device list sees them, for `z4072 devices`: the same controller
// and the same cable connection, without a window.
struct ListedDevice {
    QString name; // the row text
    quint16 vendorId = 0;
    quint16 productId = 0;
    bool readWrite = false;
    quint32 openError = 0; // why it cannot be opened for reading and writing, 0: it can
    QString path;
    bool selected = false; // the row that CONNECT would use
};

// Lists the devices on `platform` through a controller and a cable connection of their own.
std::vector<ListedDevice> listDevicesAsTheWindowDoes(std::shared_ptr<HidPlatform> platform);

// One line per device, the selected one marked with "*", then what the user may want to know:
// that there are none, which row CONNECT uses or that none would do, and how to let the user
// open a cable's bridge that the system keeps to itself.
QStringList describeDevices(const std::vector<ListedDevice>& devices, const HidPlatform& platform);

// Whether a vendor and product ID are those of a bridge found in the meter's cables.
bool isKnownCableBridge(quint16 vendorId, quint16 productId);
