#pragma once

#include "results/test_result.h"

#include <QString>
#include <QStringList>

#include <optional>

// The verdict on a test result, with the rule that gave it.
//
// Rotating machines are judged by the insulation-resistance and polarization-index minimums of
// the machine test standard: R(1 min) at 40 °C at least kV + 1 MΩ (machines before about 1970,
// field windings), 100 MΩ (form-wound after about 1970, rated 1 kV or more) or 5 MΩ (random-wound,
// or below 1 kV); PI at least 1.5 (class A) or 2.0 (B, F, H). PI is not assessed above 5000 MΩ,
// where it means little, nor for a run shorter than 10 minutes. Any asset may carry the site's own
// minimums (resistance, and with it PI and DAR); an asset that is no machine is assessed by those
// alone.
struct Verdict {
    enum Outcome { Pass, Fail, NotAssessed };
    Outcome outcome = NotAssessed;
    QString rule;        // "IEEE 43-2013, ..." or "Site minimum: ..."
    QStringList reasons; // FAIL: each figure under its minimum; NOT ASSESSED: why
    QStringList notes;   // what the reader should know beside it

    // The reasons then the notes, "; " between them: the line the command line prints.
    QString summary() const;
};

QString outcomeText(Verdict::Outcome outcome); // "PASS", "FAIL", "NOT ASSESSED"
std::optional<Verdict::Outcome> outcomeOf(QStringView text);

Verdict judge(const TestResult& result);

// The machine rule's figures, for the rule line and the tests.
constexpr double kPiMeaninglessAboveOhms = 5000e6;
constexpr qint64 kPiRunMs = 600'000;
// The minimum R(1 min) at 40 °C of a machine, in ohms; none when the rated voltage it needs is
// missing.
std::optional<double> machineMinimumOhms(AssetKind kind, const std::optional<double>& ratedKv);
// The test voltages the machine standard asks for at a rated voltage: [low, high] in volts.
std::pair<double, double> recommendedTestVolts(double ratedKv);

// "TREND: ..." when the result's rating resistance lies more than half below the previous
// result's (the asset's result before it by date); none otherwise.
std::optional<QString> trendLine(const TestResult& result, const TestResult& previous);
// The fall in per cent that trendLine() flags; none where it flags none.
std::optional<int> trendFallPct(const TestResult& result, const TestResult& previous);
