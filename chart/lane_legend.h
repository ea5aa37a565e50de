#pragma once

#include <QColor>
#include <QFont>
#include <QGraphicsItem>
#include <QList>
#include <QString>

// The legend of one lane of the chart: a swatch in the colour of each piece of curve and what it
// is ("10:26:55 IR:1000V 40GΩ"), one line an entry, on a pale ground so that it stays legible
// over the curves.
class LaneLegend : public QGraphicsItem {
public:
    struct Entry {
        QColor swatch;
        QString text;
        bool operator==(const Entry&) const = default;
    };
    explicit LaneLegend(QGraphicsItem* parent = nullptr);

    void set(const QList<Entry>& entries);
    const QList<Entry>& entries() const { return entries_; }
    // The entries' texts, one line each.
    QString text() const;

    QRectF boundingRect() const override { return bounds_; }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    QList<Entry> entries_;
    QFont font_;
    QRectF bounds_;
    double lineHeight_ = 0;
};
