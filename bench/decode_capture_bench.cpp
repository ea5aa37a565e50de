#include "decode/capture_file.h"
#include "record/capture_decoding.h"
#include "sim/cable_stream.h"
#include "sim/demonstration.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// One hour of the cable's traffic: the demonstration meter at the cable's pace (a report every
// 8 ms, a frame a second at 2400 baud).
QString writeHourCapture(const QTemporaryDir& dir) {
    const QString path = dir.filePath(QStringLiteral("hour.cap"));
    CaptureWriter out;
    QString error;
    if (!out.open(path, QDateTime(QDate(2026, 12, 8), QTime(14, 3, 27, 123)), &error))
        return {};
    sim::CableStream cable(&sim::demonstration);
    for (double t = 0; t < 3600.0;) {
        const QByteArray report = cable.next(&t);
        out.write(t, quint8(report[0]), reinterpret_cast<const quint8*>(report.constData()) + 1,
                  quint16(report.size() - 1));
    }
    return path;
}

// Decoding a capture into a table with the default settings: reassembly, interpretation and
// the recording rules for every report.
void BM_DecodeOneHour(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = writeHourCapture(dir);
    if (path.isEmpty()) {
        state.SkipWithError("capture");
        return;
    }
    CaptureDecodeSettings settings;
    settings.maxRecords = 10'000'000;
    int rows = 0;
    for (auto _ : state) {
        ReadingTable table;
        QString error;
        if (!decodeCapture(path, settings, table, &error))
            state.SkipWithError("decode failed");
        rows = table.rowCount();
    }
    state.counters["rows"] = rows;
    state.counters["capture_MB"] = double(QFileInfo(path).size()) / 1e6;
    state.SetItemsProcessed(state.iterations() * 450'000); // reports
}
BENCHMARK(BM_DecodeOneHour)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
