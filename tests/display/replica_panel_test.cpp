#include "decode/reading_interpreter.h"
#include "display/lcd_glyphs.h"
#include "display/replica_panel.h"
#include "sim/meter_display.h"

#include <QApplication>
#include <QImage>

#include "tests/test_app.h"

#include <gtest/gtest.h>

namespace {

using sim::MeterDisplay;

int id(const char* name) {
    return ReplicaState::idOf(QString::fromLatin1(name));
}

QRect place(const char* name) {
    return replica::panelRect(id(name));
}

int darkPixels(const QImage& img, const QRect& r) {
    int n = 0;
    const QRect in = r & img.rect();
    for (int y = in.top(); y <= in.bottom(); ++y)
        for (int x = in.left(); x <= in.right(); ++x)
            n += qGray(img.pixel(x, y)) < 128;
    return n;
}

class Panel : public ::testing::Test {
protected:
    Panel() {
        app();
        interp_.setDecimalSep(QStringLiteral("."));
        panel_ = std::make_unique<ReplicaPanel>(r_);
    }

    void show(const MeterDisplay& m) { interp_.read(sim::meterFrame(m)); }

    QImage render(const QRegion& region = QRegion()) {
        QImage img(panel_->size(), QImage::Format_RGB32);
        img.fill(Qt::magenta);
        panel_->render(&img, QPoint(), region);
        return img;
    }

    // The panel's inside, without its bevel.
    QRect inside() const { return panel_->rect().adjusted(2, 2, -2, -2); }

