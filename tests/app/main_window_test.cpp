#include "app/main_window.h"
#include "app/panel_button.h"
#include "chart/trend_chart.h"
#include "display/replica_panel.h"
#include "sim/meter_display.h"
#include "tests/test_app.h"

#include <QAction>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

TEST(MainWindow, StartsInItsDocumentedState) {
    app();
    TFrmTest w;
    w.show();
    EXPECT_EQ(w.windowTitle(), u"Z4072 V2.00");
    EXPECT_TRUE(w.RepeatSet->isChecked());
    EXPECT_FALSE(w.RecordSI->isChecked());
    EXPECT_EQ(w.RecordSITime->text(), u"10");
    EXPECT_TRUE(w.set10k->isChecked());
    for (QAction* a : {w.set1k, w.set5k, w.set50k, w.set100k, w.setlimit})
        EXPECT_FALSE(a->isChecked());
    ASSERT_TRUE(w.DBGrid1->model() == nullptr || w.DBGrid1->model()->rowCount() == 0);
    EXPECT_TRUE(w.ConTimer->isActive());
    EXPECT_EQ(w.ConTimer->interval(), 100);
    EXPECT_TRUE(w.SampInterTime->isActive());
    EXPECT_EQ(w.SampInterTime->interval(), 1000);
    EXPECT_FALSE(w.ExeDir.isEmpty());
    EXPECT_TRUE(w.ExeDir.endsWith(QLatin1Char('/')));
}

// Every control a user works with, found by what it shows or says, lies whole inside the client
// area, is what a click at its middle hits (nothing covers it), and scrolls into view; the
// window keeps its size.
TEST(MainWindow, EveryControlIsFoundByWhatItSaysAndCanBeReachedAndClicked) {
    app();
    TFrmTest w;
    w.show();
    // The one control of the window that `matches`.
    auto one = [&](const QString& what, auto matches) -> QWidget* {
        QList<QWidget*> found;
        for (QWidget* c : w.findChildren<QWidget*>())
            if (matches(c))
                found << c;
        EXPECT_EQ(found.size(), 1) << what.toStdString();
        return found.size() == 1 ? found.front() : nullptr;
    };
    auto panel = [&](const QString& caption) {
        return one(caption, [&](QWidget* c) {
            auto* p = qobject_cast<PanelButton*>(c);
            return p && p->caption() == caption;
        });
    };
    auto button = [&](const QString& text) {
        return one(text, [&](QWidget* c) {
            auto* b = qobject_cast<QAbstractButton*>(c);
            return b && b->text() == text;
        });
    };
    auto hinted = [&](const QString& hint) {
        return one(hint, [&](QWidget* c) { return c->toolTip() == hint; });
    };
    // Each with whether the window shows it whole before anything is scrolled.
    const struct {
        QString what;
        QWidget* widget;
        bool atStart;
    } controls[] = {
        {"CONNECT", panel("CONNECT"), true},
        {"EXIT", panel("EXIT"), true},
        {"Repeat", button("Repeat"), true},
        {"Sampling Interval", button("Sampling Interval              'S"), true},
        {"the seconds box", w.RecordSITime, true},
        {"Save Data", hinted("Save Data"), true},
        {"Delete Data", hinted("Delete Data"), true},
        {"Open Data", hinted("Open Data"), true},
        {"Print Data", hinted("Print Data"), true},
        {"the replica", w.Panel4, true},
        {"the grid", w.DBGrid1, true},
        {"SetFeature", button("SetFeature"), false},
        {"the chart", w.Chtshow, false},
    };
    EXPECT_EQ(hinted("Repeage Record"), controls[2].widget) << "the hint of Repeat";
    QWidget* client = w.clientArea->widget();
    QWidget* view = w.clientArea->viewport();
    auto inView = [&](QWidget* c) {
        return view->rect().contains(QRect(c->mapTo(view, QPoint()), c->size()));
    };
    for (const auto& c : controls) {
        SCOPED_TRACE(c.what.toStdString());
        ASSERT_NE(c.widget, nullptr);
        EXPECT_TRUE(!c.atStart || inView(c.widget)) << "not shown whole at start";
    }
    for (const auto& [what, c, atStart] : controls) {
        SCOPED_TRACE(what.toStdString());
        EXPECT_TRUE(c->isVisibleTo(&w));
        EXPECT_TRUE(c->parentWidget()->rect().contains(c->geometry())) << "cut off";
        const QRect inClient(c->mapTo(client, QPoint()), c->size());
        EXPECT_TRUE(client->rect().contains(inClient)) << "beyond the client area";
        QWidget* hit = client->childAt(inClient.center());
        EXPECT_TRUE(hit == c || c->isAncestorOf(hit))
            << "covered by " << (hit ? hit->metaObject()->className() : "nothing");
        // The margins reach one pixel beyond the control: the far one is not shown.
        w.clientArea->ensureVisible(inClient.center().x(), inClient.center().y(),
                                    inClient.width() / 2 + 1, inClient.height() / 2 + 1);
        EXPECT_TRUE(inView(c)) << "does not scroll into view";
    }
    // The window opens at its smallest size and may grow.
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(w.minimumSize(), w.size());
    EXPECT_GT(w.maximumSize().width(), w.width());
    EXPECT_GT(w.maximumSize().height(), w.height());
}

