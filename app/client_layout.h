#pragma once

#include <QRect>
#include <QSize>

// Where the main window's growing controls lie in its scrolling client area. The CONNECT and EXIT
// panels with SetFeature beside them, the replica and the record toolbar keep their places and
// sizes at any size. The grid lies below the toolbar, as wide as its columns need (at least its
// first width). The chart takes the rest: beside the grid and the replica, from top to foot,
// once that leaves it at least its least width (the grid then reaches down to the foot, and is
// never so wide that the chart would be narrower); in a narrower area below the grid, as wide as
// the area, reached by scrolling until the area is tall enough, and from there on the grid and
// the chart share every further pixel of height. Nothing lies beyond what the controls need, so
// a scroll bar always scrolls to a control.
struct ClientLayout {
    static constexpr QSize kFirstView{619, 526};
    static constexpr int kReplicaTop = 30;
    static constexpr QRect kToolbar{2, 320, 615, 33};
    static constexpr QRect kGrid{0, 348, 617, 177};
    // Beside CONNECT (414, 2, 119 x 27), of its height.
    static constexpr QRect kSetFeature{335, 2, 76, 27};
    // The chart is never smaller, so that its tool strip and both axes show whole.
    static constexpr QSize kChartLeast{361, 209};
    // Between the grid and the chart; the margin at the area's right and foot.
    static constexpr int kGap = 8;
    static constexpr int kMargin = 2;

    QRect grid, chart;
    bool chartBeside = false;
    // The client area's size: at least the visible part, and whatever the controls need.
    QSize client;

    // The places for a visible part of the client area of `view`, with a grid that needs
    // `gridWidth` pixels to show its columns whole.
    static ClientLayout forView(QSize view, int gridWidth = kGrid.width());
    // The places the enlarged chart takes in a visible part of `view`: the window's top part
    // below CONNECT, whole.
    static QRect enlargedChart(QSize view);
};

// The scroll bars the client area needs inside a scroll area of `area` (without a frame), with
// bars of the given thickness, and the visible part that remains.
struct ClientScroll {
    bool vertical = false, horizontal = false;
    QSize view;
    ClientLayout layout;

    static ClientScroll forArea(QSize area, int barWidth, int barHeight,
                                int gridWidth = ClientLayout::kGrid.width());
};
