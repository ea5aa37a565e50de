#pragma once

#include "decode/meter_frame.h"

#include <algorithm>
#include <functional>
#include <span>

// Reassembles the meter's frames from the cable's input reports. Each report's first data byte
// holds the number of serial bytes that follow in its low nibble; a report without serial bytes
// ends the frame being collected, and a frame whose bytes 21-22 are CR LF goes to the consumer.
class FrameAssembler {
public:
    using FrameConsumer = std::function<void(const MeterFrame& frame)>;

    // Called with each well-formed frame, before the collected bytes are let go.
    void setFrameConsumer(FrameConsumer consumer) { consumer_ = std::move(consumer); }

    // One input report: its ID and the `size` bytes after it.
    void Read380(quint8 reportId, const quint8* data, quint16 size);

    // Reports since the last one that carried meter bytes (what the silence watch reads).
    qint32 IdleReportCount() const { return IdleReportCount_; }
    void resetIdleReportCount() { IdleReportCount_ = 0; }
    // A frame is being collected.
    bool FrameOpen() const { return FrameOpen_; }
    // The bytes of the frame being collected, at most a frame's: only the first 22 are ever
    // read, so the bytes of a longer one are counted but not kept.
    std::span<const quint8> frameBytes() const {
        return {frame_.data(), std::size_t(std::min<qint64>(collected_, kMeterFrameBytes))};
    }
    // How many serial bytes the frame being collected has had.
    qint64 frameLength() const { return collected_; }

private:
    qint32 IdleReportCount_ = 0;
    bool FrameOpen_ = false;
    MeterFrame frame_{};
    qint64 collected_ = 0;
    FrameConsumer consumer_;
};
