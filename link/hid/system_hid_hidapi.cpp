// The device access of the system's HID layer where hidapi's own back-end does all the work
// (systems other than Linux): opening, reads and feature reports go through hidapi, with the
// report descriptor as hidapi gives it.

#include "link/hid/system_hid_layer.h"

#include <hidapi.h>

#include <cerrno>
#include <chrono>
#include <optional>
#include <thread>

namespace systemhid {

namespace {

// A device opened through hidapi.
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

// The report descriptor as hidapi gives it (from version 0.14 on); none before, and then the
// layout is simply not known.
std::optional<QByteArray> descriptorOf(const char* path) {
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

} // namespace

void describeDevice(const char* path, DeviceFacts& facts, QString& /*instance: the path*/) {
    if (const std::optional<QByteArray> descriptor = descriptorOf(path))
        facts.layout = layoutOf(*descriptor, &facts.layoutProblem);
}

std::unique_ptr<HidHandle> openForReading(const QString& path, const DeviceFacts& facts,
                                          quint32* error) {
    hid_device* dev = hid_open_path(path.toLocal8Bit().constData());
    if (!dev) {
        *error = EIO; // hidapi keeps only a text
        return nullptr;
    }
    return std::make_unique<HidapiHandle>(path, facts, dev);
}

bool deviceGone(const QString& /*path*/) {
    return false; // known only from the next listing
}

} // namespace systemhid
