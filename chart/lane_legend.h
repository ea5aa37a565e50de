#pragma once

#include <QColor>
#include <QFont>
#include <QGraphicsItem>
#include <QString>

// The legend of one lane of the chart: a swatch in the colour of the lane's line and what the
// lane shows ("IR:1000V 40GΩ"), on a pale ground so that it stays legible over the curve.
class LaneLegend : public QGraphicsItem {
public:
    explicit LaneLegend(QGraphicsItem* parent = nullptr);

    void set(const QColor& swatch, const QString& text);
    const QString& text() const { return text_; }

    QRectF boundingRect() const override { return bounds_; }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    QColor swatch_;
    QString text_;
    QFont font_;
    QRectF bounds_;
};
