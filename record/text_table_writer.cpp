#include "record/text_table_writer.h"

#include "record/table_file_writer.h"
#include "record/table_texts.h"

#include <array>

namespace {

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

QStringList tableFileHeader() {
    return {QStringLiteral("No"),   QStringLiteral("Time"),     QStringLiteral("Value"),
            QStringLiteral("Unit"), QStringLiteral("Function"), QStringLiteral("Remark")};
}

QByteArray textHeaderLine() {
    return tableFileHeader().join(u'\t').toLatin1() + "\r\n";
}

void appendTextRow(QString& out, const ReadingTable& table, int r, const TimeTextFormatter& times) {
    CharLine line(out, table, times);
    writeTextRow(line, table, r);
}

bool saveTextTable(const ReadingTable& table, const QString& fileName, QString* error) {
    TableFileWriter out(fileName);
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
