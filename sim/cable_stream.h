#pragma once

#include "sim/meter_display.h"

#include <QByteArray>

#include <deque>
#include <functional>
#include <optional>

namespace sim {

// How fast the cable and the meter talk.
struct CablePace {
    int pollMs = 8;             // one input report each time the host polls the cable
    int baud = 2400;            // the meter's serial line
    int bitsPerByte = 10;       // start bit, 8 data bits, stop bit
    int frameIntervalMs = 1000; // the meter sends its display once a second
};

// What the meter shows `seconds` after the cable started; nothing while the meter is off.
using MeterScript = std::function<std::optional<MeterDisplay>(double seconds)>;

// The cable's input reports, in order, each with the time the cable sends it: serial bytes
// arrive at the line's rate, and every poll the cable reports those that came since the last
// one (at most 7) or, when none came, an idle report.
class CableStream {
public:
    explicit CableStream(MeterScript meter, CablePace pace = {});

    // The next report (report ID 0, then the count byte and 7 bytes) and when it is sent, in
    // seconds since the start.
    QByteArray next(double* seconds);
    // When the next report is sent.
    double nextSeconds() const { return double(report_ + 1) * pace_.pollMs / 1000.0; }
    // Goes on at `seconds` as if nobody had listened before: bytes not yet reported are lost.
    void skipTo(double seconds);

    const CablePace& pace() const { return pace_; }

private:
    struct Byte {
        double atMs;
        char value;
    };

    MeterScript meter_;
    CablePace pace_;
    double byteMs_;
    long long report_ = 0;
    double nextFrameMs_ = 0;
    std::deque<Byte> pending_;
};

} // namespace sim
