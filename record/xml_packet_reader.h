#pragma once

#include "record/code_page.h"
#include "record/reading_table.h"
#include "record/table_texts.h"
#include "record/xml_packet_rows.h"

#include <QFile>
#include <QHash>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

#include <utility>
#include <vector>

// Reads a packet (xml_packet.h) into a table, a piece of the file at a time: the rows that the
// table which wrote the packet showed, in its order (xml_packet_rows.h). Besides what the
// writer writes it takes what table engines and other writers put in:
// - RowState flags on rows and the change log of PARAMS;
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
    XmlPacketRows rows_;
};
// Not QXmlStreamReader: it takes undeclared GBK for UTF-8, refuses &#001; and is 3x as slow.

// Replaces the table's rows with the packet's; *error says what went wrong. After a failure
// the table holds the rows it held before.
bool loadXmlTable(const QString& fileName, ReadingTable& table, QString* error);
