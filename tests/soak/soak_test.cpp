// The window on a simulated cable for a long day: the meter's demonstration runs at the pace the
// main thread can take (no waiting for the clock), through connect/disconnect cycles, unplugging
// and replugging the cable, and sampling switched on and off. Every reading offered must end up
// in the table exactly when the recording rules say so, and in the journal as in the table;
// nothing may hang, and the heap may grow only with the table.
//
// Z4072_SOAK_FRAMES sets the length: CI runs 86400 frames, a day of the meter's once-a-second
// display (sent ten times faster than the meter would, and as fast as the window takes them);
// without it, 2400 frames run through the same events, for the ordinary test runs.

#include "app/main_window.h"
#include "app/panel_button.h"
#include "record/recorder.h"
#include "record/table_files.h"
#include "record/ui/record_controls.h"
#include "sim/cable_stream.h"
#include "sim/demonstration.h"
#include "sim/sim_cable.h"

#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <malloc.h>

#include <atomic>
#include <cstdio>
#include <mutex>

namespace {

QApplication& guiApp() {
    static int argc = 1;
    static char arg0[] = "soak_tests";
    static char* argv[] = {arg0, nullptr};
    if (auto* running = qobject_cast<QApplication*>(QCoreApplication::instance()))
        return *running;
    return *new QApplication(argc, argv);
}

qint64 heapBytes() {
    const struct mallinfo2 m = mallinfo2();
    return qint64(m.uordblks + m.hblkhd);
}

// The cable with the demonstration behind it, every report due at once.
class AcceleratedCable : public SimReportSource {
public:
    static constexpr int kPollMs = 8;
    static constexpr int kFrameMs = 100;

    AcceleratedCable()
        : stream_(
              [this](double t) -> std::optional<sim::MeterDisplay> {
                  if (!configured_.load())
                      return std::nullopt;
                  const double d = sim::demonstrationLength();
                  // The demonstration's day, ten times faster: frame k shows second k.
                  auto shown = sim::demonstration(std::fmod(t * 1000.0 / kFrameMs, d));
                  if (shown)
                      ++frames_;
                  return shown;
              },
              sim::CablePace{kPollMs, 2400, 10, kFrameMs}) {}

