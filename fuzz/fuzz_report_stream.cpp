// The road of a reading: any bytes as a stream of input reports through reassembly,
// interpretation and the recording rules. The input's first byte picks the rules (repeat,
// sampling, limit), the second the sampling interval; then each report is a header byte (low
// six bits: data bytes that follow; bit 6: the one-second tick fires first) and its data.
// Checked: the frame text stays bounded, only well-formed frames are interpreted, each row is
// the reading offered, numbered on from 1, never beyond the limit, its texts within 20 bytes.

#include "frame_assembler.h"
#include "fuzz_table.h"
#include "reading_interpreter.h"
#include "recorder.h"

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, size_t size) {
    using fuzz::check;
    if (size < 2)
        return 0;
    UnitState s;
    ReplicaState replica;
    ReadingTable table;
    FrameAssembler assembler(s);
    ReadingInterpreter interp(s, replica);
    Recorder recorder(s, table);

    const quint8 rules = data[0];
    recorder.setRepeat(rules & 1);
    recorder.setSampling(rules & 2);
    const qint32 limits[4] = {1, 3, 10, 10000};
    recorder.setMaxRecords(limits[(rules >> 2) & 3]);
    recorder.RecordSITimeChange(QString::number(data[1] % 4));
    int clock = 0;
    recorder.setClock([&clock] { return clock; });

    interp.setDecimalSep(QStringLiteral("."));
    interp.setPauseDuration(0);
    int offered = 0;
    interp.setRecordHook([&](int kind) {
        const int rowsBefore = table.rowCount();
        recorder.INDataToTable(kind);
        if (kind == 1)
            ++offered;
        if (table.rowCount() == rowsBefore)
            return;
        check(kind == 1 && table.rowCount() == rowsBefore + 1, "a row not from a reading");
        const int r = rowsBefore;
        check(table.no(r) == r + 1, "rows not numbered on from 1");
        check(table.rowCount() <= s.MaxRecords, "more rows than the limit");
        check(table.value(r) == ReadingTable::cutToBytes(s.ValueText) &&
                  table.unit(r) == ReadingTable::cutToBytes(s.UnitText) &&
                  table.vRange(r) == ReadingTable::cutToBytes(s.VRangeText) &&
                  table.iRange(r) == ReadingTable::cutToBytes(s.IRangeText),
              "row differs from the reading");
        check(table.timeMs(r) == clock, "row time is not the clock's");
    });
    assembler.setFrameConsumer([&](const QString& frame) {
        check(frame.size() >= 44 && QStringView(frame).mid(40, 4) == u"0D0A",
              "a malformed frame was passed on");
        interp.ShowData740(frame);
    });

    size_t i = 2;
    while (i < size) {
        const quint8 head = data[i++];
        if (head & 0x40) {
            recorder.SampInterTimeTimer();
            check(s.SampleCountdown >= 0, "countdown below zero");
            clock = (clock + 1000) % 86'400'000;
        }
        const size_t n = std::min<size_t>(head & 0x3F, size - i);
        assembler.Read380(0, n ? data + i : nullptr, quint16(n));
        i += n;
        check(s.FrameHex.size() <= FrameAssembler::kMaxFrameHexChars, "frame text unbounded");
        check(s.IdleReportCount >= 0, "idle count below zero");
    }
    fuzz::checkTextWidths(table);
    check(table.rowCount() <= offered, "more rows than readings");
    return 0;
}
