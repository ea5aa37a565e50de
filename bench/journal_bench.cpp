// What the journal costs a recorded row: the line formatted, encoded and written whole, and the
// disk flush, either after every row or at most once a second (what the program does).

#include "bench/sample_rows.h"
#include "record/journal.h"

#include <QLocale>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// Arg: how long a written row may wait for the disk, ms (0: flushed with each row). The
// journal lies in the system's temporary folder; set TMPDIR to measure another disk.
void BM_JournalRow(benchmark::State& state) {
    QLocale::setDefault(QLocale::c());
    QTemporaryDir dir;
    ReadingTable table;
    for (int i = 0; i < 4096; ++i)
        table.append(sampleReading(i));
    RecordJournal journal(dir.filePath(QStringLiteral("z4072")));
    journal.setSyncDelay(int(state.range(0)));
    int row = 0;
    for (auto _ : state) {
        journal.append(table, row);
        row = (row + 1) % table.rowCount();
    }
    if (journal.failed())
        state.SkipWithError("the journal failed");
    state.SetItemsProcessed(state.iterations());
    journal.discard();
}
BENCHMARK(BM_JournalRow)->Arg(0)->Iterations(500);
BENCHMARK(BM_JournalRow)->Arg(RecordJournal::kDefaultSyncDelayMs)->MinTime(2.0);

} // namespace
