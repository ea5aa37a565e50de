#pragma once

#include "record/table_texts.h"

#include <QByteArray>
#include <QSaveFile>
#include <QString>

// Writes a table file's bytes in large pieces to a temporary file that replaces the target only
// when committed, so that a failed save leaves the file that was there.
class TableFileWriter {
public:
    explicit TableFileWriter(const QString& fileName);
    bool open(QString* error);
    // Where the next bytes go; they reach the file once the buffer is large, or at the commit.
    QByteArray& buffer() { return buf_; }
    void maybeFlush() {
        if (buf_.size() >= kTableFileChunk)
            flush();
    }
    // Writes what is left and replaces the target; false with *error when any write failed.
    bool commit(QString* error);

private:
    void flush();
    QSaveFile file_;
    QByteArray buf_;
    bool ok_ = true;
};
