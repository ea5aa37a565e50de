#include "decode/frame_assembler.h"

#include <algorithm>
#include <cstring>

void FrameAssembler::Read380(quint8 /*reportId*/, const quint8* data, quint16 size) {
    // The count is the low nibble of the first data byte; absent without data bytes.
    const bool hasCount = size > 0 && data != nullptr;
    const int count = hasCount ? (data[0] & 0x0F) : -1;

    // Every count is counted as idle here and reset below when it carries serial bytes.
    if (hasCount)
        ++IdleReportCount_;

    if (count >= 1 && count <= 9) {
        IdleReportCount_ = 0;
        FrameOpen_ = true;
        const int present = std::min<int>(count, int(size) - 1);
        const std::size_t at = frameBytes().size();
        const std::size_t kept = std::min(std::size_t(present), kMeterFrameBytes - at);
        if (kept > 0)
            std::memcpy(frame_.data() + at, data + 1, kept);
        collected_ += present;
        return;
    }

    // Count 0, 10-15 or no data byte at all: the frame ends here. One longer than a frame is
    // judged by its first 22 bytes.
    if (FrameOpen_) {
        if (collected_ >= qint64(kMeterFrameBytes) && isWellFormed(frame_) && consumer_)
            consumer_(frame_);
        collected_ = 0;
    }
    FrameOpen_ = false;
}
