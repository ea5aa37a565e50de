#include "decode/frame_assembler.h"

#include "decode/hex_digits.h"

#include <algorithm>

FrameAssembler::FrameAssembler() {
    FrameHex_.reserve(kMaxFrameHexChars);
}

void FrameAssembler::Read380(quint8 /*reportId*/, const quint8* data, quint16 size) {
    if (observer_)
        observer_();

    // The count digit is the low hex digit of the first data byte; absent without data bytes.
    const bool hasCount = size > 0 && data != nullptr;
    const int count = hasCount ? (data[0] & 0x0F) : -1;

    // Every hex digit sorts at or above "0", so each report with a count is counted as idle
    // here and reset below when it carries serial bytes.
    if (hasCount)
        ++IdleReportCount_;

    if (count >= 1 && count <= 9) {
        IdleReportCount_ = 0;
        FrameOpen_ = true;
        const int present = std::min<int>(count, int(size) - 1);
        for (int k = 1; k <= present && FrameHex_.size() + 2 <= kMaxFrameHexChars; ++k) {
            const quint8 b = data[k];
            FrameHex_.append(QLatin1Char(kHexDigits[b >> 4]));
            FrameHex_.append(QLatin1Char(kHexDigits[b & 0x0F]));
        }
        return;
    }

    // Count 0, 10-15 or no data byte at all: the frame ends here.
    if (FrameOpen_) {
        if (FrameHex_.size() >= 44 && QStringView(FrameHex_).mid(40, 4) == u"0D0A" && consumer_)
            consumer_(FrameHex_);
        FrameHex_.truncate(0);
        if (FrameHex_.capacity() < kMaxFrameHexChars)
            FrameHex_.reserve(kMaxFrameHexChars);
    }
    FrameOpen_ = false;
}
