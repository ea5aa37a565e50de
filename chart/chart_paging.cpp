#include "chart/chart_paging.h"

#include <algorithm>

qint64 ChartPaging::pageCount() const {
    if (perPage_ <= 0 || points_ <= 0)
        return 1;
    return (points_ + perPage_ - 1) / perPage_;
}

qint64 ChartPaging::firstPointOnPage() const {
    if (perPage_ <= 0)
        return 0;
    if (fullLast_ && page_ > 1 && page_ == pageCount()) {
        // The page moves on a fifth of its width at a time, not with every new point, so that
        // its axis stays put for a while.
        const qint64 step = std::max(perPage_ / 5, 1);
        return (points_ - perPage_ + step - 1) / step * step;
    }
    return (page_ - 1) * perPage_;
}

qint64 ChartPaging::slotsOnPage() const {
    return perPage_ > 0 ? perPage_ : points_;
}

void ChartPaging::clampPage() {
    page_ = std::clamp<qint64>(page_, 1, pageCount());
}

void ChartPaging::setPointsPerPage(int perPage) {
    perPage_ = std::max(perPage, 0);
    clampPage();
}

void ChartPaging::setPointCount(qint64 count, bool follow) {
    const bool onLast = page_ >= pageCount();
    points_ = std::max<qint64>(count, 0);
    if (follow && onLast)
        page_ = pageCount();
    clampPage();
}

void ChartPaging::first() {
    buttons_ = {false, false, true, true};
    page_ = 1;
}

void ChartPaging::previous() {
    if (page_ == 1) {
        buttons_ = {false, false, true, true};
        return;
    }
    --page_;
    buttons_.next = buttons_.last = true;
}

void ChartPaging::next() {
    if (page_ == pageCount()) {
        buttons_ = {true, true, false, false};
        return;
    }
    ++page_;
    buttons_.first = buttons_.previous = true;
}

void ChartPaging::last() {
    buttons_ = {true, true, false, false};
    page_ = pageCount();
}
