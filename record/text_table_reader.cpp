#include "record/text_table_reader.h"

#include "record/code_page.h"
#include "record/table_texts.h"
#include "record/time_texts.h"

#include "core/sample_time.h"

#include <QFile>

#include <array>

namespace {

// Splits a stream of decoded text into lines ended by CR LF, a lone CR or a lone LF, and each
// line into its cells at TAB, as SplitText does, reading the file a piece at a time.
// (Not QTextStream: in Qt 6 it decodes Unicode, Latin-1 and the system's encoding, not GBK.)
class LineReader {
public:
    // The six fields, and the instant that a journal's rows carry.
    static constexpr int kCells = ReadingTable::kFieldCount + 1;
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

void SplitText(const QString& Text, QChar Delimiter, QStringList& Dest) {
    Dest = Text.split(Delimiter, Qt::KeepEmptyParts);
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
    // A journal names a seventh cell, the instant each row was recorded: other files have six.
    const bool instants =
        count == kJournalCells && cells[size_t(kJournalCells - 1)] == QLatin1String(kInstantTitle);
    const int most = instants ? kJournalCells : ReadingTable::kFieldCount;
    const TimeTextParser times;
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
        if (count > most)
            return fail(instants ? "more than seven cells" : "more than six cells");
        qint32 no = 0;
        const bool noNull = cells[0].isEmpty();
        if (!noNull && !parseInt32(cells[0], &no))
            return fail("No is not an integer");
        int ms = 0;
        const bool timeNull = count < 2 || cells[1].isEmpty();
        if (!timeNull && !times.parse(cells[1], &ms))
            return fail("Time is not a time of day");
        std::array<quint32, 4> texts{};
        for (int i = 2; i < std::min(count, ReadingTable::kFieldCount); ++i)
            texts[size_t(i - 2)] = ids.id(cells[size_t(i)], i - 2);
        // The instant, where the row has one that reads; its time of day keeps the milliseconds
        // that the Time cell leaves out.
        std::optional<qint64> at;
        if (count == kJournalCells && !timeNull)
            if (const std::optional<SampleTime> t =
                    sampleTimeOf(cells[size_t(kJournalCells - 1)])) {
                at = t->epochMs;
                ms = t->msOfDay;
            }
        table.appendInterned(no, noNull, ms, timeNull, texts, at);
    }
    if (lines.failed()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
