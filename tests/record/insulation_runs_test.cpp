#include "record/insulation_runs.h"
#include "tests/reading_rows.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const QString kOhm = QStringLiteral("\u03A9");
const QString kIr1000 = QStringLiteral("IR:1000V 40G\u03A9");
const QString kIr500 = QStringLiteral("IR:500V 20G\u03A9");
const QString kIr5000 = QStringLiteral("IR:5000V 1000G\u03A9");
const QString kDcv = QStringLiteral("DCV  600V");

// A winding whose insulation resistance climbs as the absorption current dies away:
// 800 MΩ at 1 min, R ~ t^0.35, so DAR = 2^0.35 = 1.27 and PI = 10^0.35 = 2.24.
double windingOhms(double seconds) {
    return 800e6 * std::pow(std::max(seconds, 1.0) / 60, 0.35);
}

// What the meter's four digits show for a resistance: MΩ below 1 GΩ, GΩ above.
std::pair<QString, QString> display(double ohms, QChar sep = u'.') {
    const bool giga = ohms >= 1e9;
    const double v = ohms / (giga ? 1e9 : 1e6);
    const int decimals = v >= 100 ? 1 : v >= 10 ? 2 : 3;
    QString text = QString::number(v, 'f', decimals);
    text.replace(u'.', sep);
    return {text, giga ? u"G" + kOhm : u"M" + kOhm};
}

// A reading table as the program records it during a day of tests.
class Recording {
public:
    explicit Recording(QTime start = QTime(6, 27, 19)) : startMs_(start.msecsSinceStartOfDay()) {}

    void row(double seconds, const QString& value, const QString& unit,
             const QString& function = kIr1000, const QString& mode = QStringLiteral("Timed")) {
        table.append(readingRow(no_++,
                                (startMs_ + qint64(std::llround(seconds * 1000))) % 86'400'000,
                                value, unit, function, mode));
    }
    // The winding's reading `intoTest` seconds after its test began, recorded at `seconds`.
    void winding(double seconds, double intoTest, const QString& function = kIr1000,
                 QChar sep = u'.') {
        const auto [value, unit] = display(windingOhms(intoTest), sep);
        row(seconds, value, unit, function);
    }
    // A test from `from` to `to`, recorded every `interval` seconds, each row stamped with whole
    // seconds as a text file keeps them; `lag` is how much each sampling step falls short.
    void test(double from, double to, double interval, double lag = 0,
              const QString& function = kIr1000, QChar sep = u'.') {
        for (double t = from; t <= to + 1e-9; t += interval - lag)
            winding(std::floor(t), std::floor(t) - from, function, sep);
    }

    std::vector<InsulationRun> runs() const {
        InsulationRuns r;
        r.scan(table);
        return r.runs();
    }
    QStringList lines() const {
        QStringList out;
        for (const InsulationRun& run : runs())
            out << analysisLine(table, run);
        return out;
    }

    ReadingTable table;

private:
    qint64 startMs_;
    int no_ = 1;
};

