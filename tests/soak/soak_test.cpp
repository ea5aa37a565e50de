// The window on a simulated cable for a long day: the meter's demonstration runs at the pace the
// main thread can take (no waiting for the clock), through connect/disconnect cycles, unplugging
// and replugging the cable, and sampling switched on and off. The rows it must leave are stated
// from what the meter was told to show and when: every frame, as the interpretation reads it on
// its own, stamped with the meter's time of the report that ended it; while sampling is on, only
// the first frame after each interval of the meter's seconds. Only a frame cut by a disconnect or
// an unplug may be missing. The journal must hold what the table holds, nothing may hang, and
// the heap may grow only with the table.
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
#include "tests/reading_rows.h"
#include "tests/test_app.h"

#include <QCheckBox>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

qint64 heapBytes() {
    const struct mallinfo2 m = mallinfo2();
    return qint64(m.uordblks + m.hblkhd);
}

// The cable with the demonstration behind it, every report due at once. It keeps the frames it
// sends in the meter's own clock, the times of its reports.
class AcceleratedCable : public SimReportSource {
public:
    static constexpr int kPollMs = 8;
    static constexpr int kFrameMs = 100;

    // A frame the meter sent: when it began, and when the report that ends it came (the first
    // report without meter bytes after them); -1 until then.
    struct Frame {
        int startMs = 0;
        int endMs = -1;
    };

    explicit AcceleratedCable(long long frames)
        : stream_(
              [this](double t) -> std::optional<sim::MeterDisplay> {
                  if (!configured_.load())
                      return std::nullopt;
                  auto shown = shownAt(t);
                  if (shown)
                      sent_.push_back({int(std::lround(t * 1000.0))});
                  return shown;
              },
              sim::CablePace{kPollMs, 2400, 10, kFrameMs}) {
        sent_.reserve(size_t(frames) + 64); // the heap is measured while it fills
    }

    // What the meter shows `t` seconds after the cable started: the demonstration's day, ten
    // times faster (frame k shows second k).
    static std::optional<sim::MeterDisplay> shownAt(double t) {
        return sim::demonstration(std::fmod(t * 1000.0 / kFrameMs, sim::demonstrationLength()));
    }

    bool next(QByteArray& report, Clock::time_point& due) override {
        std::lock_guard lock(m_);
        double at = 0;
        report = stream_.next(&at);
        const int ms = int(std::lround(at * 1000.0));
        if ((quint8(report[1]) & 0x0F) != 0) {
            carrying_ = true;
        } else if (carrying_) {
            sent_[ended_++].endMs = ms;
            carrying_ = false;
        }
        lastMs_ = ms;
        due = Clock::now();
        return true;
    }
    void feature(const QByteArray& report) override {
        configured_ = sim::featureSetsBaud(report, 2400);
    }

    // The time of the last report the cable sent. While the window handles a report, the reader
    // waits for it, so this is the time of that report.
    int lastMs() const { return lastMs_.load(); }
    long long frames() const {
        std::lock_guard lock(m_);
        return (long long)sent_.size();
    }
    std::vector<Frame> sent() const {
        std::lock_guard lock(m_);
        return sent_;
    }

private:
    std::atomic<bool> configured_{false};
    std::atomic<int> lastMs_{0};
    mutable std::mutex m_; // the stream is read by the reader thread
    sim::CableStream stream_;
    std::vector<Frame> sent_;
    size_t ended_ = 0;
    bool carrying_ = false;
};

// A frame as the interpretation reads it on its own, after the frames before it.
struct Reading {
    bool offered = false;
    QString value, unit, vRange, iRange;
};

// What the run was told: the frames the cable sent, the meter's times at which a disconnect or
// an unplug may have cut a frame and at which sampling was switched, the seconds box, the
// decimal separator.
struct Run {
    std::vector<AcceleratedCable::Frame> sent;
    std::vector<int> cuts, switches;
    int interval = 0;
    QString decimalSep;
};

