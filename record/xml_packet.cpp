#include "xml_packet.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>

#include <array>
#include <atomic>

namespace {

constexpr qint64 kReadChunk = 1 << 20;

const QString& rowStateName() {
    static const QString name = QStringLiteral("rowstate");
    return name;
}

// Whether the packet's code page (GBK) holds the character, so that it reads back as itself.
bool inCodePage(char32_t u) {
    auto roundTrips = [](char32_t c) {
        const QString text = QString::fromUcs4(&c, 1);
        QStringEncoder enc("GBK");
        const QByteArray bytes = enc.encode(text);
        QStringDecoder dec("GBK");
        const QString back = dec.decode(bytes);
        return !enc.hasError() && !dec.hasError() && back == text;
    };
    if (u > 0xFFFF)
        return roundTrips(u);
    // 0 not asked yet, 1 held, 2 not held.
    static std::array<std::atomic<quint8>, 0x10000> known{};
    std::atomic<quint8>& k = known[u];
    quint8 v = k.load(std::memory_order_relaxed);
    if (v == 0) {
        v = roundTrips(u) ? 1 : 2;
        k.store(v, std::memory_order_relaxed);
    }
    return v == 1;
}

void appendReference(QString& out, char32_t u) {
    out += u"&#x";
    out += QString::number(uint(u), 16).toUpper();
    out += u';';
}

} // namespace

// One tag. Kept across tags so that its strings keep their storage.
struct XmlPacketReader::Element {
    enum Kind { Start, End, Other } kind = Other;
    QString name;
    bool selfClosing = false;
    std::vector<std::pair<QString, QString>> attributes;
    size_t count = 0; // attributes in use
};

// ---- writing ----

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
                appendReference(out, u);
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
        default:
            if (c.unicode() < 0x20) {
                const int v = c.unicode();
                out += u"&#";
                out += QChar(u'0' + v / 100);
                out += QChar(u'0' + v / 10 % 10);
                out += QChar(u'0' + v % 10);
                out += u';';
            } else {
                out += c;
            }
        }
    }
}

void XmlPacketWriter::appendTime(QString& out, int ms) {
    const int hours = ms / 3'600'000;
    const int minutes = ms / 60'000 % 60;
    const int inMinute = ms % 60'000;
    auto digits = [&](int v, int n) {
        int div = 1;
        for (int k = 1; k < n; ++k)
            div *= 10;
        for (; div > 0; div /= 10)
            out += QChar(u'0' + v / div % 10);
    };
    digits(hours, 2);
    out += u':';
    digits(minutes, 2);
    out += u':';
    digits(inMinute, 5);
}

void XmlPacketWriter::begin() {
    out_ += u"<?xml version=\"1.0\" standalone=\"yes\"?>\r\n"
            u"<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
            u"<FIELD attrname=\"No\" fieldtype=\"i4\"/>"
            u"<FIELD attrname=\"Time\" fieldtype=\"time\"/>"
            u"<FIELD attrname=\"Value\" fieldtype=\"string\" WIDTH=\"20\"/>"
            u"<FIELD attrname=\"Unit\" fieldtype=\"string\" WIDTH=\"20\"/>"
            u"<FIELD attrname=\"V_Range\" fieldtype=\"string\" WIDTH=\"20\"/>"
            u"<FIELD attrname=\"I_Range\" fieldtype=\"string\" WIDTH=\"20\"/>"
            u"</FIELDS><PARAMS/></METADATA><ROWDATA>";
}

void XmlPacketWriter::row(const ReadingTable& table, int r) {
    out_ += u"<ROW";
    if (!table.isNoNull(r)) {
        out_ += u" No=\"";
        out_ += QString::number(table.no(r));
        out_ += u'"';
    }
    if (!table.isTimeNull(r)) {
        out_ += u" Time=\"";
        appendTime(out_, table.timeMs(r));
        out_ += u'"';
    }
    static const char16_t* const names[4] = {u" Value=\"", u" Unit=\"", u" V_Range=\"",
                                             u" I_Range=\""};
    for (int f = ReadingTable::Value; f <= ReadingTable::I_Range; ++f) {
        const QString& text = table.text(r, ReadingTable::Field(f));
        if (text.isEmpty())
            continue;
        out_ += QStringView(names[f - ReadingTable::Value]);
        appendEscaped(out_, text);
        out_ += u'"';
    }
    out_ += u"/>";
}

void XmlPacketWriter::end() {
    out_ += u"</ROWDATA></DATAPACKET>\r\n";
}

