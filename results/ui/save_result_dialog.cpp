#include "results/ui/save_result_dialog.h"

#include "results/result_store.h"
#include "results/result_texts.h"
#include "results/verdict.h"

#include <QComboBox>
#include <QCompleter>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

namespace {

const QString kLast = QStringLiteral("results/last/");

// An optional number field: empty for none; "." or "," as the decimal separator.
bool numberOf(const QLineEdit* edit, std::optional<double>& out) {
    const QString text = edit->text().trimmed();
    out.reset();
    if (text.isEmpty())
        return true;
    out = readingNumber(text);
    return out.has_value();
}

QString textOf(const std::optional<double>& v) {
    return v ? QString::number(*v, 'g', 8) : QString();
}

QLineEdit* numberEdit(const QString& placeholder) {
    auto* e = new QLineEdit;
    e->setPlaceholderText(placeholder);
    e->setMaximumWidth(110);
    return e;
}

} // namespace

SaveResultDialog::SaveResultDialog(ResultStore& store, TestResult run, bool dateAsked,
                                   QWidget* parent)
    : QDialog(parent), store_(store), run_(std::move(run)) {
    setObjectName(QStringLiteral("SaveResultDialog"));
    setWindowTitle(QStringLiteral("Save Test Result"));
    auto* layout = new QVBoxLayout(this);

    // The run: what was measured.
    auto* runBox = new QLabel(
        QStringLiteral("<b>%1</b> started %2, %3 s, %4 readings<br>R(30 s) %5 · R(1 min) %6 · "
                       "R(10 min) %7 · DAR %8 · PI %9")
            .arg(run_.function.toHtmlEscaped(), run_.startTime.toString(QStringLiteral("HH:mm:ss")))
            .arg(run_.durationMs / 1000)
            .arg(run_.readings.size())
            .arg(resistanceText(run_.r30s), resistanceText(run_.r1min), resistanceText(run_.r10min),
                 ratioText(run_.dar), ratioText(run_.pi)));
    runBox->setObjectName(QStringLiteral("runSummary"));
    layout->addWidget(runBox);

    auto* assetBox = new QGroupBox(QStringLiteral("Asset"));
    auto* form = new QFormLayout(assetBox);
    asset = new QLineEdit;
    asset->setObjectName(QStringLiteral("asset"));
    asset->setMaxLength(TestResult::kAssetIdMax * 2); // checked in characters, not UTF-16 units
    QString error;
    auto* completer = new QCompleter(store_.assetIds(&error), asset);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setFilterMode(Qt::MatchContains);
    asset->setCompleter(completer);
    // The last asset is offered, never filled in: a result saved under the wrong asset would
    // spoil two histories.
    const QString last = QSettings().value(kLast + QStringLiteral("asset")).toString();
    auto* assetRow = new QHBoxLayout;
    assetRow->addWidget(asset, 1);
    if (!last.isEmpty()) {
        asset->setPlaceholderText(QStringLiteral("last: %1").arg(last));
        lastAsset = new QPushButton(QStringLiteral("Last: %1").arg(last));
        lastAsset->setObjectName(QStringLiteral("lastAsset"));
        lastAsset->setToolTip(QStringLiteral("Take the asset of the last result saved"));
        lastAsset->setAutoDefault(false);
        assetRow->addWidget(lastAsset);
        connect(lastAsset, &QPushButton::clicked, this, [this, last] {
            asset->setText(last);
            fillFromAsset();
        });
    } else {
        asset->setPlaceholderText(QStringLiteral("required"));
    }
    form->addRow(QStringLiteral("Asset ID"), assetRow);
    kind = new QComboBox;
    for (int k = 0; k < kAssetKindCount; ++k)
        kind->addItem(assetKindName(AssetKind(k)), assetKindKey(AssetKind(k)));
    form->addRow(QStringLiteral("Kind"), kind);
    ratedKv = numberEdit(QStringLiteral("kV"));
    form->addRow(QStringLiteral("Rated voltage (kV)"), ratedKv);
    insulationClass = new QComboBox;
    insulationClass->addItem(QStringLiteral("-"), QString());
    for (const QString& c : insulationClasses())
        insulationClass->addItem(c, c);
    form->addRow(QStringLiteral("Insulation class"), insulationClass);
    location = new QLineEdit;
    form->addRow(QStringLiteral("Location"), location);
    layout->addWidget(assetBox);

    auto* testBox = new QGroupBox(QStringLiteral("Conditions"));
    auto* grid = new QFormLayout(testBox);
    objectTemp = numberEdit(QStringLiteral("°C"));
    grid->addRow(QStringLiteral("Object temperature (°C)"), objectTemp);
    ambientTemp = numberEdit(QStringLiteral("°C"));
    grid->addRow(QStringLiteral("Ambient temperature (°C)"), ambientTemp);
    humidity = numberEdit(QStringLiteral("%"));
    grid->addRow(QStringLiteral("Relative humidity (%)"), humidity);
    date = new QDateEdit(run_.date.isValid() ? run_.date : QDate::currentDate());
    date->setCalendarPopup(true);
    date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    grid->addRow(QStringLiteral("Date"), date);
    if (dateAsked) {
        auto* ask = new QLabel(QStringLiteral("The table file holds times of day only: check the "
                                              "date of the test (the file's date is offered)."));
        ask->setObjectName(QStringLiteral("dateAsked"));
        ask->setWordWrap(true);
        grid->addRow(QString(), ask);
    }
    operatorName = new QLineEdit;
    grid->addRow(QStringLiteral("Operator"), operatorName);
    notes = new QPlainTextEdit;
    notes->setMaximumHeight(60);
    grid->addRow(QStringLiteral("Notes"), notes);
    layout->addWidget(testBox);

    auto* siteBox = new QGroupBox(QStringLiteral("Site minimums (any asset; cables, transformers "
                                                 "and switchgear are judged by these)"));
    auto* site = new QHBoxLayout(siteBox);
    minMohm = numberEdit(QStringLiteral("MΩ"));
    minPi = numberEdit(QStringLiteral("PI"));
    minDar = numberEdit(QStringLiteral("DAR"));
    site->addWidget(new QLabel(QStringLiteral("R(1 min) ≥")));
    site->addWidget(minMohm);
    site->addWidget(new QLabel(QStringLiteral("MΩ   PI ≥")));
    site->addWidget(minPi);
    site->addWidget(new QLabel(QStringLiteral("DAR ≥")));
    site->addWidget(minDar);
    site->addStretch();
    layout->addWidget(siteBox);

    instrument = new QLabel;
    instrument->setObjectName(QStringLiteral("instrument"));
    instrument->setWordWrap(true);
    instrument->setTextFormat(Qt::RichText);
    layout->addWidget(instrument);

    verdict = new QLabel;
    verdict->setObjectName(QStringLiteral("verdict"));
    verdict->setWordWrap(true);
    verdict->setTextFormat(Qt::RichText);
    layout->addWidget(verdict);
    problem = new QLabel;
    problem->setObjectName(QStringLiteral("problem"));
    problem->setWordWrap(true);
    problem->setStyleSheet(QStringLiteral("color: #c00000"));
    layout->addWidget(problem);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &SaveResultDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    recall();
    connect(asset, &QLineEdit::editingFinished, this, &SaveResultDialog::fillFromAsset);
    connect(completer, qOverload<const QString&>(&QCompleter::activated), this,
            [this](const QString&) { fillFromAsset(); });
    connect(kind, &QComboBox::currentIndexChanged, this, &SaveResultDialog::kindChanged);
    for (QLineEdit* e : {asset, ratedKv, objectTemp, ambientTemp, humidity, operatorName, location,
                         minMohm, minPi, minDar})
        connect(e, &QLineEdit::textChanged, this, &SaveResultDialog::updateVerdict);
    connect(insulationClass, &QComboBox::currentIndexChanged, this,
            &SaveResultDialog::updateVerdict);
    connect(date, &QDateEdit::dateChanged, this, &SaveResultDialog::updateVerdict);
    kindChanged();
}