// Compares `table` with the rows that `run` must have left: every frame, as the interpretation
// reads it on its own after the frames before it, at the meter's time of the report that ended
// it, numbered from 1; while sampling is on, only a frame once `interval` of the meter's seconds
// have passed with sampling on since the last row. A frame cut by a disconnect or an unplug may
// leave no row (counted in `lost`), be read late, or run into the next one and be read with it.
// Answers what differs.
QStringList rowFaults(const ReadingTable& table, const Run& run, int& lost) {
    ReadingInterpreter ref;
    ref.setDecimalSep(run.decimalSep);
    Reading reading, before;
    auto read = [&](const AcceleratedCable::Frame& f) {
        reading = {};
        reading.offered =
            ref.read(sim::meterFrame(*AcceleratedCable::shownAt(f.startMs / 1000.0))).offered;
        reading.value = ReadingTable::cutToBytes(ref.ValueText());
        reading.unit = ReadingTable::cutToBytes(ref.UnitText());
        reading.vRange = ReadingTable::cutToBytes(ref.VRangeText());
        reading.iRange = ReadingTable::cutToBytes(ref.IRangeText());
    };
    auto samplingAfter = [&](int ms) { // switched on an odd number of times before `ms`
        const auto& w = run.switches;
        return (std::lower_bound(w.begin(), w.end(), ms) - w.begin()) % 2 == 1;
    };
    QStringList faults;
    auto fault = [&](const QString& what, int ms) {
        faults << QStringLiteral("%1 at %2 ms").arg(what).arg(ms);
    };
    const std::vector<AcceleratedCable::Frame>& sent = run.sent;
    int row = 0, lastEnd = 0;
    int sampledSeconds = run.interval; // seconds passed with sampling on since the last row
    lost = 0;
    for (size_t k = 0; k < sent.size() && sent[k].endMs >= 0; ++k) {
        const AcceleratedCable::Frame& f = sent[k];
        // The tick of each second comes before the frame that ends at or after it.
        for (int s = lastEnd / 1000 + 1; s <= f.endMs / 1000; ++s)
            sampledSeconds += samplingAfter(s * 1000) ? 1 : 0;
        lastEnd = std::max(lastEnd, f.endMs);
        before = reading;
        read(f);
        const bool cut = std::any_of(run.cuts.begin(), run.cuts.end(),
                                     [&](int ms) { return f.startMs <= ms && ms <= f.endMs; });
        const int nextEnd =
            k + 1 < sent.size() && sent[k + 1].endMs >= 0 ? sent[k + 1].endMs : INT_MAX;
        const bool due =
            reading.offered && (!samplingAfter(f.endMs) || sampledSeconds >= run.interval);
        const bool here =
            row < table.rowCount() && table.timeMs(row) >= f.endMs && table.timeMs(row) < nextEnd;
        if (!here) {
            if (due && cut)
                ++lost;
            else if (due)
                fault(QStringLiteral("frame %1 is no row").arg(k), f.endMs);
            continue;
        }
        // A cut frame read late is sampled as what it was read with.
        if (!due && !cut)
            fault(QStringLiteral("frame %1 recorded against the rules").arg(k), f.endMs);
        if (table.timeMs(row) != f.endMs && !cut)
            fault(QStringLiteral("frame %1 recorded late").arg(k), table.timeMs(row));
        auto is = [&](const Reading& r) {
            return table.value(row) == r.value && table.unit(row) == r.unit &&
                   table.vRange(row) == r.vRange && table.iRange(row) == r.iRange;
        };
        if (!is(reading) && !(cut && is(before)))
            fault(QStringLiteral("row %1 is not what frame %2 showed").arg(row + 1).arg(k),
                  f.endMs);
        if (table.no(row) != row + 1)
            fault(QStringLiteral("row %1 numbered %2").arg(row + 1).arg(table.no(row)), f.endMs);
        lastEnd = table.timeMs(row);
        ++row;
        sampledSeconds = 0;
    }
    if (row != table.rowCount())
        fault(QStringLiteral("%1 rows of frames never sent").arg(table.rowCount() - row), 0);
    return faults;
}

