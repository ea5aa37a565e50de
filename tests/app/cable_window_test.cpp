#include "app/main_window.h"
#include "app/panel_button.h"
#include "decode/capture_file.h"
#include "display/replica_panel.h"
#include "sim/sim_cable.h"
#include "tests/test_app.h"

#include <QDeadlineTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace {

// A window on a simulated cable whose meter shows one insulation reading.
struct SimWindow {
    explicit SimWindow(sim::CablePace pace = {8, 2400, 10, 150}) {
        app();
        platform = std::make_shared<SimHidPlatform>();
        cable = platform->plug(sim::cableDeviceSpec(), false);
        source = std::make_shared<sim::SimCable>(
            [this](double) { return std::optional<sim::MeterDisplay>(shown); }, pace);
        cable->setReportSource(source);
        w = std::make_unique<TFrmTest>(nullptr, platform);
        w->chain().setPauseDuration(0);
        w->cable().setMessageBox([this](const QString& text) { messages << text; });
        w->setLeavePrompt([](int) { return TFrmTest::LeaveAnswer::Discard; });
    }

    sim::MeterDisplay shown = sim::MeterDisplay::insulation("123.4", u"M\u03A9", 1000);
    std::shared_ptr<SimHidPlatform> platform;
    std::shared_ptr<SimHidDevice> cable;
    std::shared_ptr<sim::SimCable> source;
    std::unique_ptr<TFrmTest> w;
    QStringList messages;
};

TEST(CableWindow, ConnectBringsTheReplicaAliveAndOffersReadings) {
    SimWindow s;
    int offered = 0;
    s.w->chain().setReadingListener([&](const Reading&) { ++offered; });
    ASSERT_EQ(s.w->cable().DevListBox.ItemIndex, 0) << "the cable row is selected at start";
    EXPECT_FALSE(s.w->replica().shown(u"CONok"));

    Q_EMIT s.w->Panel2->clicked();
    EXPECT_EQ(s.w->Panel2->caption(), u"DISCONNECT");
    EXPECT_TRUE(s.source->configured());
    ASSERT_TRUE(runUntil([&] { return offered >= 2; }));
    const Reading& r = s.w->chain().reading();
    EXPECT_EQ(r.text, QStringLiteral("123") + s.w->DecimalSep() + QStringLiteral("4"));
    EXPECT_EQ(r.unit, Unit::MegaOhm);
    EXPECT_EQ(r.function, u"IR:1000V 40G\u03A9");
    EXPECT_EQ(r.mode, u"Continuous");
    EXPECT_TRUE(s.w->replica().shown(u"CONok"));
    EXPECT_EQ(s.w->replica().caption(u"LabelA"), u"1");

    Q_EMIT s.w->Panel2->clicked();
    EXPECT_EQ(s.w->Panel2->caption(), u"CONNECT");
    EXPECT_FALSE(s.w->cable().CurDevice->ReaderRunning());
    EXPECT_EQ(s.w->cable().HistoryListBox.Count(), 2);
}

// Closing the window while it records, with a report handed over and not yet handled: the
// reader is stopped while the window is whole, and nothing the window's parts look at goes
// before them. Run under ASan in CI, which catches any use after it has gone.
TEST(CableWindow, ClosingTheWindowWhileItRecordsEndsCleanly) {
    SimWindow s;
    s.w->show();
    s.w->Panel2Click();
    ASSERT_TRUE(runUntil([&] { return s.w->cds1->rowCount() >= 2; }, 20000));
    // Focus in the seconds box: its going moves the focus while the window is destroyed.
    s.w->RecordSITime->setFocus();
    TJvHidDevice* reading = s.w->cable().ConnectedDevice();
    ASSERT_NE(reading, nullptr);
    QDeadlineTimer deadline(5000);
    while (!reading->HandOffPending() && !deadline.hasExpired())
        QThread::yieldCurrentThread();
    ASSERT_TRUE(reading->HandOffPending());

    // A part of the window that looks at what the window holds as it goes, as any child may
    // (ASan reports the use of anything that went before it).
    struct Part : QWidget {
        using QWidget::QWidget;
        ~Part() override { look(); }
        std::function<void()> look;
    };
    auto* part = new Part(s.w->Panel4);
    QString seen;
    part->look = [&seen, &replica = s.w->replica(), &chain = s.w->chain(),
                  &recorder = s.w->recordControls().recorder()] {
        seen = replica.caption(u"LabelA") + u'|' + chain.reading().text + u'|' +
               recorder.intervalText();
    };

    s.w->close();
    s.w.reset();
    EXPECT_EQ(seen.section(u'|', 2), u"10");
    EXPECT_EQ(seen.section(u'|', 0, 0), u"1");
    EXPECT_EQ(s.cable->waitingReaders(), 0);
    EXPECT_EQ(s.platform->openHandles(), 0);
}

