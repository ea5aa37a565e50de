#include "app/client_layout.h"
#include "app/main_window.h"
#include "app/panel_button.h"
#include "app/window_settings.h"
#include "chart/trend_chart.h"
#include "display/replica_panel.h"
#include "tests/reading_rows.h"
#include "tests/test_app.h"

#include <QAction>
#include <QCategoryAxis>
#include <QChart>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

// What stays where it is at any size: CONNECT, EXIT, SetFeature, the replica, the toolbar.
const QRect kFixed[] = {{414, 2, 119, 27},
                        {536, 2, 81, 27},
                        ClientLayout::kSetFeature,
                        {2, 30, 615, 289},
                        ClientLayout::kToolbar};

TEST(ClientLayout, FirstSizeHasItsPlacesAndLargerSizesShareTheRestWithoutGaps) {
    const ClientLayout first = ClientLayout::forView(ClientLayout::kFirstView);
    EXPECT_EQ(first.grid, QRect(0, 348, 617, 177));
    EXPECT_FALSE(first.chartBeside);
    EXPECT_EQ(first.chart, QRect(2, 533, 615, 209)) << "below the grid, reached by scrolling";

    for (int height = 526; height <= 2160; height += 37) {
        for (int width : {619, 700, 987, 988, 1024, 1920, 3840}) {
            for (int gridWidth : {617, 640, 900}) {
                SCOPED_TRACE(testing::Message() << width << " x " << height << ", " << gridWidth);
                const QSize view(width, height);
                const ClientLayout l = ClientLayout::forView(view, gridWidth);
                const QRect client(QPoint(), l.client);
                EXPECT_GE(l.client.width(), width);
                EXPECT_GE(l.client.height(), height);
                EXPECT_TRUE(client.contains(l.grid));
                EXPECT_TRUE(client.contains(l.chart));
                EXPECT_FALSE(l.grid.intersects(l.chart));
                for (const QRect& fixed : kFixed) {
                    // The grid's top lies under the toolbar's lowered edge, as at the first size.
                    if (fixed != ClientLayout::kToolbar) {
                        EXPECT_FALSE(fixed.intersects(l.grid)) << fixed.x();
                    }
                    EXPECT_FALSE(fixed.intersects(l.chart)) << fixed.x() << "," << fixed.y();
                }
                EXPECT_GE(l.chart.width(), ClientLayout::kChartLeast.width());
                EXPECT_GE(l.chart.height(), ClientLayout::kChartLeast.height());
                EXPECT_GE(l.grid.width(), 617);
                EXPECT_GE(l.grid.height(), 177);
                // Whatever lies beyond the view is a control: no scrolling into empty space.
                const QRect all = l.grid | l.chart;
                if (l.client.width() > width) {
                    EXPECT_EQ(l.client.width(), all.right() + 1 + ClientLayout::kMargin);
                }
                if (l.client.height() > height) {
                    EXPECT_EQ(l.client.height(), all.bottom() + 1 + ClientLayout::kMargin);
                }
                EXPECT_EQ(l.chartBeside, width >= 988) << "beside once it has its least width";
                if (l.chartBeside) {
                    // The grid takes what its columns need unless the chart would be narrower
                    // than its least; grid and chart reach the area's foot, the chart its top.
                    EXPECT_EQ(l.grid.width(), std::min(gridWidth, width - 8 - 361 - 2));
                    EXPECT_EQ(l.chart.left(), l.grid.right() + 1 + ClientLayout::kGap);
                    EXPECT_EQ(l.chart.right(), width - 1 - ClientLayout::kMargin);
                    EXPECT_EQ(l.chart.top(), ClientLayout::kMargin);
                    EXPECT_EQ(l.grid.bottom(), l.client.height() - 2);
                    EXPECT_EQ(l.chart.bottom(), l.client.height() - 1 - ClientLayout::kMargin);
                    EXPECT_EQ(l.client, view.expandedTo(ClientLayout::kFirstView));
                } else {
                    EXPECT_EQ(l.chart.top(), l.grid.bottom() + 1 + ClientLayout::kGap);
                    EXPECT_EQ(l.grid.width(), std::max(gridWidth, l.client.width() - 2));
                    if (height >= 744) {
                        EXPECT_EQ(l.client.height(), height) << "the column fits the view";
                    }
                }
            }
        }
    }
    const ClientLayout tall = ClientLayout::forView({619, 1130});
    EXPECT_EQ(tall.grid.height(), 177 + (1130 - 744) * 177 / 386);
    EXPECT_EQ(tall.grid.height() + tall.chart.height(), 177 + 209 + 1130 - 744);
}

