#pragma once

#include "reading_table.h"

// Row i of a long recording: a value that changes as a meter's reading would (a few thousand
// distinct texts), half a second apart.
inline ReadingRow sampleReading(int i) {
    ReadingRow r;
    r.No = i + 1;
    r.NoNull = false;
    r.TimeMs = (i * 500) % 86'400'000;
    r.TimeNull = false;
    r.Value = QString::number(1000 + (i * 7) % 9000);
    r.Unit = QStringLiteral("M\u03A9");
    r.V_Range = QStringLiteral("IR:1000V 40G\u03A9");
    r.I_Range = QStringLiteral("Continuous");
    return r;
}
