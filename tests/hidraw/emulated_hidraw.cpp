#include "tests/hidraw/emulated_hidraw.h"

#include "link/hid/hid_descriptor.h"

#include <umockdev.h>

#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

namespace rig {

namespace {

QByteArray bytes(std::initializer_list<int> list) {
    QByteArray out;
    for (int b : list)
        out.append(char(b));
    return out;
}

// What a read of an emulated node can hold at most, as hidraw's own queue.
constexpr int kQueueLength = 64;

std::mutex threadsMutex;
std::vector<int> threads;

// Notes the calling thread as one of the emulation's.
void noteEmulationThread() {
    const int tid = int(::gettid());
    std::lock_guard lock(threadsMutex);
    if (std::find(threads.begin(), threads.end(), tid) == threads.end())
        threads.push_back(tid);
}

// A file descriptor opened past the preloads, on the real file.
int openDirect(const char* path, int flags) {
    return int(::syscall(SYS_openat, AT_FDCWD, path, flags | O_CLOEXEC));
}

} // namespace

std::vector<int> emulationThreads() {
    std::lock_guard lock(threadsMutex);
    return threads;
}

int runEmulated(int argc, char** argv, int (*body)(int, char**)) {
    if (qEnvironmentVariableIsEmpty("Z4072_EMULATED_HIDRAW")) {
        // Ours first: it decides before the emulation's preload redirects the path.
        QByteArray preload = QByteArrayLiteral(Z4072_HIDRAW_PRELOAD ":libumockdev-preload.so.0");
        const QByteArray before = qgetenv("LD_PRELOAD");
        if (!before.isEmpty())
            preload += ':' + before;
        qputenv("LD_PRELOAD", preload);
        qputenv("Z4072_EMULATED_HIDRAW", "1");
        ::execv("/proc/self/exe", argv);
        std::perror("re-executing under the emulation's preloads");
        return 1;
    }
    (void)argc;
    return body(argc, argv);
}

QByteArray bridgeDescriptor1a86e008() {
    // clang-format off
    return bytes({
        0x06, 0xA0, 0xFF,       // Usage Page (vendor 0xFFA0)
        0x09, 0x01,             // Usage (1)
        0xA1, 0x01,             // Collection (Application)
        0x09, 0x02,             //   Usage (2)
        0xA1, 0x00,             //   Collection (Physical)
        0x06, 0xA1, 0xFF,       //     Usage Page (vendor 0xFFA1)
        0x09, 0x03, 0x09, 0x04, //     Usage (3), Usage (4)
        0x15, 0x80, 0x25, 0x7F, //     Logical Minimum (-128), Logical Maximum (127)
        0x35, 0x00, 0x45, 0xFF, //     Physical Minimum (0), Physical Maximum (-1)
        0x75, 0x08, 0x95, 0x08, //     Report Size (8), Report Count (8)
        0x81, 0x02,             //     Input (Data, Variable, Absolute)
        0x09, 0x05, 0x09, 0x06, //     Usage (5), Usage (6)
        0x15, 0x80, 0x25, 0x7F, 0x35, 0x00, 0x45, 0xFF,
        0x75, 0x08, 0x95, 0x08, //     Report Size (8), Report Count (8)
        0x91, 0x02,             //     Output (Data, Variable, Absolute)
        0x09, 0x07,             //     Usage (7)
        0x75, 0x08, 0x95, 0x05, //     Report Size (8), Report Count (5)
        0xB1, 0x02,             //     Feature (Data, Variable, Absolute)
        0xC0,                   //   End Collection
        0xC0});                 // End Collection
    // clang-format on
}

QByteArray bridgeDescriptor04fa2490() {
    // clang-format off
    return bytes({
        0x06, 0x00, 0xFF,       // Usage Page (vendor 0xFF00)
        0x09, 0x01,             // Usage (1)
        0xA1, 0x01,             // Collection (Application)
        0x15, 0x00,             //   Logical Minimum (0)
        0x26, 0xFF, 0x00,       //   Logical Maximum (255)
        0x75, 0x08,             //   Report Size (8)
        0x95, 0x08,             //   Report Count (8)
        0x09, 0x01,             //   Usage (1)
        0x81, 0x02,             //   Input (Data, Variable, Absolute)
        0x09, 0x01,             //   Usage (1)
        0x91, 0x02,             //   Output (Data, Variable, Absolute)
        0x95, 0x05,             //   Report Count (5)
        0x09, 0x01,             //   Usage (1)
        0xB1, 0x02,             //   Feature (Data, Variable, Absolute)
        0xC0});                 // End Collection
    // clang-format on
}

QByteArray numberedDescriptor() {
    // clang-format off
    return bytes({
        0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,
        0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,
        0x85, 0x01, 0x95, 0x08, 0x09, 0x01, 0x81, 0x02, // input report 1: 8 bytes
        0x85, 0x02, 0x95, 0x03, 0x09, 0x02, 0x81, 0x02, // input report 2: 3 bytes
        0x85, 0x03, 0x95, 0x05, 0x09, 0x03, 0xB1, 0x02, // feature report 3: 5 bytes
        0xC0});
    // clang-format on
}

// ---- one device -------------------------------------------------------------------------------

struct HidrawDevice::State {
    HidrawProfile profile;
    QByteArray descriptor;
    // Bytes of each feature report as the device declares it, with the ID byte; 0: none.
    std::array<quint16, 256> featureLength{};