TEST(ClientLayout, ScrollBarsOnlyWhereTheControlsNeedThem) {
    const int bar = 15;
    // The first size: the chart below the grid, reached by scrolling down; nothing to the side.
    const ClientScroll first = ClientScroll::forArea({619 + bar, 526}, bar, bar);
    EXPECT_TRUE(first.vertical);
    EXPECT_FALSE(first.horizontal);
    EXPECT_EQ(first.view, ClientLayout::kFirstView);
    const ClientScroll large = ClientScroll::forArea({1200, 900}, bar, bar);
    EXPECT_FALSE(large.vertical || large.horizontal);
    EXPECT_TRUE(large.layout.chartBeside);
    EXPECT_EQ(large.view, QSize(1200, 900));
    // A grid that needs more than the first width, at the first size: the area scrolls sideways
    // to the grid's last column, and the bar takes height.
    const ClientScroll wide = ClientScroll::forArea({619 + bar, 526}, bar, bar, 640);
    EXPECT_TRUE(wide.vertical && wide.horizontal);
    EXPECT_EQ(wide.layout.client.width(), 642);
}

// The window itself at the sizes of the screens it meets, from its first size to a 4K screen:
// the fixed controls where they were, nothing outside the window that no scroll bar reaches,
// the grid's columns whole, the chart's axes inside the chart.
class WindowSize : public WithApp, public ::testing::Test {
protected:
    WindowSize() { w.show(); }
    // Resizes the window and lets the client area follow.
    void resize(int width, int height) {
        w.resize(width, height);
        QCoreApplication::processEvents();
    }
    QRect inView(QWidget* c) const {
        return QRect(c->mapTo(w.clientArea->viewport(), QPoint()), c->size());
    }
    QRect inClient(QWidget* c) const {
        return QRect(c->mapTo(w.clientArea->widget(), QPoint()), c->size());
    }
    // The lanes of the chart on view, and their x axes' labels, lie inside it.
    void expectChartWhole() {
        TrendChart* c = w.Chtshow;
        const QRectF inside(c->viewport()->rect());
        const QFontMetrics labels(c->axisX->labelsFont());
        for (QChart* lane : {c->chart(), c->voltLane}) {
            if (!lane->isVisible())
                continue;
            EXPECT_TRUE(inside.contains(lane->geometry()));
            const bool xLabels = lane == c->voltLane || c->axisX->labelsVisible();
            if (xLabels) {
                EXPECT_LE(lane->plotArea().bottom() + labels.height(), lane->geometry().bottom())
                    << "the x axis' labels are cut";
            }
            EXPECT_GT(lane->plotArea().height(), 20);
        }
    }
    void expectNothingCut() {
        QWidget* client = w.clientArea->widget();
        const QRect clientRect = client->rect();
        for (QWidget* c : std::initializer_list<QWidget*>{w.Panel2, w.Panel3, w.SetFeature,
                                                          w.Panel4, w.Panel7, w.DBGrid1, w.Chtshow})
            EXPECT_TRUE(clientRect.contains(inClient(c))) << c->objectName().toStdString();
        // The grid shows every column whole: no scrolling sideways inside it.
        EXPECT_LE(w.DBGrid1->wholeWidth(), w.DBGrid1->width());
        EXPECT_FALSE(w.DBGrid1->horizontalScrollBar()->isVisible());
        expectChartWhole();
        // A bar is there only when the client is larger than the view.
        const QSize view = w.clientArea->viewport()->size();
        EXPECT_EQ(w.clientArea->verticalScrollBar()->isVisible(), client->height() > view.height());
        EXPECT_EQ(w.clientArea->horizontalScrollBar()->isVisible(), client->width() > view.width());
        EXPECT_TRUE(w.statusBar()->isVisible());
        EXPECT_TRUE(QRect(QPoint(), w.size()).contains(w.statusBar()->geometry()));
    }

