#pragma once

#include "core/reading.h"
#include "core/sample_time.h"
#include "record/reading_table.h"

#include <QString>

#include <functional>

// The recording rules: which decoded readings become rows of the reading table. The settings
// mirror the window's record toolbar (the window keeps them in step with its controls).
class Recorder {
public:
    // When a reading is recorded: the instant and its local time of day (a time of day alone
    // records a row whose date is not known).
    using Clock = std::function<SampleTime()>;
    // Told the table row of each reading recorded, once the row is in the table.
    using RowRecorded = std::function<void(int row)>;

    // The six record limits of the RecordSet menu, in menu order; the last is "Limitless".
    static constexpr qint32 kLimits[6] = {1000, 5000, 10000, 50000, 100000, 10'000'000};

    explicit Recorder(ReadingTable& table);

    void setClock(Clock clock) { clock_ = std::move(clock); }
    void setRowRecorded(RowRecorded observer) { recorded_ = std::move(observer); }

    // "Repeat": record a value equal to the last recorded one.
    void setRepeat(bool on) { repeat_ = on; }
    bool repeat() const { return repeat_; }
    // "Sampling Interval": record only when the countdown has run out.
    void setSampling(bool on) { sampling_ = on; }
    bool sampling() const { return sampling_; }
    // The seconds box's text; read whenever a row is recorded.
    void setIntervalText(const QString& text) { intervalText_ = text; }
    const QString& intervalText() const { return intervalText_; }

    // Offer a reading; only kind 1 acts.
    void INDataToTable(int kind, const Reading& reading);
    // The one-second tick: runs the countdown down while sampling is on.
    void SampInterTimeTimer();
    // The seconds box was edited: restart the wait with its number.
    void RecordSITimeChange(const QString& text);
    void setMaxRecords(qint32 limit) { MaxRecords = limit; }
    // Delete Data: empty the table, numbering restarts at 1.
    void clearRecords();
    // Readings brought back into the table (a journal's): the next row recorded is numbered
    // after `highestNo`, never below where numbering already stands.
    void continueNumberingAfter(qint32 highestNo);

    // The countdown for a seconds text. A plain number (blanks around it allowed, optional sign)
    // counts; a negative number counts as 0, one beyond 32 bits as the largest 32-bit count, and
    // anything that is no number (also "", "-", "+") as 0. The result is never negative, so
    // the tick always runs it down to 0.
    static qint32 secondsOf(const QString& text);

    // The number of the next row, the record limit, the seconds left before the next sampled
    // row, and the value last recorded (what "Repeat" compares with).
    qint32 RecordNo = 1;
    qint32 MaxRecords = 10000;
    qint32 SampleCountdown = 0;
    QString LastRecordedValue;

private:
    ReadingTable& table_;
    Clock clock_;
    RowRecorded recorded_;
    bool repeat_ = true;
    bool sampling_ = false;
    QString intervalText_ = QStringLiteral("10");
};
