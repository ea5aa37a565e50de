// The insulation-test figures of a long recording: what `z4072 analyze` does with a million rows
// (1640 ten-minute tests), with and without reading the file.
#include "bench/sample_rows.h"
#include "record/insulation_runs.h"
#include "record/table_files.h"

#include <QLocale>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int kRows = 1'000'000;

qint64 analyze(const ReadingTable& t) {
    InsulationRuns runs;
    runs.scan(t);
    qint64 bytes = 0;
    for (const InsulationRun& run : runs.runs())
        bytes += analysisLine(t, run).toUtf8().size() + 1;
    return bytes;
}

// Finding the tests and their figures in a loaded table.
void BM_AnalyzeTable1M(benchmark::State& state) {
    ReadingTable t;
    for (int i = 0; i < kRows; ++i)
        t.append(insulationTestRow(i));
    InsulationRuns runs;
    runs.scan(t);
    for (auto _ : state)
        benchmark::DoNotOptimize(analyze(t));
    state.counters["tests"] = double(runs.runs().size());
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_AnalyzeTable1M)->Unit(benchmark::kMillisecond);

// The whole mode: load the text file, then analyze.
void BM_AnalyzeTextFile1M(benchmark::State& state) {
    QLocale::setDefault(QLocale::c());
    QTemporaryDir dir;
    const QString name = dir.filePath("t.xls");
    {
        ReadingTable t;
        for (int i = 0; i < kRows; ++i)
            t.append(insulationTestRow(i));
        QString error;
        saveTextTable(t, name, &error);
    }
    for (auto _ : state) {
        ReadingTable t;
        QString error;
        if (!loadTextTable(name, t, &error))
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(analyze(t));
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_AnalyzeTextFile1M)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
