#include "display/lcd_glyphs.h"

#include <QLineF>
#include <QPainterPathStroker>
#include <QPolygonF>

#include <cmath>
#include <numbers>
#include <span>

namespace lcd {

using replica::Align;
using replica::Face;

namespace {

// Segment face metrics, as fractions of the character height.
constexpr qreal kBaseline = 0.81;   // from the label's top
constexpr qreal kCapHeight = 0.68;  // digits and unit letters
constexpr qreal kSegment = 0.085;   // segment thickness
constexpr qreal kSegmentGap = 0.02; // gap between neighbouring segments

// Segments a-g of each digit: bit 0 a (top), b (top right), c (bottom right), d (bottom),
// e (bottom left), f (top left), bit 6 g (middle).
constexpr quint8 kA = 1, kB = 2, kC = 4, kD = 8, kE = 16, kF = 32, kG = 64;
constexpr quint8 kDigitSegments[10] = {
    kA | kB | kC | kD | kE | kF, kB | kC,           kA | kB | kG | kE | kD,
    kA | kB | kG | kC | kD,      kF | kG | kB | kC, kA | kF | kG | kC | kD,
    kA | kF | kG | kE | kD | kC, kA | kB | kC,      kA | kB | kC | kD | kE | kF | kG,
    kA | kB | kC | kD | kF | kG,
};
constexpr quint8 kLSegments = kD | kE | kF;

struct Advance {
    char16_t c;
    qreal width; // of the character height
};
// Characters not listed take a digit's width (segment face) or a segment's (bar face).
constexpr Advance kSegmentAdvances[] = {{u'.', 0.19},  {u'-', 0.29},  {u':', 0.27},  {u'*', 0.71},
                                        {u'M', 0.875}, {u'G', 0.875}, {u'T', 0.667}, {u' ', 0.3}};
constexpr Advance kUnitAdvances[] = {{u' ', 0.3}};
constexpr Advance kBarAdvances[] = {{u'|', 0.5}, {u'{', 0.6}, {u'~', 1.0}};

qreal advance(Face face, QChar c, qreal px) {
    auto look = [&](std::span<const Advance> table, qreal otherwise) {
        for (const Advance& a : table)
            if (a.c == c.unicode())
                return a.width * px;
        return otherwise * px;
    };
    switch (face) {
    case Face::Segment:
        return look(kSegmentAdvances, 0.375);
    case Face::Unit:
        return look(kUnitAdvances, 0.667);
    case Face::Bar:
        return look(kBarAdvances, 0.3);
    case Face::Arial:
    case Face::None:
        break;
    }
    return 0;
}

// A segment with pointed ends, from (x1, y1) to (x2, y2) along one axis, `t` thick.
void addSegment(QPainterPath& path, qreal x1, qreal y1, qreal x2, qreal y2, qreal t) {
    const qreal h = t / 2;
    QPolygonF p;
    if (y1 == y2)
        p << QPointF(x1, y1) << QPointF(x1 + h, y1 - h) << QPointF(x2 - h, y1 - h)
          << QPointF(x2, y1) << QPointF(x2 - h, y1 + h) << QPointF(x1 + h, y1 + h);
    else
        p << QPointF(x1, y1) << QPointF(x1 + h, y1 + h) << QPointF(x1 + h, y2 - h)
          << QPointF(x1, y2) << QPointF(x1 - h, y2 - h) << QPointF(x1 - h, y1 + h);
    p << p.first();
    path.addPolygon(p);
}

void addDigit(QPainterPath& path, quint8 segments, qreal x, qreal top, qreal px) {
    const qreal w = std::round(0.32 * px);
    const qreal left = std::round(x + (0.375 * px - w) / 2);
    const qreal right = left + w;
    const qreal bottom = std::round(top + kBaseline * px);
    const qreal capTop = bottom - std::round(kCapHeight * px);
    const qreal t = std::max<qreal>(2, std::round(kSegment * px));
    const qreal g = std::max<qreal>(1, kSegmentGap * px);
    const qreal xl = left + t / 2, xr = right - t / 2;
    const qreal yt = capTop + t / 2, yb = bottom - t / 2;
    const qreal ym = capTop + std::round((bottom - capTop - t) / 2) + t / 2;
    // Centre lines of segments a-g, in bit order.
    const QLineF lines[7] = {{xl + g, yt, xr - g, yt}, {xr, yt + g, xr, ym - g},
                             {xr, ym + g, xr, yb - g}, {xl + g, yb, xr - g, yb},
                             {xl, ym + g, xl, yb - g}, {xl, yt + g, xl, ym - g},
                             {xl + g, ym, xr - g, ym}};
    for (int s = 0; s < 7; ++s)
        if (segments & (1 << s))
            addSegment(path, lines[s].x1(), lines[s].y1(), lines[s].x2(), lines[s].y2(), t);
}

// Outlines drawn with a pen of width `sw` are turned into fill areas and clipped to `box`, so
// that strokes end square at the glyph's edges.
void addStroked(QPainterPath& out, const QPainterPath& line, qreal sw, const QRectF& box) {
    QPainterPathStroker stroker;
    stroker.setWidth(sw);
    stroker.setCapStyle(Qt::FlatCap);
    stroker.setJoinStyle(Qt::MiterJoin);
    stroker.setMiterLimit(3);
    QPainterPath clip;
    clip.addRect(box);
    out.addPath(stroker.createStroke(line).intersected(clip));
}

// A unit letter in the segment or unit face: a bold stroke outline on the digits' baseline.
void addLetter(QPainterPath& path, Face face, QChar c, qreal x, qreal top, qreal px, bool bold) {
    const qreal adv = advance(face, c, px);
    const qreal sw = std::max<qreal>(2, std::round((bold ? 0.12 : 0.09) * px));
    const qreal bottom = std::round(top + kBaseline * px);
    const qreal capTop = bottom - std::round(kCapHeight * px);
    qreal w = 0;
    switch (c.unicode()) {
    case u'*':
        w = 0.6 * px;
        break;
    case u'M':
        w = 0.7 * px;
        break;
    case u'G':
        w = 0.72 * px;
        break;
    default:
        w = 0.58 * px;
        break;
    }
    w = std::round(w);
    const qreal left = std::round(x + (adv - w) / 2);
    const QRectF box(left, capTop, w, bottom - capTop);
    const qreal h = sw / 2;
    const qreal l = box.left(), r = box.right(), t = box.top(), b = box.bottom();
    const qreal cx = box.center().x();
    QPainterPath line;
    switch (c.unicode()) {
    case u'*': {
        // Ω: a ring open at the bottom, standing on two short feet.
        const QRectF ring(l + 0.1 * w + h, t + h, w * 0.8 - sw, box.height() * 0.8);
        const qreal start = 238, sweep = -296;
        const qreal rx = ring.width() / 2, ry = ring.height() / 2;
        const qreal a0 = start * std::numbers::pi / 180,
                    a1 = (start + sweep) * std::numbers::pi / 180;
        const QPointF p0(ring.center().x() + rx * std::cos(a0),
                         ring.center().y() - ry * std::sin(a0));
        const QPointF p1(ring.center().x() + rx * std::cos(a1),
                         ring.center().y() - ry * std::sin(a1));
        line.moveTo(l, b - h);
        line.lineTo(p0.x(), b - h);
        line.lineTo(p0);
        line.arcTo(ring, start, sweep);
        line.lineTo(p1.x(), b - h);
        line.lineTo(r, b - h);
        break;
    }
    case u'M':
        line.moveTo(l + h, b);
        line.lineTo(l + h, t + h);
        line.lineTo(cx, t + 0.62 * box.height());
        line.lineTo(r - h, t + h);
        line.lineTo(r - h, b);
        break;
    case u'G': {
        const QRectF ring = box.adjusted(h, h, -h, -h);
        line.arcMoveTo(ring, 42);
        line.arcTo(ring, 42, 318);
        line.lineTo(cx + 0.05 * w, ring.center().y());
        break;
    }
    case u'T':
        line.moveTo(l, t + h);
        line.lineTo(r, t + h);
        line.moveTo(cx, t + h);
        line.lineTo(cx, b);
        break;
    case u'V':
        line.moveTo(l + h, t - sw);
        line.lineTo(cx, b - h);
        line.lineTo(r - h, t - sw);
        break;
    default:
        return;
    }
    addStroked(path, line, sw, box);
}

void addBarGlyph(QPainterPath& path, QChar c, qreal x, qreal top, qreal px) {
    auto rect = [&](qreal l, qreal t, qreal w, qreal h) {
        path.addRect(QRectF(std::round(x + l * px), std::round(top + t * px), std::round(w * px),
                            std::round(h * px)));
    };
    switch (c.unicode()) {
    case u'!': // one segment, hanging under the scale's baseline
        rect(0.11, 0.26, 0.26, 0.82);
        break;
    case u'|': // the 0 end: a tall, narrow mark continuing the zero tick
        rect(0.17, 0.30, 0.10, 0.42);
        break;
    case u'{': { // beyond the last decade: a wedge pointing at infinity
        const qreal l = std::round(x + 0.08 * px), r = std::round(x + 0.44 * px);
        const qreal t = std::round(top + 0.30 * px), b = std::round(top + 0.66 * px);
        QPolygonF p;
        p << QPointF(l, t) << QPointF(r, (t + b) / 2) << QPointF(l, b) << QPointF(l, t);
        path.addPolygon(p);
        break;
    }
    case u'~': { // ∞ as a lemniscate
        const qreal cx = x + 0.53 * px, cy = top + 0.66 * px;
        const qreal a = 0.4 * px, sw = std::max<qreal>(2, std::round(0.1 * px));
        QPainterPath line;
        constexpr int kSteps = 64;
        for (int i = 0; i <= kSteps; ++i) {
            const qreal u = 2 * std::numbers::pi * i / kSteps;
            const qreal s = std::sin(u), d = 1 + s * s;
            const QPointF p(cx + a * std::cos(u) / d, cy + 1.35 * a * s * std::cos(u) / d);
            if (i == 0)
                line.moveTo(p);
            else
                line.lineTo(p);
        }
        QPainterPathStroker stroker;
        stroker.setWidth(sw);
        stroker.setJoinStyle(Qt::RoundJoin);
        path.addPath(stroker.createStroke(line));
        break;
    }
    default:
        break;
    }
}

} // namespace

qreal textWidth(Face face, QStringView text, qreal px) {
    qreal w = 0;
    for (QChar c : text)
        w += advance(face, c, px);
    return w;
}

QPainterPath textPath(Face face, QStringView text, qreal px, bool bold, const QRectF& box,
                      Align align) {
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    qreal x = box.left();
    if (align == Align::Right)
        x = box.right() - textWidth(face, text, px);
    const qreal top = box.top();
    for (QChar c : text) {
        if (face == Face::Bar) {
            addBarGlyph(path, c, x, top, px);
        } else if (c >= u'0' && c <= u'9') {
            addDigit(path, kDigitSegments[c.unicode() - u'0'], x, top, px);
        } else if (c == u'@') {
            addDigit(path, kLSegments, x, top, px);
        } else if (c == u'-') {
            const qreal bottom = std::round(top + kBaseline * px);
            const qreal t = std::max<qreal>(2, std::round(kSegment * px));
            const qreal y = bottom - std::round(kCapHeight * px / 2 - t / 2) - t / 2;
            const qreal w = std::round(0.22 * px);
            const qreal l = std::round(x + (advance(face, c, px) - w) / 2);
            addSegment(path, l, y, l + w, y, t);
        } else if (c == u'.' || c == u':') {
            const qreal side = std::max<qreal>(2, std::round((c == u'.' ? 0.13 : 0.1) * px));
            const qreal l = std::round(x + (advance(face, c, px) - side) / 2);
            const qreal bottom = std::round(top + kBaseline * px);
            if (c == u'.') {
                path.addRect(QRectF(l, bottom - side, side, side));
            } else {
                for (qreal at : {0.2, 0.52})
                    path.addRect(QRectF(l, std::round(bottom - at * px - side / 2), side, side));
            }
        } else {
            addLetter(path, face, c, x, top, px, bold);
        }
        x += advance(face, c, px);
    }
    return path;
}

} // namespace lcd