TEST(Soak, LongRunWithCyclesReplugsAndSamplingKeepsEveryRecordedReading) {
    app();
    const long long wanted = qEnvironmentVariableIsSet("Z4072_SOAK_FRAMES")
                                 ? qEnvironmentVariable("Z4072_SOAK_FRAMES").toLongLong()
                                 : 2'400;
    auto platform = std::make_shared<SimHidPlatform>();
    auto source = std::make_shared<AcceleratedCable>(wanted);
    std::shared_ptr<SimHidDevice> cable = platform->plug(sim::cableDeviceSpec(), false);
    cable->setReportSource(source);

    TFrmTest w(nullptr, platform);
    QTemporaryDir state;
    w.keepJournal(state.path());
    w.chain().setPauseDuration(0);
    QStringList messages;
    w.cable().setMessageBox([&](const QString& text) { messages << text; });
    w.setlimit->trigger(); // "Limitless": the table grows all day
    ReadingTable& table = *w.cds1;
    // Rows are stamped with the meter's time, and the sampling tick comes at each of its seconds
    // instead of the wall clock's.
    w.recordControls().recorder().setClock([&] { return source->lastMs(); });
    w.SampInterTime->stop();
    long long reports = 0;
    int handedMs = 0, second = 0;
    w.setReportTap([&](quint8, const quint8*, quint16) {
        ++reports;
        handedMs = source->lastMs();
        for (; second < handedMs / 1000; ++second)
            timeOut(*w.SampInterTime);
    });
    // The meter's times at which frames may have been cut, and at which sampling was switched.
    std::vector<int> cuts, switches;
    cuts.reserve(64);
    switches.reserve(64);

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
            cuts.push_back(source->lastMs());
            QCoreApplication::processEvents();
            w.Panel2Click();
            ASSERT_TRUE(connected()) << "no reconnect at hour " << hour;
            ++cycles;
        }
        if (hour % 5 == 0) {
            // Pull the cable out while connected: the connection ends with a message; plug it
            // in again and connect.
            platform->unplug(cable, true);
            QCoreApplication::processEvents();
            ASSERT_EQ(w.Panel2->caption(), u"CONNECT");
            ASSERT_FALSE(connected());
            cuts.push_back(source->lastMs());
            cable = platform->plug(sim::cableDeviceSpec(), true);
            cable->setReportSource(source);
            QCoreApplication::processEvents();
            w.Panel2Click();
            ASSERT_TRUE(connected()) << "no connect after replugging at hour " << hour;
            ++replugs;
        }
        if (hour % 3 == 0) { // sampling on, later off again
            w.RecordSI->click();
            switches.push_back(handedMs);
        }
    }
    w.Panel2Click();
    EXPECT_FALSE(connected());
    cuts.push_back(source->lastMs());

    const double seconds = clock.elapsed() / 1000.0;
    const qint64 heapGrowth = heapBytes() - heapAtStart;
    const qint64 tableGrowth = table.memoryBytes() - tableAtStart;

    int lost = 0;
    const QStringList faults =
        rowFaults(table,
                  {source->sent(), cuts, switches, Recorder::secondsOf(w.RecordSITime->text()),
                   w.DecimalSep()},
                  lost);
    const int rows = table.rowCount();

    std::printf("soak: %lld frames sent, %d rows, %d frames lost at %d cuts, %lld reports, "
                "%d cycles, %d replugs, %.1f s, heap +%lld bytes (table +%lld)\n",
                source->frames(), rows, lost, int(cuts.size()), reports, cycles, replugs, seconds,
                (long long)heapGrowth, (long long)tableGrowth);
    EXPECT_TRUE(faults.isEmpty()) << faults.size() << " faults, the first: "
                                  << faults.mid(0, 10).join(u'\n').toStdString();
    EXPECT_GT(rows, 0);
    EXPECT_LE(lost, int(cuts.size()));

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
    EXPECT_TRUE(journalAsTable(bytes(w.journal()->path())) == bytes(saved))
        << "the journal is not the table";

    // Apart from the table (and the chart's points, a few bytes a row), the heap stays flat.
    EXPECT_LT(heapGrowth, tableGrowth + 64LL * table.rowCount() + (16 << 20));
    // Each cable pulled out while connected is said once.
    EXPECT_EQ(messages.size(), replugs) << messages.join(u'\n').toStdString();
    EXPECT_EQ(messages.count(CableConnection::kCableUnpluggedMessage), replugs);
}

} // namespace
