// The system's HID layer: devices through hidapi. On Linux these are hidraw nodes: the report
// layout comes from the report descriptor in sysfs, device-change events from a udev monitor (or,
// without libudev, from listing the devices again every second and comparing). Elsewhere hidapi's
// own back-end does the work, with the report descriptor as hidapi gives it.

#include "hid_descriptor.h"
#include "hid_platform.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>
#include <QtDebug>

#include <cerrno>
#include <chrono>
#include <thread>

#ifdef __linux__
#include <fcntl.h>
#include <unistd.h>
#endif

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
    QString layoutProblem; // why the layout is not known; empty when it is
};

// Reports of a device whose descriptor cannot be read are taken at the largest size that a
// full-speed interrupt endpoint delivers, plus the report ID byte.
constexpr quint16 kFallbackReportLength = 65;
// The kernel refuses report descriptors longer than this.
constexpr qint64 kMaxDescriptorSize = 4096;

HidReportLayout layoutOf(const QByteArray& d, QString* problem) {
    if (d.isEmpty()) {
        *problem = QStringLiteral("report descriptor empty or unreadable");
        return {};
    }
    if (d.size() > kMaxDescriptorSize) {
        *problem = QStringLiteral("report descriptor longer than %1 bytes").arg(kMaxDescriptorSize);
        return {};
    }
    HidReportLayout layout =
        parseReportDescriptor(reinterpret_cast<const quint8*>(d.constData()), size_t(d.size()));
    if (!layout.valid)
        *problem = QStringLiteral("report descriptor malformed or truncated");
    else if (layout.inputReportLength == 0)
        *problem = QStringLiteral("report descriptor declares no input report");
    return layout;
}

#ifdef __linux__

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

QByteArray readDescriptor(const QString& hidDir) {
    QFile f(hidDir + QStringLiteral("/report_descriptor"));
    if (hidDir.isEmpty() || !f.open(QIODevice::ReadOnly))
        return {};
    return f.read(kMaxDescriptorSize + 1);
}

// After a failed read: a node that is gone means the device is.
bool nodeGone(const QString& path) {
    return ::access(path.toLocal8Bit().constData(), F_OK) != 0;
}

#else

bool nodeGone(const QString&) {
    return false;
}

#endif // __linux__

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
        : path_(std::move(path)), facts_(std::move(facts)), dev_(dev) {
        // A device whose reports cannot be laid out is read anyway; the first read says so.
        if (dev_ && !facts_.layoutProblem.isEmpty())
            pendingError_ = EBADMSG;
    }
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
        // hidapi cannot fetch string descriptors by index; the system reads the strings in the
        // device's first language, which for these devices is US English.
        if (index != 0 || maxChars < 1)
            return false;
        buf[0] = 0x0409;
        if (maxChars > 1)
            buf[1] = 0;
        return true;
    }
    quint16 inputReportLength() override {
        if (!facts_.layoutProblem.isEmpty())
            return kFallbackReportLength;
        return std::max<quint16>(facts_.layout.inputReportLength, 2);
    }
    bool setFeature(const quint8* report, int length) override {
        if (!dev_ || length < 1)
            return false;
        // The device gets its feature report at the length its descriptor declares, as the
        // HID class drivers of other systems send it; hidraw would pass on any length, and
        // these bridges ignore a report of the wrong size.
        const std::vector<quint8> wire = sizeFeatureReport(facts_.layout, report, size_t(length));
        if (wire.empty()) {
            qWarning().noquote() << path_ + QStringLiteral(": the device declares no feature "
                                                           "report %1; none sent")
                                                .arg(report[0]);
            return false;
        }
        return hid_send_feature_report(dev_, wire.data(), wire.size()) >= 0;
    }
    int read(quint8* buf, int length, int timeoutMs, quint32* error) override {
        if (!dev_) {
            *error = EBADF;
            return -1;
        }
        if (pendingError_ != 0) {
            *error = std::exchange(pendingError_, 0);
            if (*error == EBADMSG)
                qWarning().noquote() << path_ + QStringLiteral(": ") + facts_.layoutProblem +
                                            QStringLiteral("; reports are read whole, up to "
                                                           "%1 bytes")
                                                .arg(kFallbackReportLength - 1);
            return -1;
        }
        // hidapi hands out the report ID byte only for numbered devices; the layer above always
        // gets it, 0 for the others. One byte of room more than the longest report shows a
        // longer one instead of cutting it unseen.
        const bool numbered = facts_.layout.valid && facts_.layout.numbered;
        scratch_.resize(size_t(length) + 1);
        quint8* into = numbered ? scratch_.data() : scratch_.data() + 1;
        const size_t room = numbered ? size_t(length) + 1 : size_t(length);
        const auto started = std::chrono::steady_clock::now();
        errno = 0;
        const int n = hid_read_timeout(dev_, into, room, timeoutMs);
        if (n < 0) {
            const int e = errno;
            if (e == EINTR)
                return 0;
            *error = quint32(nodeGone(path_) ? ENODEV : e != 0 ? e : EIO);
            return -1;
        }
        if (n == 0) {
            waitOutEmptyReads(started, timeoutMs);
            return 0;
        }
        emptyInARow_ = 0;
        scratch_[0] = numbered ? scratch_[0] : 0;
        const int got = numbered ? n : n + 1;
        if (got > length && !warnedLong_) {
            // Said once per opening: the report is handed on cut, the next read says why.
            warnedLong_ = true;
            pendingError_ = EMSGSIZE;
            qWarning().noquote() << path_ + QStringLiteral(": a report longer than the %1 bytes "
                                                           "its descriptor declares; the rest is "
                                                           "dropped")
                                                .arg(length - 1);
        }
        const int keep = std::min(got, length);
        std::copy_n(scratch_.data(), keep, buf);
        // Shorter reports come out at the full length, zero-filled, as from other systems.
        std::fill(buf + keep, buf + length, quint8(0));
        return length;
    }