std::optional<TestResult> SaveResultDialog::resultOfFields(QString* why) const {
    TestResult r = run_;
    r.assetId = asset->text().trimmed();
    r.kind = assetKindOf(kind->currentData().toString()).value_or(AssetKind::Other);
    r.insulationClass = isMachine(r.kind) ? insulationClass->currentData().toString() : QString();
    r.location = location->text().trimmed();
    r.operatorName = operatorName->text().trimmed();
    r.notes = notes->toPlainText().trimmed();
    r.date = date->date();
    const struct {
        QLineEdit* edit;
        std::optional<double>* field;
        const char* name;
    } numbers[] = {{ratedKv, &r.ratedKv, "rated voltage"},
                   {objectTemp, &r.objectTempC, "object temperature"},
                   {ambientTemp, &r.ambientTempC, "ambient temperature"},
                   {humidity, &r.humidityPct, "relative humidity"},
                   {minMohm, &r.minMohm, "minimum resistance"},
                   {minPi, &r.minPi, "minimum PI"},
                   {minDar, &r.minDar, "minimum DAR"}};
    for (const auto& n : numbers)
        if (!numberOf(n.edit, *n.field)) {
            *why = QStringLiteral("The %1 is no number.").arg(QLatin1String(n.name));
            return std::nullopt;
        }
    *why = checkFields(r);
    if (!why->isEmpty())
        return std::nullopt;
    return r;
}

