#pragma once

#include "link/hid/hid_event.h"
#include "link/hid/hid_platform.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <vector>

class TJvHidDevice;
class TJvHidDeviceController;
class TJvHidDeviceReadThread;

// Raised when a device object cannot be made and when a second controller is constructed.
class EControllerError : public std::runtime_error {
public:
    explicit EControllerError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

using TJvHidEnumerateEvent = HidEvent<bool(TJvHidDevice* HidDev, int Idx)>;
using TJvHidPlugEvent = HidEvent<void(TJvHidDevice* HidDev)>;
using TJvHidDataEvent =
    HidEvent<void(TJvHidDevice* HidDev, quint8 ReportID, const quint8* Data, quint16 Size)>;
using TJvHidDataErrorEvent = HidEvent<void(TJvHidDevice* HidDev, quint32 Error)>;
using TNotifyEvent = HidEvent<void(QObject* Sender)>;

// Where a device interface is and which device it belongs to.
struct TJvHidPnPInfo {
    explicit TJvHidPnPInfo(HidInterfaceInfo info) : interface(std::move(info)) {}
    const QString& DevicePath() const { return interface.path; }
    const QString& DeviceInstance() const { return interface.instance; }

    HidInterfaceInfo interface;
};

// One HID device interface, lent to the application by the controller. Destroying a checked-out
// object gives the device back (a fresh object takes its place in the controller's list).
class TJvHidDevice {
public:
    static constexpr int kDefaultSleepTime = 100;
    static constexpr int kStringChars = 254;

    ~TJvHidDevice();
    TJvHidDevice(const TJvHidDevice&) = delete;
    TJvHidDevice& operator=(const TJvHidDevice&) = delete;

    bool PluggedIn() const { return pluggedIn_; }
    bool CheckedOut() const { return checkedOut_; }
    bool CanReadWrite() const { return canReadWrite_; }
    quint16 VendorID() const { return attributes_.vendorId; }
    quint16 ProductID() const { return attributes_.productId; }
    quint16 VersionNumber() const { return attributes_.version; }
    QString ProductText();
    QString SerialText();
    const TJvHidPnPInfo& PnPInfo() const { return *pnp_; }
    TJvHidDeviceController* Controller() const { return controller_; }
    // System error code of the last attempt to open the device for reading and writing that
    // failed, 0 when the last attempt worked.
    quint32 OpenError() const { return openError_; }

    int SleepTime() const { return sleepTime_; }
    void SetSleepTime(int ms);

    TJvHidDataEvent OnData() const { return onData_; }
    void SetDataHandler(TJvHidDataEvent handler);
    TJvHidDataErrorEvent OnDataError() const { return onDataError_; }
    void SetOnDataError(TJvHidDataErrorEvent handler) { onDataError_ = std::move(handler); }
    TJvHidPlugEvent OnUnplug() const { return onUnplug_; }
    void SetOnUnplug(TJvHidPlugEvent handler) { onUnplug_ = std::move(handler); }

    // Sends `Length` bytes (byte 0 = report ID) as a feature report.
    bool SendFeature(const quint8* Report, int Length);

    // Called from a data handler: the reader waits `ms` before it reads the next report, while
    // the main thread carries on.
    void HoldReader(int ms);
    bool ReaderRunning() const { return reader_ != nullptr; }
    // The reader is waiting for the main thread to take a report or an error.
    bool HandOffPending() const;

private:
    friend class TJvHidDeviceController;
    friend class TJvHidDeviceReadThread;

    TJvHidDevice(std::unique_ptr<TJvHidPnPInfo> pnp, TJvHidDeviceController* controller);

    bool accessible() const { return pluggedIn_ && (checkedOut_ || enumerating_); }
    bool openMain();
    bool openMainHandle();
    void closeHandles();
    void startReaderIfReady();
    void stopReader();
    void deliverData(quint8 reportId, const quint8* data, quint16 size);
    void deliverError(quint32 code);

