#include "record/table_files.h"

#include "record/code_page.h"
#include "record/table_texts.h"
#include "record/xml_packet.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QTime>

#include <array>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <unordered_map>

namespace {

constexpr qint64 kReadChunk = 1 << 20;
constexpr qsizetype kWriteChunk = 1 << 20; // bytes gathered before they are written

// Writes bytes in large pieces to a file that replaces its target only when committed.
class FileWriter {
public:
    explicit FileWriter(const QString& fileName) : file_(fileName) {
        buf_.reserve(kWriteChunk + 4096);
    }
    bool open(QString* error) {
        if (file_.open(QIODevice::WriteOnly))
            return true;
        *error = file_.errorString();
        return false;
    }
    QByteArray& buffer() { return buf_; }
    void maybeFlush() {
        if (buf_.size() >= kWriteChunk)
            flush();
    }
    bool commit(QString* error) {
        flush();
        if (ok_ && file_.commit())
            return true;
        *error = file_.errorString();
        file_.cancelWriting();
        return false;
    }

private:
    void flush() {
        if (ok_ && !buf_.isEmpty() && file_.write(buf_) != buf_.size())
            ok_ = false;
        buf_.resize(0);
    }
    QSaveFile file_;
    QByteArray buf_;
    bool ok_ = true;
};

bool isTrimmedChar(QChar c) {
    return c.unicode() <= 32;
}

// Cell text as a text file holds it: blanks and control characters cut off both ends, "NULL"
// for nothing.
void appendCell(QString& out, QStringView cell) {
    qsizetype b = 0, e = cell.size();
    while (b < e && isTrimmedChar(cell[b]))
        ++b;
    while (e > b && isTrimmedChar(cell[e - 1]))
        --e;
    if (b == e)
        out += u"NULL";
    else
        out += cell.mid(b, e - b);
}

// Splits a stream of decoded text into lines ended by CR LF, a lone CR or a lone LF, and each
// line into its cells at TAB, as SplitText does, reading the file a piece at a time.
class LineReader {
public:
    static constexpr int kCells = ReadingTable::kFieldCount;
    explicit LineReader(QFile& file) : file_(file) {}

    // The next line and its first cells, valid until the next call; `count` may exceed the
    // cells given.
    bool next(QStringView& line, std::array<QStringView, kCells>& cells, int& count) {
        for (;;) {
            const qsizetype n = buf_.size();
            const char16_t* d = reinterpret_cast<const char16_t*>(buf_.constData());
            qsizetype i = pos_, cellStart = pos_;
            count = 0;
            for (; i < n; ++i) {
                const char16_t c = d[i];
                if (c > u'\r')
                    continue;
                if (c == u'\r' || c == u'\n')
                    break;
                if (c == u'\t') {
                    if (count < kCells)
                        cells[size_t(count)] = QStringView(d + cellStart, i - cellStart);
                    ++count;
                    cellStart = i + 1;
                }
            }
            const bool found = i < n && !(d[i] == u'\r' && i + 1 == n && !eof_);
            if (found || (eof_ && pos_ < n)) {
                unterminated_ = !found;
                if (count < kCells)
                    cells[size_t(count)] = QStringView(d + cellStart, i - cellStart);
                ++count;
                line = QStringView(d + pos_, i - pos_);
                pos_ = i < n ? i + ((d[i] == u'\r' && i + 1 < n && d[i + 1] == u'\n') ? 2 : 1) : n;
                return true;
            }
            if (eof_)
                return false;
            fill();
        }
    }
    bool failed() const { return failed_; }
    // The line last returned is the file's last and has no line end.
    bool unterminated() const { return unterminated_; }

private:
    void fill() {
        buf_.remove(0, pos_);
        pos_ = 0;
        const QByteArray bytes = file_.read(kReadChunk);
        if (bytes.isEmpty()) {
            failed_ = file_.error() != QFileDevice::NoError;
            eof_ = true;
            dec_.finish(buf_); // whatever an unfinished pair leaves
            return;
        }
        dec_.decode(bytes, buf_);
    }

    QFile& file_;
    CodePageDecoder dec_;
    QString buf_;
    qsizetype pos_ = 0;
    bool eof_ = false;
    bool failed_ = false;
    bool unterminated_ = false;
};

// A decimal integer as the integer field takes it: blanks around it, an optional sign.
bool parseInt32(QStringView text, qint32* out) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (ok)
        *out = v;
    return ok;
}

} // namespace