    mutable std::mutex m;
    std::condition_variable cv;
    std::deque<QByteArray> queue;
    int emptyReads = 0;
    int goneError = 0; // once the device is gone: what its reads fail with
    int reads = 0;
    std::vector<Feature> features;
    std::shared_ptr<SimReportSource> source;
    bool sourceNumbered = false;
    bool stopFeeding = false;
    std::thread feeder;

    // The node's terminal: the emulation's end, and ours for taking back the readiness byte.
    int master = -1;
    int drain = -1;
    bool ready = false;

    ~State() {
        stopFeeder();
        if (drain >= 0)
            ::close(drain);
    }

    void stopFeeder() {
        {
            std::lock_guard lock(m);
            stopFeeding = true;
        }
        cv.notify_all();
        if (feeder.joinable())
            feeder.join();
    }

    // Under m: keeps one byte in the terminal while a read would be served.
    void updateReadiness() {
        const bool want = goneError != 0 || emptyReads > 0 || !queue.empty();
        if (want == ready || master < 0)
            return;
        char c = 'r';
        if (want) {
            if (::write(master, &c, 1) != 1)
                return;
        } else {
            while (::read(drain, &c, 1) < 0 && errno == EINTR) {
            }
        }
        ready = want;
    }

    // Under m.
    void enqueue(const QByteArray& report) {
        if (goneError != 0 || int(queue.size()) >= kQueueLength)
            return; // as hidraw: nothing after removal, and nothing while the queue is full
        queue.push_back(report);
        updateReadiness();
    }

    void feed() {
        noteEmulationThread();
        std::unique_lock lock(m);
        while (!stopFeeding) {
            const std::shared_ptr<SimReportSource> from = source;
            QByteArray report;
            SimReportSource::Clock::time_point due;
            lock.unlock();
            const bool more = from && from->next(report, due);
            lock.lock();
            if (!more)
                break;
            if (cv.wait_until(lock, due, [this] { return stopFeeding; }))
                break;
            enqueue(sourceNumbered || report.isEmpty() ? report : report.mid(1));
        }
    }

    // One read() of the node: the bytes read, or -errno.
    long take(void* into, size_t count) {
        std::lock_guard lock(m);
        ++reads;
        long result;
        if (goneError != 0) {
            result = -goneError;
        } else if (emptyReads > 0) {
            --emptyReads;
            result = 0;
        } else if (!queue.empty()) {
            const QByteArray r = queue.front();
            queue.pop_front();
            const size_t n = std::min(count, size_t(r.size()));
            std::copy_n(r.constData(), n, static_cast<char*>(into));
            result = long(n);
        } else {
            result = -EAGAIN;
        }
        updateReadiness();
        return result;
    }

    // The emulation's worker thread, for a program that reads through it.
    void serveRead(UMockdevIoctlClient* client) {
        noteEmulationThread();
        UMockdevIoctlData* buf = umockdev_ioctl_client_get_arg(client);
        const long n = take(buf->data, size_t(std::max(buf->data_len, 0)));
        umockdev_ioctl_client_complete(client, n < 0 ? -1 : n, n < 0 ? int(-n) : 0);
    }