    TFrmTest w;
};

TEST_F(WindowSize, FromTheFirstSizeToA4kScreenNothingIsCutAndTheFixedControlsStay) {
    // Rows of every function and mode, so that both lanes and every column are in use.
    w.chain().setPauseDuration(0);
    ReadingTable& t = *w.cds1;
    for (int i = 0; i < 40; ++i)
        t.append(readingRow(i + 1, 1000 * i, QString::number(100 + i), QStringLiteral("M\u03A9"),
                            QStringLiteral("IR:5000V 1000G\u03A9"), QStringLiteral("COMP:GOOD")));
    for (int i = 0; i < 5; ++i)
        t.append(readingRow(41 + i, 41000 + 1000 * i, QStringLiteral("230"), QStringLiteral("V"),
                            QStringLiteral("ACV  600V"), QStringLiteral("Continuous")));
    QCoreApplication::processEvents();
    const QSize first = w.size();
    const QRect fixed[] = {w.Panel2->geometry(), w.Panel3->geometry(), w.SetFeature->geometry(),
                           w.Panel4->geometry(), w.Panel7->geometry()};
    EXPECT_EQ(w.SetFeature->geometry(), ClientLayout::kSetFeature);
    EXPECT_EQ(w.DBGrid1->geometry(), QRect(0, 348, 617, 177));
    EXPECT_EQ(w.clientArea->viewport()->size(), ClientLayout::kFirstView);
    expectNothingCut();

    for (const QSize size : {QSize(1024, 768), QSize(1280, 1024), QSize(1920, 1080),
                             QSize(3840, 2160), QSize(800, 900), QSize(640, 1200)}) {
        SCOPED_TRACE(testing::Message() << size.width() << " x " << size.height());
        resize(size.width(), size.height());
        EXPECT_EQ(w.size(), size);
        const QRect now[] = {w.Panel2->geometry(), w.Panel3->geometry(), w.SetFeature->geometry(),
                             w.Panel4->geometry(), w.Panel7->geometry()};
        EXPECT_TRUE(std::equal(std::begin(fixed), std::end(fixed), std::begin(now)));
        expectNothingCut();
        if (size.width() >= 1024) {
            // All of it in view: the chart beside the grid, both down to the foot.
            const QRect view = w.clientArea->viewport()->rect();
            for (QWidget* c : std::initializer_list<QWidget*>{w.DBGrid1, w.Chtshow, w.Panel3})
                EXPECT_TRUE(view.contains(inView(c))) << c->objectName().toStdString();
            EXPECT_GT(w.Chtshow->x(), w.DBGrid1->geometry().right());
            EXPECT_GT(w.DBGrid1->height(), size.height() - 348 - 100);
        }
    }
    // Back to the first size, or below it: the first places again.
    resize(300, 200);
    EXPECT_EQ(w.size(), first);
    EXPECT_EQ(w.DBGrid1->geometry(), QRect(0, 348, 617, 177));
    EXPECT_EQ(w.Chtshow->geometry(), QRect(2, 533, 615, 209));
}

// A column the user widens widens the grid, as far as the chart's least width allows; beyond
// that the grid scrolls itself.
TEST_F(WindowSize, AWidenedColumnWidensTheGridBesideTheChart) {
    resize(1300, 800);
    const int before = w.DBGrid1->width();
    w.DBGrid1->setColumnWidth(5, w.DBGrid1->columnWidth(5) + 100);
    QCoreApplication::processEvents();
    EXPECT_GT(w.DBGrid1->width(), before);
    EXPECT_EQ(w.DBGrid1->width(), w.DBGrid1->wholeWidth());
    EXPECT_EQ(w.Chtshow->x(), w.DBGrid1->geometry().right() + 1 + ClientLayout::kGap);
    w.DBGrid1->setColumnWidth(5, 2000);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.Chtshow->width(), ClientLayout::kChartLeast.width());
    EXPECT_TRUE(w.clientArea->viewport()->rect().contains(inView(w.Chtshow)));
}