QStringList tableFileHeader() {
    return {QStringLiteral("No"),   QStringLiteral("Time"),     QStringLiteral("Value"),
            QStringLiteral("Unit"), QStringLiteral("Function"), QStringLiteral("Remark")};
}

bool isXmlTableFile(const QString& fileName) {
    const qsizetype slash = std::max(fileName.lastIndexOf(u'/'), fileName.lastIndexOf(u'\\'));
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot > slash && QStringView(fileName).mid(dot).compare(u".xml", Qt::CaseInsensitive) == 0;
}

QString longTimeFormat() {
    // Qt's long format ends in the time zone ("t"); a time of day without a date has none.
    const QString f = QLocale().timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (QChar c : f) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        out += c;
    }
    return out.simplified();
}

TimeTextFormatter::TimeTextFormatter()
    : format_(longTimeFormat()), plain_(format_ == u"HH:mm:ss") {}

void TimeTextFormatter::append(QString& out, int ms) const {
    if (!plain_) {
        out += QLocale().toString(QTime::fromMSecsSinceStartOfDay(ms), format_);
        return;
    }
    const int s = ms / 1000;
    const int parts[3] = {s / 3600, s / 60 % 60, s % 60};
    for (int i = 0; i < 3; ++i) {
        if (i)
            out += u':';
        out += QChar(u'0' + parts[i] / 10);
        out += QChar(u'0' + parts[i] % 10);
    }
}

QString TimeTextFormatter::text(int msOfDay) const {
    QString out;
    append(out, msOfDay);
    return out;
}

QString timeText(int msOfDay) {
    return TimeTextFormatter().text(msOfDay);
}

namespace {

// "H:mm:ss" or "HH:mm:ss".
bool parsePlainTime(QStringView t, int* msOfDay) {
    if (t.size() != 8 && t.size() != 7)
        return false;
    const qsizetype h = t.size() - 6;
    auto digit = [&](qsizetype i) {
        return t[i] >= u'0' && t[i] <= u'9' ? t[i].unicode() - u'0' : -100;
    };
    if (t[h] != u':' || t[h + 3] != u':')
        return false;
    const int hours = h == 2 ? digit(0) * 10 + digit(1) : digit(0);
    const int minutes = digit(h + 1) * 10 + digit(h + 2);
    const int seconds = digit(h + 4) * 10 + digit(h + 5);
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59)
        return false;
    *msOfDay = ((hours * 60 + minutes) * 60 + seconds) * 1000;
    return true;
}

// Reads times of day as the long or short time format writes them; the common 24-hour formats
// without the locale's parser, which is slow for a million rows.
class TimeParser {
public:
    TimeParser()
        : formats_{longTimeFormat(), locale_.timeFormat(QLocale::ShortFormat),
                   QStringLiteral("H:mm:ss"), QStringLiteral("H:mm")},
          plain_(formats_[0] == u"HH:mm:ss" || formats_[0] == u"H:mm:ss") {}
    bool parse(QStringView text, int* msOfDay) const {
        const QStringView t = text.trimmed();
        if (plain_ && parsePlainTime(t, msOfDay))
            return true;
        for (const QString& f : formats_) {
            const QTime time = locale_.toTime(t.toString(), f);
            if (time.isValid()) {
                *msOfDay = time.msecsSinceStartOfDay();
                return true;
            }
        }
        return false;
    }

private:
    QLocale locale_;
    QString formats_[4];
    bool plain_;
};

} // namespace

bool parseTimeText(const QString& text, int* msOfDay) {
    return TimeParser().parse(text, msOfDay);
}

void SplitText(const QString& Text, QChar Delimiter, QStringList& Dest) {
    QStringList cells;
    qsizetype from = 0;
    for (qsizetype at; (at = Text.indexOf(Delimiter, from)) >= 0; from = at + 1)
        cells.append(Text.mid(from, at - from));
    cells.append(Text.mid(from));
    Dest = std::move(cells);
}

