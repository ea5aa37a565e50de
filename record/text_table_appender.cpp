#include "record/text_table_appender.h"

#include "record/code_page.h"
#include "record/system_file.h"
#include "record/text_table_reader.h"
#include "record/text_table_writer.h"
#include "record/time_texts.h"

struct TextTableAppender::Impl {
    SystemFile file;
    CodePageEncoder encoder;
    TimeTextFormatter times;
    QString line;
    QByteArray bytes;
    bool instants = false;
};

TextTableAppender::TextTableAppender() : d_(std::make_unique<Impl>()) {}

TextTableAppender::~TextTableAppender() {
    close();
}

bool TextTableAppender::open(const QString& fileName, QString* error, Cells cells) {
    close();
    d_->instants = cells == Cells::WithInstant;
    SystemFile& file = d_->file;
    qint64 size = 0;
    if (!file.open(fileName, SystemFile::Access::Append, error) || !file.size(&size, error)) {
        file.close();
        return false;
    }
    QByteArray start;
    if (size == 0) {
        start = textHeaderLine();
        if (d_->instants)
            start.insert(start.size() - 2, QByteArray("\t") + kInstantTitle);
    } else {
        char last = 0;
        if (file.readAt(size - 1, &last, 1) && last != '\n' && last != '\r')
            start = "\r\n";
    }
    if (!start.isEmpty() && !file.writeAll(start.constData(), start.size(), error)) {
        file.close();
        return false;
    }
    if (size == 0)
        syncFolderOf(fileName);
    return true;
}

bool TextTableAppender::isOpen() const {
    return d_->file.isOpen();
}

bool TextTableAppender::tryLock(QString* error) {
    return d_->file.tryLock(error);
}

void TextTableAppender::close() {
    d_->file.close();
}

bool TextTableAppender::append(const ReadingTable& table, int row, QString* error) {
    if (!d_->file.isOpen()) {
        *error = QStringLiteral("not open");
        return false;
    }
    d_->line.clear();
    appendTextRow(d_->line, table, row, d_->times);
    if (d_->instants) {
        d_->line += u'\t';
        if (const std::optional<qint64> at = table.recordedAt(row))
            d_->line += instantText(*at);
    }
    d_->bytes.clear();
    d_->encoder.encode(d_->line, d_->bytes);
    d_->bytes += "\r\n";
    return d_->file.writeAll(d_->bytes.constData(), d_->bytes.size(), error);
}

bool TextTableAppender::sync(QString* error) {
    return !d_->file.isOpen() || d_->file.syncData(error);
}

const QString& TextTableAppender::lastLine() const {
    return d_->line;
}
