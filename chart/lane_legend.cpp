#include "chart/lane_legend.h"

#include <QFontMetricsF>
#include <QPainter>

namespace {
constexpr double kPad = 3;
constexpr double kSwatch = 8;
} // namespace

LaneLegend::LaneLegend(QGraphicsItem* parent) : QGraphicsItem(parent), font_("Arial") {
    font_.setPixelSize(10);
    setZValue(100); // above the series
}

void LaneLegend::set(const QColor& swatch, const QString& text) {
    if (swatch == swatch_ && text == text_)
        return;
    prepareGeometryChange();
    swatch_ = swatch;
    text_ = text;
    const QFontMetricsF fm(font_);
    bounds_ = text.isEmpty() ? QRectF()
                             : QRectF(0, 0, kPad * 3 + kSwatch + fm.horizontalAdvance(text),
                                      fm.height() + kPad);
    update();
}

void LaneLegend::paint(QPainter* p, const QStyleOptionGraphicsItem*, QWidget*) {
    if (text_.isEmpty())
        return;
    p->fillRect(bounds_, QColor(255, 255, 255, 215));
    const double mid = bounds_.height() / 2;
    p->fillRect(QRectF(kPad, mid - kSwatch / 2, kSwatch, kSwatch), swatch_);
    p->setPen(Qt::black);
    p->setFont(font_);
    p->drawText(bounds_.adjusted(kPad * 2 + kSwatch, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                text_);
}
