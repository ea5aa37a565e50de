#include "reading_table.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

namespace {

ReadingRow meterReading(int i) {
    ReadingRow r;
    r.No = i + 1;
    r.NoNull = false;
    r.TimeMs = (i * 500) % 86'400'000;
    r.TimeNull = false;
    // A value that changes as a meter's reading would: a few thousand distinct texts.
    r.Value = QString::number(1000 + (i * 7) % 9000);
    r.Unit = QStringLiteral("M\u03A9");
    r.V_Range = QStringLiteral("IR:1000V 40G\u03A9");
    r.I_Range = QStringLiteral("Continuous");
    return r;
}

// Appending ten million rows ("Limitless"): rows per second, and the heap the table holds.
void BM_AppendTenMillion(benchmark::State& state) {
    const int n = int(state.range(0));
    std::vector<ReadingRow> sample;
    for (int i = 0; i < 9000; ++i)
        sample.push_back(meterReading(i));
    for (auto _ : state) {
        state.PauseTiming();
        const size_t before = mallinfo2().uordblks + mallinfo2().hblkhd;
        auto* t = new ReadingTable;
        state.ResumeTiming();
        for (int i = 0; i < n; ++i) {
            ReadingRow& r = sample[size_t(i % 9000)];
            r.No = i + 1;
            t->append(r);
        }
        state.PauseTiming();
        const size_t after = mallinfo2().uordblks + mallinfo2().hblkhd;
        state.counters["bytes_per_row"] = double(after - before) / n;
        delete t;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_AppendTenMillion)->Arg(10'000'000)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
