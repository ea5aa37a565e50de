#include "record/recorder.h"

#include <QTime>

#include <algorithm>
#include <limits>

Recorder::Recorder(UnitState& state, ReadingTable& table)
    : s_(state), table_(table), clock_(&Recorder::systemTimeOfDay) {}

int Recorder::systemTimeOfDay() {
    return QTime::currentTime().msecsSinceStartOfDay();
}

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

void Recorder::INDataToTable(int kind) {
    if (kind != 1)
        return;
    if (s_.MaxRecords < s_.RecordNo)
        return;
    if (sampling_ && s_.SampleCountdown != 0)
        return;
    if (!repeat_ && s_.ValueText == s_.LastRecordedValue)
        return;
    s_.SampleCountdown = secondsOf(intervalText_);

    ReadingRow row;
    row.Value = s_.ValueText;
    row.TimeMs = clock_();
    row.TimeNull = false;
    row.No = s_.RecordNo;
    row.NoNull = false;
    row.V_Range = s_.VRangeText;
    row.I_Range = s_.IRangeText;
    row.Unit = s_.UnitText;
    const int at = table_.append(row);

    ++s_.RecordNo;
    s_.LastRecordedValue = s_.ValueText;
    if (recorded_)
        recorded_(at);
}

void Recorder::SampInterTimeTimer() {
    if (sampling_ && s_.SampleCountdown > 0)
        --s_.SampleCountdown;
}

void Recorder::RecordSITimeChange(const QString& text) {
    intervalText_ = text;
    s_.SampleCountdown = secondsOf(text);
}

bool Recorder::RecordSITimeKeyPress(QChar key) {
    return (key >= u'0' && key <= u'9') || key.unicode() == 8;
}

void Recorder::continueNumberingAfter(qint32 highestNo) {
    if (highestNo < std::numeric_limits<qint32>::max())
        s_.RecordNo = std::max(s_.RecordNo, highestNo + 1);
}

void Recorder::clearRecords() {
    if (!table_.isEmpty())
        table_.clear();
    s_.RecordNo = 1;
}