    // The emulation's worker thread: one ioctl() on the node.
    void serveIoctl(UMockdevIoctlClient* client) {
        noteEmulationThread();
        QByteArray descriptor;
        HidrawProfile profile;
        {
            // Set by the thread that plugged the device in: taken under the lock it set them.
            std::lock_guard lock(m);
            descriptor = this->descriptor;
            profile = this->profile;
        }
        const gulong request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
        GError* error = nullptr;
        auto done = [&](long result, int err) {
            if (error)
                g_error_free(error);
            umockdev_ioctl_client_complete(client, result, err);
        };
        if (request == HIDIOCGRDESCSIZE) {
            UMockdevIoctlData* size = umockdev_ioctl_data_resolve(arg, 0, sizeof(int), &error);
            if (!size)
                return done(-1, EFAULT);
            const int n = std::min<int>(int(descriptor.size()), HID_MAX_DESCRIPTOR_SIZE);
            std::memcpy(size->data, &n, sizeof n);
            return done(0, 0);
        }
        if (_IOC_TYPE(request) == 'H' && _IOC_NR(request) == 0x06 &&
            _IOC_DIR(request) == (_IOC_WRITE | _IOC_READ)) {
            const quint32 length = _IOC_SIZE(request);
            UMockdevIoctlData* d = umockdev_ioctl_data_resolve(arg, 0, length, &error);
            if (!d)
                return done(-1, EFAULT);
            const QByteArray sent(reinterpret_cast<const char*>(d->data), int(length));
            std::shared_ptr<SimReportSource> to;
            bool accepted;
            {
                std::lock_guard lock(m);
                if (goneError != 0)
                    return done(-1, goneError);
                features.push_back({length, sent});
                // Report ID 0 does not go on the wire: the device sees length - 1 bytes.
                const int declared = featureLength[quint8(sent.isEmpty() ? 0 : sent[0])];
                accepted =
                    !profile.strictFeatureLength || (declared > 0 && sent.size() == declared);
                to = source;
            }
            if (!accepted)
                return done(-1, EPIPE);
            if (to)
                to->feature(sent);
            return done(long(length), 0);
        }
        done(-1, EINVAL);
    }
};

HidrawDevice::~HidrawDevice() = default;

void HidrawDevice::push(const QByteArray& report) {
    std::lock_guard lock(state_->m);
    state_->enqueue(report);
}

void HidrawDevice::feed(std::shared_ptr<SimReportSource> source, bool numbered) {
    State& s = *state_;
    s.stopFeeder();
    std::lock_guard lock(s.m);
    s.source = std::move(source);
    s.sourceNumbered = numbered;
    s.stopFeeding = false;
    s.feeder = std::thread([&s] { s.feed(); });
}

void HidrawDevice::emptyReads(int count) {
    std::lock_guard lock(state_->m);
    state_->emptyReads += count;
    state_->updateReadiness();
}

void HidrawDevice::failReads(int error) {
    std::lock_guard lock(state_->m);
    state_->queue.clear();
    state_->goneError = error;
    state_->updateReadiness();
}

void HidrawDevice::refuseOpen(bool refuse) {
    const QByteArray dir = qgetenv("UMOCKDEV_DIR") + "/refuse";
    ::mkdir(dir.constData(), 0755);
    QFile marker(QString::fromLocal8Bit(dir) + u'/' + node_.section(u'/', -1));
    if (refuse)
        marker.open(QIODevice::WriteOnly);
    else
        marker.remove();
}

std::vector<HidrawDevice::Feature> HidrawDevice::features() const {
    std::lock_guard lock(state_->m);
    return state_->features;
}

int HidrawDevice::reads() const {
    std::lock_guard lock(state_->m);
    return state_->reads;
}

// ---- the machine ------------------------------------------------------------------------------

namespace {

// A device's state reaches the emulation's worker thread through GLib, whose synchronisation
// a thread checker cannot see: the state is made public under this lock, and the worker takes it
// before it looks at a state.
std::mutex publishMutex;

HidrawDevice::State* published(gpointer state) {
    std::lock_guard lock(publishMutex);
    return static_cast<HidrawDevice::State*>(state);
}

gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer state) {
    published(state)->serveIoctl(client);
    return TRUE;
}

gboolean onRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer state) {
    published(state)->serveRead(client);
    return TRUE;
}

QString hex(const QByteArray& b) {
    return QString::fromLatin1(b.toHex());
}

} // namespace