TEST(Readings, ValuesAreReadWithEitherSeparatorAndOnlyWhenTheyAreNumbers) {
    EXPECT_EQ(readingNumber(u"2.961"), 2.961);
    EXPECT_EQ(readingNumber(u"2,961"), 2.961);
    EXPECT_EQ(readingNumber(u" -12.5 "), -12.5);
    EXPECT_EQ(readingNumber(u"0040"), 40);
    for (const char16_t* no : {u"", u"-", u"NULL", u"0L", u"1.2.3", u"1,2.3", u".", u"1e3"})
        EXPECT_FALSE(readingNumber(no)) << QString::fromUtf16(no).toStdString();

    for (const char16_t* over : {u"0L", u".0L", u"0.L", u"OL", u"-0L", u">40.0", u">"})
        EXPECT_TRUE(isBeyondRange(over)) << QString::fromUtf16(over).toStdString();
    for (const char16_t* no : {u"", u"NULL", u"12.5", u"LOW"})
        EXPECT_FALSE(isBeyondRange(no)) << QString::fromUtf16(no).toStdString();

    const struct {
        const char16_t* text;
        Unit unit;
        UnitScale::Quantity quantity;
        double factor;
    } units[] = {
        {u"G\u03A9", Unit::GigaOhm, UnitScale::Resistance, 1e9},
        {u"M\u2126", Unit::MegaOhm, UnitScale::Resistance, 1e6},
        {u"T\u03A9", Unit::TeraOhm, UnitScale::Resistance, 1e12},
        {u"\u03A9", Unit::Ohm, UnitScale::Resistance, 1},
        {u"V", Unit::V, UnitScale::Voltage, 1},
        {u"NULL", Unit::None, UnitScale::NoQuantity, 1},
        {u"", Unit::None, UnitScale::NoQuantity, 1},
        {u"x\u03A9", Unit::Other, UnitScale::NoQuantity, 1},
    };
    for (const auto& u : units) {
        EXPECT_EQ(unitOf(u.text), u.unit) << QString::fromUtf16(u.text).toStdString();
        EXPECT_EQ(unitScale(u.text).quantity, u.quantity);
        EXPECT_EQ(unitScale(u.text).factor, u.factor);
    }
    // What the table keeps reads back as the same unit.
    for (Unit u : {Unit::None, Unit::V, Unit::Ohm, Unit::MegaOhm, Unit::GigaOhm, Unit::TeraOhm})
        EXPECT_EQ(unitOf(unitText(u)), u);

    auto measured = [](const char16_t* value, const char16_t* unit) {
        return measurementOf(valueOf(value), unitScale(unit));
    };
    const Measurement m = measured(u"2,961", u"G\u03A9");
    EXPECT_EQ(m.quantity, Measurement::Resistance);
    EXPECT_EQ(m.reading, Measurement::Number);
    EXPECT_DOUBLE_EQ(m.value, 2.961e9);
    EXPECT_EQ(measured(u"0L", u"G\u03A9").reading, Measurement::BeyondRange);
    EXPECT_EQ(measured(u"230.1", u"V").quantity, Measurement::Voltage);
}

TEST(Readings, ResistanceTextsKeepFourDigitsAndMoveUpAUnitWhenRounded) {
    EXPECT_EQ(ohmsText(2.961e9), u"2.961 G\u03A9");
    EXPECT_EQ(ohmsText(627.58e6), u"627.6 M\u03A9");
    EXPECT_EQ(ohmsText(999.96e6), u"1.000 G\u03A9");
    EXPECT_EQ(ohmsText(87e3), u"87.00 k\u03A9");
    EXPECT_EQ(ohmsText(1.5e15), u"1500 T\u03A9");
    EXPECT_EQ(ohmsText(0), u"0.000 \u03A9");
    EXPECT_EQ(ratioText(1.27465), u"1.27");
    EXPECT_EQ(ratioText(std::nullopt), u"-");
}

TEST(Figures, TenMinuteTestRecordedEverySecond) {
    Recording rec;
    rec.test(0, 600, 1);
    EXPECT_EQ(rec.lines(),
              QStringList{u"1\t06:27:19\tIR:1000V 40G\u03A9\t600\t627.7 M\u03A9\t800.0 M\u03A9\t"
                          u"1.791 G\u03A9\t1.27\t2.24\t-"_qs});
}

TEST(Figures, TenMinuteTestRecordedEveryTenSecondsWithTheSamplingLag) {
    // The sampling countdown lets each row come up to a second early: rows at 0, 9, 19, 28...
    Recording rec;
    rec.test(0, 610, 10, 0.6);
    const auto runs = rec.runs();
    ASSERT_EQ(runs.size(), 1u);
    const InsulationFigures f = insulationFigures(rec.table, runs[0]);
    ASSERT_TRUE(f.r30s.ok() && f.r1min.ok() && f.r10min.ok());
    EXPECT_NEAR(f.r30s.ohms / windingOhms(30), 1, 0.002);
    EXPECT_NEAR(f.r10min.ohms / windingOhms(600), 1, 0.002);
    EXPECT_EQ(ratioText(f.dar), u"1.27");
    EXPECT_EQ(ratioText(f.pi), u"2.24");
}

