// XML data packets: any bytes as a file to load. A load replaces the table's rows, or fails and
// leaves them as they were; texts fit their fields; the loaded table is saved as one line in the
// usual form of such packets, and loading that again gives exactly the same table.

#include "fuzz/fuzz_table.h"
#include "record/table_files.h"

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, size_t size) {
    using namespace fuzz;
    const QString in = writeFile("in.xml", data, size);
    ReadingTable table;
    const std::vector<ReadingRow> before = earlierRows();
    appendRows(table, before);

    QString error;
    if (!loadXmlTable(in, table, &error)) {
        check(!error.isEmpty(), "a failed load gives no reason");
        check(table.rowCount() == int(before.size()), "a failed load changes the row count");
        checkKept(table, before);
        return 0;
    }
    checkTextWidths(table);

    const QString out = writeFile("out.xml", QByteArray());
    check(saveXmlTable(table, out, &error), "save failed");
    const QByteArray saved = readFile(out);
    check(saved.startsWith("<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET"),
          "a saved packet does not start as usual");
    check(saved.endsWith("</ROWDATA></DATAPACKET>"), "a saved packet does not end as usual");
    check(!saved.contains('\r') && !saved.contains('\n'), "a saved packet has a line end");
    ReadingTable again;
    check(loadXmlTable(out, again, &error), "a saved packet does not load");
    check(again.rowCount() == table.rowCount(), "round trip changes the row count");
    for (int r = 0; r < table.rowCount(); ++r)
        check(sameRow(again.row(r), table.row(r)), "round trip changes a row");
    return 0;
}
