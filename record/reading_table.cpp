#include "record/reading_table.h"

#include <algorithm>

ReadingTable::ReadingTable(QObject* parent) : QObject(parent) {
    texts_.append(QString());
    facts_.emplace_back();
    ids_.insert(QString(), 0);
}

ReadingTable::~ReadingTable() = default;

QString ReadingTable::fieldName(int field) {
    static const char* const names[kFieldCount] = {"No",   "Time",    "Value",
                                                   "Unit", "V_Range", "I_Range"};
    return field >= 0 && field < kFieldCount ? QString::fromLatin1(names[field]) : QString();
}

QTime ReadingTable::time(int row) const {
    if (isTimeNull(row))
        return QTime();
    return QTime::fromMSecsSinceStartOfDay(timeMs(row));
}

const QString& ReadingTable::text(int row, Field field) const {
    Q_ASSERT(field >= Value && field <= I_Range);
    return texts_[at(row).text[size_t(field - Value)]];
}

bool ReadingTable::isNull(int row, Field field) const {
    switch (field) {
    case No:
        return isNoNull(row);
    case Time:
        return isTimeNull(row);
    default:
        return at(row).text[size_t(field - Value)] == 0;
    }
}

ReadingRow ReadingTable::row(int i) const {
    const Row& r = at(i);
    ReadingRow out;
    out.No = r.no;
    out.NoNull = r.time & kNoNullBit;
    out.TimeMs = int(r.time & kTimeMask);
    out.TimeNull = r.time & kTimeNullBit;
    out.Value = texts_[r.text[0]];
    out.Unit = texts_[r.text[1]];
    out.V_Range = texts_[r.text[2]];
    out.I_Range = texts_[r.text[3]];
    if (r.stamp >= 0)
        out.AtMs = r.stamp;
    else
        out.Source = int(-1 - r.stamp);
    return out;
}

std::optional<qint64> ReadingTable::recordedAt(int row) const {
    const qint64 stamp = at(row).stamp;
    return stamp >= 0 ? std::optional<qint64>(stamp) : std::nullopt;
}

int ReadingTable::sourceOf(int row) const {
    const qint64 stamp = at(row).stamp;
    return stamp >= 0 ? 0 : int(-1 - stamp);
}

void ReadingTable::setSourceOf(int first, int last, int source) {
    Q_ASSERT(source >= 0 && source < sources_.size());
    for (int row = std::max(first, 0); row <= last && row < count_; ++row)
        if (at(row).stamp < 0)
            at(row).stamp = -1 - qint64(source);
}

int ReadingTable::sourceIndex(const QString& file) {
    if (file.isEmpty())
        return 0;
    const qsizetype i = sources_.lastIndexOf(file);
    if (i > 0)
        return int(i);
    sources_.append(file);
    return int(sources_.size() - 1);
}

QString ReadingTable::cutToBytes(const QString& text, int bytes) {
    // Up to bytes/2 UTF-16 units always fit: no character takes more than two bytes per unit.
    if (text.size() <= bytes / 2)
        return text;
    int used = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        int units = 1;
        int cost = c.unicode() < 0x80 ? 1 : 2;
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            units = 2;
            cost = 4;
        }
        if (used + cost > bytes)
            return text.left(i);
        used += cost;
        i += units;
    }
    return text;
}

quint32 ReadingTable::intern(int column, const QString& text) {
    if (text.isEmpty())
        return 0;
    Recent& recent = recent_[size_t(column)];
    for (int i = 0; i < kRecent; ++i)
        if (recent.text[size_t(i)] == text)
            return recent.id[size_t(i)];
    const quint32 id = internText(text);
    recent.text[size_t(recent.next)] = text;
    recent.id[size_t(recent.next)] = id;
    recent.next = (recent.next + 1) % kRecent;
    return id;
}

quint32 ReadingTable::internText(const QString& text) {
    if (text.isEmpty())
        return 0;
    const QString cut = cutToBytes(text);
    auto it = ids_.constFind(cut);
    if (it != ids_.constEnd())
        return it.value();
    const auto id = quint32(texts_.size());
    texts_.append(cut);
    ids_.insert(cut, id);
    TextFacts facts;
    facts.value = valueOf(cut);
    facts.unit = unitOf(cut);
    facts.mode = testModeOf(cut);
    facts.insulation = isInsulationFunction(cut);
    facts.testVolts = testVoltsOf(cut);
    facts_.push_back(facts);
    textBytes_ += qint64(sizeof(QString)) * 2 + 32 + cut.size() * 2 * 2;
    return id;
}

ReadingTable::Row ReadingTable::packed(const ReadingRow& in) {
    return pack(
        in.No, in.NoNull, in.TimeMs, in.TimeNull,
        {intern(0, in.Value), intern(1, in.Unit), intern(2, in.V_Range), intern(3, in.I_Range)},
        in.AtMs, in.Source);
}

