#pragma once

#include "record/reading_table.h"

// A recorded reading: row number, time of day in milliseconds (negative for none), value, unit,
// function and test mode. By default an insulation reading in MΩ on the 1000 V range.
inline ReadingRow readingRow(qint32 no, qint64 timeMs, const QString& value,
                             const QString& unit = QStringLiteral("M\u03A9"),
                             const QString& function = QStringLiteral("IR:1000V 40G\u03A9"),
                             const QString& mode = QStringLiteral("Continuous")) {
    ReadingRow r;
    r.No = no;
    r.NoNull = false;
    r.TimeMs = timeMs < 0 ? 0 : qint32(timeMs);
    r.TimeNull = timeMs < 0;
    r.Value = value;
    r.Unit = unit;
    r.V_Range = function;
    r.I_Range = mode;
    return r;
}

// A journal's bytes as the table file of the same rows holds them: each line without its seventh
// cell, the instant the row was recorded.
inline QByteArray journalAsTable(const QByteArray& journal) {
    QByteArray out;
    for (const QByteArray& line : journal.split('\n')) {
        if (line.isEmpty())
            continue;
        QList<QByteArray> cells = line.chopped(line.endsWith('\r') ? 1 : 0).split('\t');
        if (cells.size() == 7)
            cells.removeLast();
        out += cells.join('\t') + "\r\n";
    }
    return out;
}
