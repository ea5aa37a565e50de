#include "record/xml_packet_reader.h"

#include "record/xml_packet.h"

#include <QRegularExpression>

namespace {

const QString& rowStateName() {
    static const QString name = QStringLiteral("rowstate");
    return name;
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

bool XmlPacketReader::parseTime(QStringView t, int* msOfDay) {
    // By hand: QTime::fromString takes some 3 µs a time, more than all the rest of a row's load.
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
    const QByteArray head = file_.read(4096);
    qsizetype skip = 0;
    QByteArray encoding;
    if (head.startsWith("\xEF\xBB\xBF")) {
        encoding = "UTF-8";
        skip = 3;
    } else if (head.startsWith("\xFF\xFE")) {
        encoding = "UTF-16LE";
        skip = 2;
    } else if (head.startsWith("\xFE\xFF")) {
        encoding = "UTF-16BE";
        skip = 2;
    } else {
        const qsizetype end = head.indexOf("?>");
        if (head.trimmed().startsWith("<?xml") && end > 0) {
            static const QRegularExpression re(
                QStringLiteral("encoding\\s*=\\s*[\"']([A-Za-z0-9._:-]+)[\"']"));
            const auto m = re.match(QString::fromLatin1(head.left(end)));
            if (m.hasMatch())
                encoding = m.captured(1).toLatin1();
        }
    }
    codePage_ = encoding.isEmpty() || encoding.compare(kCodePageName, Qt::CaseInsensitive) == 0;
    if (!codePage_) {
        otherDec_ = QStringDecoder(encoding.constData());
        if (!otherDec_.isValid()) {
            *error = QStringLiteral("unknown encoding ") + QString::fromLatin1(encoding);
            return false;
        }
    }
    buf_.clear();
    decodeInto(QByteArrayView(head).sliced(skip));
    pos_ = 0;
    eof_ = false;
    return true;
}

void XmlPacketReader::decodeInto(QByteArrayView bytes) {
    if (codePage_)
        codePageDec_.decode(bytes, buf_);
    else
        buf_ += otherDec_.decode(bytes);
}

bool XmlPacketReader::fill() {
    if (eof_)
        return false;
    const QByteArray bytes = file_.read(kTableFileChunk);
    buf_.resize(0);
    pos_ = 0;
    if (bytes.isEmpty()) {
        eof_ = true;
        if (codePage_)
            codePageDec_.finish(buf_);
        else
            buf_ += otherDec_.decode(QByteArrayView());
        return !buf_.isEmpty();
    }
    decodeInto(bytes);
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

bool XmlPacketReader::readRow(const Element& el, QString* error) {
    XmlPacketRows::Values v;
    int state = 0;
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
            bool ok = false;
            state = value.toInt(&ok);
            if (!ok)
                state = 0; // a marker that says nothing: a row as any other
            continue;
        }
        const int field = code;
        if (field < 0)
            continue;
        v.present |= 1u << field;
        bool ok = true;
        switch (field) {
        case ReadingTable::No:
            v.no = value.toInt(&ok);
            v.noNull = !ok;
            break;
        case ReadingTable::Time:
            ok = parseTime(value, &v.timeMs);
            v.timeNull = !ok;
            break;
        default:
            v.texts[size_t(field - ReadingTable::Value)] =
                ids_.id(value, field - ReadingTable::Value);
        }
        if (!ok) {
            *error = QStringLiteral("bad value for ") + name;
            return false;
        }
    }
    rows_.add(v, state);
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
            const int field = xmlPacketFieldOf(value);
            if (field >= 0 && !fieldOf_.contains(key))
                ++fieldsSeen_;
            fieldOf_.insert(key, field);
        }
    }
    if (depth == 2 && el.name == u"PARAMS" && path_[1] == u"METADATA") {
        for (size_t i = 0; i < el.count; ++i)
            if (el.attributes[i].first.compare(u"CHANGE_LOG", Qt::CaseInsensitive) == 0)
                rows_.setChangeLog(el.attributes[i].second);
    }
    const bool isRow = depth == 2 && el.name == u"ROW" && path_[1] == u"ROWDATA";
    if ((depth == 1 && el.name == u"ROWDATA") || isRow) {
        if (!fieldsChecked_ && fieldsSeen_ < ReadingTable::kFieldCount) {
            *error = QStringLiteral("not a data packet of this table");
            return false;
        }
        fieldsChecked_ = true;
    }
    if (isRow && !readRow(el, error))
        return false;
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
        *error = QStringLiteral("not a data packet of this table");
        return false;
    }
    rows_.finish();
    return true;
}

bool loadXmlTable(const QString& fileName, ReadingTable& table, QString* error) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    // The packet is read into a table of its own, which nobody watches while its rows move; the
    // rows here give way only to a whole packet.
    ReadingTable packet;
    packet.suspendUpdates(); // nobody to tell of each row
    XmlPacketReader reader(file, packet);
    if (!reader.read(error))
        return false;
    table.takeRowsOf(packet);
    return true;
}
