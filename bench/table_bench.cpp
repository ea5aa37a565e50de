#include "bench/sample_rows.h"
#include "record/reading_table.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

namespace {

// Appending ten million rows ("Limitless"): rows per second, and the heap the table holds.
void BM_AppendTenMillion(benchmark::State& state) {
    const int n = int(state.range(0));
    std::vector<ReadingRow> sample;
    for (int i = 0; i < 9000; ++i)
        sample.push_back(sampleReading(i));
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
