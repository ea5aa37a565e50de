// The system's HID layer: hidapi lists the HID devices; the system's own file (see
// system_hid_layer.h) opens and reads them and says where their report descriptors are; a
// device-change watch tells the controller when to look again.

#include "link/hid/system_hid_layer.h"

#include <QHash>
#include <QtDebug>

#include <hidapi.h>

#include <algorithm>
#include <cerrno>

namespace systemhid {

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

namespace {

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

} // namespace

// ---- ListedHandle ------------------------------------------------------------------------------

bool ListedHandle::attributes(HidAttributes& out) {
    out = facts_.attributes;
    return true;
}

bool ListedHandle::productString(char16_t* buf, int maxChars) {
    return copyString(facts_.product, buf, maxChars);
}

bool ListedHandle::serialString(char16_t* buf, int maxChars) {
    return copyString(facts_.serial, buf, maxChars);
}

bool ListedHandle::indexedString(int index, char16_t* buf, int maxChars) {
    // String descriptors cannot be fetched by index here; the system reads the strings in the
    // device's first language, which for these devices is US English.
    if (index != 0 || maxChars < 1)
        return false;
    buf[0] = 0x0409;
    if (maxChars > 1)
        buf[1] = 0;
    return true;
}

quint16 ListedHandle::inputReportLength() {
    if (!facts_.layout.valid || facts_.layout.inputReportLength == 0)
        return kFallbackReportLength;
    return std::max<quint16>(facts_.layout.inputReportLength, 2);
}

int ListedHandle::read(quint8*, int, int, quint32* error) {
    *error = EBADF;
    return -1;
}

// ---- ReadingHandle -----------------------------------------------------------------------------

ReadingHandle::ReadingHandle(QString path, DeviceFacts facts)
    : ListedHandle(std::move(path), std::move(facts)) {
    // A device whose reports cannot be laid out is read anyway; the first read says so.
    if (!facts_.layoutProblem.isEmpty())
        pendingError_ = EBADMSG;
}

std::vector<quint8> ReadingHandle::featureOnTheWire(const quint8* report, int length) const {
    if (length < 1)
        return {};
    std::vector<quint8> wire = sizeFeatureReport(facts_.layout, report, size_t(length));
    if (wire.empty())
        qWarning().noquote() << path_ + QStringLiteral(": the device declares no feature "
                                                       "report %1; none sent")
                                            .arg(report[0]);
    return wire;
}

bool ReadingHandle::takePendingError(quint32* error) {
    if (pendingError_ == 0)
        return false;
    *error = std::exchange(pendingError_, 0);
    if (*error == EBADMSG)
        qWarning().noquote() << path_ + QStringLiteral(": ") + facts_.layoutProblem +
                                    QStringLiteral("; reports are read whole, up to %1 bytes")
                                        .arg(kFallbackReportLength - 1);
    return true;
}

quint8* ReadingHandle::readInto(int length, size_t* room) {
    scratch_.resize(size_t(length) + 1);
    *room = numbered() ? size_t(length) + 1 : size_t(length);
    return numbered() ? scratch_.data() : scratch_.data() + 1;
}

int ReadingHandle::finishReport(int n, quint8* buf, int length) {
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

bool ReadingHandle::tooManyEmptyReads() {
    constexpr int kEmptyReadsInARow = 8;
    if (++emptyInARow_ < kEmptyReadsInARow)
        return false;
    emptyInARow_ = 0;
    return true;
}

// ---- the platform ------------------------------------------------------------------------------

namespace {

class SystemHidPlatform : public HidPlatform {
public:
    SystemHidPlatform() : available_(hid_init() == 0) {}
    ~SystemHidPlatform() override {
        watch_.reset();
        if (available_)
            hid_exit();
    }

    bool available() const override { return available_; }

    std::vector<HidInterfaceInfo> list() override {
        std::vector<HidInterfaceInfo> out;
        facts_.clear();
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
            describeDevice(d->path, f, instance);
            facts_.insert(path, std::move(f));
            out.push_back({path, instance});
        }
        hid_free_enumeration(all);
        return out;
    }

    std::unique_ptr<HidHandle> open(const HidInterfaceInfo& device, HidAccess access,
                                    quint32* error) override {
        auto it = facts_.constFind(device.path);
        if (!available_ || it == facts_.constEnd() || deviceGone(device.path)) {
            *error = ENODEV;
            return nullptr;
        }
        if (access == HidAccess::QueryOnly)
            return std::make_unique<ListedHandle>(device.path, *it);
        return openForReading(device.path, *it, error);
    }

    QString errorText(quint32 code) const override { return systemErrorText(code); }

    void setChangeCallback(std::function<void()> callback) override {
        watch_.reset();
        changed_ = std::move(callback);
        if (!changed_)
            return;
        auto changed = [this] {
            if (changed_)
                changed_();
        };
        watch_ = watchSystemEvents(changed);
        if (!watch_)
            watch_ = watchByRelisting([this] { return currentSet(); }, changed);
    }

private:
    // The identities of the devices present now; what open() knows stays as it was.
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
    std::unique_ptr<ChangeWatch> watch_;
};

} // namespace

} // namespace systemhid

std::shared_ptr<HidPlatform> makeSystemHidPlatform() {
    return std::make_shared<systemhid::SystemHidPlatform>();
}
