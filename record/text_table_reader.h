#pragma once

#include "record/reading_table.h"

#include <QChar>
#include <QString>
#include <QStringList>

// Reading the tab-separated text table: lines end at CR LF, a lone CR or a lone LF; the first
// line, the header, is skipped whatever it holds (but for a journal's, below); each other line
// is one row of at most six cells, given to the fields in order.

// A journal's header names a seventh title, and its rows carry a seventh cell: when each row was
// recorded (see instantText()). Read back, the rows know their day.
inline constexpr int kJournalCells = 7;
inline constexpr char kInstantTitle[] = "Recorded";

// Splits `Text` at every `Delimiter` into `Dest`: always at least one cell, empty cells kept.
void SplitText(const QString& Text, QChar Delimiter, QStringList& Dest);

enum class TextLoad {
    AllLines,
    WholeLinesOnly // a last line without its line end is left out: its writer was cut off
};
// Appends the file's rows to the table; at a line that is no row, stops with *error naming the
// line and what is wrong, the rows before it kept.
bool loadTextTable(const QString& fileName, ReadingTable& table, QString* error,
                   TextLoad how = TextLoad::AllLines);
