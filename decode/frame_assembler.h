#pragma once

#include <QString>

#include <functional>

// Reassembles the meter's frames from the cable's input reports. Each report's first data byte
// holds the number of serial bytes that follow in its low nibble; a report without serial bytes
// ends the frame being collected, and a frame whose bytes 21-22 are CR LF goes to the consumer.
class FrameAssembler {
public:
    using FrameConsumer = std::function<void(const QString& frameHex)>;
    using ReportObserver = std::function<void()>;

    // A frame text longer than this stops growing: only its first 44 characters are ever read,
    // and a stream that never sends an idle report must not eat the memory.
    static constexpr qsizetype kMaxFrameHexChars = 4096;

    FrameAssembler();

    // Called with each well-formed frame text, before FrameHex is emptied.
    void setFrameConsumer(FrameConsumer consumer) { consumer_ = std::move(consumer); }
    // Called at the start of every report (the replica's "USB" label).
    void setReportObserver(ReportObserver observer) { observer_ = std::move(observer); }

    // One input report: its ID and the `size` bytes after it.
    void Read380(quint8 reportId, const quint8* data, quint16 size);

    // Reports since the last one that carried meter bytes (what the silence watch reads).
    qint32 IdleReportCount() const { return IdleReportCount_; }
    void resetIdleReportCount() { IdleReportCount_ = 0; }
    // A frame is being collected, and its bytes so far as hex text.
    bool FrameOpen() const { return FrameOpen_; }
    const QString& FrameHex() const { return FrameHex_; }

private:
    qint32 IdleReportCount_ = 0;
    bool FrameOpen_ = false;
    QString FrameHex_;
    FrameConsumer consumer_;
    ReportObserver observer_;
};
