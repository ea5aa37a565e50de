// The data report and the trend chart over long tables: how long the preview takes to open on
// ten thousand rows (271 pages), what the exports cost, and what a recorded row costs the chart.
#include "data_report.h"
#include "reading_table.h"
#include "report_export.h"
#include "report_preview.h"
#include "trend_chart.h"

#include <QApplication>
#include <QBuffer>
#include <QLineEdit>

#include <benchmark/benchmark.h>

namespace {

void fill(ReadingTable& t, int n) {
    for (int i = 0; i < n; ++i) {
        ReadingRow r;
        r.No = i + 1;
        r.NoNull = false;
        r.TimeMs = (8 * 3600 + i % 50000) * 1000;
        r.TimeNull = false;
        r.Value = QString::number(i % 2000 / 100.0, 'f', 2);
        r.Unit = QStringLiteral("M\u03A9");
        r.V_Range = QStringLiteral("IR:1000V 40G\u03A9");
        r.I_Range = QStringLiteral("Timed");
        t.append(r);
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

// A recorded row as the chart sees it, following the last page of 100 points.
void BM_ChartAppendRow(benchmark::State& state) {
    UnitState s;
    ReadingTable t;
    TrendChart chart(s);
    chart.resize(361, 209);
    chart.setTable(&t);
    chart.startUp();
    ReadingRow r;
    r.NoNull = false;
    r.Value = QStringLiteral("1.23");
    for (auto _ : state) {
        r.No = t.rowCount() + 1;
        t.append(r);
    }
    state.counters["pages"] = double(chart.paging().pageCount());
}
BENCHMARK(BM_ChartAppendRow)->Unit(benchmark::kMicrosecond);

// Paging off on a million rows: the whole table on one page, thinned for drawing.
void BM_ChartAllPointsOf1M(benchmark::State& state) {
    UnitState s;
    ReadingTable t;
    fill(t, 1000000);
    TrendChart chart(s);
    chart.resize(361, 209);
    chart.setTable(&t);
    chart.startUp();
    for (auto _ : state) {
        chart.Maxrecord->setText(QStringLiteral("0"));
        chart.Maxrecord->setText(QStringLiteral("100"));
    }
}
BENCHMARK(BM_ChartAllPointsOf1M)->Unit(benchmark::kMillisecond);

} // namespace
