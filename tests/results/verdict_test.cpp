#include "results/result_texts.h"
#include "results/verdict.h"
#include "tests/results/results_fixture.h"

#include <gtest/gtest.h>

namespace {

// A machine result with the figures given directly (ohms; PI; run length in seconds).
TestResult machine(AssetKind kind, double r1Ohms, std::optional<double> pi, int seconds = 600,
                   std::optional<double> tempC = 40) {
    TestResult r;
    r.assetId = QStringLiteral("M1");
    r.kind = kind;
    r.ratedKv = 6.6;
    r.insulationClass = QStringLiteral("F");
    r.objectTempC = tempC;
    r.date = QDate(2026, 1, 2);
    r.function = QStringLiteral("IR:5000V 1000GΩ");
    r.r1min = {ResistanceAt::Measured, r1Ohms};
    r.pi = pi;
    r.durationMs = seconds * 1000LL;
    return r;
}

} // namespace

TEST(Verdict, MachineMinimumsByKindAndRatedVoltage) {
    EXPECT_EQ(machineMinimumOhms(AssetKind::MachineForm, 6.6), 100e6);
    EXPECT_EQ(machineMinimumOhms(AssetKind::MachineForm, 0.4), 5e6); // form-wound below 1 kV
    EXPECT_EQ(machineMinimumOhms(AssetKind::MachineRandom, 0.4), 5e6);
    EXPECT_EQ(machineMinimumOhms(AssetKind::MachineOld, 6.6), 7.6e6); // kV + 1 MΩ
    EXPECT_FALSE(machineMinimumOhms(AssetKind::MachineOld, std::nullopt));
    EXPECT_FALSE(machineMinimumOhms(AssetKind::Cable, 6.6));
}

TEST(Verdict, CorrectionTo40DegreesHalvesPerTenDegrees) {
    EXPECT_DOUBLE_EQ(correctedTo40(800e6, 20), 200e6);
    EXPECT_DOUBLE_EQ(correctedTo40(800e6, 40), 800e6);
    EXPECT_DOUBLE_EQ(correctedTo40(100e6, 50), 200e6);
    TestResult r = machine(AssetKind::MachineForm, 800e6, 2.5, 600, 20);
    EXPECT_DOUBLE_EQ(*r.r40(), 200e6);
    EXPECT_TRUE(listLine(r).contains(u"\t200.0 MΩ\t")) << listLine(r).toStdString();
    r.objectTempC.reset();
    EXPECT_FALSE(r.r40());
    EXPECT_DOUBLE_EQ(*r.ratingOhms(), 800e6);
    EXPECT_TRUE(listLine(r).contains(u"\tnot corrected\t")) << listLine(r).toStdString();
    // With a temperature but no R(1 min) there is nothing to correct: not "not corrected".
    r.objectTempC = 25;
    r.r1min = {};
    EXPECT_FALSE(listLine(r).contains(u"not corrected")) << listLine(r).toStdString();
}

TEST(Verdict, PassFailAndTheFiguresUnderTheirMinimums) {
    Verdict v = judge(machine(AssetKind::MachineForm, 500e6, 2.4));
    EXPECT_EQ(v.outcome, Verdict::Pass) << v.summary().toStdString();
    EXPECT_TRUE(v.rule.startsWith(u"IEEE 43-2013")) << v.rule.toStdString();
    EXPECT_TRUE(v.rule.contains(u"PI ≥ 2.00 (class F)")) << v.rule.toStdString();

    // At 20 °C, 300 MΩ is 75 MΩ at 40 °C: under 100 MΩ; and PI 1.8 under 2.0.
    v = judge(machine(AssetKind::MachineForm, 300e6, 1.8, 600, 20));
    EXPECT_EQ(v.outcome, Verdict::Fail);
    ASSERT_EQ(v.reasons.size(), 2) << v.summary().toStdString();
    EXPECT_TRUE(v.reasons[0].contains(u"R(1 min) at 40 °C 75.00 MΩ under the minimum 100.0 MΩ"))
        << v.reasons[0].toStdString();
    EXPECT_TRUE(v.reasons[1].contains(u"PI 1.80 under the minimum 2.00"));

    // Class A takes PI 1.5.
    TestResult a = machine(AssetKind::MachineForm, 500e6, 1.8);
    a.insulationClass = QStringLiteral("A");
    EXPECT_EQ(judge(a).outcome, Verdict::Pass);
}

