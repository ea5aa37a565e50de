#pragma once

#include <QRect>
#include <QSize>

// Where the main window's growing controls lie in its scrolling client area. At the window's
// first size (a visible client area of 619 x 526) every control has its documented place: the
// grid fills the area's foot and the chart lies below it, reached by scrolling. A larger window
// first closes the gap above the chart so that it comes into view, then shows it whole, and from
// there on the grid and the chart share every further pixel of height, each in proportion to its
// first height; the toolbar, the grid and the chart take the added width. The replica, the
// CONNECT and EXIT panels and the toolbar's controls keep their places and sizes.
struct ClientLayout {
    static constexpr QSize kFirstView{619, 526};
    static constexpr QRect kToolbar{2, 320, 615, 33};
    static constexpr QRect kGrid{0, 348, 617, 177};
    static constexpr QRect kChart{18, 612, 361, 209};
    static constexpr QRect kSetFeature{698, 694, 75, 25};
    // The least room between the grid and the chart, and between the chart and SetFeature.
    static constexpr int kMinGap = 8;

    QRect toolbar, grid, chart, setFeature;
    // The client area's size: at least the visible part, and whatever the controls need.
    QSize client;

    // The places for a visible part of the client area of `view`.
    static ClientLayout forView(QSize view);
};

// The scroll bars the client area needs inside a scroll area of `area` (without a frame), with
// bars of the given thickness, and the visible part that remains.
struct ClientScroll {
    bool vertical = false, horizontal = false;
    QSize view;
    ClientLayout layout;

    static ClientScroll forArea(QSize area, int barWidth, int barHeight);
};
