#pragma once

#include "record/reading_table.h"

#include <QHash>
#include <QStringView>

#include <array>
#include <deque>
#include <vector>

// A packet's rows as the table that wrote it showed them. Table engines keep the history of
// their changes in the packet:
// - RowState flags on a row (1: an earlier version of a row that was changed later, 2: deleted,
//   4: inserted, 8: modified). Deleted rows and earlier versions are not shown; the current
//   version of a changed row is shown at the place of its original.
// - The change log of PARAMS, CHANGE_LOG="r p k ...": record r (rows counted from 1 in packet
//   order) replaces the version in record p. It says which original a changed row belongs to;
//   without it, changed versions go to the originals in the order in which they stand.
// This places rows in the table as they come and moves the current versions of changed rows to
// the places of their originals.
class XmlPacketRows {
public:
    explicit XmlPacketRows(ReadingTable& table) : table_(table) {}
    // One ROW's values.
    struct Values {
        qint32 no = 0;
        bool noNull = true;
        int timeMs = 0;
        bool timeNull = true;
        std::array<quint32, 4> texts{};
        unsigned present = 0; // bit per field: the row has its attribute
    };
    void setChangeLog(QStringView log);
    // The next ROW, with its RowState (0 when it has none).
    void add(const Values& v, int state);
    // After the last ROW: the rows deleted after a change go.
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