void appendTextRow(QString& out, const ReadingTable& table, int r, const TimeTextFormatter& times) {
    if (!table.isNoNull(r))
        out += QString::number(table.no(r));
    out += u'\t';
    if (table.isTimeNull(r)) {
        out += u"NULL";
    } else {
        // Formatted into its own piece so that the trimming sees the time text alone.
        const qsizetype at = out.size();
        times.append(out, table.timeMs(r));
        const QString t = out.mid(at);
        out.truncate(at);
        appendCell(out, t);
    }
    for (auto f :
         {ReadingTable::Value, ReadingTable::Unit, ReadingTable::V_Range, ReadingTable::I_Range}) {
        out += u'\t';
        appendCell(out, table.text(r, f));
    }
}

bool saveTextTable(const ReadingTable& table, const QString& fileName, QString* error) {
    FileWriter out(fileName);
    if (!out.open(error))
        return false;
    QByteArray& buf = out.buffer();
    TextBytes cells(table, [](const QString& text, QString& cell) { appendCell(cell, text); });
    buf += tableFileHeader().join(u'\t').toLatin1();
    buf += "\r\n";
    const TimeTextFormatter times;
    const bool plainTimes = times.isPlain();
    QString time;
    QByteArray timeBytes;
    const int n = table.rowCount();
    for (int r = 0; r < n; ++r) {
        std::array<const QByteArray*, 4> texts;
        qsizetype room = 48; // No, Time, separators and line end
        for (int f = 0; f < 4; ++f) {
            texts[size_t(f)] =
                &cells.of(table.textId(r, ReadingTable::Field(ReadingTable::Value + f)));
            room += texts[size_t(f)]->size();
        }
        const bool timeNull = table.isTimeNull(r);
        if (!timeNull && !plainTimes) {
            time.resize(0);
            times.append(time, table.timeMs(r));
            timeBytes.resize(0);
            cells.append(time, timeBytes);
            room += timeBytes.size();
        }
        {
            ByteAppender to(buf, room);
            if (!table.isNoNull(r))
                to.decimal(table.no(r));
            to.put('\t');
            if (timeNull) {
                to.put("NULL");
            } else if (plainTimes) {
                const int s = table.timeMs(r) / 1000;
                to.two(s / 3600);
                to.put(':');
                to.two(s / 60 % 60);
                to.put(':');
                to.two(s % 60);
            } else {
                to.put(timeBytes);
            }
            for (const QByteArray* text : texts) {
                to.put('\t');
                to.put(*text);
            }
            to.put("\r\n");
        }
        out.maybeFlush();
    }
    return out.commit(error);
}