ReadingTable::Row ReadingTable::pack(qint32 no, bool noNull, int timeMs, bool timeNull,
                                     const std::array<quint32, 4>& texts,
                                     std::optional<qint64> atMs, int source) {
    Row r;
    r.stamp = atMs && *atMs >= 0 ? *atMs : -1 - qint64(std::max(source, 0));
    r.no = noNull ? 0 : no;
    const int ms = timeMs < 0 ? 0 : timeMs % 86'400'000;
    r.time = timeNull ? kTimeNullBit : quint32(ms);
    if (noNull)
        r.time |= kNoNullBit;
    r.text = texts;
    return r;
}

int ReadingTable::append(const ReadingRow& in) {
    return appendPacked(packed(in));
}

int ReadingTable::appendInterned(qint32 no, bool noNull, int timeMs, bool timeNull,
                                 const std::array<quint32, 4>& texts, std::optional<qint64> atMs,
                                 int source) {
    for (quint32 id : texts)
        Q_ASSERT(id < textCount());
    Q_ASSERT(source >= 0 && source < sources_.size());
    return appendPacked(pack(no, noNull, timeMs, timeNull, texts, atMs, source));
}

int ReadingTable::appendPacked(const Row& r) {
    const int index = count_;
    if ((size_t(index) >> kBlockShift) == blocks_.size())
        blocks_.push_back(std::make_unique_for_overwrite<Row[]>(kBlockRows));
    at(index) = r;
    ++count_;

    if (suspend_ == 0)
        Q_EMIT rowsAppended(index, index);
    return index;
}

void ReadingTable::removeRow(int row) {
    if (row < 0 || row >= count_)
        return;
    if (suspend_ == 0)
        Q_EMIT rowsAboutToBeRemoved(row, row);
    for (int i = row; i + 1 < count_; ++i)
        at(i) = at(i + 1);
    --count_;
    if ((size_t(count_) + kBlockRows - 1) >> kBlockShift < blocks_.size())
        blocks_.pop_back();
    if (suspend_ == 0)
        Q_EMIT rowsRemoved(row, row);
}

void ReadingTable::replaceRow(int row, const ReadingRow& values) {
    if (row < 0 || row >= count_)
        return;
    if (suspend_ == 0)
        Q_EMIT aboutToReset();
    at(row) = packed(values);
    if (suspend_ == 0)
        Q_EMIT tableReset();
}

void ReadingTable::removeRows(const std::vector<int>& rows) {
    if (rows.empty())
        return;
    if (suspend_ == 0)
        Q_EMIT aboutToReset();
    // One pass: every kept row moves down over the removed ones before it.
    const int first = std::clamp(rows.front(), 0, count_);
    int to = first;
    size_t next = 0;
    for (int from = first; from < count_; ++from) {
        while (next < rows.size() && rows[next] < from)
            ++next;
        if (next < rows.size() && rows[next] == from) {
            ++next;
            continue;
        }
        at(to++) = at(from);
    }
    count_ = to;
    blocks_.resize((size_t(count_) + kBlockRows - 1) >> kBlockShift);
    if (suspend_ == 0)
        Q_EMIT tableReset();
}

void ReadingTable::clear() {
    if (suspend_ == 0)
        Q_EMIT aboutToReset();
    blocks_.clear();
    count_ = 0;
    if (suspend_ == 0)
        Q_EMIT tableReset();
}

void ReadingTable::takeRowsOf(ReadingTable& other) {
    if (&other == this)
        return;
    // Other's ids become this table's; the rows move block by block and are renumbered in place.
    std::vector<quint32> ids(size_t(other.texts_.size()));
    for (qsizetype i = 1; i < other.texts_.size(); ++i)
        ids[size_t(i)] = internText(other.texts_[i]);
    std::vector<int> sources(size_t(other.sources_.size()));
    for (qsizetype i = 1; i < other.sources_.size(); ++i)
        sources[size_t(i)] = sourceIndex(other.sources_[i]);
    if (suspend_ == 0)
        Q_EMIT aboutToReset();
    if (other.suspend_ == 0)
        Q_EMIT other.aboutToReset();
    blocks_ = std::move(other.blocks_);
    count_ = std::exchange(other.count_, 0);
    other.blocks_.clear();
    for (int row = 0; row < count_; ++row) {
        Row& r = at(row);
        for (quint32& id : r.text)
            id = ids[id];
        if (r.stamp < 0)
            r.stamp = -1 - qint64(sources[size_t(-1 - r.stamp)]);
    }
    if (suspend_ == 0)
        Q_EMIT tableReset();
    if (other.suspend_ == 0)
        Q_EMIT other.tableReset();
}

void ReadingTable::suspendUpdates() {
    // Announced up front: whatever happens in between, views must not read the old rows.
    if (suspend_++ == 0)
        Q_EMIT aboutToReset();
}

void ReadingTable::resumeUpdates() {
    if (suspend_ == 0 || --suspend_ > 0)
        return;
    Q_EMIT tableReset();
}

qint64 ReadingTable::memoryBytes() const {
    return qint64(blocks_.size()) * kBlockRows * qint64(sizeof(Row)) + textBytes_ +
           qint64(ids_.capacity()) * 16 + qint64(facts_.capacity() * sizeof(TextFacts));
}