    ReadingInterpreter interp_;
    ReplicaState& r_ = interp_.display();
    std::unique_ptr<ReplicaPanel> panel_;
};

TEST_F(Panel, SitsInAWhiteLoweredFrame) {
    EXPECT_EQ(panel_->size(), QSize(615, 289));
    EXPECT_EQ(panel_->objectName(), u"Panel4");
    EXPECT_EQ(panel_->frameShadow(), QFrame::Sunken);
    EXPECT_EQ(panel_->lineWidth(), 1);
    const QImage img = render();
    EXPECT_EQ(img.pixel(300, 120), qRgb(255, 255, 255)); // between the digit groups
    EXPECT_NE(img.pixel(0, 100), qRgb(255, 255, 255));   // the bevel
}

// Every shown element leaves ink inside its own area, and nothing is painted outside the areas:
// a repaint of only the changed areas would otherwise leave stale pixels behind.
TEST_F(Panel, EveryShownElementPaintsWithinItsArea) {
    auto check = [&](const char* what) {
        panel_->flushChanges();
        const QImage img = render();
        QRegion covered;
        for (int i = 0; i < ReplicaState::count(); ++i) {
            const replica::ElementSpec& e = replica::elements()[size_t(i)];
            if (e.kind == replica::Kind::Group || !r_.shown(i))
                continue;
            covered += panel_->paintedRect(i);
            const bool blank = e.kind == replica::Kind::Text && r_.caption(i).trimmed().isEmpty();
            if (!blank) {
                EXPECT_GT(darkPixels(img, panel_->paintedRect(i)), 0) << what << " " << e.name;
            }
        }
        const QRect in = inside();
        int stray = 0;
        for (int y = in.top(); y <= in.bottom(); ++y)
            for (int x = in.left(); x <= in.right(); ++x)
                if (!covered.contains(QPoint(x, y)) && img.pixel(x, y) != qRgb(255, 255, 255))
                    ++stray;
        EXPECT_EQ(stray, 0) << what;
    };
    check("start");
    show(MeterDisplay::allSegments());
    check("all segments");
    show(MeterDisplay::insulation("1.234", u"G\u03A9", 1000));
    check("insulation");
}

TEST_F(Panel, DecodedFrameLightsItsSegmentsAndNothingElse) {
    show(MeterDisplay::insulation("1.234", u"G\u03A9", 1000));
    panel_->flushChanges();
    const QImage img = render();

    // "1" lights only the right-hand segments of its position.
    const QRect a = panel_->paintedRect(id("LabelA"));
    const QRect leftHalf(a.left(), a.top(), a.width() / 2, a.height());
    EXPECT_EQ(darkPixels(img, leftHalf), 0);
    EXPECT_GT(darkPixels(img, a), 0);
    // Fewer segments than an 8 but more than a 1.
    EXPECT_GT(darkPixels(img, panel_->paintedRect(id("LabelB"))), darkPixels(img, a));

    EXPECT_GT(darkPixels(img, place("Point1")), 0);
    EXPECT_EQ(darkPixels(img, place("Point2")), 0);
    EXPECT_EQ(darkPixels(img, place("Point3")), 0);
    EXPECT_GT(darkPixels(img, place("Labgo1")), 0);
    EXPECT_GT(darkPixels(img, place("danger")), 0);
    for (const char* off : {"LabelF", "Labmo1", "Labto", "labdc", "labac", "labCOMP", "labsave",
                            "LabFUL", "Labclr", "Labng", "Labgood", "power", "IMoff", "stor1"})
        EXPECT_EQ(darkPixels(img, place(off)), 0) << off;

    // Each bar segment, below the scale's baseline, is dark exactly when it is lit.
    const int below = place("Shape5").bottom() + 1;
    for (int n = 0; n <= 30; ++n) {
        const char* name = n == 0 ? "Bar0" : n == 1 ? "BAR1" : nullptr;
        const QString bar = name ? QString::fromLatin1(name) : QStringLiteral("bar%1").arg(n);
        QRect r = replica::panelRect(ReplicaState::idOf(bar));
        r.setTop(below);
        EXPECT_EQ(darkPixels(img, r) > 0, r_.visible(bar)) << n;
    }
    EXPECT_TRUE(r_.visible(u"bar17"));
    EXPECT_FALSE(r_.visible(u"bar18"));
}

TEST_F(Panel, VoltageModeHidesTheWholeStrip) {
    MeterDisplay m;
    m.setMain("-12.5");
    m.dc = true;
    m.unitV = true;
    m.bars.set(); // the strip's segments may be set; the hidden strip shows none of them
    show(m);
    panel_->flushChanges();
    const QImage img = render();
    EXPECT_EQ(darkPixels(img, place("KD")), 0);
    EXPECT_GT(darkPixels(img, place("LabelF")), 0);
    EXPECT_GT(darkPixels(img, place("labdc")), 0);
    EXPECT_GT(darkPixels(img, place("Shape1")), 0);
}

// Painting only what a frame changed gives the same picture as painting everything, and a
// repeated frame paints nothing.
TEST_F(Panel, RepaintsOnlyWhatChanged) {
    QImage screen = render();
    auto step = [&](const MeterDisplay& m) {
        show(m);
        const QRegion damage = panel_->flushChanges();
        QImage partial = screen;
        panel_->render(&partial, damage.boundingRect().topLeft(), damage);
        screen = render();
        QRect diff;
        for (int y = 0; y < screen.height(); ++y)
            for (int x = 0; x < screen.width(); ++x)
                if (partial.pixel(x, y) != screen.pixel(x, y))
                    diff |= QRect(x, y, 1, 1);
        EXPECT_TRUE(diff.isNull()) << "stale pixels at " << diff.x() << "," << diff.y() << " "
                                   << diff.width() << "x" << diff.height();
        return damage;
    };

    MeterDisplay dc;
    dc.setMain("-12.5");
    dc.dc = true;
    dc.unitV = true;
    auto ir = MeterDisplay::insulation("1.234", u"G\u03A9", 1000);
    step(MeterDisplay::allSegments());
    step(ir);
    EXPECT_TRUE(step(ir).isEmpty());

    ir.setMain("1.235");
    const QRegion damage = step(ir);
    EXPECT_FALSE(damage.isEmpty());
    EXPECT_TRUE((damage - panel_->paintedRect(id("LabelD"))).isEmpty());

    step(dc);
    step(MeterDisplay::insulation("56.7", u"M\u03A9", 500));
    step(MeterDisplay::insulation("0L", u"G\u03A9", 5000));
}

// The segment face lights the segments of each digit; probed at the middle of each segment of
// an 8.
TEST(SegmentFace, DigitsLightTheirSegments) {
    const QRectF box(0, 0, 40, 120);
    const QRectF eight =
        lcd::textPath(replica::Face::Segment, u"8", 107, false, box, replica::Align::Left)
            .boundingRect();
    const qreal l = eight.left() + 3, r = eight.right() - 3, cx = eight.center().x();
    const qreal t = eight.top() + 3, b = eight.bottom() - 3, m = eight.center().y();
    const QPointF probes[7] = {{cx, t},          {r, (t + m) / 2}, {r, (m + b) / 2}, {cx, b},
                               {l, (m + b) / 2}, {l, (t + m) / 2}, {cx, m}};
    const std::pair<const char16_t*, const char*> digits[] = {
        {u"0", "abcdef"},  {u"1", "bc"},     {u"2", "abdeg"},  {u"3", "abcdg"},
        {u"4", "bcfg"},    {u"5", "acdfg"},  {u"6", "acdefg"}, {u"7", "abc"},
        {u"8", "abcdefg"}, {u"9", "abcdfg"}, {u"@", "def"},    {u"-", "g"},
    };
    for (const auto& [glyph, lit] : digits) {
        const QPainterPath p =
            lcd::textPath(replica::Face::Segment, glyph, 107, false, box, replica::Align::Left);
        QString got;
        for (int s = 0; s < 7; ++s)
            if (p.contains(probes[s]))
                got += QChar(u'a' + s);
        EXPECT_EQ(got, QString::fromLatin1(lit)) << QString::fromUtf16(glyph).toStdString();
    }
    EXPECT_TRUE(lcd::textPath(replica::Face::Segment, u"H", 107, false, box, replica::Align::Left)
                    .isEmpty());
}

TEST(SegmentFace, RightAlignedTextEndsAtTheBoxEdge) {
    const QRectF box(100, 0, 60, 30);
    for (const char16_t* text : {u"*", u"M*", u"T*"}) {
        const QRectF ink =
            lcd::textPath(replica::Face::Segment, text, 24, true, box, replica::Align::Right)
                .boundingRect();
        EXPECT_LE(ink.right(), box.right() + 0.5);
        EXPECT_GT(ink.right(), box.right() - 6);
        EXPECT_GT(ink.width(), 8);
    }
}

} // namespace