struct HidrawBus::Impl {
    UMockdevTestbed* bed = umockdev_testbed_new();
    // By node number, for the reads that our preload hands over; any thread looks here.
    std::mutex nodesMutex;
    std::vector<std::shared_ptr<HidrawDevice::State>> nodes;
    int next = 0;
    std::vector<std::shared_ptr<HidrawDevice>> plugged;
    // Handlers stay with their nodes for the whole run: a program may still hold a node open
    // after its device is gone, and its reads must keep failing, not reach a closed handler.
    std::vector<std::shared_ptr<HidrawDevice::State>> kept;
};

namespace {

// Our preload's reads of an emulated node, on the thread that reads.
long readNode(int node, void* buf, size_t count) {
    HidrawBus::Impl& d = HidrawBus::instance().impl();
    std::shared_ptr<HidrawDevice::State> state;
    {
        std::lock_guard lock(d.nodesMutex);
        if (node >= 0 && size_t(node) < d.nodes.size())
            state = d.nodes[size_t(node)];
    }
    return state ? state->take(buf, count) : -ENODEV;
}

} // namespace

HidrawBus::HidrawBus() : d_(std::make_unique<Impl>()) {
    // Without our preload (in a program started otherwise) reads go through the emulation.
    using Serve = void (*)(long (*)(int, void*, size_t));
    if (auto serve = reinterpret_cast<Serve>(::dlsym(RTLD_DEFAULT, "z4072_serve_hidraw_reads")))
        serve(&readNode);
}

HidrawBus& HidrawBus::instance() {
    static HidrawBus* bus = new HidrawBus;
    return *bus;
}

