// Test results: saving one, the Test Results window over a large database, a report page as PDF.
#include "bench/bench_app.h"
#include "record/reading_table.h"
#include "reports/report_export.h"
#include "results/result_store.h"
#include "results/ui/result_report.h"
#include "results/ui/results_window.h"
#include "tests/reading_rows.h"

#include <QApplication>
#include <QBuffer>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>

#include <cmath>

namespace {

// A result of a 10-minute test with `readings` readings, as a table run gives it.
TestResult sampleResult(int readings, int n = 0) {
    ReadingTable table;
    const int every = std::max(1, 600 / std::max(1, readings - 1));
    for (int i = 0; i < readings; ++i) {
        const double t = std::max(1, i * every);
        table.append(readingRow(i + 1, 9 * 3'600'000 + i * every * 1000,
                                QString::number(200 * std::pow(t / 60.0, 0.4), 'f', 1)));
    }
    InsulationRuns runs;
    runs.scan(table);
    TestResult r;
    r.assetId = QStringLiteral("Asset %1").arg(n % 5000);
    r.kind = AssetKind::MachineForm;
    r.ratedKv = 6.6;
    r.insulationClass = QStringLiteral("F");
    r.objectTempC = 30;
    r.date = QDate(2020, 1, 1).addDays(n % 2500);
    takeRun(table, runs.runs().back(), r);
    return r;
}

void BM_SaveResult600Readings(benchmark::State& state) {
    QTemporaryDir dir;
    ResultStore store;
    QString error;
    store.open(dir.filePath(QStringLiteral("save.sqlite")), &error);
    const TestResult sample = sampleResult(600);
    for (auto _ : state) {
        TestResult r = sample;
        if (!store.save(r, &error))
            state.SkipWithError(error.toStdString().c_str());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SaveResult600Readings)->Unit(benchmark::kMillisecond);

// A database of 100 000 results of 61 readings each, made once.
struct LargeDatabase {
    QTemporaryDir dir;
    ResultStore store;
    static constexpr int kResults = 100'000;
    LargeDatabase() {
        QString error;
        store.open(dir.filePath(QStringLiteral("large.sqlite")), &error);
        TestResult sample = sampleResult(61);
        QSqlQuery(store.database()).exec(QStringLiteral("PRAGMA synchronous = OFF"));
        for (int n = 0; n < kResults; ++n) {
            TestResult r = sample;
            r.assetId = QStringLiteral("Asset %1").arg(n % 5000);
            r.date = QDate(2020, 1, 1).addDays(n % 2500);
            r.objectTempC = 20 + n % 30;
            store.save(r, &error);
        }
    }
};

LargeDatabase& large() {
    static LargeDatabase db;
    return db;
}

void BM_ResultsWindowOpen100k(benchmark::State& state) {
    LargeDatabase& db = large();
    for (auto _ : state) {
        ResultsWindow w(db.store);
        w.show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(w.model->rowCount());
    }
}
BENCHMARK(BM_ResultsWindowOpen100k)->Unit(benchmark::kMillisecond);

// One filter a run: an asset of 20 results, then the whole list again, and so on.
void BM_ResultsWindowFilter100k(benchmark::State& state) {
    LargeDatabase& db = large();
    ResultsWindow w(db.store);
    w.show();
    QApplication::processEvents();
    int i = 0;
    for (auto _ : state) {
        if (i % 2 == 0)
            w.assetFilter->setText(
                QStringLiteral("Asset 4%1").arg(i / 2 % 10, 3, 10, QLatin1Char('0')));
        else
            w.assetFilter->clear();
        ++i;
        QApplication::processEvents();
        benchmark::DoNotOptimize(w.model->rowCount());
    }
}
BENCHMARK(BM_ResultsWindowFilter100k)->Unit(benchmark::kMillisecond);

// Sorted by each column in turn (the argument), down and up.
void BM_ResultsWindowSort100k(benchmark::State& state) {
    LargeDatabase& db = large();
    ResultsWindow w(db.store);
    w.show();
    QApplication::processEvents();
    bool up = false;
    const int column = int(state.range(0));
    state.SetLabel(w.model->headerData(column, Qt::Horizontal).toString().toStdString());
    for (auto _ : state) {
        w.list->sortByColumn(column, up ? Qt::AscendingOrder : Qt::DescendingOrder);
        up = !up;
        QApplication::processEvents();
        benchmark::DoNotOptimize(w.model->rowCount());
    }
}
BENCHMARK(BM_ResultsWindowSort100k)
    ->DenseRange(0, ResultStore::ColumnCount - 1)
    ->Unit(benchmark::kMillisecond);

// Sorted by R40 while filtered by an asset.
void BM_ResultsWindowFilteredSort100k(benchmark::State& state) {
    LargeDatabase& db = large();
    ResultsWindow w(db.store);
    w.show();
    w.assetFilter->setText(QStringLiteral("Asset 4321"));
    QApplication::processEvents();
    bool up = false;
    for (auto _ : state) {
        w.list->sortByColumn(ResultStore::ColR40, up ? Qt::AscendingOrder : Qt::DescendingOrder);
        up = !up;
        QApplication::processEvents();
        benchmark::DoNotOptimize(w.model->rowCount());
    }
}
BENCHMARK(BM_ResultsWindowFilteredSort100k)->Unit(benchmark::kMillisecond);

void BM_ResultPageToPdf(benchmark::State& state) {
    const TestResult r = sampleResult(600);
    const ResultReport report({{r, judge(r), std::nullopt}});
    for (auto _ : state) {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        QString error;
        writeReportPdf(report, &out, &error);
        benchmark::DoNotOptimize(out.size());
    }
}
BENCHMARK(BM_ResultPageToPdf)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return runBenchmarks(argc, argv);
}
