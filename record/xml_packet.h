#pragma once

#include "record/code_page.h"
#include "record/reading_table.h"
#include "record/table_texts.h"

#include <QFile>
#include <QHash>
#include <QString>
#include <QStringDecoder>

#include <deque>
#include <vector>

// The reading table's XML data packet, written on one line without any line end, as table
// engines that keep their tables in such packets write it:
//   <?xml version="1.0" standalone="yes"?>  <DATAPACKET Version="2.0"><METADATA><FIELDS>
//   <FIELD attrname="No" fieldtype="i4"/>...</FIELDS><PARAMS/></METADATA><ROWDATA>
//   <ROW No="1" Time="14:03:27123" .../></ROWDATA></DATAPACKET>
// A time is HH:MM: followed by the milliseconds within the minute as five digits; a null field
// has no attribute. Texts are in the code page; & < > " ' are written as entities, control
// characters and the backslash as three-digit references (&#009;), characters that the code
// page lacks as references too.

// Writes the packet of a table, row by row, as code-page bytes.
class XmlPacketWriter {
public:
    explicit XmlPacketWriter(const ReadingTable& table);
    void begin(QByteArray& out);
    void row(int row, QByteArray& out);
    void end(QByteArray& out);

    // Attribute text with its entities and references.
    static void appendEscaped(QString& out, QStringView text);
    static void appendTime(QByteArray& out, int msOfDay);

private:
    static void putTime(ByteAppender& to, int msOfDay);
    const ReadingTable& table_;
    TextBytes texts_;
};

// Reads a packet into a table, a piece of the file at a time: the rows that the table which
// wrote the packet showed, in its order. Besides what the writer writes it takes what table
// engines and other writers put in:
// - RowState flags on a row (1: an earlier version of a row that was changed later, 2: deleted,
//   4: inserted, 8: modified). Deleted rows and earlier versions are not shown; the current
//   version of a changed row is shown at the place of its original.
// - The change log of PARAMS, CHANGE_LOG="r p k ...": record r (rows counted from 1 in packet
//   order) replaces the version in record p. It says which original a changed row belongs to;
//   without it, changed versions go to the originals in the order in which they stand.
// - Other parameters (LCID, DEFAULT_ORDER, PRIMARY_KEY, AUTOINCVALUE, ...), field attributes
//   (readonly, required, SUBTYPE, ...), attributes of unknown fields: ignored.
// - Any order of attributes, comments, processing instructions, character references, and the
//   declaration's encoding (UTF-8, ...); without one, the text is in the code page.
class XmlPacketReader {
public:
    XmlPacketReader(QFile& file, ReadingTable& table)
        : file_(file), table_(table), ids_(table), rows_(table) {}
    bool read(QString* error);

    // "HH:MM:SSmmm" (or "HH:MM:SS") to milliseconds of the day; false on anything else.
    static bool parseTime(QStringView text, int* msOfDay);

private:
    struct Element;

    // A packet's rows as its table showed them: places rows as they come and moves the
    // current versions of changed rows to the places of their originals.
    class Rows {
    public:
        explicit Rows(ReadingTable& table) : table_(table) {}
        struct Values {
            qint32 no = 0;
            bool noNull = true;
            int timeMs = 0;
            bool timeNull = true;
            std::array<quint32, 4> texts{};
            unsigned present = 0; // bit per field: the row has its attribute
        };
        void setChangeLog(QStringView log);
        void add(const Values& v, int state);
        void finish();

    private:
        struct Chain {
            int row;   // the place of the original in the table
            bool open; // its current version is still to come
        };
        int chainOf(int record);
        int place(const Values& v);
        ReadingTable& table_;
        int record_ = 0;
        QHash<int, int> replaces_;  // record -> record whose version it replaces
        QHash<int, int> chainAt_;   // record of an earlier version -> its chain
        std::vector<Chain> chains_; // changed rows, by the order of their originals
        std::deque<int> open_;      // chains waiting for their current versions, in that order
        std::vector<int> gone_;     // places of rows deleted after a change
    };

    bool chooseDecoder(QString* error);
    void decodeInto(QByteArrayView bytes);
    bool fill();
    int peek() {
        if (pos_ >= buf_.size() && !fill())
            return -1;
        return buf_.at(pos_).unicode();
    }
    int get() {
        const int c = peek();
        if (c >= 0)
            ++pos_;
        return c;
    }
    // Moves past the characters that `keep` accepts, appending them to *out when given; returns
    // the character that stopped it, -1 at the end.
    template <class Keep> int scan(QString* out, Keep keep);
    bool skipPast(QStringView end);
    void skipBlanks();
    bool readName(QString& name);
    bool readAttributeValue(QString& value);
    bool readReference(QString& value);
    bool readTag(Element& el, QString* error);
    bool startElement(Element& el, QString* error);
    bool endElement(const QString& name, QString* error);
    bool readRow(const Element& el, QString* error);

    QFile& file_;
    ReadingTable& table_;
    bool codePage_ = true;
    CodePageDecoder codePageDec_;
    QStringDecoder otherDec_;
    QString buf_;
    qsizetype pos_ = 0;
    bool eof_ = false;

    QStringList path_;
    QHash<QString, int> fieldOf_; // attribute name (lower case) -> field, from FIELDS
    int fieldsSeen_ = 0;
    bool fieldsChecked_ = false;
    static constexpr int kRowState = -2;
    std::vector<std::pair<QString, int>> rowAttrCache_; // attribute name -> field or kRowState
    TextIds ids_;
    Rows rows_;
};
