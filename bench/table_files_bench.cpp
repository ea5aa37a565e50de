#include "record/table_files.h"
#include "tests/reading_rows.h"

#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <malloc.h>

namespace {

constexpr int kRows = 1'000'000;

size_t heapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

void fill(ReadingTable& t, int n) {
    static const char16_t* const units[] = {u"M\u03A9", u"G\u03A9", u"V"};
    static const char16_t* const modes[] = {u"Continuous", u"Timed", u"PI", u"COMP:GOOD"};
    for (int i = 0; i < n; ++i) {
        t.append(readingRow(i + 1, (i * 500 + 123) % 86'400'000,
                            QString::number(1000 + (i * 7) % 9000),
                            QString::fromUtf16(units[i % 3]), QStringLiteral("IR:1000V 40G\u03A9"),
                            QString::fromUtf16(modes[i % 4])));
    }
}

// Saving one million rows; bytes_per_row is the file's size per row.
template <bool Xml> void BM_Save(benchmark::State& state) {
    QLocale::setDefault(QLocale::c());
    QTemporaryDir dir;
    ReadingTable t;
    fill(t, kRows);
    const QString name = dir.filePath(Xml ? "t.xml" : "t.xls");
    for (auto _ : state) {
        QString error;
        const bool ok = Xml ? saveXmlTable(t, name, &error) : saveTextTable(t, name, &error);
        if (!ok)
            state.SkipWithError("save failed");
    }
    state.counters["file_bytes_per_row"] = double(QFileInfo(name).size()) / kRows;
    state.SetItemsProcessed(state.iterations() * kRows);
}

// Loading one million rows; extra_heap_bytes is what the load held beyond the finished table.
template <bool Xml> void BM_Load(benchmark::State& state) {
    QLocale::setDefault(QLocale::c());
    QTemporaryDir dir;
    const QString name = dir.filePath(Xml ? "t.xml" : "t.xls");
    {
        ReadingTable t;
        fill(t, kRows);
        QString error;
        Xml ? saveXmlTable(t, name, &error) : saveTextTable(t, name, &error);
    }
    for (auto _ : state) {
        state.PauseTiming();
        const size_t before = heapInUse();
        malloc_trim(0);
        auto* t = new ReadingTable;
        state.ResumeTiming();
        QString error;
        if (!(Xml ? loadXmlTable(name, *t, &error) : loadTextTable(name, *t, &error)))
            state.SkipWithError("load failed");
        state.PauseTiming();
        const size_t after = heapInUse();
        state.counters["table_bytes_per_row"] = double(t->memoryBytes()) / kRows;
        state.counters["heap_bytes_per_row"] = double(after - before) / kRows;
        if (t->rowCount() != kRows)
            state.SkipWithError("row count");
        delete t;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

BENCHMARK(BM_Save<false>)->Name("BM_SaveText1M")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Save<true>)->Name("BM_SaveXml1M")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Load<false>)->Name("BM_LoadText1M")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Load<true>)->Name("BM_LoadXml1M")->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
