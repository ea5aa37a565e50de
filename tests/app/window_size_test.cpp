#include "app/client_layout.h"
#include "app/main_window.h"
#include "app/panel_button.h"
#include "app/window_settings.h"
#include "chart/trend_chart.h"
#include "display/replica_panel.h"
#include "tests/test_app.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(ClientLayout, FirstSizeHasTheDocumentedPlacesAndMoreRoomGoesToGridAndChart) {
    const ClientLayout first = ClientLayout::forView(ClientLayout::kFirstView);
    EXPECT_EQ(first.toolbar, QRect(2, 320, 615, 33));
    EXPECT_EQ(first.grid, QRect(0, 348, 617, 177));
    EXPECT_EQ(first.chart, QRect(18, 612, 361, 209));
    EXPECT_EQ(first.setFeature, QRect(698, 694, 75, 25));

    ClientLayout previous = first;
    for (int height = 526; height <= 1600; height += 7) {
        for (int width : {619, 700, 775, 1024, 1920}) {
            SCOPED_TRACE(testing::Message() << width << " x " << height);
            const QSize view(width, height);
            const ClientLayout l = ClientLayout::forView(view);
            const QRect shown(QPoint(), view);
            // Nothing overlaps, the grid and the toolbar span the width, the column fits the
            // view as soon as it can.
            EXPECT_GE(l.chart.top(), l.grid.bottom() + 1 + ClientLayout::kMinGap);
            EXPECT_FALSE(l.chart.intersects(l.setFeature));
            EXPECT_EQ(l.grid.width(), width - 2);
            EXPECT_EQ(l.toolbar.width(), width - 4);
            EXPECT_TRUE(QRect(QPoint(), l.client).contains(l.chart | l.grid | l.setFeature));
            EXPECT_GE(l.client.width(), width);
            EXPECT_GE(l.client.height(), height);
            if (height >= 743) {
                EXPECT_TRUE(shown.contains(l.grid | l.chart)) << "the chart is whole in view";
                EXPECT_EQ(l.client.height(), height) << "no scrolling up and down";
            }
            if (width >= 775) {
                EXPECT_LT(l.setFeature.right(), width);
                EXPECT_EQ(l.client.width(), width) << "no scrolling sideways";
            }
            if (width == 619) {
                // Taller never means smaller; from the chart's first whole view both grow.
                EXPECT_GE(l.grid.height(), previous.grid.height());
                EXPECT_GE(l.chart.height(), previous.chart.height());
                EXPECT_LE(l.chart.top() + l.chart.height(),
                          std::max(height, first.chart.bottom() + 1));
                previous = l;
            }
        }
    }
    const ClientLayout tall = ClientLayout::forView({619, 1129});
    EXPECT_EQ(tall.grid.height(), 177 + (1129 - 743) * 177 / 386);
    EXPECT_EQ(tall.grid.height() + tall.chart.height(), 177 + 209 + 1129 - 743);
}

TEST(ClientLayout, ScrollBarsOnlyWhereTheControlsNeedThem) {
    const int bar = 15;
    const ClientScroll first = ClientScroll::forArea({619 + bar, 526 + bar}, bar, bar);
    EXPECT_TRUE(first.vertical && first.horizontal);
    EXPECT_EQ(first.view, ClientLayout::kFirstView);
    const ClientScroll large = ClientScroll::forArea({1200, 900}, bar, bar);
    EXPECT_FALSE(large.vertical || large.horizontal);
    EXPECT_EQ(large.view, QSize(1200, 900));
    // Tall enough, too narrow for SetFeature: the horizontal bar takes height, and the column
    // is laid out for what is left.
    const ClientScroll narrow = ClientScroll::forArea({700, 800}, bar, bar);
    EXPECT_TRUE(narrow.horizontal);
    EXPECT_FALSE(narrow.vertical);
    EXPECT_EQ(narrow.view, QSize(700, 800 - bar));
}

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

    TFrmTest w;
};

TEST_F(WindowSize, GridAndChartTakeTheRoomOfALargerWindowAndGiveItBack) {
    const QSize first = w.size();
    const QRect replica = w.Panel4->geometry();
    resize(1200, 950);
    const QRect view = w.clientArea->viewport()->rect();
    EXPECT_EQ(w.Panel4->geometry(), replica);
    EXPECT_GT(w.DBGrid1->height(), 177 + 60);
    EXPECT_GT(w.Chtshow->width(), 361 + 500);
    EXPECT_GT(w.Chtshow->height(), 209 + 60);
    for (QWidget* c : std::initializer_list<QWidget*>{w.DBGrid1, w.Chtshow, w.SetFeature, w.Panel3})
        EXPECT_TRUE(view.contains(inView(c))) << c->objectName().toStdString();
    EXPECT_FALSE(w.clientArea->verticalScrollBar()->isVisible());
    EXPECT_FALSE(w.clientArea->horizontalScrollBar()->isVisible());

    // Back to the first size, or below it: the documented places again.
    resize(300, 200);
    EXPECT_EQ(w.size(), first);
    EXPECT_EQ(w.DBGrid1->geometry(), QRect(0, 348, 617, 177));
    EXPECT_EQ(w.Chtshow->geometry(), QRect(18, 612, 361, 209));
    EXPECT_EQ(w.SetFeature->geometry(), QRect(698, 694, 75, 25));
    EXPECT_EQ(w.clientArea->viewport()->size(), ClientLayout::kFirstView);
}

// The enlarged chart covers the window's top part at any size, and goes back to the place the
// window's size now gives it.
TEST_F(WindowSize, AnEnlargedChartFollowsTheWindowAndRestoresToItsNewPlace) {
    resize(900, 800);
    w.Chtshow->TbSxClick();
    ASSERT_FALSE(w.Chtshow->TbSx->isHidden());
    EXPECT_EQ(w.size(), QSize(900, 800)) << "enlarging keeps the size the user gave";
    resize(1100, 900);
    EXPECT_EQ(w.Chtshow->formBounds(),
              QRect(2, 30, w.frameGeometry().width() - 12, w.frameGeometry().height() - 90));
    w.Chtshow->TbSxClick();
    EXPECT_TRUE(w.Chtshow->TbSx->isHidden());
    const ClientScroll s = ClientScroll::forArea(
        w.clientArea->size(), w.clientArea->verticalScrollBar()->sizeHint().width(),
        w.clientArea->horizontalScrollBar()->sizeHint().height());
    EXPECT_EQ(w.Chtshow->geometry(), s.layout.chart);
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
                  w.clientArea->minimumSize() + QSize(0, w.menuBar()->sizeHint().height()));
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
