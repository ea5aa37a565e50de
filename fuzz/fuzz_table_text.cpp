// Tab-separated table files: any bytes as a file to load into a table that already holds rows.
// A load adds the rows of the lines before any fault and keeps the earlier rows; texts fit
// their fields; saving the table and loading that file gives the table back as the format
// keeps it (cells trimmed, "NULL" for nothing, whole seconds), failing only at a row without
// a time, whose "NULL" time cell no load takes.

#include "fuzz/fuzz_table.h"
#include "record/table_files.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace {

QString throughFile(const QString& text) {
    qsizetype b = 0, e = text.size();
    while (b < e && text[b].unicode() <= 32)
        ++b;
    while (e > b && text[e - 1].unicode() <= 32)
        --e;
    const QString cell = b == e ? QStringLiteral("NULL") : text.mid(b, e - b);
    QStringEncoder enc(kCodePageName);
    QStringDecoder dec(kCodePageName);
    const QByteArray bytes = enc.encode(cell);
    return ReadingTable::cutToBytes(dec.decode(bytes));
}

ReadingRow expectedAfterRoundTrip(ReadingRow r) {
    r.TimeMs = r.TimeMs / 1000 * 1000;
    for (QString* t : {&r.Value, &r.Unit, &r.V_Range, &r.I_Range})
        *t = throughFile(*t);
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, size_t size) {
    using namespace fuzz;
    const QString in = writeFile("in.txt", data, size);
    ReadingTable table;
    const std::vector<ReadingRow> before = earlierRows();
    appendRows(table, before);

    QString error;
    const bool ok = loadTextTable(in, table, &error);
    checkKept(table, before);
    checkTextWidths(table);
    if (!ok) {
        check(!error.isEmpty(), "a failed load gives no reason");
        // A fault on line N leaves the rows of lines 2..N-1.
        const auto m = QRegularExpression(QStringLiteral("^line (\\d+):")).match(error);
        if (m.hasMatch())
            check(table.rowCount() - int(before.size()) == m.captured(1).toInt() - 2,
                  "rows of the lines before the fault not all kept");
    }

    const QString out = writeFile("out.txt", QByteArray());
    check(saveTextTable(table, out, &error), "save failed");
    ReadingTable again;
    const bool reloaded = loadTextTable(out, again, &error);
    int firstNullTime = -1;
    for (int r = 0; r < table.rowCount() && firstNullTime < 0; ++r)
        if (table.isTimeNull(r))
            firstNullTime = r;
    if (firstNullTime < 0) {
        check(reloaded, "a saved table does not load");
        check(again.rowCount() == table.rowCount(), "round trip changes the row count");
    } else {
        check(!reloaded, "a NULL time cell was taken");
        check(again.rowCount() == firstNullTime, "rows before the NULL time not kept");
    }
    for (int r = 0; r < again.rowCount(); ++r)
        check(sameRow(again.row(r), expectedAfterRoundTrip(table.row(r))),
              "round trip changes a row");
    return 0;
}