bool loadTextTable(const QString& fileName, ReadingTable& table, QString* error, TextLoad how) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    LineReader lines(file);
    QStringView line;
    std::array<QStringView, LineReader::kCells> cells;
    int count = 0;
    if (!lines.next(line, cells, count)) {
        *error = QStringLiteral("no header line");
        return false;
    }
    const TimeParser times;
    TextIds ids(table);
    qint64 lineNo = 1;
    while (lines.next(line, cells, count)) {
        if (how == TextLoad::WholeLinesOnly && lines.unterminated())
            break;
        ++lineNo;
        const auto fail = [&](const char* why) {
            *error = QStringLiteral("line %1: %2").arg(lineNo).arg(QLatin1String(why));
            return false;
        };
        if (line.isEmpty())
            return fail("empty line");
        if (count > ReadingTable::kFieldCount)
            return fail("more than six cells");
        qint32 no = 0;
        const bool noNull = cells[0].isEmpty();
        if (!noNull && !parseInt32(cells[0], &no))
            return fail("No is not an integer");
        int ms = 0;
        const bool timeNull = count < 2 || cells[1].isEmpty();
        if (!timeNull && !times.parse(cells[1], &ms))
            return fail("Time is not a time of day");
        std::array<quint32, 4> texts{};
        for (int i = 2; i < count; ++i)
            texts[size_t(i - 2)] = ids.id(cells[size_t(i)], i - 2);
        table.appendInterned(no, noNull, ms, timeNull, texts);
    }
    if (lines.failed()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

bool saveXmlTable(const ReadingTable& table, const QString& fileName, QString* error) {
    FileWriter out(fileName);
    if (!out.open(error))
        return false;
    XmlPacketWriter packet(table);
    packet.begin(out.buffer());
    const int n = table.rowCount();
    for (int r = 0; r < n; ++r) {
        packet.row(r, out.buffer());
        out.maybeFlush();
    }
    packet.end(out.buffer());
    return out.commit(error);
}

bool loadXmlTable(const QString& fileName, ReadingTable& table, QString* error) {
    table.clear();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    // Rows may move while the packet is read: views see the table once it is whole.
    table.suspendUpdates();
    XmlPacketReader reader(file, table);
    const bool ok = reader.read(error);
    if (!ok)
        table.clear(); // the packet's rows before the fault are no table: empty and usable
    table.resumeUpdates();
    return ok;
}

bool SaveTableFile(const ReadingTable& table, const QString& fileName,
                   const TableFileMessageSink& tell) {
    QString error;
    if (isXmlTableFile(fileName)) {
        if (!saveXmlTable(table, fileName, &error)) {
            tell({TableFileMessage::Information, error});
            return false;
        }
    } else if (!saveTextTable(table, fileName, &error)) {
        tell({TableFileMessage::Information,
              QStringLiteral("Could not save table to specified file: ") + fileName});
        return false;
    }
    tell({TableFileMessage::Information,
          QStringLiteral("Save table to specified file: ") + fileName + QStringLiteral(" Scuss!")});
    return true;
}

bool LoadTableFile(const QString& fileName, ReadingTable& table, bool emptyFirst,
                   const TableFileMessageSink& tell) {
    if (emptyFirst)
        table.clear();
    QString error;
    const bool ok = isXmlTableFile(fileName) ? loadXmlTable(fileName, table, &error)
                                             : loadTextTable(fileName, table, &error);
    if (!ok)
        tell({TableFileMessage::Error, QStringLiteral("Failed to Load File!")});
    return ok;
}

namespace {

QString errnoText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Writes all of `bytes`, going on after interruptions and short writes.
bool writeAll(int fd, const QByteArray& bytes) {
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = EIO;
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

} // namespace

bool syncFolderOf(const QString& path) {
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

struct TextTableAppender::Impl {
    int fd = -1;
    CodePageEncoder encoder;
    TimeTextFormatter times;
    QString line;
    QByteArray bytes;
};

TextTableAppender::TextTableAppender() : d_(std::make_unique<Impl>()) {}

TextTableAppender::~TextTableAppender() {
    close();
}

bool TextTableAppender::open(const QString& fileName, QString* error) {
    close();
    const int fd = ::open(QFile::encodeName(fileName).constData(),
                          O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        *error = errnoText();
        return false;
    }
    struct stat st {};
    QByteArray start;
    if (::fstat(fd, &st) != 0) {
        *error = errnoText();
        ::close(fd);
        return false;
    }
    if (st.st_size == 0) {
        d_->encoder.encode(QString(tableFileHeader().join(u'\t') + u"\r\n"), start);
    } else {
        char last = 0;
        if (::pread(fd, &last, 1, st.st_size - 1) == 1 && last != '\n' && last != '\r')
            start = "\r\n";
    }
    if (!start.isEmpty() && !writeAll(fd, start)) {
        *error = errnoText();
        ::close(fd);
        return false;
    }
    if (st.st_size == 0)
        syncFolderOf(fileName);
    d_->fd = fd;
    return true;
}

bool TextTableAppender::isOpen() const {
    return d_->fd >= 0;
}

int TextTableAppender::handle() const {
    return d_->fd;
}

void TextTableAppender::close() {
    if (d_->fd >= 0)
        ::close(d_->fd);
    d_->fd = -1;
}

bool TextTableAppender::append(const ReadingTable& table, int row, QString* error) {
    if (d_->fd < 0) {
        *error = QStringLiteral("not open");
        return false;
    }
    d_->line.clear();
    appendTextRow(d_->line, table, row, d_->times);
    d_->bytes.clear();
    d_->encoder.encode(d_->line, d_->bytes);
    d_->bytes += "\r\n";
    if (writeAll(d_->fd, d_->bytes))
        return true;
    *error = errnoText();
    return false;
}

bool TextTableAppender::sync(QString* error) {
    if (d_->fd >= 0 && ::fdatasync(d_->fd) != 0) {
        *error = errnoText();
        return false;
    }
    return true;
}

const QString& TextTableAppender::lastLine() const {
    return d_->line;
}
