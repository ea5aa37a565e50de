#include "link/hid/sim_hid_platform.h"

#include <algorithm>
#include <cerrno>

// ---- SimHidDevice -------------------------------------------------------------------------------

SimHidDevice::SimHidDevice(SimHidDeviceSpec desc, QString instance)
    : desc_(std::move(desc)), instance_(std::move(instance)) {}

bool SimHidDevice::pluggedIn() const {
    std::lock_guard lock(m_);
    return pluggedIn_;
}

void SimHidDevice::pushReport(QByteArray report) {
    std::lock_guard lock(m_);
    queue_.push_back(std::move(report));
    cv_.notify_all();
}

void SimHidDevice::failReads(quint32 code, int count) {
    std::lock_guard lock(m_);
    for (int i = 0; i < count; ++i)
        failures_.push_back(code);
    cv_.notify_all();
}

void SimHidDevice::setReportSource(std::shared_ptr<SimReportSource> source) {
    std::lock_guard lock(m_);
    source_ = std::move(source);
    haveSourced_ = false;
    sourceDone_ = false;
    cv_.notify_all();
}

std::vector<QByteArray> SimHidDevice::featureReports() const {
    std::lock_guard lock(m_);
    return features_;
}

int SimHidDevice::queuedReports() const {
    std::lock_guard lock(m_);
    return int(queue_.size());
}

int SimHidDevice::pendingFailures() const {
    std::lock_guard lock(m_);
    return int(failures_.size());
}

int SimHidDevice::waitingReaders() const {
    std::lock_guard lock(m_);
    return waiting_;
}

int SimHidDevice::read(quint8* buf, int length, int timeoutMs, quint32* error,
                       const bool& interrupted) {
    using Clock = SimReportSource::Clock;
    std::unique_lock lock(m_);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    ++waiting_;
    struct Leave {
        int& n;
        ~Leave() { --n; }
    } leave{waiting_};
    auto give = [&](const QByteArray& report) {
        const int n = std::min<int>(length, int(report.size()));
        std::copy_n(reinterpret_cast<const quint8*>(report.constData()), n, buf);
        return n;
    };
    for (;;) {
        if (!pluggedIn_) {
            *error = ENODEV;
            return -1;
        }
        if (!failures_.empty()) {
            *error = failures_.front();
            failures_.pop_front();
            return -1;
        }
        if (interrupted)
            return 0;
        if (!queue_.empty()) {
            const QByteArray report = std::move(queue_.front());
            queue_.pop_front();
            return give(report);
        }
        auto wakeAt = deadline;
        if (source_ && !sourceDone_) {
            const auto now = Clock::now();
            while (!haveSourced_ || sourcedDue_ + kMaxLag < now) {
                haveSourced_ = source_->next(sourced_, sourcedDue_);
                if (!haveSourced_) {
                    sourceDone_ = true;
                    break;
                }
            }
            if (haveSourced_) {
                if (sourcedDue_ <= now) {
                    haveSourced_ = false;
                    return give(sourced_);
                }
                wakeAt = std::min(wakeAt, sourcedDue_);
            }
        }
        if (Clock::now() >= deadline)
            return 0;
        cv_.wait_until(lock, wakeAt);
    }
}

void SimHidDevice::interrupt() {
    std::lock_guard lock(m_);
    cv_.notify_all();
}

bool SimHidDevice::feature(const quint8* report, int length) {
    std::shared_ptr<SimReportSource> source;
    QByteArray bytes(reinterpret_cast<const char*>(report), length);
    {
        std::lock_guard lock(m_);
        if (!pluggedIn_)
            return false;
        features_.push_back(bytes);
        source = source_;
    }
    if (source)
        source->feature(bytes);
    return true;
}

void SimHidDevice::unplug() {
    std::lock_guard lock(m_);
    pluggedIn_ = false;
    cv_.notify_all();
}

// ---- SimHidHandle -------------------------------------------------------------------------------

class SimHidHandle : public HidHandle {
public:
    SimHidHandle(std::shared_ptr<SimHidDevice> device, bool readWrite,
                 std::shared_ptr<std::atomic<int>> count)
        : device_(std::move(device)), readWrite_(readWrite), count_(std::move(count)) {
        ++*count_;
    }
    ~SimHidHandle() override { --*count_; }

