#pragma once

// Emulated hidraw devices for the tests of the system's HID layer: a sysfs tree, device nodes,
// ioctls, reads and uevents, as the kernel would give them for a USB HID device, in a private
// test bed that the whole process (and the programs it starts) sees instead of the machine's.
//
// Programs that use it run under two preloads: the emulation's own, which redirects /sys and
// /dev, serves ioctls from the handlers here and delivers uevents; and ours, which refuses opens
// of the nodes that a test marks as not granted and hands the reads of the nodes straight to
// the devices here. runEmulated() sets both up.
//
// Readiness: the emulation backs each node by a pseudo-terminal, which poll() looks at (the
// preload does not intercept poll). A device with something to read keeps one byte waiting in
// its terminal, so a poll on the node wakes exactly when a read would be served.

#include "link/hid/sim_hid_platform.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace rig {

// Runs `body` inside the emulation: re-executes the program under the preloads first when they
// are not loaded yet. For the main() of test and benchmark programs.
int runEmulated(int argc, char** argv, int (*body)(int, char**));

// The threads that do the emulation's work (serving reads and ioctls, feeding reports), as
// system thread IDs: benchmarks leave them out of what they charge to the program.
std::vector<int> emulationThreads();

// Report descriptors of the two bridges found in these cables: vendor-defined collections with
// an 8-byte input report, an 8-byte output report and a 5-byte feature report, no report IDs.
QByteArray bridgeDescriptor1a86e008();
QByteArray bridgeDescriptor04fa2490();
// A device with numbered reports: input report 1 of 8 bytes, input report 2 of 3 bytes, feature
// report 3 of 5 bytes.
QByteArray numberedDescriptor();

struct HidrawProfile {
    quint16 vendorId = 0x1A86;
    quint16 productId = 0xE008;
    std::optional<QString> product = QStringLiteral("USB to Serial"); // none: no string at all
    std::optional<QString> serial; // the device's serial number string, if it has one
    QByteArray descriptor = bridgeDescriptor1a86e008();
    // The device stalls (EPIPE) a feature report whose length is not the one it declares.
    bool strictFeatureLength = true;
};

class HidrawBus;

// One emulated device. Thread-safe: tests drive it from the main thread, the emulation serves
// the program's reads and ioctls on a thread of its own.
class HidrawDevice {
public:
    struct Feature {
        quint32 length; // the length the HIDIOCSFEATURE request carried
        QByteArray bytes;
    };

    ~HidrawDevice();

    const QString& node() const { return node_; } // "/dev/hidraw3"
    const QString& sysPath() const { return hidraw_; }

    // An input report as hidraw hands it out: a numbered device's starts with its ID.
    void push(const QByteArray& report);
    // Reports from `source` at its pace (report ID first, as the simulated layer has them; the
    // ID byte is dropped for a device without numbered reports). Feature reports reach it too.
    void feed(std::shared_ptr<SimReportSource> source, bool numbered = false);
    // The next `count` reads give 0 bytes.
    void emptyReads(int count);
    // From now on reads fail with `error`, as when the device is going and its node not yet
    // gone.
    void failReads(int error);
    // Opens of the node fail with EACCES (or work again).
    void refuseOpen(bool refuse);

    std::vector<Feature> features() const;
    int reads() const;

    struct State;

private:
    friend class HidrawBus;
    HidrawDevice() = default;

    std::shared_ptr<State> state_;
    QString node_;
    QString hidraw_;
    QString usbDevice_;
};

// The emulated machine: devices come and go when a test says so.
class HidrawBus {
public:
    // The test bed is made on first use and lives until the process ends.
    static HidrawBus& instance();

    // Plugs a device in; with `announce`, as the kernel does: an "add" uevent.
    std::shared_ptr<HidrawDevice> plug(const HidrawProfile& profile, bool announce = true);
    // Takes it out: reads on nodes still open fail with `readError` from then on, the node and
    // the sysfs tree go, and with `announce` a "remove" uevent follows.
    void unplug(const std::shared_ptr<HidrawDevice>& device, int readError = 19 /* ENODEV */,
                bool announce = true);
    // Takes out every device still plugged in, without uevents (between tests).
    void unplugAll();

    struct Impl;
    Impl& impl() { return *d_; }

private:
    HidrawBus();
    std::unique_ptr<Impl> d_;
};

} // namespace rig
