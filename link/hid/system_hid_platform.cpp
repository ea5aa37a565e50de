// The system's HID layer. hidapi lists the HID devices. On Linux these are hidraw nodes, which
// this layer opens, reads and sends feature reports to itself; the report layout comes from the
// report descriptor in sysfs, device-change events from a udev monitor (or, without libudev, from
// listing the devices again every second and comparing). Elsewhere hidapi's own back-end does all
// the work, with the report descriptor as hidapi gives it.

#include "link/hid/hid_descriptor.h"
#include "link/hid/hid_platform.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>
#include <QtDebug>

#include <cerrno>
#include <chrono>
#include <optional>
#include <thread>

#ifdef __linux__
#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
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
    // Why the descriptor cannot be used; empty when it can (or when the system gives none).
    QString layoutProblem;
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

// A device as the listing knows it: attributes and strings, nothing opened. Handles for
// queries only are these; the handles that read and send feature reports build on them.
class ListedHandle : public HidHandle {
public:
    ListedHandle(QString path, DeviceFacts facts)
        : path_(std::move(path)), facts_(std::move(facts)) {}

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
        // String descriptors cannot be fetched by index here; the system reads the strings in
        // the device's first language, which for these devices is US English.
        if (index != 0 || maxChars < 1)
            return false;
        buf[0] = 0x0409;
        if (maxChars > 1)
            buf[1] = 0;
        return true;
    }
    quint16 inputReportLength() override {
        if (!facts_.layout.valid || facts_.layout.inputReportLength == 0)
            return kFallbackReportLength;
        return std::max<quint16>(facts_.layout.inputReportLength, 2);
    }
    bool setFeature(const quint8*, int) override { return false; }
    int read(quint8*, int, int, quint32* error) override {
        *error = EBADF;
        return -1;
    }

protected:
    QString path_;
    DeviceFacts facts_;
};

// What the handles that read have in common: the report ID byte, reports of the wrong length,
// a descriptor that could not be used, and reads that give nothing.
class ReadingHandle : public ListedHandle {
public:
    ReadingHandle(QString path, DeviceFacts facts)
        : ListedHandle(std::move(path), std::move(facts)) {
        // A device whose reports cannot be laid out is read anyway; the first read says so.
        if (!facts_.layoutProblem.isEmpty())
            pendingError_ = EBADMSG;
    }

protected:
    // The device gets its feature report at the length its descriptor declares, as the HID class
    // drivers of other systems send it; hidraw would pass on any length, and these bridges
    // ignore a report of the wrong size. Empty when the device has no such feature report.
    std::vector<quint8> featureOnTheWire(const quint8* report, int length) const {
        if (length < 1)
            return {};
        std::vector<quint8> wire = sizeFeatureReport(facts_.layout, report, size_t(length));
        if (wire.empty())
            qWarning().noquote() << path_ + QStringLiteral(": the device declares no feature "
                                                           "report %1; none sent")
                                                .arg(report[0]);
        return wire;
    }

    // Before a read: an error that is due to be said, if any.
    bool takePendingError(quint32* error) {
        if (pendingError_ == 0)
            return false;
        *error = std::exchange(pendingError_, 0);
        if (*error == EBADMSG)
            qWarning().noquote() << path_ + QStringLiteral(": ") + facts_.layoutProblem +
                                        QStringLiteral("; reports are read whole, up to %1 bytes")
                                            .arg(kFallbackReportLength - 1);
        return true;
    }

    // Where a report of a device is read to, and how much room it gets. The system hands out
    // the report ID byte only for numbered devices; the layer above always gets it, 0 for the
    // others. One byte of room more than the longest report shows a longer one instead of
    // cutting it unseen.
    quint8* readInto(int length, size_t* room) {
        scratch_.resize(size_t(length) + 1);
        *room = numbered() ? size_t(length) + 1 : size_t(length);
        return numbered() ? scratch_.data() : scratch_.data() + 1;
    }

    // After `n` > 0 bytes came to readInto(): the report at the full length, ID byte first.
    int finishReport(int n, quint8* buf, int length) {
        emptyInARow_ = 0;
        scratch_[0] = numbered() ? scratch_[0] : 0;
        const int got = numbered() ? n : n + 1;
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

    // A read that gave no bytes although one was due. A run of them would turn the reader into
    // a busy loop: past a few in a row, answers that the caller should wait out its timeout.
    bool tooManyEmptyReads() {
        constexpr int kEmptyReadsInARow = 8;
        if (++emptyInARow_ < kEmptyReadsInARow)
            return false;
        emptyInARow_ = 0;
        return true;
    }
    void noEmptyRead() { emptyInARow_ = 0; }

private:
    bool numbered() const { return facts_.layout.valid && facts_.layout.numbered; }

    std::vector<quint8> scratch_;
    quint32 pendingError_ = 0;
    bool warnedLong_ = false;
    int emptyInARow_ = 0;
};

#ifdef __linux__

// A hidraw node opened by us. hidapi lists the devices; reports and feature requests go to the
// node itself, which lets the reader wait for a report without reading it yet, and wakes it at
// once when it is told to stop.
class HidrawHandle final : public ReadingHandle {
public:
    HidrawHandle(QString path, DeviceFacts facts, int fd)
        : ReadingHandle(std::move(path), std::move(facts)), fd_(fd),
          wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~HidrawHandle() override {
        ::close(fd_);
        if (wake_ >= 0)
            ::close(wake_);
    }

