// The data report and the trend chart over long tables: how long the preview takes to open on
// ten thousand rows (271 pages), what the exports cost, and what a recorded row costs the chart.
#include "bench/sample_rows.h"
#include "chart/trend_chart.h"
#include "record/reading_table.h"
#include "record/test_model.h"
#include "reports/data_report.h"
#include "reports/report_export.h"
#include "reports/report_preview.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QLineEdit>

#include <benchmark/benchmark.h>

namespace {

void fill(ReadingTable& t, int n) {
    for (int i = 0; i < n; ++i) {
        t.append(readingRow(i + 1, (8 * 3600 + i % 50000) * 1000,
                            QString::number(i % 2000 / 100.0, 'f', 2), QStringLiteral("M\u03A9"),
                            QStringLiteral("IR:1000V 40G\u03A9"), QStringLiteral("Timed")));
    }
}

const ReadingTable& table10k() {
    static ReadingTable* t = [] {
        auto* made = new ReadingTable;
        fill(*made, 10000);
        return made;
    }();
    return *t;
}

// From the press of "Print Data" to the first page on screen.
void BM_PreviewOpen10k(benchmark::State& state) {
    const ReadingTable& t = table10k();
    for (auto _ : state) {
        DataReport report(&t);
        report.setAllpageCaption(QString::number(DataReportPageTotal(t.rowCount())));
        ReportPreview preview(report);
        preview.show();
        benchmark::DoNotOptimize(preview.pageView()->pagePicture().constBits());
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_PreviewOpen10k)->Unit(benchmark::kMillisecond);

// Paging through the preview: one page drawn a step.
void BM_PreviewNextPage(benchmark::State& state) {
    const ReadingTable& t = table10k();
    DataReport report(&t);
    ReportPreview preview(report);
    preview.show();
    int page = 1;
    for (auto _ : state) {
        page = page % report.pageCount() + 1;
        preview.showPage(page);
        benchmark::DoNotOptimize(preview.pageView()->pagePicture().constBits());
    }
}
BENCHMARK(BM_PreviewNextPage)->Unit(benchmark::kMillisecond);

void BM_ExportPdf10k(benchmark::State& state) {
    const ReadingTable& t = table10k();
    DataReport report(&t);
    for (auto _ : state) {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        writeReportPdf(report, &out, nullptr);
        state.counters["bytes"] = double(out.size());
    }
}
BENCHMARK(BM_ExportPdf10k)->Unit(benchmark::kMillisecond);

void BM_ExportHtml10k(benchmark::State& state) {
    DataReport report(&table10k());
    for (auto _ : state)
        benchmark::DoNotOptimize(reportHtml(report).size());
}
BENCHMARK(BM_ExportHtml10k)->Unit(benchmark::kMillisecond);

void BM_ExportCsv10k(benchmark::State& state) {
    DataReport report(&table10k());
    for (auto _ : state)
        benchmark::DoNotOptimize(reportCsv(report).size());
}
BENCHMARK(BM_ExportCsv10k)->Unit(benchmark::kMillisecond);

// The chart at its size in the window, in the given view, following a table and its tests.
struct ChartOn {
    ChartOn(ReadingTable& t, TrendChart::View view,
            TrendChart::XAxis x = TrendChart::XAxis::ElapsedTime)
        : tests(t) {
        chart.resize(361, 209);
        chart.setTests(&tests);
        chart.startUp();
        chart.setView(view);
        chart.setXAxis(x);
    }
    TestModel tests;
    TrendChart chart;
};

// A recorded row as the chart sees it, following the last page of 100 points: a day of
// insulation tests, so that the physical view also keeps the figures of the test on view.
void BM_ChartAppendRow(benchmark::State& state, TrendChart::View view, TrendChart::XAxis x) {
    ReadingTable t;
    ChartOn on(t, view, x);
    for (auto _ : state)
        t.append(insulationTestRow(t.rowCount()));
    state.counters["pages"] = double(on.chart.paging().pageCount());
}
// Physical: the test in progress whole in elapsed time (the default), and the clock paged.
BENCHMARK_CAPTURE(BM_ChartAppendRow, physical, TrendChart::View::Physical,
                  TrendChart::XAxis::ElapsedTime)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ChartAppendRow, clock, TrendChart::View::Physical, TrendChart::XAxis::Clock)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ChartAppendRow, counts, TrendChart::View::Counts,
                  TrendChart::XAxis::ElapsedTime)
    ->Unit(benchmark::kMicrosecond);

// A million rows loaded into a table the chart follows (the chart takes them in afresh), then
// paging off and on again: the whole table on one page, thinned for drawing, and back.
void BM_ChartAllPointsOf1M(benchmark::State& state, TrendChart::View view) {
    ReadingTable t;
    ChartOn on(t, view, TrendChart::XAxis::Clock);
    t.suspendUpdates();
    for (int i = 0; i < 1'000'000; ++i)
        t.append(insulationTestRow(i));
    QElapsedTimer load;
    load.start();
    t.resumeUpdates();
    state.counters["follow_load_ms"] = double(load.nsecsElapsed()) / 1e6;
    for (auto _ : state) {
        on.chart.Maxrecord->setText(QStringLiteral("0"));
        on.chart.Maxrecord->setText(QStringLiteral("100"));
    }
}
BENCHMARK_CAPTURE(BM_ChartAllPointsOf1M, physical, TrendChart::View::Physical)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ChartAllPointsOf1M, counts, TrendChart::View::Counts)
    ->Unit(benchmark::kMillisecond);

} // namespace
