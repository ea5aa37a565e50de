#pragma once

#include "reading_table.h"

#include <QFile>
#include <QString>
#include <QStringDecoder>

#include <vector>

// The reading table's XML data packet:
//   <?xml version="1.0" standalone="yes"?>
//   <DATAPACKET Version="2.0"><METADATA><FIELDS><FIELD attrname="No" fieldtype="i4"/>...
//   </FIELDS><PARAMS/></METADATA><ROWDATA><ROW No="1" Time="14:03:27123" .../></ROWDATA>
//   </DATAPACKET>
// A time is HH:MM: followed by the milliseconds within the minute as five digits; a null field
// has no attribute.

// Appends the packet's text to a buffer, row by row.
class XmlPacketWriter {
public:
    explicit XmlPacketWriter(QString& out) : out_(out) {}
    void begin();
    void row(const ReadingTable& table, int row);
    void end();

    // Attribute text with & < > " and control characters as references.
    static void appendEscaped(QString& out, QStringView text);
    static void appendTime(QString& out, int msOfDay);

private:
    QString& out_;
};

// Reads a packet into a table, a piece of the file at a time. Besides what the writer writes it
// takes what other writers of the format put in: row-state markers (deleted rows are dropped,
// a changed row's values go over its original), parameters, extra field attributes, any order
// of attributes, comments, processing instructions, character references and an encoding in the
// declaration (without one, the text is in GBK).
class XmlPacketReader {
public:
    XmlPacketReader(QFile& file, ReadingTable& table) : file_(file), table_(table) {}
    bool read(QString* error);

    // "HH:MM:SSmmm" (or "HH:MM:SS") to milliseconds of the day; false on anything else.
    static bool parseTime(QStringView text, int* msOfDay);

private:
    struct Element;
    bool chooseDecoder(QString* error);
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
    bool flushPending(QString* error);

    QFile& file_;
    ReadingTable& table_;
    QStringDecoder dec_;
    QByteArray head_;
    QString buf_;
    qsizetype pos_ = 0;
    bool eof_ = false;

    QStringList path_;
    QHash<QString, int> fieldOf_; // attribute name (lower case) -> field, from FIELDS
    int fieldsSeen_ = 0;
    bool fieldsChecked_ = false;
    static constexpr int kRowState = -2;
    std::vector<std::pair<QString, int>> rowAttrCache_; // attribute name -> field or kRowState
    bool havePending_ = false; // an original row (RowState 1) waiting for its changed values
    ReadingRow pending_;
};