TEST(Verdict, PiIsLeftOutAboveFiveGigohmsOrForShortRuns) {
    // PI 1.2 would fail, but above 5000 MΩ it is not assessed; the verdict rests on R.
    Verdict v = judge(machine(AssetKind::MachineForm, 8000e6, 1.2));
    EXPECT_EQ(v.outcome, Verdict::Pass);
    EXPECT_TRUE(v.notes.join(u'|').contains(u"PI not assessed")) << v.summary().toStdString();

    v = judge(machine(AssetKind::MachineForm, 500e6, 1.2, 300));
    EXPECT_EQ(v.outcome, Verdict::Pass);
    EXPECT_TRUE(v.summary().contains(u"shorter than 10 minutes"));
}

TEST(Verdict, WithoutTemperatureTheMeasuredValueStandsInAndTheVerdictSaysSo) {
    const Verdict v = judge(machine(AssetKind::MachineForm, 500e6, 2.4, 600, std::nullopt));
    EXPECT_EQ(v.outcome, Verdict::Pass);
    EXPECT_TRUE(v.summary().contains(u"not corrected")) << v.summary().toStdString();
}

TEST(Verdict, TestVoltageOutsideTheStandardsRangeIsNoted) {
    TestResult r = machine(AssetKind::MachineForm, 500e6, 2.4);
    r.function = QStringLiteral("IR:500V 20GΩ"); // 6.6 kV wants 2500-5000 V
    EXPECT_TRUE(judge(r).summary().contains(u"test voltage 500 V lies outside 2500-5000 V"));
    r.function = QStringLiteral("IR:2500 100GΩ"); // no "V" after the digits on this range
    EXPECT_EQ(*r.testVolts(), 2500);
    EXPECT_FALSE(judge(r).summary().contains(u"test voltage"));
    EXPECT_EQ(recommendedTestVolts(0.4), std::make_pair(500.0, 500.0));
    EXPECT_EQ(recommendedTestVolts(2.5), std::make_pair(500.0, 1000.0));
    EXPECT_EQ(recommendedTestVolts(13.8), std::make_pair(5000.0, 10000.0));
}

TEST(Verdict, OtherAssetsNeedTheSitesMinimums) {
    TestResult cable = machine(AssetKind::Cable, 50e6, 1.1);
    cable.insulationClass.clear();
    Verdict v = judge(cable);
    EXPECT_EQ(v.outcome, Verdict::NotAssessed);
    EXPECT_EQ(v.summary(),
              u"no minimum resistance set: the site's rules decide for this kind of asset (cable)");

    cable.minMohm = 100;
    cable.minPi = 1.5;
    v = judge(cable);
    EXPECT_EQ(v.outcome, Verdict::Fail);
    EXPECT_EQ(v.reasons.size(), 2) << v.summary().toStdString();

    cable.minMohm = 20;
    cable.minPi.reset();
    EXPECT_EQ(judge(cable).outcome, Verdict::Pass);
}

TEST(Verdict, NothingToAssessSaysWhy) {
    TestResult r = machine(AssetKind::MachineOld, 500e6, 2.4);
    r.ratedKv.reset();
    r.insulationClass.clear();
    const Verdict v = judge(r);
    EXPECT_EQ(v.outcome, Verdict::NotAssessed);
    EXPECT_TRUE(v.summary().contains(u"no rated voltage")) << v.summary().toStdString();
}

