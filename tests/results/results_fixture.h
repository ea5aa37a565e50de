#pragma once

#include "record/insulation_runs.h"
#include "record/reading_table.h"
#include "results/result_store.h"
#include "results/test_result.h"
#include "tests/reading_rows.h"

#include <QDateTime>
#include <QString>

#include <cmath>

// An insulation test recorded today: a reading every `everyS` seconds for `seconds`, from
// `startOhms` rising as absorption makes it (R grows with the log of time, `piTarget` times from
// 1 to 10 min).
inline void recordTest(ReadingTable& table, int seconds, int everyS = 5, double startMohm = 100,
                       double piTarget = 2.5, int startMs = 9 * 3'600'000) {
    const double slope = std::log10(piTarget); // decades of R per decade of time
    const qint64 today = QDate::currentDate().startOfDay().toMSecsSinceEpoch();
    int no = table.rowCount() + 1;
    for (int s = 0; s <= seconds; s += everyS) {
        const double t = std::max(1, s);
        const double mohm = startMohm * std::pow(t / 60.0, slope);
        ReadingRow row = readingRow(no++, startMs + s * 1000, QString::number(mohm, 'f', 1));
        row.AtMs = today + startMs + s * 1000;
        table.append(row);
    }
}

// A result of the last run of a table, with the technician's fields of a form-wound machine.
inline TestResult resultOfLastRun(const ReadingTable& table) {
    InsulationRuns runs;
    runs.scan(table);
    TestResult r;
    r.assetId = QStringLiteral("M-101");
    r.kind = AssetKind::MachineForm;
    r.ratedKv = 6.6;
    r.insulationClass = QStringLiteral("F");
    r.date = QDate(2026, 12, 9);
    takeRun(table, runs.runs().back(), r);
    return r;
}
