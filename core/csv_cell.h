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