void SaveResultDialog::updateVerdict() {
    QString why;
    const std::optional<TestResult> r = resultOfFields(&why);
    // A failed save's reason stays only while it holds.
    if (!problem->text().isEmpty())
        problem->setText(r ? QString() : why + QStringLiteral(" Nothing was saved."));
    TestResult dated = run_;
    dated.date = date->date();
    const std::optional<QString> pastDue = calibrationWarning(dated);
    instrument->setText(QStringLiteral("Instrument: %1 · calibration due %2%3")
                            .arg(instrumentText(run_.instrument).toHtmlEscaped(),
                                 run_.instrument.calibrationDue.isValid()
                                     ? run_.instrument.calibrationDue.toString(Qt::ISODate)
                                     : QStringLiteral("not given"),
                                 pastDue ? QStringLiteral("<br><b style='color:#c00000'>%1</b>")
                                               .arg(pastDue->toHtmlEscaped())
                                         : QString()));
    if (!r) {
        verdict->setText(QStringLiteral("<i>%1</i>").arg(why.toHtmlEscaped()));
        return;
    }
    const Verdict v = judge(*r);
    verdict->setText(
        QStringLiteral("<b>%1</b> — %2<br>%3")
            .arg(outcomeText(v.outcome), v.rule.toHtmlEscaped(), v.summary().toHtmlEscaped()));
}

void SaveResultDialog::kindChanged() {
    const bool machine =
        isMachine(assetKindOf(kind->currentData().toString()).value_or(AssetKind::Other));
    insulationClass->setEnabled(machine);
    updateVerdict();
}

void SaveResultDialog::fillFromAsset() {
    QString error;
    const std::optional<TestResult> known = store_.latestOf(asset->text().trimmed(), &error);
    if (!known)
        return;
    kind->setCurrentIndex(int(known->kind));
    ratedKv->setText(textOf(known->ratedKv));
    insulationClass->setCurrentIndex(
        std::max(0, insulationClass->findData(known->insulationClass)));
    location->setText(known->location);
    minMohm->setText(textOf(known->minMohm));
    minPi->setText(textOf(known->minPi));
    minDar->setText(textOf(known->minDar));
}

void SaveResultDialog::remember() const {
    QSettings s;
    s.setValue(kLast + QStringLiteral("asset"), saved_.assetId);
    s.setValue(kLast + QStringLiteral("operator"), saved_.operatorName);
}

// The technician is the same from one result to the next; what the asset is comes with the
// asset once it is named.
void SaveResultDialog::recall() {
    kind->setCurrentIndex(int(AssetKind::Other));
    operatorName->setText(QSettings().value(kLast + QStringLiteral("operator")).toString());
}

bool SaveResultDialog::save() {
    QString why;
    std::optional<TestResult> r = resultOfFields(&why);
    if (r && store_.save(*r, &why)) {
        saved_ = std::move(*r);
        remember();
        problem->clear();
        return true;
    }
    problem->setText(why + QStringLiteral(" Nothing was saved."));
    return false;
}

void SaveResultDialog::accept() {
    if (save())
        QDialog::accept();
}
