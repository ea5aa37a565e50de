#include "sim/sim_cable.h"

#include <QtDebug>

namespace sim {

namespace {

constexpr int kMeterBaud = 2400;

using Clock = SimReportSource::Clock;

Clock::duration secondsToDuration(double s) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
}

QByteArray idleInputReport() {
    return QByteArray(1, '\0') + idleReport();
}

} // namespace

SimHidDeviceSpec cableDeviceSpec() {
    SimHidDeviceSpec s;
    s.product = QStringLiteral("USB to Serial");
    s.vendorId = 0x1A86;
    s.productId = 0xE008;
    s.inputReportLength = 9;
    return s;
}

bool featureSetsBaud(const QByteArray& report, int baud) {
    if (report.size() < 5)
        return false;
    const auto b = [&](int i) { return quint32(quint8(report[i])); };
    return (b(1) | b(2) << 8 | b(3) << 16 | b(4) << 24) == quint32(baud);
}

// ---- SimCable -------------------------------------------------------------------------------

SimCable::SimCable(MeterScript meter, CablePace pace, Clock::time_point origin)
    : meter_(std::move(meter)), stream_(
                                    [this](double t) -> std::optional<MeterDisplay> {
                                        // A line at the wrong rate, or none set yet, receives no
                                        // bytes.
                                        if (!configured_.load() || !meter_)
                                            return std::nullopt;
                                        return meter_(t);
                                    },
                                    pace),
      origin_(origin) {}

bool SimCable::next(QByteArray& report, Clock::time_point& due) {
    std::lock_guard lock(m_);
    // Nobody listened for a while: the reports of that time are gone, go on from now.
    const double now = std::chrono::duration<double>(Clock::now() - origin_).count();
    if (stream_.nextSeconds() < now - 1.0)
        stream_.skipTo(now);
    double at = 0;
    report = stream_.next(&at);
    due = origin_ + secondsToDuration(at);
    return true;
}

void SimCable::feature(const QByteArray& report) {
    configured_ = featureSetsBaud(report, kMeterBaud);
}

// ---- CaptureCable ---------------------------------------------------------------------------

CaptureCable::CaptureCable(QString path, CablePace pace) : path_(std::move(path)), pace_(pace) {}

bool CaptureCable::next(QByteArray& report, Clock::time_point& due) {
    std::lock_guard lock(m_);
    if (!playing_ && !ended_ && configured_.load()) {
        playing_ = true;
        started_ = Clock::now();
        QString why;
        if (!reader_.open(path_, &why)) {
            error_ = why;
            playing_ = false;
            ended_ = true;
            qWarning().noquote() << why;
        }
    }
    if (playing_) {
        CaptureReport r;
        QString why;
        if (reader_.next(r, &why)) {
            report = QByteArray(1, char(r.reportId)) + r.data;
            due = started_ + secondsToDuration(r.seconds);
            idleAt_ = due;
            return true;
        }
        playing_ = false;
        ended_ = true;
        if (!why.isEmpty()) {
            error_ = path_ + QStringLiteral(": ") + why;
            qWarning().noquote() << error_;
        }
    }
    // The cable with nothing behind it: an idle report every poll.
    const Clock::time_point now = Clock::now();
    idleAt_ += std::chrono::milliseconds(pace_.pollMs);
    if (idleAt_ + std::chrono::seconds(1) < now)
        idleAt_ = now;
    report = idleInputReport();
    due = idleAt_;
    return true;
}

void CaptureCable::feature(const QByteArray& report) {
    if (featureSetsBaud(report, kMeterBaud))
        configured_ = true;
}

QString CaptureCable::error() const {
    std::lock_guard lock(m_);
    return error_;
}

} // namespace sim
