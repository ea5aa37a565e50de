#pragma once

#include "decode/capture_file.h"
#include "link/hid/sim_hid_platform.h"
#include "sim/cable_stream.h"

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

namespace sim {

// The "USB to Serial" cable as the simulated HID layer lists it.
SimHidDeviceSpec cableDeviceSpec();

// Whether a feature report sets the cable's serial line to `baud`: bytes 1-4 hold the rate,
// least significant byte first.
bool featureSetsBaud(const QByteArray& report, int baud);

// A simulated cable with a meter behind it. Until a feature report sets the line to the meter's
// rate the cable receives nothing and sends idle reports; from then on it streams the meter's
// frames at the line's pace.
class SimCable : public SimReportSource {
public:
    explicit SimCable(MeterScript meter, CablePace pace = {},
                      Clock::time_point origin = Clock::now());

    bool next(QByteArray& report, Clock::time_point& due) override;
    void feature(const QByteArray& report) override;
    bool configured() const { return configured_.load(); }

private:
    std::atomic<bool> configured_{false};
    std::mutex m_; // the stream is read by the reader thread, made on the main thread
    MeterScript meter_;
    CableStream stream_;
    Clock::time_point origin_;
};

// A simulated cable that plays a capture file at its own pace, from the first feature report
// that sets the meter's rate; idle reports before that and after its last report.
class CaptureCable : public SimReportSource {
public:
    CaptureCable(QString path, CablePace pace = {});

    bool next(QByteArray& report, Clock::time_point& due) override;
    void feature(const QByteArray& report) override;
    // A malformed line ends the playback; this says which.
    QString error() const;

private:
    QString path_;
    CablePace pace_;
    std::atomic<bool> configured_{false};
    mutable std::mutex m_;
    Clock::time_point started_;
    Clock::time_point idleAt_ = Clock::now();
    bool playing_ = false;
    bool ended_ = false;
    QString error_;
    CaptureReader reader_;
};

} // namespace sim
