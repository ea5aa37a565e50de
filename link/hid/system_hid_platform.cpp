// The system's HID layer: hidraw devices through hidapi, report layout from the report
// descriptor in sysfs, device-change events from a udev monitor (or, without libudev, from
// listing the devices again every second and comparing).

#include "hid_descriptor.h"
#include "hid_platform.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#ifdef Z4072_HAVE_HIDAPI
#include <hidapi.h>
#endif
#ifdef Z4072_HAVE_LIBUDEV
#include <libudev.h>
#endif

namespace {

struct DeviceFacts {
    HidAttributes attributes;
    std::u16string product;
    std::u16string serial;
    HidReportLayout layout;
};

// Reports of a device whose descriptor cannot be read are taken at the largest size that a
// full-speed interrupt endpoint delivers, plus the report ID byte.
constexpr quint16 kFallbackReportLength = 65;

QString hidrawName(const QString& path) {
    return QFileInfo(path).fileName();
}

#ifdef Z4072_HAVE_LIBUDEV
struct Udev {
    udev* u = udev_new();
    ~Udev() {
        if (u)
            udev_unref(u);
    }
};
#endif

// The sysfs directory of the HID device behind a hidraw node: its name ("0003:1A86:E008.0005")
// is new for every device the kernel sees, so it identifies the device across listings.
QString hidDeviceDir(const QString& path) {
    const QString name = hidrawName(path);
#ifdef Z4072_HAVE_LIBUDEV
    static Udev udev;
    if (udev.u) {
        const QByteArray sysname = name.toLocal8Bit();
        if (udev_device* raw =
                udev_device_new_from_subsystem_sysname(udev.u, "hidraw", sysname.constData())) {
            QString dir;
            if (udev_device* hid =
                    udev_device_get_parent_with_subsystem_devtype(raw, "hid", nullptr))
                dir = QString::fromLocal8Bit(udev_device_get_syspath(hid));
            udev_device_unref(raw);
            if (!dir.isEmpty())
                return dir;
        }
    }
#endif
    return QFileInfo(QStringLiteral("/sys/class/hidraw/") + name + QStringLiteral("/device"))
        .canonicalFilePath();
}

HidReportLayout readLayout(const QString& hidDir) {
    QFile f(hidDir + QStringLiteral("/report_descriptor"));
    if (hidDir.isEmpty() || !f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray d = f.read(4096);
    return parseReportDescriptor(reinterpret_cast<const quint8*>(d.constData()),
                                 std::size_t(d.size()));
}

#ifdef Z4072_HAVE_HIDAPI

std::u16string fromWide(const wchar_t* s) {
    return s ? QString::fromWCharArray(s).toStdU16String() : std::u16string();
}

bool copyString(const std::u16string& s, char16_t* buf, int maxChars) {
    if (s.empty())
        return false;
    const int n = std::min<int>(maxChars, int(s.size()));
    std::copy_n(s.data(), n, buf);
    if (n < maxChars)
        buf[n] = 0;
    return true;
}

class SystemHidHandle : public HidHandle {
public:
    SystemHidHandle(QString path, DeviceFacts facts, hid_device* dev)
        : path_(std::move(path)), facts_(std::move(facts)), dev_(dev) {}
    ~SystemHidHandle() override {
        if (dev_)
            hid_close(dev_);
    }

    bool attributes(HidAttributes& out) override {
        out = facts_.attributes;
        return true;
    }
    bool productString(char16_t* buf, int maxChars) override {
        return copyString(facts_.product, buf, maxChars);
    }
    bool serialString(char16_t* buf, int maxChars) override {
        return copyString(facts_.serial, buf, maxChars);
    }
    bool indexedString(int index, char16_t* buf, int maxChars) override {
        // hidraw cannot fetch string descriptors by index; the kernel reads the strings in
        // the device's first language, which for these devices is US English.
        if (index != 0 || maxChars < 1)
            return false;
        buf[0] = 0x0409;
        if (maxChars > 1)
            buf[1] = 0;
        return true;
    }
    quint16 inputReportLength() override {
        if (!facts_.layout.valid)
            return kFallbackReportLength;
        return std::max<quint16>(facts_.layout.inputReportLength, 2);
    }
    bool setFeature(const quint8* report, int length) override {
        return dev_ && hid_send_feature_report(dev_, report, size_t(length)) >= 0;
    }
    int read(quint8* buf, int length, int timeoutMs, quint32* error) override {
        if (!dev_) {
            *error = EBADF;
            return -1;
        }
        // hidraw hands out the report ID byte only for numbered devices; the layer above
        // always gets it, 0 for the others.
        const bool numbered = facts_.layout.valid && facts_.layout.numbered;
        quint8* into = numbered ? buf : buf + 1;
        const int room = numbered ? length : length - 1;
        errno = 0;
        const int n = hid_read_timeout(dev_, into, size_t(room), timeoutMs);
        if (n < 0) {
            const int e = errno;
            *error = quint32(::access(path_.toLocal8Bit().constData(), F_OK) != 0 ? ENODEV
                             : e != 0                                             ? e
                                                                                  : EIO);
            return -1;
        }
        if (n == 0)
            return 0;
        if (!numbered)
            buf[0] = 0;
        // Shorter reports come out at the full length, zero-filled, as from other systems.
        std::fill(into + n, buf + length, quint8(0));
        return length;
    }

private:
    QString path_;
    DeviceFacts facts_;
    hid_device* dev_;
};

#endif // Z4072_HAVE_HIDAPI

class SystemHidPlatform : public HidPlatform {
public:
    SystemHidPlatform() {
#ifdef Z4072_HAVE_HIDAPI
        available_ = hid_init() == 0;
#endif
    }
    ~SystemHidPlatform() override {
        stopWatching();
#ifdef Z4072_HAVE_HIDAPI
        if (available_)
            hid_exit();
#endif
    }

    bool available() const override {
        return available_;
    }

    std::vector<HidInterfaceInfo> list() override {
        std::vector<HidInterfaceInfo> out;
        facts_.clear();
#ifdef Z4072_HAVE_HIDAPI
        if (!available_)
            return out;
        hid_device_info* all = hid_enumerate(0, 0);
        for (hid_device_info* d = all; d; d = d->next) {
            const QString path = QString::fromLocal8Bit(d->path);
            if (facts_.contains(path)) // one entry per top-level collection: keep the first
                continue;
            const QString dir = hidDeviceDir(path);
            DeviceFacts f;
            f.attributes = {d->vendor_id, d->product_id, d->release_number};
            f.product = fromWide(d->product_string);
            f.serial = fromWide(d->serial_number);
            f.layout = readLayout(dir);
            facts_.insert(path, std::move(f));
            out.push_back({path, dir.isEmpty() ? path : dir});
        }
        hid_free_enumeration(all);
#endif
        return out;
    }

    std::unique_ptr<HidHandle> open(const HidInterfaceInfo& device, HidAccess access,
                                    quint32* error) override {
#ifdef Z4072_HAVE_HIDAPI
        auto it = facts_.constFind(device.path);
        if (!available_ || it == facts_.constEnd() || !QFileInfo::exists(device.path)) {
            *error = ENODEV;
            return nullptr;
        }
        if (access == HidAccess::QueryOnly)
            return std::make_unique<SystemHidHandle>(device.path, *it, nullptr);
        // Tried by hand first for an honest error number (hidapi keeps only a text).
        const QByteArray path = device.path.toLocal8Bit();
        const int fd = ::open(path.constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            *error = quint32(errno);
            return nullptr;
        }
        ::close(fd);
        hid_device* dev = hid_open_path(path.constData());
        if (!dev) {
            *error = EIO;
            return nullptr;
        }
        return std::make_unique<SystemHidHandle>(device.path, *it, dev);
#else
        (void)device;
        (void)access;
        *error = ENOSYS;
        return nullptr;
#endif
    }

    QString errorText(quint32 code) const override {
        return systemErrorText(code);
    }

    void setChangeCallback(std::function<void()> callback) override {
        stopWatching();
        changed_ = std::move(callback);
        if (changed_)
            startWatching();
    }

private:
    void startWatching() {
#ifdef Z4072_HAVE_LIBUDEV
        if ((udev_ = udev_new())) {
            monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
            if (monitor_ &&
                udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) >= 0 &&
                udev_monitor_enable_receiving(monitor_) >= 0) {
                notifier_ = std::make_unique<QSocketNotifier>(udev_monitor_get_fd(monitor_),
                                                              QSocketNotifier::Read);
                QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
                    bool any = false;
                    while (udev_device* d = udev_monitor_receive_device(monitor_)) {
                        udev_device_unref(d);
                        any = true;
                    }
                    if (any && changed_)
                        changed_();
                });
                return;
            }
            stopWatching();
        }
#endif
        // No event source: look again every second and report when the set has changed.
        known_ = currentSet();
        poll_ = std::make_unique<QTimer>();
        poll_->setInterval(1000);
        QObject::connect(poll_.get(), &QTimer::timeout, [this] {
            QSet<QString> now = currentSet();
            if (now != known_) {
                known_ = std::move(now);
                if (changed_)
                    changed_();
            }
        });
        poll_->start();
    }

    void stopWatching() {
        poll_.reset();
#ifdef Z4072_HAVE_LIBUDEV
        notifier_.reset();
        if (monitor_)
            udev_monitor_unref(monitor_);
        monitor_ = nullptr;
        if (udev_)
            udev_unref(udev_);
        udev_ = nullptr;
#endif
    }

    QSet<QString> currentSet() {
        QSet<QString> set;
        const QHash<QString, DeviceFacts> keep = facts_;
        for (const HidInterfaceInfo& i : list())
            set.insert(i.instance);
        facts_ = keep;
        return set;
    }

    bool available_ = false;
    QHash<QString, DeviceFacts> facts_; // by path, from the last listing
    std::function<void()> changed_;
    std::unique_ptr<QTimer> poll_;
    QSet<QString> known_;
#ifdef Z4072_HAVE_LIBUDEV
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    std::unique_ptr<QSocketNotifier> notifier_;
#endif
};

} // namespace

std::shared_ptr<HidPlatform> makeSystemHidPlatform() {
    return std::make_shared<SystemHidPlatform>();
}
