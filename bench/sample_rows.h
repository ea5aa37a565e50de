#pragma once

#include "record/reading_table.h"
#include "tests/reading_rows.h"

#include <algorithm>
#include <cmath>

// Row i of a long recording: a value that changes as a meter's reading would (a few thousand
// distinct texts), half a second apart.
inline ReadingRow sampleReading(int i) {
    return readingRow(i + 1, (i * 500) % 86'400'000, QString::number(1000 + (i * 7) % 9000));
}

// Row i of a day of insulation tests, one row a second from 08:00:00: a dead-circuit check on DC
// volts, a ten-minute test at 1000 V on a winding whose resistance climbs from 190 MΩ through
// 800 MΩ at one minute to 1.8 GΩ, the discharge on DC volts, and again.
inline ReadingRow insulationTestRow(int i) {
    constexpr int kCycle = 610;
    const int k = i % kCycle;
    ReadingRow r;
    r.No = i + 1;
    r.NoNull = false;
    r.TimeMs = int((8 * 3600 + qint64(i)) % 86'400 * 1000);
    r.TimeNull = false;
    r.I_Range = QStringLiteral("Timed");
    if (k < 5 || k > 605) {
        r.Value = QStringLiteral("%1.4").arg(k < 5 ? 0 : 12);
        r.Unit = QStringLiteral("V");
        r.V_Range = QStringLiteral("DCV  600V");
        return r;
    }
    const double ohms = 800e6 * std::pow(std::max(k - 5, 1) / 60.0, 0.35);
    const bool giga = ohms >= 1e9;
    const double v = ohms / (giga ? 1e9 : 1e6);
    r.Value = QString::number(v, 'f', v >= 100 ? 1 : v >= 10 ? 2 : 3);
    r.Unit = giga ? QStringLiteral("G\u03A9") : QStringLiteral("M\u03A9");
    r.V_Range = QStringLiteral("IR:1000V 40G\u03A9");
    return r;
}