TEST(Figures, SamplingEveryMinuteGivesThePolarizationIndexButNoAbsorptionRatio) {
    Recording rec;
    rec.test(0, 600, 60, 0.5); // rows at 0, 59, 119 ... 590
    const auto runs = rec.runs();
    ASSERT_EQ(runs.size(), 1u);
    const InsulationFigures f = insulationFigures(rec.table, runs[0]);
    EXPECT_EQ(f.r30s.status, ResistanceAt::NoReading);
    EXPECT_FALSE(f.dar);
    ASSERT_TRUE(f.r1min.ok()); // the row at 59 s, within 3 s of a minute
    EXPECT_NEAR(f.r1min.ohms / windingOhms(59), 1, 0.001);
    ASSERT_TRUE(f.pi);
    EXPECT_NEAR(*f.pi, 2.24, 0.02);
}

TEST(Figures, ChangingTheFunctionEndsTheTest) {
    // 1000 V for four minutes, then the technician turns the dial to 500 V and starts again.
    Recording rec;
    rec.test(0, 240, 5);
    rec.test(245, 900, 5, 0, kIr500);
    const QStringList lines = rec.lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(u"1\t06:27:19\tIR:1000V 40G\u03A9\t240\t627.7 M\u03A9"))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(u"-\t1.27\t-\t-")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(u"50\t06:31:24\tIR:500V 20G\u03A9\t655\t"))
        << lines[1].toStdString();
    const InsulationFigures f = insulationFigures(rec.table, rec.runs()[0]);
    EXPECT_EQ(f.r10min.status, ResistanceAt::NotReached);
}

TEST(Figures, ATimedTestAndThePiTestAfterItAreTwoTests) {
    // The same function, the meter switched from its timed test to the PI test without a pause.
    Recording rec;
    for (int s = 0; s <= 60; s += 5)
        rec.row(s, display(windingOhms(s)).first, display(windingOhms(s)).second, kIr1000,
                QStringLiteral("Timed"));
    for (int s = 65; s <= 665; s += 5)
        rec.row(s, display(windingOhms(s - 65)).first, display(windingOhms(s - 65)).second, kIr1000,
                QStringLiteral("PI"));
    const QStringList lines = rec.lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(u"1\t06:27:19\tIR:1000V 40G\u03A9\t60\t"))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(u"14\t06:28:24\tIR:1000V 40G\u03A9\t600\t"))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains(u"\t2.24\t")) << "the PI test's own PI";
}

TEST(Figures, RowsThatKnowTheirInstantCountByIt) {
    // A test recorded across a change of the clock: the instants, not the times of day, say
    // how far apart the rows are; an instant going back ends the test.
    ReadingTable t;
    const qint64 at = 1'765'000'000'000;
    for (int s = 0; s <= 120; s += 10) {
        ReadingRow r = readingRow(s / 10 + 1, 3'600'000 + (s >= 60 ? 3'600'000 : 0) + s * 1000,
                                  QStringLiteral("1.000"), QStringLiteral("G\u03A9"));
        r.AtMs = at + s * 1000;
        t.append(r);
    }
    ReadingRow back = readingRow(14, 3'600'000, QStringLiteral("1.000"), QStringLiteral("G\u03A9"));
    back.AtMs = at;
    t.append(back);
    InsulationRuns runs;
    runs.scan(t);
    ASSERT_EQ(runs.runs().size(), 2u);
    EXPECT_EQ(runs.runs()[0].durationMs, 120'000);
    EXPECT_EQ(elapsedOfRows(t, runs.runs()[0]).back(), 120'000);
    EXPECT_EQ(runs.runs()[1].firstRow, 13);
}

TEST(Figures, VoltageChecksAroundTheTestAreNotPartOfIt) {
    // Dead-circuit check on DC volts, the test, a look at the discharge, and a second test.
    Recording rec;
    for (int i = 0; i < 5; ++i)
        rec.row(i, QStringLiteral("0.4"), QStringLiteral("V"), kDcv);
    rec.test(10, 100, 1);
    rec.row(101, QStringLiteral("12.5"), QStringLiteral("V"), kDcv);
    rec.test(102, 800, 2);
    const auto runs = rec.runs();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].firstRow, 5);
    EXPECT_EQ(runs[0].lastRow, 95);
    EXPECT_EQ(runs[1].firstRow, 97);
    const InsulationFigures f = insulationFigures(rec.table, runs[1]);
    // The second test's clock starts at its own first row, 102 s into the recording.
    EXPECT_EQ(ohmsText(f.r1min.ohms), u"800.0 M\u03A9");
}