TEST(Verdict, TrendFlagsAFallOfMoreThanHalf) {
    TestResult before = machine(AssetKind::MachineForm, 1000e6, 2.4);
    before.id = 7;
    before.date = QDate(2025, 6, 1);
    TestResult now = machine(AssetKind::MachineForm, 499e6, 2.4);
    const std::optional<QString> line = trendLine(now, before);
    ASSERT_TRUE(line);
    EXPECT_TRUE(line->startsWith(u"TREND:"));
    EXPECT_TRUE(line->contains(u"2025-06-01")) << line->toStdString();
    now.r1min.ohms = 500e6;
    EXPECT_FALSE(trendLine(now, before));
}

TEST(Fields, BadInputIsNamed) {
    TestResult r = machine(AssetKind::MachineForm, 500e6, 2.4);
    EXPECT_TRUE(checkFields(r).isEmpty());
    auto problem = [&](auto change) {
        TestResult copy = r;
        change(copy);
        return checkFields(copy);
    };
    EXPECT_FALSE(problem([](TestResult& t) { t.assetId = QStringLiteral("  "); }).isEmpty());
    EXPECT_TRUE(problem([](TestResult& t) { t.assetId = QString(64, u'Ж'); }).isEmpty());
    EXPECT_FALSE(problem([](TestResult& t) { t.assetId = QString(65, u'x'); }).isEmpty());
    EXPECT_FALSE(problem([](TestResult& t) { t.assetId = QStringLiteral("a\tb"); }).isEmpty());
    EXPECT_FALSE(problem([](TestResult& t) { t.objectTempC = 151; }).isEmpty());
    EXPECT_FALSE(problem([](TestResult& t) { t.objectTempC = -31; }).isEmpty());
    EXPECT_FALSE(problem([](TestResult& t) { t.humidityPct = 101; }).isEmpty());
    EXPECT_FALSE(problem([](TestResult& t) { t.insulationClass = QStringLiteral("C"); }).isEmpty());
    EXPECT_FALSE(problem([](TestResult& t) {
                     t.kind = AssetKind::Cable; // a class is for machines
                 }).isEmpty());
    EXPECT_FALSE(problem([](TestResult& t) { t.minPi = 2; }).isEmpty()); // without a minimum R
}

TEST(Texts, PeoplesTextIsPrintedSafelyAndQuotedInCsv) {
    EXPECT_EQ(printable(QStringLiteral("a\tb\nc\x1b[2J")), QStringLiteral("a\\tb\\nc\\x1B[2J"));
    EXPECT_EQ(printable(QStringLiteral("Pump «Nord» Ω")), QStringLiteral("Pump «Nord» Ω"));
    TestResult r = machine(AssetKind::MachineForm, 500e6, 2.4);
    r.notes = QStringLiteral("dry, \"clean\"\nwindings");
    const QString row = csvRow(r, judge(r));
    EXPECT_TRUE(row.contains(u"\"dry, \"\"clean\"\"\nwindings\"")) << row.toStdString();
    EXPECT_TRUE(row.contains(u",500000000,")) << row.toStdString(); // plain ohms
    r.notes.clear();
    EXPECT_EQ(csvRow(r, judge(r)).count(u','), csvHeader().count(u',')); // a field a column
}

