#pragma once

#include "link/hid/hid_platform.h"

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Feeds a simulated device's input reports at their own pace.
class SimReportSource {
public:
    using Clock = std::chrono::steady_clock;
    virtual ~SimReportSource() = default;
    // The next input report (report ID first) and when it is due; false when there are no
    // more. Called on the thread that reads the device.
    virtual bool next(QByteArray& report, Clock::time_point& due) = 0;
    // A feature report reached the device. Called on the main thread.
    virtual void feature(const QByteArray& /*report*/) {}
};

struct SimHidDeviceSpec {
    enum class Access { ReadWrite, QueryOnly, None };

    QString product;                    // empty: the device has no product string
    QString serial;                     // empty: no serial number string
    std::u16string string0 = u"\u0409"; // the language list
    bool string0Readable = true;
    bool string0Terminated = true;
    quint16 vendorId = 0;
    quint16 productId = 0;
    quint16 version = 0x0100;
    Access access = Access::ReadWrite;
    quint32 openErrorCode = 13; // EACCES, for what `access` does not allow
    bool identifiable = true;
    quint16 inputReportLength = 9;
};

// A device of the simulated layer. Tests and the simulator drive it from the main thread; the
// reader thread reads it.
class SimHidDevice {
public:
    // Reports more than this late are dropped, as a full system buffer would drop them.
    static constexpr std::chrono::milliseconds kMaxLag{512};

    SimHidDevice(SimHidDeviceSpec desc, QString instance);

    const SimHidDeviceSpec& desc() const { return desc_; }
    const QString& instance() const { return instance_; }
    bool pluggedIn() const;

    // Queues an input report (report ID first). Any thread.
    void pushReport(QByteArray report);
    // The next `count` reads fail with `code`.
    void failReads(quint32 code, int count = 1);
    void setReportSource(std::shared_ptr<SimReportSource> source);
    std::vector<QByteArray> featureReports() const;
    int queuedReports() const;
    int pendingFailures() const;
    // How many reads are waiting in read() now.
    int waitingReaders() const;

private:
    friend class SimHidHandle;
    friend class SimHidPlatform;

    int read(quint8* buf, int length, int timeoutMs, quint32* error, const bool& interrupted);
    void interrupt();
    bool feature(const quint8* report, int length);
    void unplug();

    const SimHidDeviceSpec desc_;
    const QString instance_;
    mutable std::mutex m_;
    std::condition_variable cv_;
    bool pluggedIn_ = true;
    std::deque<QByteArray> queue_;
    std::deque<quint32> failures_;
    std::vector<QByteArray> features_;
    std::shared_ptr<SimReportSource> source_;
    QByteArray sourced_;
    SimReportSource::Clock::time_point sourcedDue_;
    bool haveSourced_ = false;
    bool sourceDone_ = false;
    int waiting_ = 0;
};

// The simulated HID layer: devices come and go when the program says so.
class SimHidPlatform : public HidPlatform {
public:
    // Plugs a device in and, with `notify`, reports the change as the system would.
    std::shared_ptr<SimHidDevice> plug(SimHidDeviceSpec desc, bool notify = true);
    void unplug(const std::shared_ptr<SimHidDevice>& device, bool notify = true);
    void notifyChange();
    void setAvailable(bool available) { available_ = available; }
    int openHandles() const;

    bool available() const override { return available_; }
    std::vector<HidInterfaceInfo> list() override;
    std::unique_ptr<HidHandle> open(const HidInterfaceInfo& device, HidAccess access,
                                    quint32* error) override;
    QString errorText(quint32 code) const override;
    void setChangeCallback(std::function<void()> callback) override;

private:
    std::vector<std::shared_ptr<SimHidDevice>> devices_;
    std::function<void()> changed_;
    bool available_ = true;
    int nextInstance_ = 1;
    std::shared_ptr<std::atomic<int>> handles_ = std::make_shared<std::atomic<int>>(0);
};