    bool setFeature(const quint8* report, int length) override {
        std::vector<quint8> wire = featureOnTheWire(report, length);
        return !wire.empty() && ::ioctl(fd_, HIDIOCSFEATURE(wire.size()), wire.data()) >= 0;
    }

    void waitReadable(int timeoutMs) override { (void)wait(timeoutMs); }

    int read(quint8* buf, int length, int timeoutMs, quint32* error) override {
        if (takePendingError(error))
            return -1;
        const Ready ready = wait(timeoutMs);
        if (ready == Ready::Nothing)
            return 0;
        if (ready == Ready::Gone) {
            *error = nodeGone(path_) ? ENODEV : EIO;
            return -1;
        }
        size_t room = 0;
        quint8* into = readInto(length, &room);
        const ssize_t n = ::read(fd_, into, room);
        if (n < 0) {
            const int e = errno;
            if (e == EINTR || e == EAGAIN)
                return 0;
            *error = quint32(nodeGone(path_) ? ENODEV : e);
            return -1;
        }
        if (n == 0) {
            if (tooManyEmptyReads())
                (void)wait(timeoutMs, false);
            return 0;
        }
        return finishReport(int(n), buf, length);
    }

    void interruptRead() override {
        const quint64 one = 1;
        while (::write(wake_, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }

private:
    enum class Ready { Report, Gone, Nothing };

    // Waits for the node (unless `forNode` is false) or the wake-up, up to `timeoutMs`.
    Ready wait(int timeoutMs, bool forNode = true) {
        pollfd fds[2] = {{wake_, POLLIN, 0}, {fd_, POLLIN, 0}};
        const int r = ::poll(fds, forNode ? 2 : 1, timeoutMs);
        if (r <= 0)
            return Ready::Nothing; // the time is up, or a signal came: the reader looks again
        if (fds[0].revents != 0) {
            quint64 count;
            while (::read(wake_, &count, sizeof count) < 0 && errno == EINTR) {
            }
            return Ready::Nothing;
        }
        if (fds[1].revents & (POLLERR | POLLHUP | POLLNVAL))
            return Ready::Gone;
        return Ready::Report;
    }

    int fd_;
    int wake_;
};

#else

// A device opened through hidapi, on the systems where it does all the work.
class HidapiHandle final : public ReadingHandle {
public:
    HidapiHandle(QString path, DeviceFacts facts, hid_device* dev)
        : ReadingHandle(std::move(path), std::move(facts)), dev_(dev) {}
    ~HidapiHandle() override { hid_close(dev_); }

    bool setFeature(const quint8* report, int length) override {
        const std::vector<quint8> wire = featureOnTheWire(report, length);
        return !wire.empty() && hid_send_feature_report(dev_, wire.data(), wire.size()) >= 0;
    }

    int read(quint8* buf, int length, int timeoutMs, quint32* error) override {
        if (takePendingError(error))
            return -1;
        size_t room = 0;
        quint8* into = readInto(length, &room);
        const auto started = std::chrono::steady_clock::now();
        const int n = hid_read_timeout(dev_, into, room, timeoutMs);
        if (n < 0) {
            *error = EIO; // hidapi keeps only a text
            return -1;
        }
        if (n == 0) {
            // 0 is both "nothing came in time" and a read that gave no bytes; only the latter
            // comes back early.
            const auto timeout = std::chrono::milliseconds(timeoutMs);
            const auto spent = std::chrono::steady_clock::now() - started;
            if (spent >= timeout / 2)
                noEmptyRead();
            else if (tooManyEmptyReads())
                std::this_thread::sleep_for(timeout - spent);
            return 0;
        }
        return finishReport(n, buf, length);
    }

private:
    hid_device* dev_;
};

#endif // __linux__

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
            if (const std::optional<QByteArray> descriptor = descriptorOf(d->path))
                f.layout = layoutOf(*descriptor, &f.layoutProblem);
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
            return std::make_unique<ListedHandle>(device.path, *it);
        const QByteArray path = device.path.toLocal8Bit();
#ifdef __linux__
        const int fd = ::open(path.constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            const int e = errno;
            *error = quint32(e == ENOENT ? ENODEV : e);
            return nullptr;
        }
        // A hidraw node answers this; anything else is no HID device of ours.
        int descriptorSize = 0;
        if (::ioctl(fd, HIDIOCGRDESCSIZE, &descriptorSize) < 0) {
            ::close(fd);
            *error = nodeGone(device.path) ? ENODEV : EIO;
            return nullptr;
        }
        return std::make_unique<HidrawHandle>(device.path, *it, fd);
#else
        hid_device* dev = hid_open_path(path.constData());
        if (!dev) {
            *error = EIO; // hidapi keeps only a text
            return nullptr;
        }
        return std::make_unique<HidapiHandle>(device.path, *it, dev);
#endif
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
    // The report descriptor as hidapi gives it (from version 0.14 on); none before, and then
    // the layout is simply not known.
    static std::optional<QByteArray> descriptorOf(const char* path) {
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
        return std::nullopt;
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
