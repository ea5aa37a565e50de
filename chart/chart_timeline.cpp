#include "chart/chart_timeline.h"

#include "record/reading_table.h"

qint64 ChartTimeline::step(const SampleTime& from, const SampleTime& to) {
    const qint64 ms = elapsedMs(from, to);
    if (ms >= 0)
        return ms;
    return elapsedMs(SampleTime(from.msOfDay), SampleTime(to.msOfDay));
}

void ChartTimeline::reset(const ReadingTable* table, int firstRow) {
    table_ = table;
    first_ = firstRow;
    seen_ = firstRow;
    timed_ = false;
    lastAt_ = 0;
    origin_ = {};
    last_ = {};
    checkpoints_.clear();
    extend();
}

void ChartTimeline::extend() {
    if (!table_)
        return;
    for (; seen_ < table_->rowCount(); ++seen_) {
        if (!table_->isTimeNull(seen_)) {
            const SampleTime t = table_->sampleTime(seen_);
            if (!timed_) {
                origin_ = t;
                timed_ = true;
            } else {
                lastAt_ += step(last_, t);
            }
            last_ = t;
        }
        if ((seen_ - first_) % kEvery == 0)
            checkpoints_.push_back(lastAt_);
    }
}

qint64 ChartTimeline::at(int row) const {
    if (!table_ || row < first_ || checkpoints_.empty())
        return 0;
    const size_t k = std::min(size_t(row - first_) / kEvery, checkpoints_.size() - 1);
    Walk walk(*this, first_ + int(k) * kEvery, checkpoints_[k]);
    return walk.at(row);
}

ChartTimeline::Walk::Walk(const ChartTimeline& line, int fromRow)
    : Walk(line, fromRow, line.at(fromRow)) {}

ChartTimeline::Walk::Walk(const ChartTimeline& line, int fromRow, qint64 ms)
    : line_(line), row_(fromRow), ms_(ms) {
    if (!line.table_)
        return;
    // The last row with a time at or before the first: the next step starts from it.
    for (int back = std::min(fromRow, line.seen_ - 1); back >= line.first_; --back)
        if (!line.table_->isTimeNull(back)) {
            prev_ = line.table_->sampleTime(back);
            break;
        }
}

qint64 ChartTimeline::Walk::at(int row) {
    const ReadingTable* t = line_.table_;
    for (++row_; row_ <= row && row_ < line_.seen_; ++row_) {
        if (t->isTimeNull(row_))
            continue;
        const SampleTime time = t->sampleTime(row_);
        if (prev_)
            ms_ += step(*prev_, time);
        prev_ = time;
    }
    row_ = row;
    return ms_;
}

std::optional<qint64> ChartTimeline::instantAt(qint64 ms) const {
    if (!origin_.epochMs)
        return std::nullopt;
    return *origin_.epochMs + ms;
}