// The enlarged chart covers the window's top part at any size, and goes back to the place the
// window's size now gives it.
TEST_F(WindowSize, AnEnlargedChartFollowsTheWindowAndRestoresToItsNewPlace) {
    resize(900, 800);
    w.Chtshow->TbFd->click();
    ASSERT_FALSE(w.Chtshow->TbSx->isHidden());
    EXPECT_EQ(w.size(), QSize(900, 800)) << "enlarging keeps the size the user gave";
    resize(1100, 900);
    const QSize view = w.clientArea->viewport()->size();
    EXPECT_EQ(w.Chtshow->formBounds(), QRect(2, 30, view.width() - 4, view.height() - 32));
    expectChartWhole();
    w.Chtshow->TbSx->click();
    EXPECT_TRUE(w.Chtshow->TbSx->isHidden());
    const ClientScroll s = ClientScroll::forArea(
        w.clientArea->size(), w.clientArea->verticalScrollBar()->sizeHint().width(),
        w.clientArea->horizontalScrollBar()->sizeHint().height(), w.DBGrid1->wholeWidth());
    EXPECT_EQ(w.Chtshow->geometry(), s.layout.chart);
    // Beside the grid the chart's place is at the top; the toggle enlarges it again, and again.
    ASSERT_TRUE(s.layout.chartBeside);
    for (int round = 0; round < 2; ++round) {
        w.Chtshow->TbFd->click();
        EXPECT_FALSE(w.Chtshow->TbSx->isHidden()) << round;
        EXPECT_EQ(w.Chtshow->formBounds(), QRect(2, 30, view.width() - 4, view.height() - 32));
        w.Chtshow->TbSx->click();
        EXPECT_TRUE(w.Chtshow->TbSx->isHidden()) << round;
        EXPECT_EQ(w.Chtshow->geometry(), s.layout.chart);
    }
}

// Settings kept in a file of the test's own.
class Settings : public WithApp, public ::testing::Test {
protected:
    std::unique_ptr<QSettings> file() const {
        return std::make_unique<QSettings>(dir_.filePath(QStringLiteral("z4072.conf")),
                                           QSettings::IniFormat);
    }
    std::unique_ptr<TFrmTest> window() {
        auto w = std::make_unique<TFrmTest>();
        w->Chtshow->setMessageSink([](bool, const QString&) {});
        w->keepSettings(file());
        return w;
    }
    static void expectDefaults(TFrmTest& w) {
        EXPECT_TRUE(w.set10k->isChecked());
        EXPECT_EQ(w.chain().recorder().MaxRecords, 10000);
        EXPECT_TRUE(w.RepeatSet->isChecked());
        EXPECT_FALSE(w.RecordSI->isChecked());
        EXPECT_EQ(w.RecordSITime->text(), u"10");
        EXPECT_EQ(w.Chtshow->view(), TrendChart::View::Physical);
        EXPECT_EQ(w.Chtshow->xAxis(), TrendChart::XAxis::ElapsedTime);
        EXPECT_EQ(w.Chtshow->Maxrecord->text(), u"100");
        EXPECT_EQ(w.Chtshow->paging().pointsPerPage(), 100);
        EXPECT_TRUE(w.Chtshow->BtFill->isChecked());
        EXPECT_TRUE(w.Chtshow->series(0).isActive());
        EXPECT_EQ(w.size(),
                  w.clientArea->minimumSize() + QSize(0, w.menuBar()->sizeHint().height() +
                                                             w.statusBar()->sizeHint().height()));
        EXPECT_TRUE(w.recordControls().dialogPlaces() == RecordControls::DialogPlaces{});
    }

