#pragma once

#include "record/insulation_runs.h"

#include <QObject>

class ReadingTable;

// The insulation tests of a reading table, kept up as its rows change: appended rows are taken
// in as they arrive, anything else (rows removed, a file loaded, the table emptied) finds the
// tests afresh. The chart draws them, the figures strip and Save Test Result read them; nobody
// else scans the table for them while it is on view.
class TestModel : public QObject {
    Q_OBJECT
public:
    explicit TestModel(ReadingTable& table, QObject* parent = nullptr);

    const ReadingTable& table() const { return table_; }
    const InsulationRuns& runs() const { return runs_; }
    int count() const { return int(runs_.runs().size()); }
    const InsulationRun& run(int i) const { return runs_.runs()[size_t(i)]; }
    // The test that the newest row belongs to, while rows may still continue it; else -1.
    int openRun() const { return runs_.lastRunOpen() ? count() - 1 : -1; }
    // "10:26:55 IR:1000V 40GΩ"
    QString title(int i) const { return runTitle(table_, run(i)); }

Q_SIGNALS:
    // Tests from `first` on have changed or were added (their rows grew); `first` may equal the
    // old count when only new tests came.
    void changed(int first);
    // The tests were found afresh: every index may now name another test.
    void reset();

private:
    void appended();
    void rescan();

    ReadingTable& table_;
    InsulationRuns runs_;
};
