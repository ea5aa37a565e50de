#include "app/client_layout.h"

#include <algorithm>

ClientLayout ClientLayout::forView(QSize view) {
    const int addedWidth = std::max(0, view.width() - kFirstView.width());
    const int addedHeight = std::max(0, view.height() - kFirstView.height());
    ClientLayout l;
    l.toolbar = kToolbar.adjusted(0, 0, addedWidth, 0);

    // Height: the gap above the chart closes first, then the chart scrolls into view; once the
    // whole column fits, grid and chart grow together.
    const int gap = kChart.top() - kGrid.bottom() - 1;
    const int closing = std::min(addedHeight, gap - kMinGap);
    const int bottomMargin = kFirstView.height() - kGrid.bottom() - 1;
    const int whole = kGrid.bottom() + 1 + kMinGap + kChart.height() + bottomMargin;
    const int extra = std::max(0, view.height() - whole);
    const int gridExtra = extra * kGrid.height() / (kGrid.height() + kChart.height());
    l.grid = kGrid.adjusted(0, 0, addedWidth, gridExtra);
    const int chartTop = kChart.top() - closing + gridExtra;

    // Width: SetFeature comes into view at the right once there is room for it, and the chart
    // grows up to it.
    const int featureLeft =
        std::max(kSetFeature.left(), view.width() - bottomMargin - 1 - kSetFeature.width());
    const int chartWidth =
        std::min(kChart.width() + addedWidth, featureLeft - kMinGap - kChart.left());
    l.chart = QRect(kChart.left(), chartTop, chartWidth, kChart.height() + extra - gridExtra);
    l.setFeature =
        QRect(QPoint(featureLeft, chartTop + kSetFeature.top() - kChart.top()), kSetFeature.size());

    const QRect all = l.toolbar | l.grid | l.chart | l.setFeature;
    l.client = QSize(std::max(view.width(), all.right() + 1),
                     std::max(view.height(), all.bottom() + 1 + bottomMargin));
    return l;
}

ClientScroll ClientScroll::forArea(QSize area, int barWidth, int barHeight) {
    // A bar takes room from the other direction, so it is decided again with the room left; the
    // controls need more room the less there is, so this settles at the second pass.
    ClientScroll s;
    for (int pass = 0; pass < 3; ++pass) {
        s.view = QSize(area.width() - (s.vertical ? barWidth : 0),
                       area.height() - (s.horizontal ? barHeight : 0));
        s.layout = ClientLayout::forView(s.view);
        const bool vertical = s.layout.client.height() > s.view.height();
        const bool horizontal = s.layout.client.width() > s.view.width();
        if (vertical == s.vertical && horizontal == s.horizontal)
            break;
        s.vertical = vertical;
        s.horizontal = horizontal;
    }
    return s;
}
