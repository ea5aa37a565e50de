#include "results/verdict.h"

namespace {

QString mohm(double ohms) {
    return ohmsText(ohms);
}

// "Rotating machine, ..." as it reads inside a sentence (units such as "kV" kept as they are).
QString inSentence(const QString& name) {
    return name.isEmpty() ? name : name.front().toLower() + name.mid(1);
}

QString ratio(double v) {
    return QString::number(v, 'f', v < 10 ? 2 : 1);
}

// The site's minimums, where given: their checks go into `v`; false when none are set.
bool applySiteMinimums(const TestResult& r, Verdict& v, QStringList& rule, int& assessed) {
    if (!r.minMohm)
        return false;
    const double minOhms = *r.minMohm * 1e6;
    rule << u"R(1 min) ≥ " + mohm(minOhms);
    if (r.r1min.ok()) {
        ++assessed;
        if (r.r1min.ohms < minOhms)
            v.reasons << QStringLiteral("R(1 min) %1 under the minimum %2")
                             .arg(ohmsText(r.r1min.ohms), mohm(minOhms));
    } else if (r.r1min.status == ResistanceAt::BeyondRange) {
        ++assessed; // above the meter's range: above any minimum it can measure
        v.notes << QStringLiteral("R(1 min) beyond the meter's range, taken as above the minimum");
    } else {
        v.notes << u"R(1 min) not available (" + statusText(r.r1min.status) + u')';
    }
    auto ratioCheck = [&](const char* name, const std::optional<double>& min,
                          const std::optional<double>& value) {
        if (!min)
            return;
        const QString n = QLatin1String(name);
        rule << n + u" ≥ " + ratio(*min);
        if (!value) {
            v.notes << n + QStringLiteral(" not available");
            return;
        }
        ++assessed;
        if (*value < *min)
            v.reasons
                << QStringLiteral("%1 %2 under the minimum %3").arg(n, ratio(*value), ratio(*min));
    };
    ratioCheck("PI", r.minPi, r.pi);
    ratioCheck("DAR", r.minDar, r.dar);
    return true;
}

void judgeMachine(const TestResult& r, Verdict& v, QStringList& rule, int& assessed) {
    const std::optional<double> minOhms = machineMinimumOhms(r.kind, r.ratedKv);
    const QString r40 = r.objectTempC ? QStringLiteral("R(1 min) at 40 °C")
                                      : QStringLiteral("R(1 min) as measured");
    if (!minOhms) {
        v.notes << QStringLiteral("no rated voltage given: the minimum resistance (kV + 1 MΩ) "
                                  "cannot be set");
    } else {
        rule << u"R(1 min) at 40 °C ≥ " + mohm(*minOhms);
        if (!r.objectTempC && r.r1min.ok())
            v.notes << QStringLiteral("no object temperature given: R(1 min) as measured stands "
                                      "in for R(1 min) at 40 °C, not corrected");
        if (const std::optional<double> rating = r.ratingOhms()) {
            ++assessed;
            if (*rating < *minOhms)
                v.reasons << QStringLiteral("%1 %2 under the minimum %3")
                                 .arg(r40, ohmsText(*rating), mohm(*minOhms));
        } else if (r.r1min.status == ResistanceAt::BeyondRange) {
            ++assessed;
            v.notes << QStringLiteral(
                "R(1 min) beyond the meter's range, taken as above the minimum");
        } else {
            v.notes << u"R(1 min) not available (" + statusText(r.r1min.status) + u')';
        }
    }

    // PI.
    const QString& cls = r.insulationClass;
    if (cls.isEmpty()) {
        v.notes << QStringLiteral("PI not assessed: no insulation class given");
        return;
    }
    const double minPi = cls == u"A" ? 1.5 : 2.0;
    rule << QStringLiteral("PI ≥ %1 (class %2)").arg(ratio(minPi), cls);
    const std::optional<double> rating = r.ratingOhms();
    if (r.r1min.status == ResistanceAt::BeyondRange ||
        (rating && *rating > kPiMeaninglessAboveOhms)) {
        v.notes
            << QStringLiteral("PI not assessed: %1 above 5000 MΩ, where PI means little").arg(r40);
    } else if (r.durationMs < kPiRunMs) {
        v.notes << QStringLiteral("PI not assessed: the test ran %1 s, shorter than 10 minutes")
                       .arg(r.durationMs / 1000);
    } else if (!r.pi) {
        v.notes << QStringLiteral("PI not assessed: not available");
    } else {
        ++assessed;
        if (*r.pi < minPi)
            v.reasons
                << QStringLiteral("PI %1 under the minimum %2").arg(ratio(*r.pi), ratio(minPi));
    }
}

void noteTestVoltage(const TestResult& r, Verdict& v) {
    if (!r.ratedKv)
        return;
    const std::optional<double> volts = r.testVolts();
    if (!volts)
        return;
    const auto [lo, hi] = recommendedTestVolts(*r.ratedKv);
    if (*volts >= lo && *volts <= hi)
        return;
    const QString range =
        lo == hi ? QStringLiteral("%1 V").arg(lo) : QStringLiteral("%1-%2 V").arg(lo).arg(hi);
    v.notes << QStringLiteral("test voltage %1 V lies outside %2, the standard's range for %3")
                   .arg(*volts)
                   .arg(range, kvText(r.ratedKv));
}

} // namespace

