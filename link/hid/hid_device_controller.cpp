#include "link/hid/hid_device_controller.h"

#include "link/hid/hid_read_thread.h"

#include <algorithm>
#include <cerrno>

// ---- TJvHidDevice ------------------------------------------------------------------------------

TJvHidDevice::TJvHidDevice(std::unique_ptr<TJvHidPnPInfo> pnp, TJvHidDeviceController* controller)
    : pnp_(std::move(pnp)), platform_(controller->platformPtr()), controller_(controller) {
    onData_ = controller->onDeviceData_;
    onDataError_ = controller->onDeviceDataError_;
    onUnplug_ = controller->onDeviceUnplug_;

    if (!openMainHandle())
        throw EControllerError(QStringLiteral("device cannot be opened"));
    if (!main_->attributes(attributes_))
        throw EControllerError(QStringLiteral("device cannot be identified"));
    main_.reset();
}

TJvHidDevice::~TJvHidDevice() {
    // Check-in: remember what the replacement inherits, then stop reading and let go.
    TJvHidDeviceController::Inherited kept{onData_, onDataError_, onUnplug_, sleepTime_};
    SetDataHandler(nullptr);
    onUnplug_ = nullptr;
    closeHandles();
    productText_.clear();
    serialText_.clear();
    if (controller_)
        controller_->checkIn(this, std::move(kept));
}

bool TJvHidDevice::openMain() {
    if (!accessible())
        return false;
    return main_ || openMainHandle();
}

bool TJvHidDevice::openMainHandle() {
    // For reading and writing if the system lets us, else for queries only.
    quint32 error = 0;
    main_ = platform_->open(pnp_->interface, HidAccess::ReadWrite, &error);
    canReadWrite_ = main_ != nullptr;
    openError_ = canReadWrite_ ? 0 : error;
    if (!main_)
        main_ = platform_->open(pnp_->interface, HidAccess::QueryOnly, &error);
    return main_ != nullptr;
}

void TJvHidDevice::closeHandles() {
    main_.reset();
    // Only the pass for a device that is gone closes the handle of a running reader.
    if (reader_)
        reader_->CloseHandle(ENODEV);
}

namespace {
// The text before the first zero character of a string buffer.
QString untilZero(const char16_t* buf, int maxChars) {
    int n = 0;
    while (n < maxChars && buf[n] != 0)
        ++n;
    return QString::fromUtf16(buf, n);
}
} // namespace

QString TJvHidDevice::ProductText() {
    if (productText_.isEmpty() && openMain()) {
        char16_t buf[kStringChars] = {};
        if (main_->productString(buf, kStringChars))
            productText_ = untilZero(buf, kStringChars);
        main_.reset();
    }
    return productText_;
}

QString TJvHidDevice::SerialText() {
    if (serialText_.isEmpty() && openMain()) {
        char16_t serial[kStringChars] = {};
        if (main_->serialString(serial, kStringChars)) {
            // Some devices answer the serial number request with their language list
            // (string 0): such a serial number is no serial number.
            char16_t lang[kStringChars];
            std::fill(std::begin(lang), std::end(lang), char16_t(0xFFFF));
            if (main_->indexedString(0, lang, kStringChars)) {
                int n = 0;
                while (n < kStringChars && lang[n] != 0 && lang[n] != 0xFFFF)
                    ++n;
                if (n < kStringChars && lang[n] == 0xFFFF) {
                    // No terminator: the string runs up to the last character written.
                    int last = kStringChars - 1;
                    while (last >= 0 && lang[last] == 0xFFFF)
                        --last;
                    n = last + 1;
                }
                bool differs = false;
                for (int i = 0; i < n && !differs; ++i)
                    differs = serial[i] != lang[i];
                if (differs)
                    serialText_ = untilZero(serial, kStringChars);
            }
        }
        main_.reset();
    }
    return serialText_;
}

void TJvHidDevice::SetSleepTime(int ms) {
    if (ms < 10 || ms > 10000)
        return;
    sleepTime_ = ms;
    if (reader_)
        reader_->SetSleepTime(ms);
}

bool TJvHidDevice::SendFeature(const quint8* Report, int Length) {
    if (!openMain())
        return false;
    return main_->setFeature(Report, Length);
}

void TJvHidDevice::HoldReader(int ms) {
    if (reader_ && ms > 0)
        reader_->Hold(ms);
}

bool TJvHidDevice::HandOffPending() const {
    return reader_ && reader_->Pending();
}

void TJvHidDevice::SetDataHandler(TJvHidDataEvent handler) {
    if (!handler)
        stopReader();
    onData_ = std::move(handler);
    startReaderIfReady();
}