    QTemporaryDir dir_;
};

TEST_F(Settings, WhatTheUserSetIsThereAtTheNextStart) {
    {
        auto w = window();
        expectDefaults(*w);
        w->show();
        w->set1k->trigger();
        w->RepeatSet->click();
        w->RecordSI->click();
        w->RecordSITime->setText(QStringLiteral("25"));
        w->Chtshow->timeAxis->click(); // rows
        w->Chtshow->countView->click();
        w->Chtshow->Maxrecord->setText(QStringLiteral("250"));
        w->Chtshow->Maxrecord->setText(QString()); // on the way to another number
        w->Chtshow->BtFill->click();
        w->resize(1000, 760);
        w->move(40, 30);
        RecordControls::Prompts p;
        p.saveFileName = [this] { return dir_.filePath(QStringLiteral("kept/run.xls")); };
        p.openFileName = [this] { return dir_.filePath(QStringLiteral("in/missing.xml")); };
        p.tell = [](const TableFileMessage&) {};
        w->recordControls().setPrompts(p);
        QDir(dir_.path()).mkpath(QStringLiteral("kept"));
        w->SpeedButton1->click();
        w->SpeedButton3->click();
        QCoreApplication::processEvents();
    }
    auto w = window();
    EXPECT_TRUE(w->set1k->isChecked());
    EXPECT_FALSE(w->set10k->isChecked());
    EXPECT_EQ(w->chain().recorder().MaxRecords, 1000);
    EXPECT_FALSE(w->RepeatSet->isChecked());
    EXPECT_FALSE(w->recordControls().recorder().repeat());
    EXPECT_TRUE(w->RecordSI->isChecked());
    EXPECT_TRUE(w->recordControls().recorder().sampling());
    EXPECT_EQ(w->RecordSITime->text(), u"25");
    EXPECT_EQ(w->recordControls().recorder().intervalText(), u"25");
    EXPECT_EQ(w->chain().recorder().SampleCountdown, 0) << "restoring the seconds is not an edit";
    EXPECT_EQ(w->Chtshow->view(), TrendChart::View::Counts);
    EXPECT_TRUE(w->Chtshow->countView->isChecked());
    EXPECT_EQ(w->Chtshow->xAxis(), TrendChart::XAxis::Clock);
    EXPECT_FALSE(w->Chtshow->timeAxis->isChecked());
    EXPECT_EQ(w->Chtshow->paging().pointsPerPage(), 250);
    EXPECT_FALSE(w->Chtshow->BtFill->isChecked());
    EXPECT_TRUE(w->Chtshow->series(1).isActive());
    EXPECT_EQ(w->size(), QSize(1000, 760));
    // Within the frame the test platform may count once more.
    EXPECT_LE((w->pos() - QPoint(40, 30)).manhattanLength(), 4)
        << w->pos().x() << ", " << w->pos().y();
    EXPECT_EQ(w->recordControls().dialogPlaces().saveFolder, dir_.filePath(QStringLiteral("kept")));
    EXPECT_EQ(w->recordControls().dialogPlaces().openFolder, dir_.filePath(QStringLiteral("in")));
}

TEST_F(Settings, AMissingUnreadableOrNonsenseFileGivesTheDefaults) {
    expectDefaults(*window()); // no file yet

    {
        QFile f(dir_.filePath(QStringLiteral("z4072.conf")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[record]\nlimit=1234\nrepeat=maybe\nsampling=1\ninterval=12a\n"
                "[chart]\nview=3d\nxAxis=days\npointsPerPage=-5\nfill=\n"
                "[window]\ngeometry=@ByteArray(nonsense)\n"
                "[files]\nsaveFolder=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x4\\0)\n");
    }
    expectDefaults(*window());

    // A folder where the file should be: nothing can be read.
    ASSERT_TRUE(QFile::remove(dir_.filePath(QStringLiteral("z4072.conf"))));
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("z4072.conf")));
    expectDefaults(*window());
}

} // namespace
