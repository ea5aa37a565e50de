#include "record/table_texts.h"

#include <QHashFunctions>

namespace {

quint64 tagOf(size_t hash) {
    return quint64(quint32(hash >> 32) ^ quint32(hash)) << 32;
}

} // namespace

quint32 TextIds::id(QStringView text, int column) {
    if (text.isEmpty())
        return 0;
    size_t& last = last_[size_t(column) & 3];
    if (last == kNone || entries_[last].text != text)
        last = entryOf(text);
    return entries_[last].id;
}

size_t TextIds::entryOf(QStringView text) {
    const size_t hash = qHash(text);
    const quint64 tag = tagOf(hash);
    const size_t mask = slots_.size() - 1;
    size_t i = hash & mask;
    for (; slots_[i] != 0; i = (i + 1) & mask)
        if ((slots_[i] & ~quint64(0xFFFFFFFF)) == tag) {
            const size_t e = size_t(slots_[i] & 0xFFFFFFFF) - 1;
            if (entries_[e].text == text)
                return e;
        }
    QString copy = text.toString();
    const quint32 id = table_.internText(copy);
    entries_.push_back({std::move(copy), id});
    slots_[i] = tag | quint64(entries_.size());
    if (entries_.size() * 2 > slots_.size())
        grow();
    return entries_.size() - 1;
}

void TextIds::grow() {
    std::vector<quint64> slots(slots_.size() * 2, 0);
    const size_t mask = slots.size() - 1;
    for (size_t e = 0; e < entries_.size(); ++e) {
        const size_t hash = qHash(QStringView(entries_[e].text));
        size_t i = hash & mask;
        while (slots[i] != 0)
            i = (i + 1) & mask;
        slots[i] = tagOf(hash) | quint64(e + 1);
    }
    slots_.swap(slots);
}

TextBytes::TextBytes(const ReadingTable& table, Form form)
    : table_(table), form_(std::move(form)), bytes_(table.textCount()),
      made_(table.textCount(), 0) {}

const QByteArray& TextBytes::make(quint32 id) {
    static const QByteArray none;
    if (id >= bytes_.size())
        return none; // not a text of the table
    scratch_.clear();
    form_(table_.textById(id), scratch_);
    enc_.encode(scratch_, bytes_[id]);
    made_[id] = 1;
    return bytes_[id];
}

void TextBytes::append(const QString& text, QByteArray& out) {
    scratch_.clear();
    form_(text, scratch_);
    enc_.encode(scratch_, out);
}

void ByteAppender::grow(qsizetype n) {
    const qsizetype at = d_ - out_.constData();
    out_.resize(at + n);
    d_ = out_.data() + at;
    end_ = out_.constData() + out_.size();
}
