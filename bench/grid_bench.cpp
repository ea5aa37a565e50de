#include "bench/sample_rows.h"
#include "record/reading_table_model.h"
#include "record/ui/reading_grid.h"

#include <QApplication>
#include <QScrollBar>

#include <benchmark/benchmark.h>

#include <malloc.h>

namespace {

constexpr int kRows = 1'000'000;

size_t heapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

struct Shown {
    ReadingTable table;
    ReadingGrid grid;
    Shown() {
        grid.resize(617, 177);
        grid.show();
        QApplication::processEvents(); // exposed, so that repaints paint
    }
    // A million rows, shown.
    void fill() {
        grid.setTable(&table);
        table.suspendUpdates();
        for (int i = 0; i < kRows; ++i)
            table.append(sampleReading(i));
        table.resumeUpdates();
    }
};

// A million rows arriving at once (a file load): the grid's reset, then one paint.
void BM_GridResetMillion(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto* s = new Shown;
        s->grid.setTable(&s->table);
        s->table.suspendUpdates();
        for (int i = 0; i < kRows; ++i)
            s->table.append(sampleReading(i));
        const size_t before = heapInUse();
        state.ResumeTiming();
        s->table.resumeUpdates();
        s->grid.viewport()->repaint();
        state.PauseTiming();
        state.counters["grid_heap_bytes_per_row"] = double(heapInUse() - before) / kRows;
        delete s;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_GridResetMillion)->Unit(benchmark::kMillisecond)->Iterations(3);

// One recorded row at the end of a million: the grid follows it and repaints.
void BM_GridAppendAtMillion(benchmark::State& state) {
    Shown s;
    s.fill();
    int i = kRows;
    for (auto _ : state) {
        s.table.append(sampleReading(i++));
        s.grid.viewport()->repaint();
    }
    if (s.grid.currentIndex().row() != s.table.rowCount() - 1)
        state.SkipWithError("grid did not follow");
}
BENCHMARK(BM_GridAppendAtMillion)->Unit(benchmark::kMicrosecond);

// Scrolling a million rows: a jump to another place and a paint.
void BM_GridScrollMillion(benchmark::State& state) {
    Shown s;
    s.fill();
    QScrollBar* bar = s.grid.verticalScrollBar();
    int step = 0;
    for (auto _ : state) {
        bar->setValue(int((step++ * 7919LL) % bar->maximum()));
        s.grid.viewport()->repaint();
    }
}
BENCHMARK(BM_GridScrollMillion)->Unit(benchmark::kMicrosecond);

} // namespace
