#include "app/main_window.h"
#include "sim/meter_display.h"
#include "tests/test_app.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

// The window with the meter's frames fed in as the cable delivers them.
class RecordWindow : public ::testing::Test {
protected:
    RecordWindow() {
        app();
        QLocale::setDefault(QLocale::c());
        w_ = std::make_unique<TFrmTest>();
        w_->chain().setPauseDuration(0);
        RecordControls::Prompts p;
        p.saveFileName = [this] { return saveAs_; };
        p.openFileName = [this] { return openName_; };
        p.tell = [this](const TableFileMessage& m) { told_ << m.text; };
        p.confirmDeleteAll = [this] {
            told_ << RecordControls::deleteAllWarning();
            return true;
        };
        w_->recordControls().setPrompts(p);
        w_->recordControls().recorder().setClock([] { return 45'296'789; }); // 12:34:56.789
    }
    ~RecordWindow() override { QLocale::setDefault(QLocale::system()); }

    void show(const sim::MeterDisplay& display) {
        const QByteArray frame = sim::frameBytes(display);
        for (const QByteArray& r : sim::cableReports(frame))
            w_->chain().Read380(0, reinterpret_cast<const quint8*>(r.constData()),
                                quint16(r.size()));
        const QByteArray idle = sim::idleReport();
        w_->chain().Read380(0, reinterpret_cast<const quint8*>(idle.constData()),
                            quint16(idle.size()));
    }

    std::unique_ptr<TFrmTest> w_;
    QTemporaryDir dir_;
    QString saveAs_, openName_;
    QStringList told_;
};

TEST_F(RecordWindow, DecodedReadingsBecomeRowsOfTheGrid) {
    show(sim::MeterDisplay::insulation("12.34", u"G\u03A9", 1000));
    show(sim::MeterDisplay::insulation("12.34", u"G\u03A9", 1000));
    ASSERT_EQ(w_->cds1->rowCount(), 2); // "Repeat" is on at start
    EXPECT_EQ(w_->cds1->no(1), 2);
    EXPECT_EQ(w_->cds1->value(0), "12.34");
    EXPECT_EQ(w_->cds1->unit(0), "G\u03A9");
    EXPECT_EQ(w_->cds1->vRange(0), "IR:1000V 40G\u03A9");
    QAbstractItemModel* m = w_->DBGrid1->model();
    ASSERT_EQ(m->rowCount(), 2);
    EXPECT_EQ(m->index(1, 1).data().toString(), "12:34:56");
    EXPECT_EQ(w_->DBGrid1->currentIndex().row(), 1);

    // A frame without main digits offers nothing.
    show(sim::MeterDisplay());
    EXPECT_EQ(w_->cds1->rowCount(), 2);

    w_->RepeatSet->setChecked(false);
    show(sim::MeterDisplay::insulation("12.34", u"G\u03A9", 1000));
    EXPECT_EQ(w_->cds1->rowCount(), 2);
}

// What a fresh window records before the user changes anything: numbers from 1, a reading
// without a unit or test voltage in the range the window starts with, and rows up to the limit
// that its menu shows ticked.
TEST_F(RecordWindow, AFreshWindowRecordsFromNumberOneUpToTheLimitItsMenuShows) {
    sim::MeterDisplay bare;
    bare.setMain("1234");
    show(bare);
    ASSERT_EQ(w_->cds1->rowCount(), 1);
    EXPECT_EQ(w_->cds1->no(0), 1);
    EXPECT_EQ(w_->cds1->value(0), "1234");
    EXPECT_EQ(w_->cds1->unit(0), "");
    EXPECT_EQ(w_->cds1->vRange(0), "IR:500V 20G\u03A9");

    QStringList ticked;
    for (QAction* a : w_->RecSet->actions())
        if (a->isChecked())
            ticked << a->text();
    ASSERT_EQ(ticked.size(), 1);
    const int limit = ticked[0].toInt();
    ASSERT_GT(limit, 1);
    w_->cds1->suspendUpdates(); // the grid and the chart catch up once
    for (int i = 1; i <= limit; ++i)
        w_->chain().INDataToTable(1); // the reading offered again
    w_->cds1->resumeUpdates();
    ASSERT_EQ(w_->cds1->rowCount(), limit);
    EXPECT_EQ(w_->cds1->no(limit - 1), limit);
}

TEST_F(RecordWindow, TheSamplingTimerRunsTheCountdownWhileSamplingIsOn) {
    EXPECT_EQ(w_->SampInterTime->interval(), 1000);
    w_->RecordSITime->setText("3");
    EXPECT_EQ(w_->chain().recorder().SampleCountdown, 3);
    timeOut(*w_->SampInterTime);
    EXPECT_EQ(w_->chain().recorder().SampleCountdown, 3); // sampling is off
    w_->RecordSI->setChecked(true);
    timeOut(*w_->SampInterTime);
    timeOut(*w_->SampInterTime);
    EXPECT_EQ(w_->chain().recorder().SampleCountdown, 1);
    show(sim::MeterDisplay::insulation("5.00", u"M\u03A9", 500));
    EXPECT_EQ(w_->cds1->rowCount(), 0);
    timeOut(*w_->SampInterTime);
    show(sim::MeterDisplay::insulation("5.00", u"M\u03A9", 500));
    EXPECT_EQ(w_->cds1->rowCount(), 1);
    EXPECT_EQ(w_->chain().recorder().SampleCountdown, 3);
}

TEST_F(RecordWindow, ToolbarAndMenuReachTheirHandlers) {
    show(sim::MeterDisplay::insulation("1.00", u"M\u03A9", 500));
    w_->setlimit->trigger();
    EXPECT_EQ(w_->chain().recorder().MaxRecords, 10'000'000);

    saveAs_ = dir_.filePath("t.XML");
    w_->SpeedButton1->click();
    ASSERT_EQ(told_.size(), 1);
    EXPECT_TRUE(told_[0].endsWith(" Scuss!"));

    w_->SpeedButton2->click();
    EXPECT_EQ(told_.last(), " Warning:all Records will be deleted! ");
    EXPECT_EQ(w_->cds1->rowCount(), 0);
    EXPECT_EQ(w_->chain().recorder().RecordNo, 1);

    openName_ = saveAs_;
    w_->SpeedButton3->click();
    ASSERT_EQ(w_->cds1->rowCount(), 1);
    EXPECT_EQ(w_->cds1->timeMs(0), 45'296'789);
    EXPECT_EQ(w_->DBGrid1->model()->rowCount(), 1);
}

} // namespace
