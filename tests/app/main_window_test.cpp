#include "app/main_window.h"
#include "app/panel_button.h"
#include "display/replica_panel.h"
#include "sim/meter_display.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

int argc = 1;
char arg0[] = "app_tests";
char* argv[] = {arg0, nullptr};

QApplication& app() {
    static QApplication* a = [] {
        if (auto* running = qobject_cast<QApplication*>(QCoreApplication::instance()))
            return running;
        auto* created = new QApplication(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Z4072"));
        return created;
    }();
    return *a;
}

TEST(MainWindow, StartsInItsDocumentedState) {
    app();
    TFrmTest w;
    w.show();
    EXPECT_EQ(w.windowTitle(), u"Z4072 V2.00");
    EXPECT_EQ(w.Panel2->caption(), u"CONNECT");
    EXPECT_EQ(w.Panel3->caption(), u"EXIT");
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
    EXPECT_FALSE(w.state().ExeDir.isEmpty());
    EXPECT_TRUE(w.state().ExeDir.endsWith(QLatin1Char('/')));
}

TEST(MainWindow, ControlsSitAtTheirPlacesAndTheClientAreaScrollsToTheRest) {
    app();
    TFrmTest w;
    w.show();
    EXPECT_EQ(w.clientArea->viewport()->size(), QSize(619, 526));
    EXPECT_EQ(w.Panel2->geometry(), QRect(414, 2, 119, 27));
    EXPECT_EQ(w.Panel3->geometry(), QRect(536, 2, 81, 27));
    EXPECT_EQ(w.Panel4->geometry(), QRect(2, 30, 615, 289));
    EXPECT_EQ(w.Panel7->geometry(), QRect(2, 320, 615, 33));
    EXPECT_EQ(w.DBGrid1->geometry(), QRect(0, 348, 617, 177));
    EXPECT_EQ(w.SetFeature->pos(), QPoint(698, 694));
    EXPECT_EQ(w.RecordSITime->geometry(), QRect(166, 0, 29, 22));
    EXPECT_EQ(w.MajPrint->geometry(), QRect(318, 2, 29, 21));
    EXPECT_EQ(w.SpeedButton1->toolTip(), u"Save Data");
    EXPECT_EQ(w.SpeedButton2->toolTip(), u"Delete Data");
    EXPECT_EQ(w.SpeedButton3->toolTip(), u"Open Data");
    EXPECT_EQ(w.MajPrint->toolTip(), u"Print Data");
    EXPECT_EQ(w.RepeatSet->toolTip(), u"Repeage Record");
    EXPECT_EQ(w.RecordSI->text(), u"Sampling Interval              'S");
    EXPECT_GT(w.clientArea->verticalScrollBar()->maximum(), 0);
    EXPECT_GT(w.clientArea->horizontalScrollBar()->maximum(), 0);
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
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

TEST(MainWindow, ToolbarCaptionsReadWholeAtTheirPlaces) {
    app();
    TFrmTest w;
    w.show();
    EXPECT_EQ(w.RepeatSet->geometry(), QRect(5, 5, 54, 20));
    EXPECT_EQ(w.RecordSI->geometry(), QRect(60, 4, 167, 19));
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

TEST(MainWindow, MenuShowsOnlyTheRecordSetAndHelpIsAShortcut) {
    app();
    TFrmTest w;
    const QList<QAction*> top = w.menuBar()->actions();
    ASSERT_EQ(top.size(), 1);
    EXPECT_EQ(top[0]->text(), u"Record");
    ASSERT_EQ(top[0]->menu()->actions().size(), 1);
    EXPECT_EQ(top[0]->menu()->actions()[0]->text(), u" RecordSet");
    QStringList captions;
    for (QAction* a : w.RecSet->actions())
        captions << a->text();
    EXPECT_EQ(captions, QStringList({"1000", "5000", "10000", "50000", "100000", "Limitless"}));
    EXPECT_EQ(w.HELP1->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_TRUE(w.actions().contains(w.HELP1));
    // Choosing another limit unticks the previous one.
    w.set1k->trigger();
    EXPECT_TRUE(w.set1k->isChecked());
    EXPECT_FALSE(w.set10k->isChecked());
}

TEST(MainWindow, ReportsReachTheFrameReassembly) {
    app();
    TFrmTest w;
    std::vector<QString> frames;
    w.assembler().setFrameConsumer([&](const QString& f) { frames.push_back(f); });
    quint8 bytes[22] = {};
    bytes[20] = 0x0D;
    bytes[21] = 0x0A;
    for (int i = 0; i < 22; i += 7) {
        quint8 report[8] = {};
        const int n = std::min(7, 22 - i);
        report[0] = quint8(n);
        std::copy(bytes + i, bytes + i + n, report + 1);
        w.Read380(0, report, 8);
    }
    const quint8 idle[8] = {};
    w.Read380(0, idle, 8);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].right(4), u"0D0A");
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
            w.Read380(0, reinterpret_cast<const quint8*>(r.constData()), quint16(r.size()));
        const QByteArray idle = sim::idleReport();
        w.Read380(0, reinterpret_cast<const quint8*>(idle.constData()), quint16(idle.size()));
    };

    meter(sim::MeterDisplay::insulation("1.234", u"G\u03A9", 1000));
    ASSERT_EQ(holds, std::vector<int>{500});
    EXPECT_EQ(w.replica().caption(u"LabelB"), u"2");
    EXPECT_TRUE(w.replica().shown(u"Labgo1"));
    QCoreApplication::processEvents();
    const QImage after = w.Panel4->grab().toImage();
    EXPECT_TRUE(duringHold == after);
    EXPECT_FALSE(after == start);

    w.interpreter().setPauseDuration(0); // as tests and captures run
    meter(sim::MeterDisplay::insulation("56.7", u"M\u03A9", 500));
    EXPECT_EQ(holds.size(), 1u);
    EXPECT_EQ(w.replica().caption(u"LabelA"), u"5");
}

} // namespace
