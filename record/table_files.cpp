#include "record/table_files.h"

#include "record/code_page.h"
#include "record/system_file.h"
#include "record/table_texts.h"
#include "record/xml_packet.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QTime>

#include <array>
#include <unordered_map>

namespace {

// Writes bytes in large pieces to a file that replaces its target only when committed.
class FileWriter {
public:
    explicit FileWriter(const QString& fileName) : file_(fileName) {
        buf_.reserve(kTableFileChunk + 4096);
    }
    bool open(QString* error) {
        if (file_.open(QIODevice::WriteOnly))
            return true;
        *error = file_.errorString();
        return false;
    }
    QByteArray& buffer() { return buf_; }
    void maybeFlush() {
        if (buf_.size() >= kTableFileChunk)
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
// (Not QTextStream: in Qt 6 it decodes Unicode, Latin-1 and the system's encoding, not GBK.)
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
        const QByteArray bytes = file_.read(kTableFileChunk);
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

namespace {

// The first line of a text file, with its line end.
QByteArray textHeaderLine() {
    return tableFileHeader().join(u'\t').toLatin1() + "\r\n";
}

} // namespace

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
    char text[kPlainSize];
    plainText(ms, text);
    out += QLatin1StringView(text, kPlainSize);
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
    Dest = Text.split(Delimiter, Qt::KeepEmptyParts);
}

namespace {

// Row `r` as a line of a text file, without its line end: No (nothing when null), Time ("NULL"
// when null), Value, Unit, V_Range and I_Range, separated by TABs; times and texts as cells.
// `Line` puts the pieces into characters or into the code page's bytes.
template <class Line> void writeTextRow(Line& line, const ReadingTable& table, int r) {
    // The fields first: once the line is being written, they would be read again after each
    // byte put.
    const bool noNull = table.isNoNull(r);
    const qint32 no = table.no(r);
    const bool timeNull = table.isTimeNull(r);
    const int timeMs = table.timeMs(r);
    std::array<quint32, 4> texts;
    for (int f = 0; f < 4; ++f)
        texts[size_t(f)] = table.textId(r, ReadingTable::Field(ReadingTable::Value + f));

    if (!noNull)
        line.number(no);
    line.tab();
    if (timeNull)
        line.null();
    else
        line.time(timeMs);
    for (quint32 id : texts) {
        line.tab();
        line.text(id);
    }
}

// A line in characters: for the journal's echo and whatever shows rows as text.
class CharLine {
public:
    CharLine(QString& out, const ReadingTable& table, const TimeTextFormatter& times)
        : out_(out), table_(table), times_(times) {}
    void number(qint32 n) { out_ += QString::number(n); }
    void tab() { out_ += u'\t'; }
    void null() { out_ += u"NULL"; }
    void time(int ms) {
        // Formatted into a piece of its own so that the trimming sees the time text alone.
        QString t;
        times_.append(t, ms);
        appendCell(out_, t);
    }
    void text(quint32 id) { appendCell(out_, table_.textById(id)); }

private:
    QString& out_;
    const ReadingTable& table_;
    const TimeTextFormatter& times_;
};

// The code page's bytes of the texts and times in a save's lines, each text's made once.
class LineBytes {
public:
    LineBytes(const ReadingTable& table, const TimeTextFormatter& times)
        : times_(times),
          cells_(table, [](const QString& text, QString& cell) { appendCell(cell, text); }) {}
    const TimeTextFormatter& times() const { return times_; }
    const QByteArray& text(quint32 id) { return cells_.of(id); }
    // A time in a format other than the plain one.
    const QByteArray& time(int ms) {
        time_.resize(0);
        times_.append(time_, ms);
        timeBytes_.resize(0);
        cells_.append(time_, timeBytes_);
        return timeBytes_;
    }

private:
    const TimeTextFormatter& times_;
    TextBytes cells_;
    QString time_;
    QByteArray timeBytes_;
};

// A line in the code page's bytes, written through a pointer into room made for it.
class ByteLine {
public:
    ByteLine(QByteArray& out, LineBytes& bytes) : to_(out, kRoom), bytes_(bytes) {}
    void number(qint32 n) { to_.decimal(n); }
    void tab() { to_.put('\t'); }
    void null() { to_.put("NULL"); }
    void time(int ms) {
        if (!bytes_.times().isPlain()) {
            put(bytes_.time(ms));
            return;
        }
        char text[TimeTextFormatter::kPlainSize];
        TimeTextFormatter::plainText(ms, text);
        to_.put(text, TimeTextFormatter::kPlainSize);
    }
    void text(quint32 id) { put(bytes_.text(id)); }
    void end() { to_.put("\r\n"); }

private:
    // Room for the pieces of a line that are not texts (No, a plain time, TABs, the line end),
    // and the room made at first: enough for the texts of 20 bytes that a table holds.
    static constexpr qsizetype kFixedRoom = 40;
    static constexpr qsizetype kRoom = kFixedRoom + 4 * 30;
    void put(const QByteArray& bytes) {
        to_.reserve(bytes.size() + kFixedRoom);
        to_.put(bytes);
    }

    ByteAppender to_;
    LineBytes& bytes_;
};

} // namespace

void appendTextRow(QString& out, const ReadingTable& table, int r, const TimeTextFormatter& times) {
    CharLine line(out, table, times);
    writeTextRow(line, table, r);
}

bool saveTextTable(const ReadingTable& table, const QString& fileName, QString* error) {
    FileWriter out(fileName);
    if (!out.open(error))
        return false;
    out.buffer() += textHeaderLine();
    const TimeTextFormatter times;
    LineBytes bytes(table, times);
    const int n = table.rowCount();
    for (int r = 0; r < n; ++r) {
        {
            ByteLine line(out.buffer(), bytes); // gives back the room it did not use as it goes
            writeTextRow(line, table, r);
            line.end();
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
            tell({TableFileMessage::Information, error, {}}); // the text is the reason
            return false;
        }
    } else if (!saveTextTable(table, fileName, &error)) {
        tell({TableFileMessage::Information,
              QStringLiteral("Could not save table to specified file: ") + fileName,
              fileName + QStringLiteral(": ") + error});
        return false;
    }
    tell({TableFileMessage::Information,
          QStringLiteral("Save table to specified file: ") + fileName + QStringLiteral(" Scuss!"),
          {}});
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
        tell({TableFileMessage::Error, QStringLiteral("Failed to Load File!"),
              fileName + QStringLiteral(": ") + error});
    return ok;
}

struct TextTableAppender::Impl {
    SystemFile file;
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
    SystemFile& file = d_->file;
    qint64 size = 0;
    if (!file.open(fileName, SystemFile::Access::Append, error) || !file.size(&size, error)) {
        file.close();
        return false;
    }
    QByteArray start;
    if (size == 0) {
        start = textHeaderLine();
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