    bool attributes(HidAttributes& out) override {
        const SimHidDeviceSpec& s = device_->desc();
        if (!s.identifiable)
            return false;
        out = {s.vendorId, s.productId, s.version};
        return true;
    }
    bool productString(char16_t* buf, int maxChars) override {
        return copyString(device_->desc().product.toStdU16String(), true, buf, maxChars);
    }
    bool serialString(char16_t* buf, int maxChars) override {
        return copyString(device_->desc().serial.toStdU16String(), true, buf, maxChars);
    }
    bool indexedString(int index, char16_t* buf, int maxChars) override {
        const SimHidDeviceSpec& s = device_->desc();
        if (index != 0 || !s.string0Readable)
            return false;
        const int n = std::min<int>(maxChars, int(s.string0.size()));
        std::copy_n(s.string0.data(), n, buf);
        if (s.string0Terminated && n < maxChars)
            buf[n] = 0;
        return true;
    }
    quint16 inputReportLength() override { return device_->desc().inputReportLength; }
    bool setFeature(const quint8* report, int length) override {
        return readWrite_ && device_->feature(report, length);
    }
    int read(quint8* buf, int length, int timeoutMs, quint32* error) override {
        if (!readWrite_) {
            *error = EBADF;
            return -1;
        }
        {
            std::lock_guard lock(device_->m_);
            interrupted_ = false;
        }
        return device_->read(buf, length, timeoutMs, error, interrupted_);
    }
    void interruptRead() override {
        std::lock_guard lock(device_->m_);
        interrupted_ = true;
        device_->cv_.notify_all();
    }

private:
    static bool copyString(const std::u16string& s, bool terminate, char16_t* buf, int maxChars) {
        if (s.empty())
            return false;
        const int n = std::min<int>(maxChars, int(s.size()));
        std::copy_n(s.data(), n, buf);
        if (terminate && n < maxChars)
            buf[n] = 0;
        return true;
    }

    std::shared_ptr<SimHidDevice> device_;
    bool readWrite_;
    bool interrupted_ = false; // guarded by the device's mutex
    std::shared_ptr<std::atomic<int>> count_;
};

// ---- SimHidPlatform -----------------------------------------------------------------------------

std::shared_ptr<SimHidDevice> SimHidPlatform::plug(SimHidDeviceSpec desc, bool notify) {
    auto device = std::make_shared<SimHidDevice>(
        std::move(desc), QStringLiteral("SIM\\HID\\%1").arg(nextInstance_++));
    devices_.push_back(device);
    if (notify)
        notifyChange();
    return device;
}

void SimHidPlatform::unplug(const std::shared_ptr<SimHidDevice>& device, bool notify) {
    device->unplug();
    std::erase(devices_, device);
    if (notify)
        notifyChange();
}

void SimHidPlatform::notifyChange() {
    if (changed_)
        changed_();
}

int SimHidPlatform::openHandles() const {
    return handles_->load();
}

std::vector<HidInterfaceInfo> SimHidPlatform::list() {
    std::vector<HidInterfaceInfo> out;
    for (const auto& d : devices_)
        out.push_back({QStringLiteral("/sim/") + d->instance(), d->instance()});
    return out;
}

std::unique_ptr<HidHandle> SimHidPlatform::open(const HidInterfaceInfo& info, HidAccess access,
                                                quint32* error) {
    auto it = std::find_if(devices_.begin(), devices_.end(),
                           [&](const auto& d) { return d->instance() == info.instance; });
    if (it == devices_.end()) {
        *error = ENODEV;
        return nullptr;
    }
    const SimHidDeviceSpec::Access allowed = (*it)->desc().access;
    const bool ok = access == HidAccess::ReadWrite ? allowed == SimHidDeviceSpec::Access::ReadWrite
                                                   : allowed != SimHidDeviceSpec::Access::None;
    if (!ok) {
        *error = (*it)->desc().openErrorCode;
        return nullptr;
    }
    return std::make_unique<SimHidHandle>(*it, access == HidAccess::ReadWrite, handles_);
}

QString SimHidPlatform::errorText(quint32 code) const {
    return systemErrorText(code);
}

void SimHidPlatform::setChangeCallback(std::function<void()> callback) {
    changed_ = std::move(callback);
}
