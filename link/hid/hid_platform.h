#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>
#include <vector>

// One HID device interface as the platform lists it.
struct HidInterfaceInfo {
    QString path;     // what open() takes
    QString instance; // identity of the device; a device plugged in again gets a new one
};

struct HidAttributes {
    quint16 vendorId = 0;
    quint16 productId = 0;
    quint16 version = 0;
};

enum class HidAccess {
    ReadWrite, // reports and feature requests
    QueryOnly, // attributes and strings only
};

// An open device interface. A handle is used by one thread at a time, except interruptRead().
class HidHandle {
public:
    virtual ~HidHandle() = default;

    virtual bool attributes(HidAttributes& out) = 0;
    // Strings into `buf` (at most `maxChars` characters); false when the device cannot give
    // one. A string shorter than the buffer ends in a zero character; a longer one is cut.
    virtual bool productString(char16_t* buf, int maxChars) = 0;
    virtual bool serialString(char16_t* buf, int maxChars) = 0;
    // String descriptor `index`; index 0 is the device's list of language IDs. May leave the
    // characters after the string untouched and need not write a terminator.
    virtual bool indexedString(int index, char16_t* buf, int maxChars) = 0;
    // Bytes of one input report including the report ID byte (0 for unnumbered devices).
    virtual quint16 inputReportLength() = 0;
    // `length` bytes, report ID first. False on failure.
    virtual bool setFeature(const quint8* report, int length) = 0;
    // One input report into `buf`, report ID first (0 for devices without numbered reports):
    // > 0 its length, 0 when nothing came within `timeoutMs` (or interruptRead() was called),
    // < 0 on failure with the system's error code in *error.
    virtual int read(quint8* buf, int length, int timeoutMs, quint32* error) = 0;
    // Waits until a read() would find a report or a failure, `timeoutMs` pass (never, when it
    // is negative), or interruptRead() is called, without reading anything: true in the first
    // case, when a read() with a timeout of 0 finds what came. A layer that cannot tell returns
    // false at once, and the read waits instead.
    virtual bool waitReadable(int timeoutMs) {
        (void)timeoutMs;
        return false;
    }
    // Makes a read() or waitReadable() running on another thread return early. Safe from any
    // thread.
    virtual void interruptRead() {}
};

// The operating system's side of HID access: listing, opening, change notification. The device
// controller is its only user; everything but HidHandle::read()/interruptRead() runs on the
// main thread.
class HidPlatform {
public:
    virtual ~HidPlatform() = default;

    // False when the HID library could not be loaded; then nothing is ever listed.
    virtual bool available() const = 0;
    virtual std::vector<HidInterfaceInfo> list() = 0;
    // Null and *error set (system error code) when the device cannot be opened that way.
    virtual std::unique_ptr<HidHandle> open(const HidInterfaceInfo& device, HidAccess access,
                                            quint32* error) = 0;
    // The system's message text for an error code.
    virtual QString errorText(quint32 code) const = 0;
    // `callback` runs on the main thread whenever devices may have come or gone.
    virtual void setChangeCallback(std::function<void()> callback) = 0;
};

// The system's message for an error number, as strerror gives it.
QString systemErrorText(quint32 code);

// The platform's own layer: hidraw through hidapi, with udev for device-change events.
std::shared_ptr<HidPlatform> makeSystemHidPlatform();
