#include "app/client_layout.h"

#include <algorithm>

ClientLayout ClientLayout::forView(QSize view, int gridWidth) {
    ClientLayout l;
    // Below the grid the first view keeps one pixel of the area, as at the first size.
    const int foot = kFirstView.height() - kGrid.bottom() - 1;
    // Beside the grid the chart keeps its least width: a grid widened further scrolls itself.
    const int besideRoom = view.width() - kGap - kChartLeast.width() - kMargin;
    l.chartBeside = besideRoom >= kGrid.width();
    int grid = std::max(kGrid.width(), gridWidth);
    if (l.chartBeside) {
        grid = std::min(grid, besideRoom);
        const int chartLeft = grid + kGap;
        const int height = std::max(view.height(), kFirstView.height());
        l.grid = QRect(0, kGrid.top(), grid, height - kGrid.top() - foot);
        l.chart =
            QRect(chartLeft, kMargin, view.width() - chartLeft - kMargin, height - 2 * kMargin);
        l.client = QSize(view.width(), height);
        return l;
    }

    // The column: the grid at its first height, the chart at its least; once the view holds it
    // all, both grow, each in proportion to its first height.
    const int width = std::max({view.width(), grid + kMargin, kChartLeast.width() + 2 * kMargin});
    const int column = kGrid.bottom() + 1 + kGap + kChartLeast.height() + kMargin;
    const int extra = std::max(0, view.height() - column);
    const int gridExtra = extra * kGrid.height() / (kGrid.height() + kChartLeast.height());
    l.grid = QRect(0, kGrid.top(), std::max(grid, width - kMargin), kGrid.height() + gridExtra);
    l.chart = QRect(kMargin, l.grid.bottom() + 1 + kGap, width - 2 * kMargin,
                    kChartLeast.height() + extra - gridExtra);
    l.client = QSize(width, std::max(view.height(), column));
    return l;
}

QRect ClientLayout::enlargedChart(QSize view) {
    const QPoint corner(kMargin, kReplicaTop);
    return QRect(corner,
                 QSize(std::max(view.width() - corner.x() - kMargin, kChartLeast.width()),
                       std::max(view.height() - corner.y() - kMargin, kChartLeast.height())));
}

ClientScroll ClientScroll::forArea(QSize area, int barWidth, int barHeight, int gridWidth) {
    // A bar takes room from the other direction, so it is decided again with the room left; the
    // controls need more room the less there is, so this settles at the second pass.
    ClientScroll s;
    for (int pass = 0; pass < 3; ++pass) {
        s.view = QSize(area.width() - (s.vertical ? barWidth : 0),
                       area.height() - (s.horizontal ? barHeight : 0));
        s.layout = ClientLayout::forView(s.view, gridWidth);
        const bool vertical = s.layout.client.height() > s.view.height();
        const bool horizontal = s.layout.client.width() > s.view.width();
        if (vertical == s.vertical && horizontal == s.horizontal)
            break;
        s.vertical = vertical;
        s.horizontal = horizontal;
    }
    return s;
}
