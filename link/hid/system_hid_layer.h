#pragma once

// The parts of the system's HID layer, one file a system (see CMakeLists.txt, which picks them):
//
//   system_hid_layer.cpp     hidapi lists the devices; the handles' common work; the platform
//   system_hid_linux.cpp     Linux: the hidraw node, opened, read and sent feature reports by us
//   system_hid_hidapi.cpp    other systems: hidapi's own back-end does the device work
//   hid_change_udev.cpp      device-change events from udev's monitor (Linux with libudev)
//   hid_change_no_events.cpp no device-change events from the system
//   hid_change_relist.cpp    listing again every second: the watch without events
//   system_hid_unavailable.cpp  without hidapi: a layer that lists nothing

#include "link/hid/hid_descriptor.h"
#include "link/hid/hid_platform.h"

#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace systemhid {

// What the listing knows of a device.
struct DeviceFacts {
    HidAttributes attributes;
    std::u16string product;
    std::u16string serial;
    HidReportLayout layout;
    // Why the descriptor cannot be used; empty when it can (or when the system gives none).
    QString layoutProblem;
};

// Reports of a device whose descriptor cannot be read are taken at the largest size that a
// full-speed interrupt endpoint delivers, plus the report ID byte.
constexpr quint16 kFallbackReportLength = 65;
// The kernel refuses report descriptors longer than this.
constexpr qint64 kMaxDescriptorSize = 4096;

// The report layout of descriptor `d`; `problem` says why it cannot be used, if so.
HidReportLayout layoutOf(const QByteArray& d, QString* problem);

// A device as the listing knows it: attributes and strings, nothing opened. Handles for
// queries only are these; the handles that read and send feature reports build on them.
class ListedHandle : public HidHandle {
public:
    ListedHandle(QString path, DeviceFacts facts)
        : path_(std::move(path)), facts_(std::move(facts)) {}

    bool attributes(HidAttributes& out) override;
    bool productString(char16_t* buf, int maxChars) override;
    bool serialString(char16_t* buf, int maxChars) override;
    bool indexedString(int index, char16_t* buf, int maxChars) override;
    quint16 inputReportLength() override;
    bool setFeature(const quint8*, int) override { return false; }
    int read(quint8*, int, int, quint32* error) override;

protected:
    QString path_;
    DeviceFacts facts_;
};

// What the handles that read have in common: the report ID byte, reports of the wrong length,
// a descriptor that could not be used, and reads that give nothing.
class ReadingHandle : public ListedHandle {
public:
    ReadingHandle(QString path, DeviceFacts facts);

protected:
    // The device gets its feature report at the length its descriptor declares, as the HID class
    // drivers of other systems send it; hidraw would pass on any length, and these bridges
    // ignore a report of the wrong size. Empty when the device has no such feature report.
    std::vector<quint8> featureOnTheWire(const quint8* report, int length) const;

    // Before a read: an error that is due to be said, if any.
    bool takePendingError(quint32* error);

    // Where a report of a device is read to, and how much room it gets. The system hands out
    // the report ID byte only for numbered devices; the layer above always gets it, 0 for the
    // others. One byte of room more than the longest report shows a longer one instead of
    // cutting it unseen.
    quint8* readInto(int length, size_t* room);

    // After `n` > 0 bytes came to readInto(): the report at the full length, ID byte first.
    int finishReport(int n, quint8* buf, int length);

    // A read that gave no bytes although one was due. A run of them would turn the reader into
    // a busy loop: past a few in a row, answers that the caller should wait out its timeout.
    bool tooManyEmptyReads();
    void noEmptyRead() { emptyInARow_ = 0; }

private:
    bool numbered() const { return facts_.layout.valid && facts_.layout.numbered; }

    std::vector<quint8> scratch_;
    quint32 pendingError_ = 0;
    bool warnedLong_ = false;
    int emptyInARow_ = 0;
};

// ---- the device access of one system (system_hid_linux.cpp or system_hid_hidapi.cpp) ----

// The identity of a listed device across listings, and its report layout, for the device at
// hidapi's `path`.
void describeDevice(const char* path, DeviceFacts& facts, QString& instance);
// Opens the device for reports and feature requests; null and *error set when it cannot be.
std::unique_ptr<HidHandle> openForReading(const QString& path, const DeviceFacts& facts,
                                          quint32* error);
// Whether a device listed at `path` is known to be gone (without listing again).
bool deviceGone(const QString& path);

// ---- device-change watches ----

class ChangeWatch {
public:
    virtual ~ChangeWatch() = default;
};

// Where the system tells of devices that come and go (udev's monitor): calls `changed` on the
// main thread for each burst of events. Null where it tells nothing.
std::unique_ptr<ChangeWatch> watchSystemEvents(std::function<void()> changed);

// Lists the devices again every second (`present` answers their identities) and calls
// `changed` when the set differs from the last one.
std::unique_ptr<ChangeWatch> watchByRelisting(std::function<QSet<QString>()> present,
                                              std::function<void()> changed);

} // namespace systemhid
