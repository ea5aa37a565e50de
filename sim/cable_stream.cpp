#include "sim/cable_stream.h"

#include <cmath>

namespace sim {

CableStream::CableStream(MeterScript meter, CablePace pace)
    : meter_(std::move(meter)), pace_(pace),
      byteMs_(1000.0 * pace.bitsPerByte / std::max(pace.baud, 1)) {
    pace_.pollMs = std::max(pace_.pollMs, 1);
    pace_.frameIntervalMs = std::max(pace_.frameIntervalMs, 1);
}

QByteArray CableStream::next(double* seconds) {
    const double atMs = double(report_ + 1) * pace_.pollMs;
    while (nextFrameMs_ <= atMs) {
        if (meter_) {
            if (const std::optional<MeterDisplay> shown = meter_(nextFrameMs_ / 1000.0)) {
                const QByteArray frame = frameBytes(*shown);
                for (qsizetype j = 0; j < frame.size(); ++j)
                    pending_.push_back({nextFrameMs_ + double(j + 1) * byteMs_, frame[j]});
            }
        }
        nextFrameMs_ += pace_.frameIntervalMs;
    }
    QByteArray report(9, '\0');
    int n = 0;
    while (n < 7 && !pending_.empty() && pending_.front().atMs <= atMs) {
        report[2 + n++] = pending_.front().value;
        pending_.pop_front();
    }
    report[1] = char(0xF0 | n);
    ++report_;
    if (seconds)
        *seconds = atMs / 1000.0;
    return report;
}

void CableStream::skipTo(double seconds) {
    const double ms = seconds * 1000.0;
    if (ms <= double(report_ + 1) * pace_.pollMs)
        return;
    // The first report sent at or after `seconds`.
    report_ = static_cast<long long>(std::ceil(ms / pace_.pollMs)) - 1;
    pending_.clear();
    nextFrameMs_ = std::ceil(ms / pace_.frameIntervalMs) * pace_.frameIntervalMs;
}

} // namespace sim
