#include "record/capture_decoding.h"

#include "decode/capture_file.h"

#include <cmath>

bool decodeCapture(const QString& path, const CaptureDecodeSettings& settings, ReadingTable& table,
                   QString* error) {
    CaptureReader reader;
    if (!reader.open(path, error))
        return false;

    ReadingChain chain(table);
    chain.apply(settings);
    chain.setPauseDuration(0);
    Recorder& recorder = chain.recorder();

    qint64 offsetMs = 0; // of the report being handled
    // Without a start line the capture's clock starts at midnight of a day not known.
    recorder.setClock([&]() -> SampleTime {
        if (!reader.start())
            return timeOfDayAfter(0, offsetMs);
        return {timeOfDayAfter(reader.start()->time().msecsSinceStartOfDay(), offsetMs),
                reader.start()->toMSecsSinceEpoch() + offsetMs};
    });

    qint64 ticks = 0;
    CaptureReport report;
    QString why;
    while (reader.next(report, &why)) {
        offsetMs = std::llround(report.seconds * 1000.0);
        // The ticks due by now come first, as the window's timer would have fired them.
        while ((ticks + 1) * 1000 <= offsetMs) {
            ++ticks;
            recorder.SampInterTimeTimer();
        }
        chain.Read380(report.reportId, reinterpret_cast<const quint8*>(report.data.constData()),
                      quint16(std::min<qsizetype>(report.data.size(), 0xFFFF)));
    }
    if (!why.isEmpty()) {
        if (error)
            *error = path + QStringLiteral(": ") + why;
        return false;
    }
    return true;
}