// Spreadsheets and scripts were set up for the export's columns: they keep their names and order,
// and each cell its form.
TEST(Texts, TheExportKeepsItsColumnsAndTheirForms) {
    EXPECT_EQ(csvHeader(),
              QStringLiteral("id,date,start_time,asset_id,asset_kind,rated_kv,insulation_class,"
                             "object_temp_c,ambient_temp_c,humidity_pct,operator,location,function,"
                             "test_volts,duration_s,r30s_ohms,r1min_ohms,r10min_ohms,r40_ohms,dar,"
                             "pi,meter_pi,min_mohm,min_pi,min_dar,verdict,reasons,notes,"
                             "instrument_model,instrument_serial,calibration_due,trend_pct"));
    TestResult r = machine(AssetKind::MachineForm, 500e6, 2.4, 75, 30);
    r.id = 12;
    r.startTime = QTime(9, 5, 7);
    r.operatorName = QStringLiteral("=SUM(A1)");
    r.location = QStringLiteral("Hall 3, bay 2");
    r.r30s = {ResistanceAt::Unsteady, 0};
    r.instrument.serial = QStringLiteral("+4072");
    r.instrument.calibrationDue = QDate(2027, 3, 1);
    r.trendFallPct = 62;
    EXPECT_EQ(csvRow(r, judge(r)),
              QStringLiteral("12,2026-01-02,09:05:07,M1,machine-form,6.6,F,30,,,'=SUM(A1),"
                             "\"Hall 3, bay 2\",IR:5000V 1000GΩ,5000,75,,500000000,,250000000,,"
                             "2.4,,,,,PASS,\"PI not assessed: the test ran 75 s, shorter than 10 "
                             "minutes\",,KR740,'+4072,2027-03-01,62"));
}

TEST(Figures, ARunOfTheTableGivesItsFiguresAndReadings) {
    ReadingTable table;
    recordTest(table, 600, 5, 100, 2.5);
    const TestResult r = resultOfLastRun(table);
    EXPECT_EQ(r.readings.size(), 121u);
    EXPECT_EQ(r.readings.back().elapsedMs, 600'000);
    EXPECT_EQ(r.readings.back().text, QStringLiteral("250.0 MΩ"));
    ASSERT_TRUE(r.pi);
    EXPECT_NEAR(*r.pi, 2.5, 0.01);
    EXPECT_EQ(r.function, QStringLiteral("IR:1000V 40GΩ"));
    EXPECT_EQ(*r.testVolts(), 1000);
    EXPECT_EQ(r.startTime, QTime(9, 0));
}

// Ω must reach every output as itself: a unit once went through a Latin-1 view of its UTF-8
// bytes and printed "MÎ©".
TEST(Texts, OhmsReadRightInEveryText) {
    TestResult r = machine(AssetKind::Cable, 6e9, 2.4);
    r.insulationClass.clear();
    r.minMohm = 5000;
    r.minPi = 2;
    QString all = showText(r, judge(r), std::nullopt) + listLine(r) + csvRow(r, judge(r));
    for (const auto& [label, text] : fieldLines(r) + figureLines(r))
        all += label + text;
    EXPECT_TRUE(showText(r, judge(r), std::nullopt).contains(u"Minimum resistance: 5000 MΩ"));
    for (const QString& garbled : {QStringLiteral("Î"), QStringLiteral("Â"), QStringLiteral("Ã")})
        EXPECT_FALSE(all.contains(garbled)) << all.toStdString();
}

TEST(Texts, TheInstrumentAndACalibrationPastDueAreSaid) {
    TestResult r = machine(AssetKind::MachineForm, 500e6, 2.4);
    r.instrument.serial = QStringLiteral("SN 0815");
    r.instrument.calibrationDue = r.date; // due on the day: still good
    EXPECT_TRUE(
        showText(r, judge(r), std::nullopt).contains(u"Instrument: KR740, serial number SN 0815"));
    EXPECT_FALSE(calibrationWarning(r));
    EXPECT_EQ(calibrationText(r), QStringLiteral("2026-01-02"));
    r.instrument.calibrationDue = r.date.addDays(-1);
    ASSERT_TRUE(calibrationWarning(r));
    EXPECT_TRUE(
        calibrationWarning(r)->contains(u"due on 2026-01-01, before the test on 2026-01-02"));
    EXPECT_TRUE(showText(r, judge(r), std::nullopt).endsWith(*calibrationWarning(r)));
    EXPECT_TRUE(calibrationText(r).contains(u"PAST DUE"));
    // A result saved before instruments were kept says so, and no due date is no warning.
    r.instrument = {QString(), QString(), QDate()};
    EXPECT_EQ(instrumentText(r.instrument), QStringLiteral("not recorded"));
    EXPECT_FALSE(calibrationWarning(r));
}
