// The device access of the system's HID layer on Linux: hidapi lists the devices, and this file
// opens their hidraw nodes itself, reads them and sends them feature reports. The node lets the
// reader wait for a report without reading it yet, and wakes it at once when it is told to stop;
// the report layout comes from the report descriptor in sysfs.

#include "link/hid/system_hid_layer.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace systemhid {

namespace {

// The sysfs directory of the HID device behind a hidraw node: its name ("0003:1A86:E008.0005")
// is new for every device the kernel sees, so it identifies the device across listings.
QString hidDeviceDir(const QString& path) {
    return QFileInfo(QStringLiteral("/sys/class/hidraw/") + QFileInfo(path).fileName() +
                     QStringLiteral("/device"))
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

// A hidraw node opened by us.
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

    bool waitReadable(int timeoutMs) override { return wait(timeoutMs) != Ready::Nothing; }

    int read(quint8* buf, int length, int timeoutMs, quint32* error) override {
        if (takePendingError(error))
            return -1;
        // Without a timeout the node is read at once (it does not block): the caller has seen
        // that a report is waiting, and the read need not look again.
        const Ready ready = timeoutMs > 0 ? wait(timeoutMs) : Ready::Report;
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

} // namespace

void describeDevice(const char* path, DeviceFacts& facts, QString& instance) {
    const QString dir = hidDeviceDir(QString::fromLocal8Bit(path));
    facts.layout = layoutOf(readDescriptor(dir), &facts.layoutProblem);
    if (!dir.isEmpty())
        instance = dir;
}

std::unique_ptr<HidHandle> openForReading(const QString& path, const DeviceFacts& facts,
                                          quint32* error) {
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int e = errno;
        *error = quint32(e == ENOENT ? ENODEV : e);
        return nullptr;
    }
    // A hidraw node answers this; anything else is no HID device of ours.
    int descriptorSize = 0;
    if (::ioctl(fd, HIDIOCGRDESCSIZE, &descriptorSize) < 0) {
        ::close(fd);
        *error = nodeGone(path) ? ENODEV : EIO;
        return nullptr;
    }
    return std::make_unique<HidrawHandle>(path, facts, fd);
}

bool deviceGone(const QString& path) {
    return !QFileInfo::exists(path);
}

} // namespace systemhid
