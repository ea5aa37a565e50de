#include "results/ui/save_result_dialog.h"

#include "results/result_store.h"
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
    form->addRow(QStringLiteral("Asset ID"), asset);
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
    s.setValue(kLast + QStringLiteral("kind"), assetKindKey(saved_.kind));
    s.setValue(kLast + QStringLiteral("ratedKv"), ratedKv->text());
    s.setValue(kLast + QStringLiteral("class"), saved_.insulationClass);
    s.setValue(kLast + QStringLiteral("location"), saved_.location);
    s.setValue(kLast + QStringLiteral("operator"), saved_.operatorName);
    s.setValue(kLast + QStringLiteral("minMohm"), minMohm->text());
    s.setValue(kLast + QStringLiteral("minPi"), minPi->text());
    s.setValue(kLast + QStringLiteral("minDar"), minDar->text());
}

void SaveResultDialog::recall() {
    const QSettings s;
    asset->setText(s.value(kLast + QStringLiteral("asset")).toString());
    const std::optional<AssetKind> k =
        assetKindOf(s.value(kLast + QStringLiteral("kind")).toString());
    kind->setCurrentIndex(int(k.value_or(AssetKind::Other)));
    ratedKv->setText(s.value(kLast + QStringLiteral("ratedKv")).toString());
    insulationClass->setCurrentIndex(
        std::max(0, insulationClass->findData(s.value(kLast + QStringLiteral("class")))));
    location->setText(s.value(kLast + QStringLiteral("location")).toString());
    operatorName->setText(s.value(kLast + QStringLiteral("operator")).toString());
    minMohm->setText(s.value(kLast + QStringLiteral("minMohm")).toString());
    minPi->setText(s.value(kLast + QStringLiteral("minPi")).toString());
    minDar->setText(s.value(kLast + QStringLiteral("minDar")).toString());
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