std::shared_ptr<HidrawDevice> HidrawBus::plug(const HidrawProfile& profile, bool announce) {
    const int n = d_->next++;
    // Listings come in the order of the sysfs paths: ports numbered so that it is plug order.
    const QString port = QStringLiteral("1-%1").arg(n + 1, 3, 10, QLatin1Char('0'));
    const QString usb = QStringLiteral("/devices/pci0000:00/0000:00:14.0/usb1/") + port;
    const QString intf = usb + u'/' + port + QStringLiteral(":1.0");
    const QString hidName = QStringLiteral("0003:%1:%2.%3")
                                .arg(profile.vendorId, 4, 16, QLatin1Char('0'))
                                .arg(profile.productId, 4, 16, QLatin1Char('0'))
                                .arg(n + 1, 4, 16, QLatin1Char('0'))
                                .toUpper();
    const QString hid = intf + u'/' + hidName;
    const QString hidraw = hid + QStringLiteral("/hidraw/hidraw%1").arg(n);
    const QString node = QStringLiteral("/dev/hidraw%1").arg(n);
    const QString idText = QStringLiteral("%1").arg(profile.vendorId, 4, 16, QLatin1Char('0'));
    const QString pidText = QStringLiteral("%1").arg(profile.productId, 4, 16, QLatin1Char('0'));

    QString usbRecord = QStringLiteral("P: %1\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n"
                                       "A: idVendor=%2\nA: idProduct=%3\nA: bcdDevice=0100\n"
                                       "A: busnum=1\nA: devnum=%4\n")
                            .arg(usb, idText, pidText)
                            .arg(n + 2);
    if (profile.product)
        usbRecord += QStringLiteral("A: product=%1\n").arg(*profile.product);
    if (profile.serial)
        usbRecord += QStringLiteral("A: serial=%1\n").arg(*profile.serial);
    const QString name = profile.product.value_or(QString());
    const QString record =
        usbRecord +
        QStringLiteral("\nP: %1\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n"
                       "A: bInterfaceNumber=00\nA: bInterfaceClass=03\n")
            .arg(intf) +
        QStringLiteral("\nP: %1\nE: SUBSYSTEM=hid\nE: HID_ID=0003:0000%2:0000%3\n"
                       "E: HID_NAME=%4\nE: HID_PHYS=usb-0000:00:14.0-%5/input0\n"
                       "E: HID_UNIQ=%6\nH: report_descriptor=%7\n")
            .arg(hid, idText.toUpper(), pidText.toUpper(), name)
            .arg(n + 1)
            .arg(profile.serial.value_or(QString()), hex(profile.descriptor)) +
        QStringLiteral("\nP: %1\nN: hidraw%2\nE: SUBSYSTEM=hidraw\nE: DEVNAME=%3\n"
                       "E: MAJOR=247\nE: MINOR=%2\nA: dev=247:%2\n"
                       "L: device=../../../%4\n")
            .arg(hidraw)
            .arg(n)
            .arg(node, hidName);

    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(d_->bed, record.toUtf8().constData(), &error)) {
        std::fprintf(stderr, "emulated device: %s\n", error->message);
        std::abort();
    }

    auto state = std::make_shared<HidrawDevice::State>();
    const QByteArray nodeBytes = node.toLocal8Bit();
    {
        // The emulation's worker thread takes these under the same lock.
        std::lock_guard lock(state->m);
        state->profile = profile;
        state->descriptor = profile.descriptor;
        // The declared feature report lengths, for the strict model.
        state->featureLength =
            parseReportDescriptor(reinterpret_cast<const quint8*>(profile.descriptor.constData()),
                                  size_t(profile.descriptor.size()))
                .featureReportLength;
        state->master = umockdev_testbed_get_dev_fd(d_->bed, nodeBytes.constData());
        if (state->master >= 0) {
            state->drain = openDirect(ptsname(state->master), O_RDWR | O_NOCTTY | O_NONBLOCK);
            termios raw{};
            if (state->drain >= 0 && ::tcgetattr(state->drain, &raw) == 0) {
                ::cfmakeraw(&raw);
                ::tcsetattr(state->drain, TCSANOW, &raw);
            }
        }
    }
    if (state->drain < 0) {
        std::fprintf(stderr, "emulated device: %s has no terminal behind it\n",
                     nodeBytes.constData());
        std::abort();
    }
    {
        std::lock_guard lock(publishMutex); // the state is complete: let the worker see it
    }
    auto* handler =
        static_cast<UMockdevIoctlBase*>(g_object_new(UMOCKDEV_TYPE_IOCTL_BASE, nullptr));
    g_signal_connect(handler, "handle-ioctl", G_CALLBACK(onIoctl), state.get());
    g_signal_connect(handler, "handle-read", G_CALLBACK(onRead), state.get());
    if (!umockdev_testbed_attach_ioctl(d_->bed, nodeBytes.constData(), handler, &error)) {
        std::fprintf(stderr, "emulated device: %s\n", error->message);
        std::abort();
    }
    g_object_unref(handler);

    std::shared_ptr<HidrawDevice> dev(new HidrawDevice);
    dev->state_ = state;
    dev->node_ = node;
    dev->hidraw_ = QStringLiteral("/sys") + hidraw;
    dev->usbDevice_ = QStringLiteral("/sys") + usb;
    d_->kept.push_back(state);
    {
        std::lock_guard lock(d_->nodesMutex);
        if (d_->nodes.size() <= size_t(n))
            d_->nodes.resize(size_t(n) + 1);
        d_->nodes[size_t(n)] = state;
    }
    d_->plugged.push_back(dev);
    if (announce)
        umockdev_testbed_uevent(d_->bed, dev->hidraw_.toLocal8Bit().constData(), "add");
    return dev;
}

void HidrawBus::unplug(const std::shared_ptr<HidrawDevice>& device, int readError, bool announce) {
    auto it = std::find(d_->plugged.begin(), d_->plugged.end(), device);
    if (it == d_->plugged.end())
        return;
    d_->plugged.erase(it);
    HidrawDevice::State& s = *device->state_;
    s.stopFeeder();
    device->failReads(readError);
    device->refuseOpen(false);
    if (announce)
        umockdev_testbed_uevent(d_->bed, device->hidraw_.toLocal8Bit().constData(), "remove");
    // Children first, as the kernel takes them away: each takes its own node with it.
    QString path = device->hidraw_;
    while (path.size() >= device->usbDevice_.size()) {
        umockdev_testbed_remove_device(d_->bed, path.toLocal8Bit().constData());
        path = path.section(u'/', 0, -2);
        if (path.endsWith(QStringLiteral("/hidraw")))
            path = path.section(u'/', 0, -2);
    }
}

void HidrawBus::unplugAll() {
    while (!d_->plugged.empty()) {
        const std::shared_ptr<HidrawDevice> last = d_->plugged.back(); // outlives its entry
        unplug(last, ENODEV, false);
    }
}

} // namespace rig