void TJvHidDevice::startReaderIfReady() {
    if (reader_ || !onData_ || !pluggedIn_ || !checkedOut_ || !canReadWrite_)
        return;
    quint32 error = 0;
    std::unique_ptr<HidHandle> read =
        accessible() ? platform_->open(pnp_->interface, HidAccess::ReadWrite, &error) : nullptr;
    if (!read && error == 0)
        error = EBADF;
    reader_ = std::make_unique<TJvHidDeviceReadThread>(this, std::move(read), error, sleepTime_);
    reader_->Resume();
}

void TJvHidDevice::stopReader() {
    if (!reader_)
        return;
    // Moved out first: a handler that the stop delivers may look at ReaderRunning().
    std::unique_ptr<TJvHidDeviceReadThread> reader = std::move(reader_);
    reader->Stop();
}

void TJvHidDevice::deliverData(quint8 reportId, const quint8* data, quint16 size) {
    // A copy: the handler may replace itself or destroy this device.
    const TJvHidDataEvent handler = onData_;
    if (handler)
        handler(this, reportId, data, size);
}

void TJvHidDevice::deliverError(quint32 code) {
    const TJvHidDataErrorEvent handler = onDataError_;
    if (handler)
        handler(this, code);
}

// ---- TJvHidDeviceController --------------------------------------------------------------------

std::atomic<int> TJvHidDeviceController::controllerCount_{0};

TJvHidDeviceController::TJvHidDeviceController(QObject* owner,
                                               std::shared_ptr<HidPlatform> platform)
    : QObject(owner), platform_(std::move(platform)) {
    setObjectName(QStringLiteral("HidCtl"));
    if (controllerCount_.fetch_add(1) != 0) {
        controllerCount_.fetch_sub(1);
        throw EControllerError(
            QStringLiteral("Only one TJvHidDeviceController allowed per program"));
    }
    for (auto& d : listPresent())
        list_.push_back(d.release());
    if (platform_->available())
        platform_->setChangeCallback([this] { DeviceChange(); });
}

TJvHidDeviceController::~TJvHidDeviceController() {
    controllerCount_.fetch_sub(1);
    onDeviceChange_ = nullptr;
    onDeviceUnplug_ = nullptr;
    onEnumerate_ = nullptr;
    platform_->setChangeCallback(nullptr);
    std::vector<TJvHidDevice*> devices = std::move(list_);
    list_.clear();
    for (TJvHidDevice* d : devices) {
        d->controller_ = nullptr;
        if (d->checkedOut_) {
            // Its borrower still holds it: leave it in a state where it does nothing more.
            d->stopReader();
            d->closeHandles();
            d->pluggedIn_ = false;
            const TJvHidPlugEvent unplug = d->onUnplug_;
            if (unplug)
                unplug(d);
        } else {
            delete d;
        }
    }
}

std::vector<std::unique_ptr<TJvHidDevice>> TJvHidDeviceController::listPresent() {
    std::vector<std::unique_ptr<TJvHidDevice>> found;
    if (!platform_->available())
        return found;
    for (HidInterfaceInfo& info : platform_->list()) {
        try {
            found.emplace_back(
                new TJvHidDevice(std::make_unique<TJvHidPnPInfo>(std::move(info)), this));
        } catch (const EControllerError&) {
            // Not listed; the others still are.
        }
    }
    return found;
}

void TJvHidDeviceController::SetDevThreadSleepTime(int ms) {
    if (ms == devThreadSleepTime_)
        return;
    for (TJvHidDevice* d : list_)
        if (d->sleepTime_ == devThreadSleepTime_)
            d->SetSleepTime(ms);
    devThreadSleepTime_ = ms;
}

void TJvHidDeviceController::SetOnDeviceChange(TNotifyEvent handler) {
    if (handler == onDeviceChange_)
        return;
    onDeviceChange_ = std::move(handler);
    DeviceChange();
    firstPassDone_ = true;
}

void TJvHidDeviceController::SetOnDeviceData(TJvHidDataEvent handler) {
    for (TJvHidDevice* d : list_)
        if (d->onData_ == onDeviceData_)
            d->SetDataHandler(handler);
    onDeviceData_ = std::move(handler);
}

void TJvHidDeviceController::SetOnDeviceDataError(TJvHidDataErrorEvent handler) {
    for (TJvHidDevice* d : list_)
        if (d->onDataError_ == onDeviceDataError_)
            d->onDataError_ = handler;
    onDeviceDataError_ = std::move(handler);
}