// ---- reading ----

bool XmlPacketReader::parseTime(QStringView t, int* msOfDay) {
    // H or HH, ":", MM, ":", then SS (seconds) or SSmmm (milliseconds within the minute).
    const qsizetype c1 = t.indexOf(u':');
    const qsizetype c2 = c1 < 0 ? -1 : t.indexOf(u':', c1 + 1);
    if (c1 < 1 || c1 > 2 || c2 != c1 + 3)
        return false;
    const QStringView rest = t.mid(c2 + 1);
    if (rest.size() != 2 && rest.size() != 5)
        return false;
    for (QChar c : t)
        if (c != u':' && (c < u'0' || c > u'9'))
            return false;
    const int h = t.left(c1).toInt();
    const int m = t.mid(c1 + 1, 2).toInt();
    int inMinute = rest.toInt();
    if (rest.size() == 2)
        inMinute *= 1000;
    if (h > 23 || m > 59 || inMinute > 59'999)
        return false;
    *msOfDay = (h * 60 + m) * 60'000 + inMinute;
    return true;
}

bool XmlPacketReader::chooseDecoder(QString* error) {
    head_ = file_.read(4096);
    qsizetype skip = 0;
    QByteArray encoding = "GBK";
    if (head_.startsWith("\xEF\xBB\xBF")) {
        encoding = "UTF-8";
        skip = 3;
    } else if (head_.startsWith("\xFF\xFE")) {
        encoding = "UTF-16LE";
        skip = 2;
    } else if (head_.startsWith("\xFE\xFF")) {
        encoding = "UTF-16BE";
        skip = 2;
    } else {
        const qsizetype end = head_.indexOf("?>");
        if (head_.trimmed().startsWith("<?xml") && end > 0) {
            static const QRegularExpression re(
                QStringLiteral("encoding\\s*=\\s*[\"']([A-Za-z0-9._:-]+)[\"']"));
            const auto m = re.match(QString::fromLatin1(head_.left(end)));
            if (m.hasMatch())
                encoding = m.captured(1).toLatin1();
        }
    }
    dec_ = QStringDecoder(encoding.constData());
    if (!dec_.isValid()) {
        *error = QStringLiteral("unknown encoding ") + QString::fromLatin1(encoding);
        return false;
    }
    buf_ = dec_.decode(QByteArrayView(head_).sliced(skip));
    head_.clear();
    pos_ = 0;
    eof_ = false;
    return true;
}

bool XmlPacketReader::fill() {
    if (eof_)
        return false;
    const QByteArray bytes = file_.read(kReadChunk);
    if (bytes.isEmpty()) {
        eof_ = true;
        buf_ = dec_.decode(QByteArray());
        pos_ = 0;
        return !buf_.isEmpty();
    }
    buf_ = dec_.decode(bytes);
    pos_ = 0;
    return true;
}

bool XmlPacketReader::skipPast(QStringView end) {
    qsizetype matched = 0;
    for (int c; (c = get()) >= 0;) {
        if (c == end[matched].unicode()) {
            if (++matched == end.size())
                return true;
        } else {
            // The patterns ("?>", "-->", "]]>", ">") repeat only their first character.
            matched = c == end[0].unicode() ? 1 : 0;
            if (matched == end.size())
                return true;
        }
    }
    return false;
}

template <class Keep> int XmlPacketReader::scan(QString* out, Keep keep) {
    for (;;) {
        const qsizetype n = buf_.size();
        const QChar* d = buf_.constData();
        qsizetype i = pos_;
        while (i < n && keep(d[i].unicode()))
            ++i;
        if (out)
            out->append(d + pos_, i - pos_);
        pos_ = i;
        if (i < n)
            return d[i].unicode();
        if (!fill())
            return -1;
    }
}

void XmlPacketReader::skipBlanks() {
    scan(nullptr, [](char16_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

bool XmlPacketReader::readName(QString& name) {
    name.resize(0);
    scan(&name, [](char16_t c) {
        return c > ' ' && c != '=' && c != '/' && c != '>' && c != '<' && c != '?' && c != '"' &&
               c != '\'';
    });
    return !name.isEmpty();
}

bool XmlPacketReader::readReference(QString& value) {
    QString ref;
    for (int c; (c = get()) != ';';) {
        if (c < 0 || ref.size() > 12)
            return false;
        ref += QChar(char16_t(c));
    }
    if (ref == u"amp")
        value += u'&';
    else if (ref == u"lt")
        value += u'<';
    else if (ref == u"gt")
        value += u'>';
    else if (ref == u"quot")
        value += u'"';
    else if (ref == u"apos")
        value += u'\'';
    else if (ref.startsWith(u'#')) {
        bool ok = false;
        const bool hex = ref.size() > 1 && (ref[1] == u'x' || ref[1] == u'X');
        const uint code = QStringView(ref).mid(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
        if (!ok || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        const char32_t u = code;
        value += QString::fromUcs4(&u, 1);
    } else {
        return false;
    }
    return true;
}

bool XmlPacketReader::readAttributeValue(QString& value) {
    value.resize(0);
    const int quote = get();
    if (quote != '"' && quote != '\'')
        return false;
    for (;;) {
        scan(&value, [quote](char16_t c) {
            return c != quote && c != '&' && c != '<' && c != '\r' && c != '\n' && c != '\t';
        });
        const int c = get();
        if (c < 0 || c == '<')
            return false;
        if (c == quote)
            return true;
        if (c == '&') {
            if (!readReference(value))
                return false;
        } else {
            // Line ends and tabs in values read as one blank each, CR LF included.
            if (c == '\r' && peek() == '\n')
                ++pos_;
            value += u' ';
        }
    }
}

bool XmlPacketReader::readTag(Element& el, QString* error) {
    el.kind = Element::Other;
    el.selfClosing = false;
    el.count = 0;
    get(); // '<'
    const int c = peek();
    if (c == '?')
        return skipPast(u"?>") || (*error = QStringLiteral("unfinished instruction"), false);
    if (c == '!') {
        ++pos_;
        QString open;
        while (open.size() < 7 && peek() >= 0 && peek() != '>') {
            open += QChar(char16_t(get()));
            if (open == u"--")
                return skipPast(u"-->") || (*error = QStringLiteral("unfinished comment"), false);
            if (open == u"[CDATA[")
                return skipPast(u"]]>") || (*error = QStringLiteral("unfinished CDATA"), false);
        }
        return skipPast(u">") || (*error = QStringLiteral("unfinished declaration"), false);
    }
    if (c == '/') {
        ++pos_;
        el.kind = Element::End;
        const bool named = readName(el.name);
        skipBlanks();
        if (!named || get() != '>') {
            *error = QStringLiteral("malformed end tag");
            return false;
        }
        return true;
    }
    el.kind = Element::Start;
    if (!readName(el.name)) {
        *error = QStringLiteral("malformed tag");
        return false;
    }
    for (;;) {
        skipBlanks();
        const int n = peek();
        if (n == '>') {
            ++pos_;
            return true;
        }
        if (n == '/') {
            ++pos_;
            el.selfClosing = true;
            if (get() == '>')
                return true;
            break;
        }
        if (el.count == el.attributes.size())
            el.attributes.emplace_back();
        auto& [name, value] = el.attributes[el.count];
        if (!readName(name))
            break;
        skipBlanks();
        if (get() != '=')
            break;
        skipBlanks();
        if (!readAttributeValue(value)) {
            *error = QStringLiteral("malformed value of ") + name;
            return false;
        }
        ++el.count;
    }
    *error = QStringLiteral("malformed tag ") + el.name;
    return false;
}

bool XmlPacketReader::flushPending(QString*) {
    if (havePending_) {
        table_.append(pending_);
        havePending_ = false;
    }
    return true;
}

bool XmlPacketReader::startElement(Element& el, QString* error) {
    const qsizetype depth = path_.size();
    if (depth == 0 && el.name != u"DATAPACKET") {
        *error = QStringLiteral("not a data packet");
        return false;
    }
    if (depth == 3 && el.name == u"FIELD" && path_[1] == u"METADATA" && path_[2] == u"FIELDS") {
        for (size_t i = 0; i < el.count; ++i) {
            const auto& [name, value] = el.attributes[i];
            if (name.compare(u"attrname", Qt::CaseInsensitive) != 0)
                continue;
            const QString key = value.toLower();
            int field = -1;
            for (int f = 0; f < ReadingTable::kFieldCount; ++f)
                if (key == ReadingTable::fieldName(f).toLower())
                    field = f;
            if (field >= 0 && !fieldOf_.contains(key))
                ++fieldsSeen_;
            fieldOf_.insert(key, field);
        }
    }
    const bool isRow = depth == 2 && el.name == u"ROW" && path_[1] == u"ROWDATA";
    if ((depth == 1 && el.name == u"ROWDATA") || isRow) {
        if (!fieldsChecked_ && fieldsSeen_ < ReadingTable::kFieldCount) {
            *error = QStringLiteral("the packet lacks fields of the reading table");
            return false;
        }
        fieldsChecked_ = true;
    }
    if (isRow) {
        ReadingRow row;
        int state = 0;
        unsigned present = 0;
        if (rowAttrCache_.size() < el.count)
            rowAttrCache_.resize(el.count);
        for (size_t i = 0; i < el.count; ++i) {
            const auto& [name, value] = el.attributes[i];
            // Rows mostly name their attributes alike, in the same order.
            auto& [cachedName, code] = rowAttrCache_[i];
            if (name != cachedName) {
                const QString key = name.toLower();
                cachedName = name;
                code = key == rowStateName() ? kRowState : fieldOf_.value(key, -1);
            }
            if (code == kRowState) {
                state = value.toInt();
                continue;
            }
            const int field = code;
            if (field < 0)
                continue;
            present |= 1u << field;
            bool ok = true;
            switch (field) {
            case ReadingTable::No:
                row.No = value.toInt(&ok);
                row.NoNull = !ok;
                break;
            case ReadingTable::Time:
                ok = parseTime(value, &row.TimeMs);
                row.TimeNull = !ok;
                break;
            case ReadingTable::Value:
                row.Value = value;
                break;
            case ReadingTable::Unit:
                row.Unit = value;
                break;
            case ReadingTable::V_Range:
                row.V_Range = value;
                break;
            case ReadingTable::I_Range:
                row.I_Range = value;
                break;
            }
            if (!ok) {
                *error = QStringLiteral("bad value for ") + name;
                return false;
            }
        }
        if (state & 2) {
            // Deleted: not a row of the table it stands for.
            havePending_ = false;
        } else if ((state & 8) && havePending_) {
            // The changed values over the original's.
            if (present & (1u << ReadingTable::No)) {
                pending_.No = row.No;
                pending_.NoNull = row.NoNull;
            }
            if (present & (1u << ReadingTable::Time)) {
                pending_.TimeMs = row.TimeMs;
                pending_.TimeNull = row.TimeNull;
            }
            if (present & (1u << ReadingTable::Value))
                pending_.Value = row.Value;
            if (present & (1u << ReadingTable::Unit))
                pending_.Unit = row.Unit;
            if (present & (1u << ReadingTable::V_Range))
                pending_.V_Range = row.V_Range;
            if (present & (1u << ReadingTable::I_Range))
                pending_.I_Range = row.I_Range;
            flushPending(error);
        } else if (state & 1) {
            flushPending(error);
            pending_ = row;
            havePending_ = true;
        } else {
            flushPending(error);
            table_.append(row);
        }
    }
    if (!el.selfClosing)
        path_.append(el.name);
    return true;
}

bool XmlPacketReader::endElement(const QString& name, QString* error) {
    if (path_.isEmpty() || path_.last() != name) {
        *error = QStringLiteral("mismatched end tag ") + name;
        return false;
    }
    path_.removeLast();
    return true;
}

bool XmlPacketReader::read(QString* error) {
    if (!chooseDecoder(error))
        return false;
    bool sawRoot = false;
    Element el;
    for (;;) {
        int c = peek();
        while (c >= 0 && c != '<') {
            if (path_.isEmpty() && c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != 0xFEFF) {
                *error = QStringLiteral("text outside the packet");
                return false;
            }
            ++pos_;
            c = peek();
        }
        if (c < 0)
            break;
        if (sawRoot && path_.isEmpty()) {
            // After the packet only comments and instructions may follow.
            if (!readTag(el, error))
                return false;
            if (el.kind != Element::Other) {
                *error = QStringLiteral("content after the packet");
                return false;
            }
            continue;
        }
        if (!readTag(el, error))
            return false;
        if (el.kind == Element::Start) {
            sawRoot = true;
            if (!startElement(el, error))
                return false;
        } else if (el.kind == Element::End && !endElement(el.name, error)) {
            return false;
        }
    }
    if (file_.error() != QFileDevice::NoError) {
        *error = file_.errorString();
        return false;
    }
    if (!sawRoot || !path_.isEmpty()) {
        *error = QStringLiteral("the packet ends early");
        return false;
    }
    if (fieldsSeen_ < ReadingTable::kFieldCount) {
        *error = QStringLiteral("the packet lacks fields of the reading table");
        return false;
    }
    return flushPending(error);
}