TEST(CableWindow, TheSilenceWatchShowsItsMessageAndAYellowConnect) {
    SimWindow s;
    s.shown = {};
    s.w->Panel2Click();
    const quint8 idle[8] = {};
    for (int i = 0; i < CableConnection::kSilentReports; ++i)
        s.w->chain().Read380(0, idle, 8);
    for (int i = 0; i < 3; ++i)
        timeOut(*s.w->ConTimer);
    EXPECT_EQ(s.messages, QStringList{CableConnection::kSilentMeterMessage});
    EXPECT_EQ(s.w->Panel2->caption(), u"CONNECT");
    EXPECT_EQ(s.w->Panel2->fontColor(), QColor(255, 255, 0));
    s.w->Panel2Click();
    EXPECT_EQ(s.w->Panel2->caption(), u"DISCONNECT");
    EXPECT_EQ(s.w->Panel2->fontColor(), QColor(Qt::black));
}

TEST(CableWindow, SetFeatureSendsTheReportAgain) {
    SimWindow s;
    s.w->SetFeature->click();
    EXPECT_EQ(s.cable->featureReports().size(), 1u);
    EXPECT_EQ(s.w->cable().HistoryListBox.Items.last(), u"60 09 00 00 03 00 00 00 00 ");
    EXPECT_EQ(s.w->Panel2->caption(), u"CONNECT");
}

TEST(CableWindow, TheFramePauseHoldsTheReaderNotTheWindow) {
    using Clock = std::chrono::steady_clock;
    SimWindow s({8, 2400, 10, 100});
    std::vector<Clock::time_point> offered;
    int turns = 0, turnsAtFirst = 0;
    s.w->chain().setReadingListener([&](const Reading&) {
        offered.push_back(Clock::now());
        if (offered.size() == 1)
            turnsAtFirst = turns;
    });
    s.w->chain().setPauseDuration(400);
    s.w->Panel2Click();
    // Frames come every 100 ms, but the next one is read only once the pause has passed.
    ASSERT_TRUE(runUntil([&] {
        ++turns;
        return offered.size() >= 2;
    }));
    EXPECT_GE(offered[1] - offered[0], std::chrono::milliseconds(400));
    EXPECT_GT(turns - turnsAtFirst, 10) << "the window went on answering";
}

TEST(CableWindow, CapturedReportsPlayBackToTheSameReadings) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("session.cap"));
    QStringList values;
    {
        SimWindow s;
        CaptureWriter writer;
        ASSERT_TRUE(writer.open(path, QDateTime::currentDateTime(), nullptr));
        double t = 0;
        s.w->setReportTap([&](quint8 id, const quint8* data, quint16 size) {
            // Recorded slower than it came, so that a slow machine plays it without loss.
            writer.write(t += 0.02, id, data, size);
        });
        s.w->chain().setReadingListener([&](const Reading& r) { values << r.text; });
        s.w->Panel2Click();
        ASSERT_TRUE(runUntil([&] { return values.size() >= 2; }));
        s.w->Panel2Click(); // a report still handed over goes to both, while they are here
        s.w->setReportTap(nullptr);
        s.w->chain().setReadingListener(nullptr);
    }
    app();
    auto platform = std::make_shared<SimHidPlatform>();
    auto replay = std::make_shared<sim::CaptureCable>(path);
    platform->plug(sim::cableDeviceSpec(), false)->setReportSource(replay);
    TFrmTest w(nullptr, platform);
    w.chain().setPauseDuration(0);
    w.cable().setMessageBox([](const QString&) {});
    QStringList replayed;
    w.chain().setReadingListener([&](const Reading& r) { replayed << r.text; });
    w.Panel2Click();
    ASSERT_TRUE(runUntil([&] { return replayed.size() >= values.size(); }, 20000));
    EXPECT_EQ(replayed.mid(0, values.size()), values);
    EXPECT_TRUE(replay->error().isEmpty());
}

} // namespace