    std::unique_ptr<TJvHidPnPInfo> pnp_;
    std::shared_ptr<HidPlatform> platform_;
    TJvHidDeviceController* controller_ = nullptr;
    bool pluggedIn_ = true;
    bool checkedOut_ = false;
    bool enumerating_ = false;
    bool canReadWrite_ = false;
    quint32 openError_ = 0;
    HidAttributes attributes_;
    QString productText_;
    QString serialText_;
    int sleepTime_ = kDefaultSleepTime;
    std::unique_ptr<HidHandle> main_;
    TJvHidDataEvent onData_;
    TJvHidDataErrorEvent onDataError_;
    TJvHidPlugEvent onUnplug_;
    std::unique_ptr<TJvHidDeviceReadThread> reader_;
};

// Keeps the list of HID devices current, lends device objects out, and tells the application
// about devices that come and go. One per program.
class TJvHidDeviceController : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kVersion = "1.0.22";

    TJvHidDeviceController(QObject* owner, std::shared_ptr<HidPlatform> platform);
    ~TJvHidDeviceController() override;

    QString Version() const { return QString::fromLatin1(kVersion); }
    int DevThreadSleepTime() const { return devThreadSleepTime_; }
    void SetDevThreadSleepTime(int ms);

    void SetOnDeviceChange(TNotifyEvent handler);
    void SetOnEnumerate(TJvHidEnumerateEvent handler) { onEnumerate_ = std::move(handler); }
    void SetOnArrival(TJvHidPlugEvent handler) { onArrival_ = std::move(handler); }
    void SetOnRemoval(TJvHidPlugEvent handler) { onRemoval_ = std::move(handler); }
    void SetOnDeviceData(TJvHidDataEvent handler);
    void SetOnDeviceDataError(TJvHidDataErrorEvent handler);
    void SetOnDeviceUnplug(TJvHidPlugEvent handler);
    TJvHidDataEvent OnDeviceData() const { return onDeviceData_; }
    TJvHidDataErrorEvent OnDeviceDataError() const { return onDeviceDataError_; }
    TJvHidPlugEvent OnDeviceUnplug() const { return onDeviceUnplug_; }

    // Calls OnEnumerate for each plugged-in device, in list order, until it answers false.
    int EnumerateDevices();
    // Lends the device at `Idx`; false and null when there is none or it is already lent.
    bool CheckOutAt(int Idx, TJvHidDevice*& HidDev);

    // Looks at the present devices again (the platform calls this on each change).
    void DeviceChange();

    int Count() const { return int(list_.size()); }
    TJvHidDevice* At(int i) const { return list_[size_t(i)]; }
    HidPlatform& platform() const { return *platform_; }
    const std::shared_ptr<HidPlatform>& platformPtr() const { return platform_; }

private:
    friend class TJvHidDevice;

    struct Inherited {
        TJvHidDataEvent data;
        TJvHidDataErrorEvent dataError;
        TJvHidPlugEvent unplug;
        int sleepTime;
    };

    std::vector<std::unique_ptr<TJvHidDevice>> listPresent();
    void checkIn(TJvHidDevice* device, Inherited kept);
    void runPass();

    static std::atomic<int> controllerCount_;

    std::shared_ptr<HidPlatform> platform_;
    // Devices lent out stay here but belong to the borrower; the rest belong to the list.
    std::vector<TJvHidDevice*> list_;
    int devThreadSleepTime_ = TJvHidDevice::kDefaultSleepTime;
    bool firstPassDone_ = false;
    bool inPass_ = false;
    bool passAgain_ = false;
    TNotifyEvent onDeviceChange_;
    TJvHidEnumerateEvent onEnumerate_;
    TJvHidPlugEvent onArrival_;
    TJvHidPlugEvent onRemoval_;
    TJvHidDataEvent onDeviceData_;
    TJvHidDataErrorEvent onDeviceDataError_;
    TJvHidPlugEvent onDeviceUnplug_;
};