TEST(Figures, ACommaAsDecimalSeparatorGivesTheSameFigures) {
    Recording dot, comma;
    dot.test(0, 600, 10, 0.6);
    comma.test(0, 600, 10, 0.6, kIr1000, u',');
    EXPECT_EQ(comma.table.value(3), u"612,7");
    EXPECT_EQ(comma.lines(), dot.lines());
}

TEST(Figures, ReadingsBeyondTheRangeStayInTheTestButGiveNoFigure) {
    // 5000 V on very good insulation: past the range from 5 minutes on.
    Recording rec;
    for (int t = 0; t <= 600; ++t) {
        if (t < 300)
            rec.winding(t, t, kIr5000);
        else
            rec.row(t, QStringLiteral("0L"), u"G" + kOhm, kIr5000);
    }
    ASSERT_EQ(rec.runs().size(), 1u);
    InsulationFigures f = insulationFigures(rec.table, rec.runs()[0]);
    EXPECT_EQ(ratioText(f.dar), u"1.27");
    EXPECT_EQ(f.r10min.status, ResistanceAt::BeyondRange);
    EXPECT_FALSE(f.pi);

    // Beyond the range right at 30 s, and either side of 1 min with rows every 20 s.
    Recording gaps;
    gaps.test(0, 20, 10);
    gaps.row(30, QStringLiteral("0L"), u"G" + kOhm);
    gaps.row(50, QStringLiteral("0L"), u"G" + kOhm);
    gaps.row(70, QStringLiteral(">40.0"), u"G" + kOhm);
    f = insulationFigures(gaps.table, gaps.runs()[0]);
    EXPECT_EQ(f.r30s.status, ResistanceAt::BeyondRange);
    EXPECT_EQ(f.r1min.status, ResistanceAt::BeyondRange);
}

TEST(Figures, ATestRunningPastMidnightKeepsCounting) {
    Recording rec(QTime(23, 55, 0));
    rec.test(0, 600, 10);
    const QStringList lines = rec.lines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(u"1\t23:55:00\tIR:1000V 40G\u03A9\t600\t"));
    EXPECT_TRUE(lines[0].endsWith(u"\t1.27\t2.24\t-")) << lines[0].toStdString();
}

TEST(Figures, PausesClockJumpsAndRestartsEndTheTest) {
    Recording rec;
    rec.test(0, 120, 1);
    rec.test(240, 300, 1); // two minutes without a row
    EXPECT_EQ(rec.runs().size(), 2u);

    // A second file loaded after the first: its clock starts earlier.
    Recording files(QTime(14, 0, 0));
    files.test(0, 100, 5);
    files.test(-3600, -3000, 5);
    EXPECT_EQ(files.runs().size(), 2u);

    // The test button released and pressed again at once: the reading falls back to the start.
    Recording restart;
    restart.test(0, 200, 5);
    restart.row(205, QStringLiteral("15.20"), u"M" + kOhm); // low while the winding charges
    restart.test(206, 900, 5);
    // The meter's own PI result as older recordings kept it, with the unit of the frame before.
    restart.row(905, QStringLiteral("2.24"), u"M" + kOhm);
    const auto runs = restart.runs();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[1].firstRow, 41);
    EXPECT_EQ(runs[2].firstRow, runs[2].lastRow);
    EXPECT_EQ(runs[2].durationMs, 0);
}

