#pragma once

#include "record/code_page.h"
#include "record/reading_table.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstring>
#include <functional>
#include <vector>

// A file of a million rows holds a few hundred different texts. Readers and writers of table
// files deal with each text once: a reader maps the texts it meets to the table's text ids,
// a writer keeps the bytes that it writes for each id.

// Table files are read, and gathered for writing, this many bytes at a time.
inline constexpr qsizetype kTableFileChunk = 1 << 20;

// The table's text id of each text that a file holds, looked up without making a string of
// every cell.
class TextIds {
public:
    explicit TextIds(ReadingTable& table) : table_(table) {}
    // `column` (0..3 for Value..I_Range) only speeds up runs of equal texts in a column.
    quint32 id(QStringView text, int column);

private:
    struct Entry {
        QString text; // as met in the file, before any cut
        quint32 id;
    };
    size_t entryOf(QStringView text);
    void grow();

    ReadingTable& table_;
    std::vector<Entry> entries_;
    // Open addressing, kept small to stay in the cache: the high half of a text's hash and
    // its entry + 1 (0: free).
    std::vector<quint64> slots_ = std::vector<quint64>(1024);
    static constexpr size_t kNone = size_t(-1);
    std::array<size_t, 4> last_{kNone, kNone, kNone, kNone}; // per column, the row before's entry
};

// The bytes that a file holds for each of the table's texts, made once per text: `form` turns
// the text into the file's characters, which are then encoded in the code page.
class TextBytes {
public:
    using Form = std::function<void(const QString& text, QString& out)>;
    TextBytes(const ReadingTable& table, Form form);
    // The bytes of the text with this id; they stay where they are while this object lives.
    const QByteArray& of(quint32 id) {
        if (id < made_.size() && made_[id])
            return bytes_[id];
        return make(id);
    }
    // Appends text through the same form and encoding, without keeping it.
    void append(const QString& text, QByteArray& out);

private:
    const ReadingTable& table_;
    Form form_;
    const QByteArray& make(quint32 id);
    CodePageEncoder enc_;
    std::vector<QByteArray> bytes_; // one per text of the table, which does not change meanwhile
    std::vector<char> made_;
    QString scratch_;
};

// Writes into a byte array through a pointer, room made once for a whole row: the array's own
// appends weigh on a million rows.
class ByteAppender {
public:
    ByteAppender(QByteArray& out, qsizetype room) : out_(out) {
        const qsizetype at = out.size();
        out.resize(at + room);
        d_ = out.data() + at;
        end_ = out.constData() + out.size();
    }
    ~ByteAppender() { out_.resize(d_ - out_.constData()); }
    ByteAppender(const ByteAppender&) = delete;
    ByteAppender& operator=(const ByteAppender&) = delete;

    // Makes room for `n` bytes beyond those written, when the room made is less.
    void reserve(qsizetype n) {
        if (end_ - d_ < n)
            grow(n);
    }
    void put(const char* s, qsizetype n) {
        std::memcpy(d_, s, size_t(n));
        d_ += n;
    }
    template <size_t N> void put(const char (&s)[N]) { put(s, N - 1); }
    void put(const QByteArray& b) { put(b.constData(), b.size()); }
    void put(char c) { *d_++ = c; }
    void decimal(qint64 v) { // at most 20 bytes
        char digits[20];
        int n = 0;
        // Negative values are counted down from zero: the most negative one has no positive twin.
        const bool negative = v < 0;
        do {
            const int d = int(v % 10);
            digits[n++] = char('0' + (negative ? -d : d));
            v /= 10;
        } while (v != 0);
        if (negative)
            *d_++ = '-';
        while (n > 0)
            *d_++ = digits[--n];
    }
    // Two digits.
    void two(int v) {
        d_[0] = char('0' + v / 10 % 10);
        d_[1] = char('0' + v % 10);
        d_ += 2;
    }

private:
    void grow(qsizetype n);
    QByteArray& out_;
    char* d_;
    const char* end_;
};
