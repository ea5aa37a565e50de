#pragma once

#include <QtGlobal>

// Paging of the trend chart: a fixed number of points a page (0 shows every point on one page),
// the current page from 1, and the enabled state of the four paging buttons, which changes only
// when a button is pressed (see the handlers below).
class ChartPaging {
public:
    struct Buttons {
        bool first = true;
        bool previous = true;
        bool next = true;
        bool last = true;
        bool operator==(const Buttons&) const = default;
    };

    qint64 pointCount() const { return points_; }
    int pointsPerPage() const { return perPage_; }
    qint64 page() const { return page_; }
    const Buttons& buttons() const { return buttons_; }

    // Pages for the current point count: at least 1.
    qint64 pageCount() const;
    // Index (from 0) of the first point on the current page, and the number of point slots a page
    // has: the last page keeps the width of a full one. With a full last page, the last page
    // shows the newest points, at least four fifths of what a page holds, so that following new
    // points never leaves a nearly empty page on view.
    qint64 firstPointOnPage() const;
    qint64 slotsOnPage() const;

    void setFullLastPage(bool full) { fullLast_ = full; }
    bool fullLastPage() const { return fullLast_; }
    // The size must be >= 0. A current page beyond the new last page moves to the last page.
    void setPointsPerPage(int perPage);
    // New point count. With `follow`, a chart that showed its last page keeps showing the last
    // page; otherwise the page moves back only when it would lie beyond the last page.
    void setPointCount(qint64 count, bool follow);

    // The paging buttons.
    void first();
    void previous();
    void next();
    void last();

private:
    void clampPage();

    qint64 points_ = 0;
    int perPage_ = 100;
    qint64 page_ = 1;
    Buttons buttons_;
    bool fullLast_ = false;
};