private:
    // hidapi answers 0 both when nothing came in time and for a read that gave no bytes. A run
    // of the latter would turn the reader into a busy loop: past a few, wait out the timeout.
    void waitOutEmptyReads(std::chrono::steady_clock::time_point started, int timeoutMs) {
        constexpr int kEmptyReadsInARow = 8;
        const auto timeout = std::chrono::milliseconds(timeoutMs);
        const auto spent = std::chrono::steady_clock::now() - started;
        if (spent >= timeout / 2) {
            emptyInARow_ = 0;
            return;
        }
        if (++emptyInARow_ >= kEmptyReadsInARow) {
            emptyInARow_ = 0;
            std::this_thread::sleep_for(timeout - spent);
        }
    }

    QString path_;
    DeviceFacts facts_;
    hid_device* dev_;
    std::vector<quint8> scratch_;
    quint32 pendingError_ = 0;
    bool warnedLong_ = false;
    int emptyInARow_ = 0;
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
            DeviceFacts f;
            f.attributes = {d->vendor_id, d->product_id, d->release_number};
            f.product = fromWide(d->product_string);
            f.serial = fromWide(d->serial_number);
            QString instance = path;
#ifdef __linux__
            const QString dir = hidDeviceDir(path);
            f.layout = layoutOf(readDescriptor(dir), &f.layoutProblem);
            if (!dir.isEmpty())
                instance = dir;
#else
            f.layout = layoutOf(descriptorOf(d->path), &f.layoutProblem);
#endif
            facts_.insert(path, std::move(f));
            out.push_back({path, instance});
        }
        hid_free_enumeration(all);
#endif
        return out;
    }

    std::unique_ptr<HidHandle> open(const HidInterfaceInfo& device, HidAccess access,
                                    quint32* error) override {
#ifdef Z4072_HAVE_HIDAPI
        auto it = facts_.constFind(device.path);
        if (!available_ || it == facts_.constEnd() || gone(device.path)) {
            *error = ENODEV;
            return nullptr;
        }
        if (access == HidAccess::QueryOnly)
            return std::make_unique<SystemHidHandle>(device.path, *it, nullptr);
        const QByteArray path = device.path.toLocal8Bit();
#ifdef __linux__
        // Tried by hand first for an honest error number (hidapi keeps only a text).
        const int fd = ::open(path.constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            const int e = errno;
            *error = quint32(e == ENOENT ? ENODEV : e);
            return nullptr;
        }
        ::close(fd);
#endif
        hid_device* dev = hid_open_path(path.constData());
        if (!dev) {
            *error = nodeGone(device.path) ? ENODEV : EIO;
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
    static bool gone(const QString& path) {
#ifdef __linux__
        return !QFileInfo::exists(path);
#else
        (void)path;
        return false;
#endif
    }

#if defined(Z4072_HAVE_HIDAPI) && !defined(__linux__)
    // The report descriptor as hidapi reconstructs it (from version 0.14 on); unknown before.
    static QByteArray descriptorOf(const char* path) {
#if HID_API_VERSION >= HID_API_MAKE_VERSION(0, 14, 0)
        QByteArray d;
        if (hid_device* dev = hid_open_path(path)) {
            unsigned char buf[HID_API_MAX_REPORT_DESCRIPTOR_SIZE];
            const int n = hid_get_report_descriptor(dev, buf, sizeof buf);
            if (n > 0)
                d = QByteArray(reinterpret_cast<const char*>(buf), n);
            hid_close(dev);
        }
        return d;
#else
        (void)path;
        return {};
#endif
    }
#endif

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
