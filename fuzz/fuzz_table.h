#pragma once

// Table invariants shared by the fuzz targets that load and save table files.

#include "fuzz/fuzz_common.h"
#include "record/code_page.h"
#include "record/reading_table.h"

#include <QStringEncoder>

#include <vector>

namespace fuzz {

inline qsizetype gbkBytes(const QString& text) {
    QStringEncoder enc(kCodePageName);
    const QByteArray bytes = enc.encode(text);
    return bytes.size();
}

// Every text of the table fits its 20-byte field of the code page.
inline void checkTextWidths(const ReadingTable& t) {
    for (int r = 0; r < t.rowCount(); ++r)
        for (auto f : {ReadingTable::Value, ReadingTable::Unit, ReadingTable::V_Range,
                       ReadingTable::I_Range})
            check(gbkBytes(t.text(r, f)) <= ReadingTable::kTextBytes, "text longer than 20 bytes");
}

inline bool sameRow(const ReadingRow& a, const ReadingRow& b) {
    return a.NoNull == b.NoNull && (a.NoNull || a.No == b.No) && a.TimeNull == b.TimeNull &&
           (a.TimeNull || a.TimeMs == b.TimeMs) && a.Value == b.Value && a.Unit == b.Unit &&
           a.V_Range == b.V_Range && a.I_Range == b.I_Range;
}

// The rows a table held before a load that adds to it are still its first rows.
inline void checkKept(const ReadingTable& t, const std::vector<ReadingRow>& before) {
    check(t.rowCount() >= int(before.size()), "earlier rows lost");
    for (size_t i = 0; i < before.size(); ++i)
        check(sameRow(t.row(int(i)), before[i]), "earlier row changed");
}

// Two rows that every load starts with (whole seconds: the text format keeps no milliseconds).
inline std::vector<ReadingRow> earlierRows() {
    ReadingRow a;
    a.No = 1;
    a.NoNull = false;
    a.TimeMs = 3'600'000;
    a.TimeNull = false;
    a.Value = QStringLiteral("12.5");
    a.Unit = QStringLiteral("MΩ");
    a.V_Range = QStringLiteral("IR:1000V 40GΩ");
    a.I_Range = QStringLiteral("Timed");
    ReadingRow b = a;
    b.No = 2;
    b.TimeMs = 3'601'000;
    b.Value = QStringLiteral("13.0");
    return {a, b};
}

inline void appendRows(ReadingTable& t, const std::vector<ReadingRow>& rows) {
    for (const ReadingRow& r : rows)
        t.append(r);
}

} // namespace fuzz
