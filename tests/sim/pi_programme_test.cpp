#include "record/insulation_runs.h"
#include "record/reading_chain.h"
#include "sim/cable_stream.h"
#include "sim/pi_programme.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// A whole polarization-index test, as the cable carries it, through the reassembly, the
// interpretation and the recording rules as the window has them at start-up; each row is
// stamped with the time of the report that ended its frame, starting at 08:00.
class WholePiTest : public ::testing::Test {
protected:
    static constexpr int kStartMs = 8 * 3600 * 1000;

    WholePiTest() {
        chain_.apply(RecordingSettings{});
        chain_.setPauseDuration(0);
        chain_.recorder().setClock([this] { return kStartMs + int(std::lround(now_ * 1000)); });
    }

    // Everything the cable sends until `seconds` after the first frame.
    void runUntil(double seconds) {
        sim::CableStream stream(sim::piTestFromFirstFrame(test_));
        while (now_ < seconds) {
            const QByteArray r = stream.next(&now_);
            chain_.Read380(quint8(r[0]), reinterpret_cast<const quint8*>(r.constData()) + 1,
                           quint16(r.size() - 1));
        }
    }

    sim::PiTestProgramme test_;
    double now_ = 0;
    ReadingTable table_;
    ReadingChain chain_{table_};
};

TEST_F(WholePiTest, RecordsOneRunWhoseFiguresAreTheCurvesAndTheMetersResultAfterIt) {
    runUntil(sim::PiTestProgramme::kSeconds + 5.5);

    // One row a second while the test runs, then the result, held.
    ASSERT_EQ(table_.rowCount(), sim::PiTestProgramme::kSeconds + 1 + 5);
    InsulationRuns runs;
    runs.scan(table_);
    ASSERT_EQ(runs.runs().size(), 1u);
    const InsulationRun& run = runs.runs().front();
    EXPECT_EQ(run.firstRow, 0);
    EXPECT_EQ(run.lastRow, sim::PiTestProgramme::kSeconds);
    EXPECT_EQ(run.durationMs, sim::PiTestProgramme::kSeconds * 1000);

    // What a real meter sends while it tests: the test voltage's function, the PI mode, the
    // resistance in its own unit, rising all the way.
    double previous = 0;
    for (int row = run.firstRow; row <= run.lastRow; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(table_.vRange(row), QStringLiteral("IR:1000V 40G\u03A9"));
        EXPECT_EQ(table_.iRange(row), u"PI");
        const Measurement m = measurementOf(table_.sample(row));
        ASSERT_EQ(m.quantity, Measurement::Resistance);
        ASSERT_EQ(m.reading, Measurement::Number);
        EXPECT_NEAR(m.value, test_.ohmsAt(row), test_.ohmsAt(row) * 1e-3);
        EXPECT_GE(m.value, previous);
        previous = m.value;
    }

    // The figures, from the rows as recorded, are those of the curve (to the display's four
    // digits).
    const InsulationFigures f = insulationFigures(table_, run);
    ASSERT_TRUE(f.r30s.ok() && f.r1min.ok() && f.r10min.ok());
    EXPECT_EQ(f.r30s.status, ResistanceAt::Measured);
    const double dar = test_.ohmsAt(60) / test_.ohmsAt(30);
    const double pi = test_.ohmsAt(600) / test_.ohmsAt(60);
    ASSERT_TRUE(f.dar && f.pi);
    EXPECT_NEAR(*f.dar, dar, 2e-3);
    EXPECT_NEAR(*f.pi, pi, 2e-3);
    EXPECT_EQ(ratioText(f.pi), u"2.60");

    // The meter's own result: the ratio with no unit, right after the run, the voltage off.
    const int result = run.lastRow + 1;
    EXPECT_EQ(table_.value(result), u"2.60");
    EXPECT_TRUE(table_.unit(result).isEmpty()) << table_.unit(result).toStdString();
    EXPECT_EQ(table_.iRange(result), u"PI");
    EXPECT_EQ(meterPiResult(table_, run), std::optional<double>(test_.shownRatio()));
    EXPECT_NEAR(test_.shownRatio(), pi, 0.005);
    EXPECT_EQ(analysisLine(table_, run).split(u'\t').mid(7),
              QStringList({ratioText(f.dar), QStringLiteral("2.60"), QStringLiteral("2.60")}));
}

TEST(PiTestProgramme, OtherCurvesGiveTheirOwnRatioAndTheTestStartsWithTheFirstFrame) {
    sim::PiTestProgramme wet;
    wet.absorption = 8; // little absorption: a flat curve
    EXPECT_LT(wet.shownRatio(), 1.5);
    const sim::MeterDisplay end = wet.shown(sim::PiTestProgramme::kSeconds + 1);
    EXPECT_TRUE(end.pi);
    EXPECT_FALSE(end.unitOhm || end.unitMOhm || end.unitGOhm || end.unitV || end.main[3].point);

    const sim::MeterScript script = sim::piTestFromFirstFrame(wet);
    // First asked 42 s after the cable started: the meter's timer starts at 00:00 then.
    const std::optional<sim::MeterDisplay> first = script(42);
    ASSERT_TRUE(first);
    EXPECT_EQ(sim::frameBytes(*first), sim::frameBytes(wet.shown(0)));
    EXPECT_EQ(sim::frameBytes(*script(42 + 61)), sim::frameBytes(wet.shown(61)));
}

} // namespace