void TJvHidDeviceController::SetOnDeviceUnplug(TJvHidPlugEvent handler) {
    for (TJvHidDevice* d : list_)
        if (d->onUnplug_ == onDeviceUnplug_)
            d->onUnplug_ = handler;
    onDeviceUnplug_ = std::move(handler);
}

int TJvHidDeviceController::EnumerateDevices() {
    int calls = 0;
    for (size_t i = 0; i < list_.size(); ++i) {
        TJvHidDevice* d = list_[i];
        if (!d->pluggedIn_)
            continue;
        bool goOn = false;
        d->enumerating_ = true;
        const TJvHidEnumerateEvent handler = onEnumerate_;
        if (handler)
            goOn = handler(d, int(i));
        // The handler may have checked the device out and in again: look at the slot anew.
        if (i < list_.size()) {
            TJvHidDevice* now = list_[i];
            now->enumerating_ = false;
            if (!now->checkedOut_)
                now->closeHandles();
        }
        ++calls;
        if (!goOn)
            break;
    }
    return calls;
}

bool TJvHidDeviceController::CheckOutAt(int Idx, TJvHidDevice*& HidDev) {
    HidDev = nullptr;
    if (Idx < 0 || size_t(Idx) >= list_.size() || list_[size_t(Idx)]->checkedOut_)
        return false;
    HidDev = list_[size_t(Idx)];
    HidDev->checkedOut_ = true;
    HidDev->startReaderIfReady();
    return true;
}

void TJvHidDeviceController::checkIn(TJvHidDevice* device, Inherited kept) {
    auto it = std::find(list_.begin(), list_.end(), device);
    if (it == list_.end())
        return;
    if (!device->pluggedIn_) {
        list_.erase(it);
        return;
    }
    try {
        auto* fresh = new TJvHidDevice(std::move(device->pnp_), this);
        fresh->onData_ = std::move(kept.data);
        fresh->onDataError_ = std::move(kept.dataError);
        fresh->onUnplug_ = std::move(kept.unplug);
        fresh->sleepTime_ = kept.sleepTime;
        *it = fresh;
    } catch (const EControllerError&) {
        // It can no longer be opened: treat it as gone; if it is still there, the next
        // device-change pass brings it back as an arrival.
        list_.erase(it);
    }
}

void TJvHidDeviceController::DeviceChange() {
    // A handler that runs an event loop may let another notification in: run it afterwards.
    if (inPass_) {
        passAgain_ = true;
        return;
    }
    inPass_ = true;
    do {
        passAgain_ = false;
        runPass();
    } while (passAgain_);
    inPass_ = false;
}

void TJvHidDeviceController::runPass() {
    std::vector<std::unique_ptr<TJvHidDevice>> present = listPresent();
    bool changed = false;

    for (size_t i = list_.size(); i-- > 0;) {
        if (i >= list_.size())
            continue;
        TJvHidDevice* d = list_[i];
        const bool stillThere =
            d->pluggedIn_ && std::any_of(present.begin(), present.end(), [d](const auto& p) {
                return p->pnp_->DeviceInstance() == d->pnp_->DeviceInstance();
            });
        if (stillThere)
            continue;
        d->closeHandles();
        d->pluggedIn_ = false;
        const TJvHidPlugEvent unplug = std::exchange(d->onUnplug_, nullptr);
        if (unplug)
            unplug(d);
        const TJvHidPlugEvent removal = onRemoval_;
        if (removal) {
            d->enumerating_ = true;
            removal(d);
            d->enumerating_ = false;
        }
        // The handler may have given the object back already.
        if (i < list_.size() && list_[i] == d && !d->checkedOut_) {
            list_.erase(list_.begin() + std::ptrdiff_t(i));
            delete d;
        }
        changed = true;
    }

    for (auto& p : present) {
        const bool duplicate = std::any_of(list_.begin(), list_.end(), [&p](TJvHidDevice* d) {
            return d->pluggedIn_ && d->pnp_->DeviceInstance() == p->pnp_->DeviceInstance();
        });
        if (duplicate) {
            p->controller_ = nullptr;
            p.reset();
        }
    }
    for (auto& p : present) {
        if (!p)
            continue;
        TJvHidDevice* d = p.release();
        list_.push_back(d);
        changed = true;
        const TJvHidPlugEvent arrival = onArrival_;
        if (arrival) {
            d->enumerating_ = true;
            arrival(d);
            d->enumerating_ = false;
        }
    }

    if (changed || !firstPassDone_) {
        const TNotifyEvent change = onDeviceChange_;
        if (change)
            change(this);
    }
}
