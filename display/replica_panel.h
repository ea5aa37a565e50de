#pragma once

#include "replica/replica_state.h"

#include <QFont>
#include <QFrame>
#include <QImage>
#include <QPainterPath>
#include <QRegion>

#include <vector>

// The meter replica as the user sees it: a white panel with a lowered bevel on which every shown
// element of the replica table is painted at its place, black on white, as the meter's LCD
// would light it. Unlit (hidden) elements are simply absent.
//
// The panel paints from the replica state and repaints only what changed: changes made while a
// frame is interpreted are collected and turned into one update of their areas once control
// returns to the event loop, so a half-applied frame is never on screen.
class ReplicaPanel : public QFrame {
    Q_OBJECT
public:
    explicit ReplicaPanel(ReplicaState& state, QWidget* parent = nullptr);

    ReplicaState& state() const { return state_; }

    // Takes the state's pending changes and schedules the repaint of their areas; returns that
    // area. Runs on its own after each batch of changes; tests may call it directly.
    QRegion flushChanges();

    // Where the element's ink can fall, in panel coordinates, clipped to its group.
    QRect paintedRect(int id) const { return painted_[size_t(id)]; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Cache {
        QFont font;         // text in the plain face
        QPainterPath glyph; // text in an LCD face, for the caption it was built from
        QString caption;
        QImage picture;
    };

    void paintElement(QPainter& p, int id);
    const QPainterPath& glyphPath(int id);
    QRect computePaintedRect(int id);

    ReplicaState& state_;
    std::vector<Cache> cache_;
    std::vector<QRect> glyphBox_; // where LCD glyphs are laid out
    std::vector<QRect> painted_;
    // The state as last handed to the screen.
    std::vector<bool> onScreenVisible_;
    std::vector<QString> onScreenCaption_;
};
