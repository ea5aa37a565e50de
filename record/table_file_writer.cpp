#include "record/table_file_writer.h"

TableFileWriter::TableFileWriter(const QString& fileName) : file_(fileName) {
    buf_.reserve(kTableFileChunk + 4096);
}

bool TableFileWriter::open(QString* error) {
    if (file_.open(QIODevice::WriteOnly))
        return true;
    *error = file_.errorString();
    return false;
}

bool TableFileWriter::commit(QString* error) {
    flush();
    if (ok_ && file_.commit())
        return true;
    *error = file_.errorString();
    file_.cancelWriting();
    return false;
}

void TableFileWriter::flush() {
    if (ok_ && !buf_.isEmpty() && file_.write(buf_) != buf_.size())
        ok_ = false;
    buf_.resize(0);
}
