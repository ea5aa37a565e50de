#pragma once

#include "record/reading_table.h"

#include <QString>

#include <memory>

// A tab-separated table file that grows a line at a time as rows are recorded: the header first
// when the file is new or empty, then one line a row, each written whole with a single write so
// that a program killed between two rows leaves only whole lines behind.
class TextTableAppender {
public:
    TextTableAppender();
    ~TextTableAppender();
    TextTableAppender(const TextTableAppender&) = delete;
    TextTableAppender& operator=(const TextTableAppender&) = delete;

    // What a line holds: the table's six cells, or those and the instant the row was recorded
    // (a journal: its header names the seventh cell, see text_table_reader.h).
    enum class Cells { Table, WithInstant };
    // Opens `fileName` for appending, creating it (and its folder entry on the disk). A file
    // whose last line has no line end gets one first, so that the rows start on lines of their
    // own.
    bool open(const QString& fileName, QString* error, Cells cells = Cells::Table);
    bool isOpen() const;
    // Takes the file's exclusive lock without waiting; false with *error when another program
    // holds it. The lock goes with the file's closing, or with the program however it ends.
    bool tryLock(QString* error);
    void close();

    // Appends row `row` of `table`; false with *error when the line could not be written whole.
    bool append(const ReadingTable& table, int row, QString* error);
    // Returns once everything written so far is on the disk.
    bool sync(QString* error);
    // The text of the line last appended, without its line end.
    const QString& lastLine() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};
