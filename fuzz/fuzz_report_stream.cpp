// The road of a reading: any bytes as a stream of input reports through reassembly,
// interpretation and the recording rules. The input's first byte picks the rules (repeat,
// sampling, limit), the second the sampling interval; then each report is a header byte (low
// six bits: data bytes that follow; bit 6: the one-second tick fires first) and its data.
// Checked: only well-formed frames are passed on and interpreted, each row is
// the reading offered, numbered on from 1, never beyond the limit, its texts within 20 bytes.

#include "fuzz/fuzz_table.h"
#include "record/reading_chain.h"

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, size_t size) {
    using fuzz::check;
    if (size < 2)
        return 0;
    ReadingTable table;
    ReadingChain chain(table);
    Recorder& recorder = chain.recorder();
    // The same reports through a reassembly of its own, to see what it passes on.
    FrameAssembler frames;
    frames.setFrameConsumer([](const MeterFrame& frame) {
        check(isWellFormed(frame), "a malformed frame was passed on");
    });

    const quint8 rules = data[0];
    recorder.setRepeat(rules & 1);
    recorder.setSampling(rules & 2);
    const qint32 limits[4] = {1, 3, 10, 10000};
    recorder.setMaxRecords(limits[(rules >> 2) & 3]);
    recorder.RecordSITimeChange(QString::number(data[1] % 4));
    int clock = 0;
    recorder.setClock([&clock] { return clock; });

    chain.setDecimalSep(QStringLiteral("."));
    chain.setPauseDuration(0);
    chain.setFrameListener([](const FrameReading& frame) {
        check(frame.decoded, "a malformed frame was interpreted");
    });
    int offered = 0, listened = 0;
    Reading last;
    int rowsBefore = 0;
    chain.setReadingListener([&](const Reading& reading) {
        ++offered;
        last = reading;
        rowsBefore = table.rowCount();
        check(!reading.displayTest, "the display test offered as a reading");
    });
    chain.addRowListener([&](const ReadingTable&, int row) {
        ++listened;
        check(row == table.rowCount() - 1, "a listener told of a row not just recorded");
        check(row == rowsBefore, "a row not from the reading offered");
        const int r = row;
        check(table.no(r) == r + 1, "rows not numbered on from 1");
        check(table.rowCount() <= recorder.MaxRecords, "more rows than the limit");
        check(table.value(r) == ReadingTable::cutToBytes(last.text) &&
                  table.unit(r) == ReadingTable::cutToBytes(unitText(last.unit)) &&
                  table.vRange(r) == ReadingTable::cutToBytes(last.function) &&
                  table.iRange(r) == ReadingTable::cutToBytes(last.mode),
              "row differs from the reading");
        check(table.timeMs(r) == clock, "row time is not the clock's");
    });

    size_t i = 2;
    while (i < size) {
        const quint8 head = data[i++];
        if (head & 0x40) {
            recorder.SampInterTimeTimer();
            check(recorder.SampleCountdown >= 0, "countdown below zero");
            clock = (clock + 1000) % 86'400'000;
        }
        const size_t n = std::min<size_t>(head & 0x3F, size - i);
        chain.Read380(0, n ? data + i : nullptr, quint16(n));
        frames.Read380(0, n ? data + i : nullptr, quint16(n));
        i += n;
        check(frames.frameBytes().size() <= kMeterFrameBytes, "frame bytes beyond a frame");
        check(chain.IdleReportCount() >= 0, "idle count below zero");
    }
    check(listened == table.rowCount(), "a recorded row not told to the listeners");
    fuzz::checkTextWidths(table);
    check(table.rowCount() <= offered, "more rows than readings");
    return 0;
}
