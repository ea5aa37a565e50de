#pragma once

#include <QString>

// A cell of comma-separated text: quoted, with its quotes doubled, when it holds a comma, a
// quote or a line break.
inline QString csvCell(const QString& cell) {
    if (!cell.contains(u',') && !cell.contains(u'"') && !cell.contains(u'\n') &&
        !cell.contains(u'\r'))
        return cell;
    QString quoted = cell;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

// A cell of text that a person typed (an asset, a name, a note): as csvCell, and a leading "=",
// "+", "-", "@", TAB or CR gets an apostrophe before it, so that a spreadsheet opening the file
// shows the text instead of running it as a formula.
inline QString csvTextCell(const QString& cell) {
    static constexpr char16_t kFormulaStarts[] = u"=+-@\t\r";
    if (!cell.isEmpty() && QStringView(kFormulaStarts).contains(cell.front()))
        return csvCell(u'\'' + cell);
    return csvCell(cell);
}