TEST(Figures, TheMetersOwnPiResultStandsBesideOursAndIsNoTest) {
    Recording rec;
    rec.test(0, 600, 5, 0, kIr1000);
    // Its PI result: the ratio without a unit. A loaded text table holds the unit as "NULL".
    rec.row(601, QStringLiteral("2.26"), QString(), kIr1000, QStringLiteral("PI"));
    rec.row(602, QStringLiteral("2.26"), QStringLiteral("NULL"), kIr1000, QStringLiteral("PI"));
    ASSERT_EQ(rec.runs().size(), 1u);
    EXPECT_EQ(meterPiResult(rec.table, rec.runs()[0]), 2.26);
    EXPECT_TRUE(rec.lines()[0].endsWith(u"\t2.24\t2.26")) << rec.lines()[0].toStdString();

    // Not a PI result: another function after the run, another mode, a unit, no number.
    const struct {
        const char* value;
        QString unit, function, mode;
    } others[] = {
        {"2.26", QString(), kIr500, QStringLiteral("PI")},
        {"2.26", QString(), kIr1000, QStringLiteral("Continuous")},
        {"2.26", QStringLiteral("V"), kIr1000, QStringLiteral("PI")},
        {"0L", QString(), kIr1000, QStringLiteral("PI")},
    };
    for (const auto& o : others) {
        Recording other;
        other.test(0, 120, 5);
        other.row(121, QString::fromLatin1(o.value), o.unit, o.function, o.mode);
        ASSERT_EQ(other.runs().size(), 1u);
        EXPECT_FALSE(meterPiResult(other.table, other.runs()[0])) << o.value;
    }
}

TEST(Figures, TeraohmReadingsAreResistances) {
    Recording rec;
    rec.row(0, QStringLiteral("900.0"), u"G" + kOhm, kIr5000);
    rec.row(30, QStringLiteral("1.100"), u"T" + kOhm, kIr5000);
    rec.row(60, QStringLiteral("1.500"), u"T" + kOhm, kIr5000);
    ASSERT_EQ(rec.runs().size(), 1u);
    const InsulationFigures f = insulationFigures(rec.table, rec.runs()[0]);
    EXPECT_EQ(ohmsText(f.r1min.ohms), u"1.500 T\u03A9");
    EXPECT_EQ(ratioText(f.dar), u"1.36");
    // An empty unit is no resistance: it ends the test rather than counting as 0.
    rec.row(90, QStringLiteral("1.600"), QString(), kIr5000);
    EXPECT_EQ(rec.runs()[0].lastRow, 2);
}

TEST(Figures, AJumpBetweenTheReadingsAroundTheMomentIsNoFigure) {
    // Rows every 20 s; the reading doubles and more between 20 s and 40 s.
    Recording rec;
    rec.row(0, QStringLiteral("100.0"), u"M" + kOhm);
    rec.row(20, QStringLiteral("150.0"), u"M" + kOhm);
    rec.row(40, QStringLiteral("400.0"), u"M" + kOhm);
    rec.row(60, QStringLiteral("450.0"), u"M" + kOhm);
    const InsulationFigures f = insulationFigures(rec.table, rec.runs()[0]);
    EXPECT_EQ(f.r30s.status, ResistanceAt::Unsteady);
    EXPECT_TRUE(f.r1min.ok());
    EXPECT_FALSE(f.dar);
}

TEST(Runs, RowsAddedOneByOneGiveTheSameRunsAsAScan) {
    Recording rec(QTime(23, 58, 0));
    rec.row(0, QStringLiteral("0.3"), QStringLiteral("V"), kDcv);
    rec.test(1, 200, 3);
    rec.row(201, QStringLiteral("0L"), u"G" + kOhm);
    rec.row(202, QStringLiteral(""), u"G" + kOhm);
    rec.test(203, 400, 7, 0, kIr500);
    rec.test(600, 700, 7, 0, kIr500);

    InsulationRuns incremental;
    ReadingTable copy;
    for (int i = 0; i < rec.table.rowCount(); ++i) {
        copy.append(rec.table.row(i));
        incremental.append(copy);
    }
    const auto all = rec.runs();
    ASSERT_EQ(incremental.runs().size(), all.size());
    ASSERT_EQ(all.size(), 3u);
    for (size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(incremental.runs()[i].firstRow, all[i].firstRow);
        EXPECT_EQ(incremental.runs()[i].lastRow, all[i].lastRow);
        EXPECT_EQ(incremental.runs()[i].durationMs, all[i].durationMs);
    }
    EXPECT_EQ(all[0].lastRow, 68); // the "0L" row belongs to the test, the empty one ends it
    EXPECT_EQ(incremental.lastRunIn(0, 0), -1);
    EXPECT_EQ(incremental.lastRunIn(0, 90), 1);
    EXPECT_EQ(incremental.lastRunIn(69, 69), -1);
    EXPECT_EQ(incremental.lastRunIn(70, 1000), 2);
}

} // namespace
