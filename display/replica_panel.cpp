#include "display/replica_panel.h"

#include "display/lcd_glyphs.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QSvgRenderer>

static void initReplicaArt() {
    Q_INIT_RESOURCE(replica_art);
}

namespace {

using replica::Align;
using replica::ElementSpec;
using replica::Face;
using replica::Kind;

const ElementSpec& desc(int id) {
    return replica::elements()[size_t(id)];
}

Qt::Alignment textAlignment(const ElementSpec& e) {
    return Qt::AlignTop | (e.align == Align::Right ? Qt::AlignRight : Qt::AlignLeft);
}

// Antialiased edges may reach a pixel beyond a shape's outline.
constexpr int kInkMargin = 2;

} // namespace

ReplicaPanel::ReplicaPanel(ReplicaState& state, QWidget* parent) : QFrame(parent), state_(state) {
    initReplicaArt();
    setObjectName(QStringLiteral("Panel4"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setFixedSize(replica::kPanelSize);

    const int n = ReplicaState::count();
    cache_.resize(size_t(n));
    painted_.resize(size_t(n));
    for (int id = 0; id < n; ++id) {
        const ElementSpec& e = desc(id);
        if (e.kind == Kind::Text && e.face == Face::Arial) {
            QFont f;
            f.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
            f.setPixelSize(e.px);
            f.setBold(e.bold);
            cache_[size_t(id)].font = f;
        }
    }
    // A row of LCD glyphs of one size stands on one baseline, even where the boxes of its
    // elements are a pixel or two apart (the main digits).
    glyphBox_.resize(size_t(n));
    for (int id = 0; id < n; ++id) {
        const ElementSpec& e = desc(id);
        QRect box = replica::panelRect(id);
        for (int first = 0; first < id && e.parent && e.face != Face::Arial; ++first) {
            const ElementSpec& f = desc(first);
            if (f.kind == Kind::Text && f.parent && qstrcmp(f.parent, e.parent) == 0 &&
                f.face == e.face && f.px == e.px && std::abs(f.top - e.top) <= 4) {
                box.moveTop(replica::panelRect(first).top());
                break;
            }
        }
        glyphBox_[size_t(id)] = box;
    }
    onScreenVisible_.resize(size_t(n));
    onScreenCaption_.resize(size_t(n));
    for (int id = 0; id < n; ++id) {
        painted_[size_t(id)] = computePaintedRect(id);
        onScreenVisible_[size_t(id)] = state_.visible(id);
        onScreenCaption_[size_t(id)] = state_.caption(id);
    }

    connect(&state_, &ReplicaState::changed, this, &ReplicaPanel::flushChanges,
            Qt::QueuedConnection);
    state_.takeChanges(); // the first paint covers everything
}

QRect ReplicaPanel::computePaintedRect(int id) {
    const ElementSpec& e = desc(id);
    QRect r = replica::panelRect(id);
    if (e.kind == Kind::Text) {
        const QString& caption = state_.caption(id);
        QRectF ink;
        if (e.face == Face::Arial)
            ink = QFontMetrics(cache_[size_t(id)].font)
                      .boundingRect(r, int(textAlignment(e)), caption);
        else
            ink = glyphPath(id).boundingRect();
        r |= ink.toAlignedRect();
    }
    r.adjust(-kInkMargin, -kInkMargin, kInkMargin, kInkMargin);
    if (const int p = replica::parentOf(id); p >= 0)
        r &= replica::panelRect(p);
    return r & rect();
}

QRegion ReplicaPanel::flushChanges() {
    QRegion damage;
    for (int id : state_.takeChanges()) {
        // A frame first resets the annunciators and then lights them again: only what ends up
        // different from the screen needs painting.
        const bool visible = state_.visible(id);
        const QString& caption = state_.caption(id);
        if (visible == onScreenVisible_[size_t(id)] && caption == onScreenCaption_[size_t(id)])
            continue;
        onScreenVisible_[size_t(id)] = visible;
        onScreenCaption_[size_t(id)] = caption;
        damage += painted_[size_t(id)];
        if (desc(id).kind == Kind::Group) {
            damage += replica::panelRect(id);
            continue;
        }
        const QRect now = computePaintedRect(id);
        painted_[size_t(id)] = now;
        damage += now;
    }
    if (!damage.isEmpty())
        update(damage);
    return damage;
}

const QPainterPath& ReplicaPanel::glyphPath(int id) {
    Cache& c = cache_[size_t(id)];
    const QString& caption = state_.caption(id);
    if (c.glyph.isEmpty() || c.caption != caption) {
        const ElementSpec& e = desc(id);
        c.caption = caption;
        c.glyph =
            lcd::textPath(e.face, caption, e.px, e.bold, QRectF(glyphBox_[size_t(id)]), e.align);
    }
    return c.glyph;
}

void ReplicaPanel::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRegion& dirty = event->region();
    for (int id = 0; id < ReplicaState::count(); ++id) {
        if (desc(id).kind == Kind::Group || !state_.shown(id) ||
            !dirty.intersects(painted_[size_t(id)]))
            continue;
        p.save();
        if (const int g = replica::parentOf(id); g >= 0)
            p.setClipRect(replica::panelRect(g), Qt::IntersectClip);
        paintElement(p, id);
        p.restore();
    }
    drawFrame(&p); // the bevel stays on top of anything that reaches the edge
}

void ReplicaPanel::paintElement(QPainter& p, int id) {
    const ElementSpec& e = desc(id);
    const QRect r = replica::panelRect(id);
    switch (e.kind) {
    case Kind::Group:
        break;
    case Kind::Block:
        p.fillRect(r, Qt::black);
        break;
    case Kind::Picture: {
        QImage& img = cache_[size_t(id)].picture;
        const qreal dpr = devicePixelRatioF();
        const QSize px = (QSizeF(r.size()) * dpr).toSize();
        if (img.size() != px) {
            img = QImage(px, QImage::Format_ARGB32_Premultiplied);
            img.fill(Qt::transparent);
            QSvgRenderer svg(QStringLiteral(":/replica/%1.svg").arg(QLatin1String(e.picture)));
            QPainter ip(&img);
            ip.setRenderHint(QPainter::Antialiasing);
            svg.render(&ip);
            img.setDevicePixelRatio(dpr);
        }
        p.drawImage(r.topLeft(), img);
        break;
    }
    case Kind::Text:
        if (e.face == Face::Arial) {
            p.setFont(cache_[size_t(id)].font);
            p.setPen(Qt::black);
            p.drawText(r, int(textAlignment(e) | Qt::TextDontClip), state_.caption(id));
        } else {
            p.fillPath(glyphPath(id), Qt::black);
        }
        break;
    }
}
