#include "record/xml_packet_writer.h"

#include "record/code_page.h"
#include "record/table_file_writer.h"
#include "record/xml_packet.h"

#include <string_view>

namespace {

void appendReference(QString& out, uint code) {
    out += u"&#";
    if (code < 100)
        out += u'0';
    if (code < 10)
        out += u'0';
    out += QString::number(code);
    out += u';';
}

// The start of each field's attribute in a row, ` Name="`: spelt out, so that each is copied
// as a constant, and checked against the field list.
constexpr std::array<std::string_view, ReadingTable::kFieldCount> kOpeners = {
    " No=\"", " Time=\"", " Value=\"", " Unit=\"", " V_Range=\"", " I_Range=\""};

constexpr bool opensFields() {
    for (size_t f = 0; f < kOpeners.size(); ++f) {
        const std::string_view o = kOpeners[f], name = kXmlPacketFields[f].name;
        if (o.size() != name.size() + 3 || o.substr(0, 1) != " " ||
            o.substr(1, name.size()) != name || o.substr(name.size() + 1) != "=\"")
            return false;
    }
    return true;
}
static_assert(opensFields(), "an opener that is not its field's");

void put(ByteAppender& to, std::string_view s) {
    to.put(s.data(), qsizetype(s.size()));
}

} // namespace

XmlPacketWriter::XmlPacketWriter(const ReadingTable& table)
    : table_(table),
      texts_(table, [](const QString& text, QString& out) { appendEscaped(out, text); }) {}

void XmlPacketWriter::appendEscaped(QString& out, QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() >= 0x80) {
            // A character that the code page lacks would be saved as a stand-in byte and read
            // back as another character: it goes in as a reference instead.
            char32_t u = c.unicode();
            const bool pair =
                c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
            if (pair)
                u = QChar::surrogateToUcs4(c, text[i + 1]);
            if (c.isSurrogate() && !pair) {
                out += c; // no character at all: nothing can keep it
            } else if (inCodePage(u)) {
                out += c;
                if (pair)
                    out += text[i + 1];
            } else {
                appendReference(out, uint(u));
            }
            i += pair ? 1 : 0;
            continue;
        }
        switch (c.unicode()) {
        case u'&':
            out += u"&amp;";
            break;
        case u'<':
            out += u"&lt;";
            break;
        case u'>':
            out += u"&gt;";
            break;
        case u'"':
            out += u"&quot;";
            break;
        case u'\'':
            out += u"&apos;";
            break;
        case u'\\':
            appendReference(out, c.unicode());
            break;
        default:
            if (c.unicode() < 0x20)
                appendReference(out, c.unicode());
            else
                out += c;
        }
    }
}

void XmlPacketWriter::appendTime(QByteArray& out, int ms) {
    ByteAppender to(out, 11);
    putTime(to, ms);
}

void XmlPacketWriter::putTime(ByteAppender& to, int ms) {
    const int inMinute = ms % 60'000;
    to.two(ms / 3'600'000);
    to.put(':');
    to.two(ms / 60'000 % 60);
    to.put(':');
    to.put(char('0' + inMinute / 10'000));
    to.put(char('0' + inMinute / 1000 % 10));
    to.put(char('0' + inMinute / 100 % 10));
    to.two(inMinute % 100);
}

void XmlPacketWriter::begin(QByteArray& out) {
    out += xmlPacketHead();
}

void XmlPacketWriter::row(int r, QByteArray& out) {
    std::array<const QByteArray*, 4> texts{};
    qsizetype room = 64; // the row's tag, No and Time
    for (int f = 0; f < 4; ++f) {
        const quint32 id = table_.textId(r, ReadingTable::Field(ReadingTable::Value + f));
        if (id != 0) {
            texts[size_t(f)] = &texts_.of(id);
            room += 12 + texts[size_t(f)]->size();
        }
    }
    ByteAppender to(out, room);
    to.put("<ROW");
    if (!table_.isNoNull(r)) {
        put(to, kOpeners[ReadingTable::No]);
        to.decimal(table_.no(r));
        to.put('"');
    }
    if (!table_.isTimeNull(r)) {
        put(to, kOpeners[ReadingTable::Time]);
        putTime(to, table_.timeMs(r));
        to.put('"');
    }
    for (size_t f = 0; f < 4; ++f) {
        if (!texts[f])
            continue;
        put(to, kOpeners[ReadingTable::Value + f]);
        to.put(*texts[f]);
        to.put('"');
    }
    to.put("/>");
}

void XmlPacketWriter::end(QByteArray& out) {
    out += kXmlPacketTail;
}

bool saveXmlTable(const ReadingTable& table, const QString& fileName, QString* error) {
    TableFileWriter out(fileName);
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
