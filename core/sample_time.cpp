#include "core/sample_time.h"

#include <QDateTime>

SampleTime SampleTime::at(qint64 epochMs) {
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(epochMs);
    return {local.time().msecsSinceStartOfDay(), epochMs};
}

SampleTime SampleTime::now() {
    return at(QDateTime::currentMSecsSinceEpoch());
}

qint64 elapsedMs(const SampleTime& from, const SampleTime& to) {
    if (from.epochMs && to.epochMs)
        return *to.epochMs - *from.epochMs;
    return (qint64(to.msOfDay) - from.msOfDay + SampleTime::kDayMs) % SampleTime::kDayMs;
}

int timeOfDayAfter(int startMsOfDay, qint64 offsetMs) {
    return int((startMsOfDay + offsetMs % SampleTime::kDayMs) % SampleTime::kDayMs);
}

namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
qint64 daysFromCivil(qint64 y, unsigned m, unsigned d) {
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + qint64(doe) - 719468;
}

// Reads `n` digits at `at`; -1 when they are not all digits.
int digitsAt(QStringView s, qsizetype at, int n) {
    if (at + n > s.size())
        return -1;
    int v = 0;
    for (int i = 0; i < n; ++i) {
        const char16_t c = s[at + i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        v = v * 10 + (c - u'0');
    }
    return v;
}

} // namespace

QString instantText(qint64 epochMs) {
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(epochMs);
    // With the offset written out (an offset of 0 is written "Z").
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

std::optional<SampleTime> sampleTimeOf(QStringView s) {
    s = s.trimmed();
    // yyyy-MM-ddTHH:mm:ss.zzz followed by Z or +HH:mm / -HH:mm
    if (s.size() != 29 && s.size() != 24)
        return std::nullopt;
    const int y = digitsAt(s, 0, 4), mo = digitsAt(s, 5, 2), d = digitsAt(s, 8, 2);
    const int h = digitsAt(s, 11, 2), mi = digitsAt(s, 14, 2), sec = digitsAt(s, 17, 2);
    const int ms = digitsAt(s, 20, 3);
    if (y < 0 || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 ||
        sec < 0 || sec > 59 || ms < 0 || s[4] != u'-' || s[7] != u'-' || s[10] != u'T' ||
        s[13] != u':' || s[16] != u':' || s[19] != u'.')
        return std::nullopt;
    int offsetMin = 0;
    if (s.size() == 24) {
        if (s[23] != u'Z')
            return std::nullopt;
    } else {
        const int oh = digitsAt(s, 24, 2), om = digitsAt(s, 27, 2);
        if ((s[23] != u'+' && s[23] != u'-') || s[26] != u':' || oh < 0 || oh > 18 || om < 0 ||
            om > 59)
            return std::nullopt;
        offsetMin = (oh * 60 + om) * (s[23] == u'-' ? -1 : 1);
    }
    const int msOfDay = ((h * 60 + mi) * 60 + sec) * 1000 + ms;
    const qint64 localMs =
        daysFromCivil(y, unsigned(mo), unsigned(d)) * SampleTime::kDayMs + msOfDay;
    return SampleTime(msOfDay, localMs - qint64(offsetMin) * 60'000);
}
