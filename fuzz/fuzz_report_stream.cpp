// The road of a reading: any bytes as a stream of input reports through reassembly,
// interpretation and the recording rules. The input's first byte picks the rules (repeat,
// sampling, limit), the second the sampling interval; then each report is a header byte (low
// six bits: data bytes that follow; bit 6: the one-second tick fires first) and its data.
// Checked: the frame text stays bounded, only well-formed frames are interpreted, each row is
// the reading offered, numbered on from 1, never beyond the limit, its texts within 20 bytes.

#include "fuzz/fuzz_table.h"
#include "record/reading_chain.h"

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, size_t size) {
    using fuzz::check;
    if (size < 2)
        return 0;
    UnitState s;
    ReplicaState replica;
    ReadingTable table;
    ReadingChain chain(s, replica, table);
    ReadingInterpreter& interp = chain.interpreter();
    Recorder& recorder = chain.recorder();

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
    int offered = 0, listened = 0;
    chain.addRowListener([&](const ReadingTable&, int row) {
        ++listened;
        check(row == table.rowCount() - 1, "a listener told of a row not just recorded");
    });
    interp.setRecordHook([&](int kind) {
        const int rowsBefore = table.rowCount();
        chain.INDataToTable(kind);
        if (kind == 1)
            ++offered;
        check(listened == table.rowCount(), "a recorded row not told to the listeners");
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
    chain.assembler().setFrameConsumer([&](const QString& frame) {
        check(frame.size() >= 44 && QStringView(frame).mid(40, 4) == u"0D0A",
              "a malformed frame was passed on");
        chain.ShowData740(frame);
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
        chain.Read380(0, n ? data + i : nullptr, quint16(n));
        i += n;
        check(s.FrameHex.size() <= FrameAssembler::kMaxFrameHexChars, "frame text unbounded");
        check(s.IdleReportCount >= 0, "idle count below zero");
    }
    fuzz::checkTextWidths(table);
    check(table.rowCount() <= offered, "more rows than readings");
    return 0;
}
