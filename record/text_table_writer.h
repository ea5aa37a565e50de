#pragma once

#include "record/reading_table.h"
#include "record/time_texts.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Writing the tab-separated text table: a header line, then one line a row, each ended by CR LF,
// cells separated by one TAB, no quoting; cells other than No trimmed, "NULL" for an empty one.

// The titles that the grid gives the six fields; the header line of a text file.
QStringList tableFileHeader();
// That line as the file holds it, with its line end.
QByteArray textHeaderLine();

// One row as a line of tab-separated text, without its line end, appended to `out`.
void appendTextRow(QString& out, const ReadingTable& table, int row,
                   const TimeTextFormatter& times);

// Writes the whole table as a text file; *error says what went wrong.
bool saveTextTable(const ReadingTable& table, const QString& fileName, QString* error);
