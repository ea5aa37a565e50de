#include "chart/lane_legend.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QStringList>

namespace {
constexpr double kPad = 3;
constexpr double kSwatch = 8;
} // namespace

LaneLegend::LaneLegend(QGraphicsItem* parent) : QGraphicsItem(parent), font_("Arial") {
    font_.setPixelSize(10);
    setZValue(100); // above the curves
}

void LaneLegend::set(const QList<Entry>& entries) {
    if (entries == entries_)
        return;
    prepareGeometryChange();
    entries_ = entries;
    const QFontMetricsF fm(font_);
    lineHeight_ = fm.height();
    double width = 0;
    for (const Entry& e : entries_)
        width = std::max(width, fm.horizontalAdvance(e.text));
    bounds_ = entries_.isEmpty() ? QRectF()
                                 : QRectF(0, 0, kPad * 3 + kSwatch + width,
                                          lineHeight_ * double(entries_.size()) + kPad);
    update();
}

QString LaneLegend::text() const {
    QStringList lines;
    for (const Entry& e : entries_)
        lines << e.text;
    return lines.join(u'\n');
}

void LaneLegend::paint(QPainter* p, const QStyleOptionGraphicsItem*, QWidget*) {
    if (entries_.isEmpty())
        return;
    p->fillRect(bounds_, QColor(255, 255, 255, 215));
    p->setFont(font_);
    for (qsizetype i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        const QRectF line(0, kPad / 2 + lineHeight_ * double(i), bounds_.width(), lineHeight_);
        if (e.swatch.isValid())
            p->fillRect(QRectF(kPad, line.center().y() - kSwatch / 2, kSwatch, kSwatch), e.swatch);
        p->setPen(Qt::black);
        p->drawText(line.adjusted(kPad * 2 + kSwatch, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                    e.text);
    }
}