    bool next(QByteArray& report, Clock::time_point& due) override {
        std::lock_guard lock(m_);
        double at = 0;
        report = stream_.next(&at);
        due = Clock::now();
        return true;
    }
    void feature(const QByteArray& report) override {
        configured_ = sim::featureSetsBaud(report, 2400);
    }
    long long frames() const { return frames_.load(); }

private:
    std::atomic<bool> configured_{false};
    std::atomic<long long> frames_{0};
    std::mutex m_;
    sim::CableStream stream_;
};

TEST(Soak, LongRunWithCyclesReplugsAndSamplingKeepsEveryRecordedReading) {
    guiApp();
    const long long wanted = qEnvironmentVariableIsSet("Z4072_SOAK_FRAMES")
                                 ? qEnvironmentVariable("Z4072_SOAK_FRAMES").toLongLong()
                                 : 2'400;
    auto platform = std::make_shared<SimHidPlatform>();
    auto source = std::make_shared<AcceleratedCable>();
    std::shared_ptr<SimHidDevice> cable = platform->plug(sim::cableDeviceSpec(), false);
    cable->setReportSource(source);

    TFrmTest w(nullptr, platform);
    QTemporaryDir state;
    w.keepJournal(state.path());
    w.interpreter().setPauseDuration(0);
    QStringList messages;
    w.cable().setMessageBox([&](const QString& text) { messages << text; });
    w.setlimit->trigger(); // "Limitless": the table grows all day
    ReadingTable& table = *w.cds1;
    Recorder& rules = w.recordControls().recorder();
    UnitState& s = w.state();

    // Reports since the start, each 8 ms of the cable's time: the sampling tick every 125.
    long long reports = 0;
    w.setReportTap([&](quint8, const quint8*, quint16) {
        if (++reports % (1000 / AcceleratedCable::kPollMs) == 0)
            w.SampInterTimeTimer();
    });

    long long offered = 0, recorded = 0, wrong = 0;
    w.interpreter().setRecordHook([&](int kind) {
        if (kind == 1)
            ++offered;
        const bool take = kind == 1 && s.RecordNo <= s.MaxRecords &&
                          !(rules.sampling() && s.SampleCountdown != 0) &&
                          (rules.repeat() || s.ValueText != s.LastRecordedValue);
        const int before = table.rowCount();
        const qint32 no = s.RecordNo;
        w.INDataToTable(kind);
        if (table.rowCount() != before + (take ? 1 : 0)) {
            ++wrong;
            return;
        }
        if (!take)
            return;
        ++recorded;
        const int r = before;
        if (table.no(r) != no || table.value(r) != ReadingTable::cutToBytes(s.ValueText) ||
            table.unit(r) != ReadingTable::cutToBytes(s.UnitText) ||
            table.vRange(r) != ReadingTable::cutToBytes(s.VRangeText) ||
            table.iRange(r) != ReadingTable::cutToBytes(s.IRangeText))
            ++wrong;
    });

    // Runs the window until `reports` has grown by `n`; false when it stalls for 20 s.
    auto runReports = [&](long long n) {
        const long long until = reports + n;
        QDeadlineTimer stall(20'000);
        long long seen = reports;
        while (reports < until) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (reports != seen) {
                seen = reports;
                stall.setRemainingTime(20'000);
            } else if (stall.hasExpired()) {
                return false;
            }
        }
        return true;
    };
    auto connected = [&] { return w.cable().USBCon; };

    w.Panel2Click();
    ASSERT_TRUE(connected());
    // The run in 24 parts ("hours"), with the events between them.
    const long long perHour =
        std::max(1LL, wanted / 24) * AcceleratedCable::kFrameMs / AcceleratedCable::kPollMs;
    QElapsedTimer clock;
    clock.start();
    qint64 heapAtStart = 0, tableAtStart = 0;
    int cycles = 0, replugs = 0, hour = 0;
    while (source->frames() < wanted) {
        ASSERT_TRUE(runReports(perHour)) << "no report for 20 s: the link hangs at hour " << hour;
        ++hour;
        if (hour == 1) { // warmed up: caches, the chart's first pages, the grid
            heapAtStart = heapBytes();
            tableAtStart = table.memoryBytes();
        }
        if (hour % 2 == 0) { // disconnect and connect again
            w.Panel2Click();
            ASSERT_FALSE(connected());
            QCoreApplication::processEvents();
            w.Panel2Click();
            ASSERT_TRUE(connected()) << "no reconnect at hour " << hour;
            ++cycles;
        }
        if (hour % 5 == 0) {
            // Pull the cable out while connected: reading stops, the button still says
            // DISCONNECT until it is clicked; plug it in again and connect.
            platform->unplug(cable, true);
            QCoreApplication::processEvents();
            ASSERT_EQ(w.Panel2->caption(), u"DISCONNECT");
            w.Panel2Click();
            ASSERT_FALSE(connected());
            cable = platform->plug(sim::cableDeviceSpec(), true);
            cable->setReportSource(source);
            QCoreApplication::processEvents();
            w.Panel2Click();
            ASSERT_TRUE(connected()) << "no connect after replugging at hour " << hour;
            ++replugs;
        }
        if (hour % 3 == 0)
            w.RecordSI->click(); // sampling on, later off again
    }
    w.Panel2Click();
    EXPECT_FALSE(connected());

    const qint64 heapGrowth = heapBytes() - heapAtStart;
    const qint64 tableGrowth = table.memoryBytes() - tableAtStart;
    std::printf("soak: %lld frames sent, %lld offered, %lld recorded, %d rows, %lld reports, "
                "%d cycles, %d replugs, %.1f s, heap +%lld bytes (table +%lld)\n",
                source->frames(), offered, recorded, table.rowCount(), reports, cycles, replugs,
                clock.elapsed() / 1000.0, (long long)heapGrowth, (long long)tableGrowth);

    // The journal holds what the table holds, line for line as a table file would.
    ASSERT_FALSE(w.journal()->failed());
    const QString saved = state.filePath(QStringLiteral("table.txt"));
    QString error;
    ASSERT_TRUE(saveTextTable(table, saved, &error)) << error.toStdString();
    auto bytes = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    };
    EXPECT_EQ(w.journal()->rows(), table.rowCount());
    EXPECT_TRUE(bytes(w.journal()->path()) == bytes(saved)) << "the journal is not the table";

    EXPECT_EQ(wrong, 0) << "readings recorded against the rules or not as offered";
    EXPECT_EQ(recorded, table.rowCount());
    EXPECT_GT(recorded, 0);
    // A frame may be lost at each disconnect and replug (its bytes are cut off), no other.
    EXPECT_GE(offered + 2 * (cycles + replugs) + 2, source->frames() * 9 / 10)
        << "frames the cable sent were not interpreted";
    // Apart from the table (and the chart's points, a few bytes a row), the heap stays flat.
    EXPECT_LT(heapGrowth, tableGrowth + 64LL * table.rowCount() + (16 << 20));
    // Disconnecting from an unplugged cable finds no cable to send the feature report to.
    EXPECT_EQ(messages.size(), replugs) << messages.join(u'\n').toStdString();
    EXPECT_EQ(messages.count(CableConnection::kNoCableMessage), replugs);
}

} // namespace
