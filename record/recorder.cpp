#include "record/recorder.h"

#include <algorithm>
#include <limits>

Recorder::Recorder(ReadingTable& table) : table_(table), clock_(&SampleTime::now) {}

qint32 Recorder::secondsOf(const QString& text) {
    QStringView t = QStringView(text).trimmed();
    bool negative = false;
    if (!t.isEmpty() && (t.front() == u'-' || t.front() == u'+')) {
        negative = t.front() == u'-';
        t = t.mid(1);
    }
    if (t.isEmpty())
        return 0;
    qint64 n = 0;
    for (QChar c : t) {
        if (c < u'0' || c > u'9')
            return 0;
        n = std::min<qint64>(n * 10 + (c.unicode() - u'0'), qint64(1) << 40);
    }
    if (negative)
        return 0;
    return qint32(std::min<qint64>(n, std::numeric_limits<qint32>::max()));
}

void Recorder::INDataToTable(int kind, const Reading& reading) {
    if (kind != 1)
        return;
    if (MaxRecords < RecordNo)
        return;
    if (sampling_ && SampleCountdown != 0)
        return;
    if (!repeat_ && reading.text == LastRecordedValue)
        return;
    SampleCountdown = secondsOf(intervalText_);

    ReadingRow row;
    row.Value = reading.text;
    const SampleTime now = clock_();
    row.TimeMs = now.msOfDay;
    row.TimeNull = false;
    row.AtMs = now.epochMs;
    row.No = RecordNo;
    row.NoNull = false;
    row.V_Range = reading.function;
    row.I_Range = reading.mode;
    row.Unit = unitText(reading.unit);
    const int at = table_.append(row);

    ++RecordNo;
    LastRecordedValue = reading.text;
    if (recorded_)
        recorded_(at);
}

void Recorder::SampInterTimeTimer() {
    if (sampling_ && SampleCountdown > 0)
        --SampleCountdown;
}

void Recorder::RecordSITimeChange(const QString& text) {
    intervalText_ = text;
    SampleCountdown = secondsOf(text);
}

void Recorder::continueNumberingAfter(qint32 highestNo) {
    if (highestNo < std::numeric_limits<qint32>::max())
        RecordNo = std::max(RecordNo, highestNo + 1);
}

void Recorder::clearRecords() {
    if (!table_.isEmpty())
        table_.clear();
    RecordNo = 1;
}
