#pragma once

#include "core/sample_time.h"

#include <QtGlobal>

#include <optional>
#include <vector>

class ReadingTable;

// The clock of a table's rows as one line: milliseconds from a first row to each row after it,
// never going back, so that a table across midnight or over days keeps its order. Where both
// rows of a step know their instant the step is their difference; otherwise (rows loaded from a
// file, or a clock set back) it counts on from one time of day to the next. Rows without a
// time stay where the row before them was. Kept up as rows arrive; a row's place is found from
// the nearest of the checkpoints kept every few hundred rows.
class ChartTimeline {
public:
    // Starts the line at `firstRow` of `table` (not owned) and takes in its rows.
    void reset(const ReadingTable* table, int firstRow);
    // Takes in rows appended since.
    void extend();

    int firstRow() const { return first_; }
    // Milliseconds from the first row to `row` (>= firstRow, taken in).
    qint64 at(int row) const;
    // The first row's time.
    const SampleTime& origin() const { return origin_; }
    // Where the first row's instant is known: the instant `ms` along the line.
    std::optional<qint64> instantAt(qint64 ms) const;

    // The places of rows met in order (a page's rows), each found from the one before.
    class Walk {
    public:
        Walk(const ChartTimeline& line, int fromRow);
        // Rows must come in order, from fromRow on.
        qint64 at(int row);

    private:
        friend class ChartTimeline;
        Walk(const ChartTimeline& line, int fromRow, qint64 ms);
        const ChartTimeline& line_;
        int row_;
        qint64 ms_;
        std::optional<SampleTime> prev_;
    };

private:
    friend class Walk;
    static constexpr int kEvery = 256;
    static qint64 step(const SampleTime& from, const SampleTime& to);

    const ReadingTable* table_ = nullptr;
    int first_ = 0;
    int seen_ = 0;
    SampleTime origin_;
    SampleTime last_;    // the time of the last timed row taken in
    bool timed_ = false; // a row with a time has been taken in
    qint64 lastAt_ = 0;
    std::vector<qint64> checkpoints_; // at(first_ + i * kEvery)
};