QString Verdict::summary() const {
    return (reasons + notes).join(QStringLiteral("; "));
}

QString outcomeText(Verdict::Outcome outcome) {
    switch (outcome) {
    case Verdict::Pass:
        return QStringLiteral("PASS");
    case Verdict::Fail:
        return QStringLiteral("FAIL");
    case Verdict::NotAssessed:
        break;
    }
    return QStringLiteral("NOT ASSESSED");
}

std::optional<Verdict::Outcome> outcomeOf(QStringView text) {
    for (Verdict::Outcome o : {Verdict::Pass, Verdict::Fail, Verdict::NotAssessed})
        if (text == outcomeText(o))
            return o;
    return std::nullopt;
}

std::optional<double> machineMinimumOhms(AssetKind kind, const std::optional<double>& ratedKv) {
    switch (kind) {
    case AssetKind::MachineOld:
        if (!ratedKv)
            return std::nullopt;
        return (*ratedKv + 1) * 1e6;
    case AssetKind::MachineForm:
        // A form-wound machine rated below 1 kV has the random-wound minimum.
        return ratedKv && *ratedKv < 1 ? 5e6 : 100e6;
    case AssetKind::MachineRandom:
        return 5e6;
    default:
        return std::nullopt;
    }
}

std::pair<double, double> recommendedTestVolts(double ratedKv) {
    if (ratedKv < 1)
        return {500, 500};
    if (ratedKv <= 2.5)
        return {500, 1000};
    if (ratedKv <= 5)
        return {1000, 2500};
    if (ratedKv <= 12)
        return {2500, 5000};
    return {5000, 10000};
}

Verdict judge(const TestResult& r) {
    Verdict v;
    QStringList rule;
    int assessed = 0;
    QString ruleName;
    if (isMachine(r.kind)) {
        ruleName = u"IEEE 43-2013, " + inSentence(assetKindName(r.kind));
        judgeMachine(r, v, rule, assessed);
        noteTestVoltage(r, v);
        QStringList site;
        const bool hasSite = applySiteMinimums(r, v, site, assessed);
        if (hasSite)
            rule << u"site: " + site.join(QStringLiteral(", "));
    } else if (!applySiteMinimums(r, v, rule, assessed)) {
        v.rule = QStringLiteral("Site minimums (none set)");
        v.reasons << QStringLiteral(
                         "no minimum resistance set: the site's rules decide for this kind of "
                         "asset (%1)")
                         .arg(inSentence(assetKindName(r.kind)));
        v.outcome = Verdict::NotAssessed;
        return v;
    } else {
        ruleName = QStringLiteral("Site minimums");
    }
    v.rule = rule.isEmpty() ? ruleName : ruleName + u": " + rule.join(QStringLiteral(", "));
    if (!v.reasons.isEmpty()) {
        v.outcome = Verdict::Fail;
    } else if (assessed == 0) {
        v.outcome = Verdict::NotAssessed;
        // The reasons of NOT ASSESSED are the notes that said why nothing was assessed.
        v.reasons = v.notes;
        v.notes.clear();
        if (v.reasons.isEmpty())
            v.reasons << QStringLiteral("no figure could be assessed");
    } else {
        v.outcome = Verdict::Pass;
    }
    return v;
}

std::optional<int> trendFallPct(const TestResult& result, const TestResult& previous) {
    const std::optional<double> now = result.ratingOhms();
    const std::optional<double> before = previous.ratingOhms();
    if (!now || !before || *before <= 0 || *now >= 0.5 * *before)
        return std::nullopt;
    return qRound((1 - *now / *before) * 100);
}

std::optional<QString> trendLine(const TestResult& result, const TestResult& previous) {
    const std::optional<int> fall = trendFallPct(result, previous);
    if (!fall)
        return std::nullopt;
    const QString what = result.objectTempC && previous.objectTempC
                             ? QStringLiteral("R(1 min) at 40 °C")
                             : QStringLiteral("R(1 min) (not corrected in both)");
    return QStringLiteral("TREND: %1 %2 is %3 % below %4 of the result of %5 (ID %6)")
        .arg(what, ohmsText(*result.ratingOhms()))
        .arg(*fall)
        .arg(ohmsText(*previous.ratingOhms()), previous.date.toString(Qt::ISODate))
        .arg(previous.id);
}