// The last column, relative to the toolbar, in which a toolbar check box paints when given all
// the room it wants: beyond the box's own width its caption is cut off.
int paintedRight(QCheckBox* box, const QString& text) {
    QCheckBox probe(text);
    probe.setStyle(box->style());
    probe.setFont(box->font());
    probe.setChecked(box->isChecked());
    probe.resize(box->width() + 200, box->height());
    const QImage image = probe.grab().toImage();
    const QRgb background = image.pixel(image.width() - 1, 0);
    for (int x = image.width() - 1; x >= 0; --x)
        for (int y = 0; y < image.height(); ++y)
            if (image.pixel(x, y) != background)
                return box->x() + x;
    return box->x();
}

TEST(MainWindow, ToolbarCaptionsReadWhole) {
    app();
    TFrmTest w;
    w.show();
    EXPECT_LE(paintedRight(w.RepeatSet, w.RepeatSet->text()), w.RepeatSet->geometry().right());
    // The seconds box covers the blanks: the label ends before it and the seconds mark follows.
    const QString caption = w.RecordSI->text();
    EXPECT_LT(paintedRight(w.RecordSI, caption.left(caption.indexOf(u"  "))), w.RecordSITime->x());
    const int whole = paintedRight(w.RecordSI, caption);
    EXPECT_LE(whole, w.RecordSI->geometry().right());
    const int mark = w.RecordSI->fontMetrics().horizontalAdvance(QStringLiteral("'S"));
    EXPECT_GT(whole - mark, w.RecordSITime->geometry().right());
    for (QCheckBox* box : {w.RepeatSet, w.RecordSI})
        EXPECT_LE(box->sizeHint().height(), box->height()) << box->objectName().toStdString();
}

TEST(MainWindow, ReportsReachTheFrameReassembly) {
    app();
    TFrmTest w;
    EXPECT_FALSE(w.replica().visible(u"CONok"));
    quint8 bytes[22] = {};
    bytes[20] = 0x0D;
    bytes[21] = 0x0A;
    for (int i = 0; i < 22; i += 7) {
        quint8 report[8] = {};
        const int n = std::min(7, 22 - i);
        report[0] = quint8(n);
        std::copy(bytes + i, bytes + i + n, report + 1);
        w.chain().Read380(0, report, 8);
    }
    EXPECT_FALSE(w.replica().visible(u"CONok")) << "the frame is not complete yet";
    const quint8 idle[8] = {};
    w.chain().Read380(0, idle, 8);
    EXPECT_TRUE(w.replica().visible(u"CONok")) << "the frame reached the interpretation";
}

// After a decoded frame the reader is held for the pause while the window goes on: what the
// window paints meanwhile is the finished frame, never the reset that comes before it.
TEST(MainWindow, DecodedFrameHoldsTheReaderWhileTheWindowShowsTheFinishedReplica) {
    app();
    TFrmTest w;
    w.show();
    const QImage start = w.Panel4->grab().toImage();
    std::vector<int> holds;
    QImage duringHold;
    w.setReaderHold([&](int ms) {
        holds.push_back(ms);
        QCoreApplication::processEvents();
        duringHold = w.Panel4->grab().toImage();
    });
    auto meter = [&](const sim::MeterDisplay& m) {
        for (const QByteArray& r : sim::cableReports(sim::frameBytes(m)))
            w.chain().Read380(0, reinterpret_cast<const quint8*>(r.constData()), quint16(r.size()));
        const QByteArray idle = sim::idleReport();
        w.chain().Read380(0, reinterpret_cast<const quint8*>(idle.constData()),
                          quint16(idle.size()));
    };

    meter(sim::MeterDisplay::insulation("1.234", u"G\u03A9", 1000));
    ASSERT_EQ(holds, std::vector<int>{500});
    EXPECT_EQ(w.replica().caption(u"LabelB"), u"2");
    EXPECT_TRUE(w.replica().shown(u"Labgo1"));
    QCoreApplication::processEvents();
    const QImage after = w.Panel4->grab().toImage();
    EXPECT_TRUE(duringHold == after);
    EXPECT_FALSE(after == start);

    w.chain().setPauseDuration(0); // as tests and captures run
    meter(sim::MeterDisplay::insulation("56.7", u"M\u03A9", 500));
    EXPECT_EQ(holds.size(), 1u);
    EXPECT_EQ(w.replica().caption(u"LabelA"), u"5");
}

} // namespace
