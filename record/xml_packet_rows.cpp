#include "record/xml_packet_rows.h"

#include <algorithm>
#include <climits>

namespace {

// Row states: flags that a table engine adds up.
constexpr int kEarlierVersion = 1, kDeleted = 2, kModified = 8;

} // namespace

void XmlPacketRows::setChangeLog(QStringView log) {
    // Triples of numbers; a log that is not one is no help in placing rows, and no fault. Read
    // in place, not split into a list: a log may name every row of a large packet.
    QHash<int, int> replaces;
    std::array<qint64, 3> triple{};
    int inTriple = 0;
    for (qsizetype i = 0; i < log.size();) {
        if (log[i] == u' ') {
            ++i;
            continue;
        }
        qint64 n = 0;
        const qsizetype start = i;
        for (; i < log.size() && log[i] >= u'0' && log[i] <= u'9' && n <= INT_MAX; ++i)
            n = n * 10 + (log[i].unicode() - u'0');
        if (i == start || n > INT_MAX || (i < log.size() && log[i] != u' '))
            return;
        triple[size_t(inTriple)] = n;
        if (++inTriple == 3) {
            inTriple = 0;
            if (triple[1] > 0 && triple[1] < triple[0])
                replaces.insert(int(triple[0]), int(triple[1]));
        }
    }
    if (inTriple == 0)
        replaces_ = std::move(replaces);
}

// The chain of versions that the changed row in `record` continues: the one of the version
// that the change log says it replaces, else the first chain still waiting.
int XmlPacketRows::chainOf(int record) {
    if (auto r = replaces_.constFind(record); r != replaces_.constEnd())
        if (auto c = chainAt_.constFind(r.value()); c != chainAt_.constEnd())
            if (chains_[size_t(c.value())].open)
                return c.value();
    while (!open_.empty() && !chains_[size_t(open_.front())].open)
        open_.pop_front();
    return open_.empty() ? -1 : open_.front();
}

int XmlPacketRows::place(const Values& v) {
    return table_.appendInterned(v.no, v.noNull, v.timeMs, v.timeNull, v.texts);
}

void XmlPacketRows::add(const Values& v, int state) {
    const int record = ++record_;
    if ((state & (kEarlierVersion | kDeleted | kModified)) == 0) {
        place(v);
        return;
    }
    const bool earlier = state & kEarlierVersion;
    const bool deleted = state & kDeleted;
    const int chain = state & kModified ? chainOf(record) : -1;
    if (chain < 0) {
        if (deleted)
            return; // not a row of the table
        const int row = place(v);
        if (earlier) {
            const int c = int(chains_.size());
            chains_.push_back({row, true});
            chainAt_.insert(record, c);
            open_.push_back(c);
        }
        return;
    }
    // A later version: its values over the ones at the original's place. A version need not
    // repeat the fields that it left as they were.
    Chain& c = chains_[size_t(chain)];
    ReadingRow merged = table_.row(c.row);
    if (v.present & (1u << ReadingTable::No)) {
        merged.No = v.no;
        merged.NoNull = v.noNull;
    }
    if (v.present & (1u << ReadingTable::Time)) {
        merged.TimeMs = v.timeMs;
        merged.TimeNull = v.timeNull;
    }
    QString* texts[4] = {&merged.Value, &merged.Unit, &merged.V_Range, &merged.I_Range};
    for (int f = 0; f < 4; ++f)
        if (v.present & (1u << (ReadingTable::Value + f)))
            *texts[f] = table_.textById(v.texts[size_t(f)]);
    table_.replaceRow(c.row, merged);
    if (earlier && !deleted) {
        chainAt_.insert(record, chain); // changed again later
        return;
    }
    c.open = false;
    if (deleted)
        gone_.push_back(c.row);
}

void XmlPacketRows::finish() {
    std::sort(gone_.begin(), gone_.end());
    table_.removeRows(gone_);
    gone_.clear();
}
