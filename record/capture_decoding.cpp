#include "capture_decoding.h"

#include "capture_file.h"
#include "frame_assembler.h"
#include "reading_interpreter.h"
#include "recorder.h"
#include "replica_state.h"
#include "unit_state.h"

#include <cmath>

bool decodeCapture(const QString& path, const CaptureDecodeSettings& settings, ReadingTable& table,
                   QString* error) {
    CaptureReader reader;
    if (!reader.open(path, error))
        return false;

    UnitState s;
    s.MaxRecords = settings.maxRecords;
    FrameAssembler assembler(s);
    ReplicaState replica;
    ReadingInterpreter interpreter(s, replica);
    interpreter.setDecimalSep(settings.decimalSep);
    interpreter.setPauseDuration(0);
    Recorder recorder(s, table);
    recorder.setRepeat(settings.repeat);
    recorder.setSampling(settings.sampling);
    recorder.setIntervalText(settings.intervalText);

    constexpr qint64 kDayMs = 86'400'000;
    qint64 offsetMs = 0; // of the report being handled
    recorder.setClock([&] {
        const qint64 startMs = reader.start() ? reader.start()->time().msecsSinceStartOfDay() : 0;
        return int((startMs + offsetMs) % kDayMs);
    });
    interpreter.setRecordHook([&](int kind) { recorder.INDataToTable(kind); });
    assembler.setFrameConsumer([&](const QString& frame) { interpreter.ShowData740(frame); });

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
        assembler.Read380(report.reportId, reinterpret_cast<const quint8*>(report.data.constData()),
                          quint16(std::min<qsizetype>(report.data.size(), 0xFFFF)));
    }
    if (!why.isEmpty()) {
        if (error)
            *error = path + QStringLiteral(": ") + why;
        return false;
    }
    return true;
}
