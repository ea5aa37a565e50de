#include "app/settings_dialog.h"

#include "results/result_store.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QVBoxLayout>

SettingsDialog::SettingsDialog(QSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setObjectName(QStringLiteral("SettingsDialog"));
    setWindowTitle(tr("Settings"));
    auto* layout = new QVBoxLayout(this);
    buildInstrument();
    buildDatabase();
    layout->addWidget(instrumentGroup);
    layout->addWidget(databaseGroup);
    problem = new QLabel(this);
    problem->setObjectName(QStringLiteral("problem"));
    problem->setWordWrap(true);
    QPalette red = problem->palette();
    red.setColor(QPalette::WindowText, QColor(0xB0, 0x00, 0x00));
    problem->setPalette(red);
    problem->hide();
    layout->addWidget(problem);
    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SettingsDialog::reject);
    layout->addWidget(buttons);
    load();
}

void SettingsDialog::buildInstrument() {
    instrumentGroup = new QGroupBox(tr("Instrument"), this);
    auto* form = new QFormLayout(instrumentGroup);
    model = new QLineEdit(instrumentGroup);
    model->setObjectName(QStringLiteral("model"));
    model->setPlaceholderText(QString::fromLatin1(Instrument::kDefaultModel));
    serial = new QLineEdit(instrumentGroup);
    serial->setObjectName(QStringLiteral("serial"));
    calibrationDue = new QLineEdit(instrumentGroup);
    calibrationDue->setObjectName(QStringLiteral("calibrationDue"));
    calibrationDue->setPlaceholderText(tr("YYYY-MM-DD"));
    for (QLineEdit* e : {model, serial, calibrationDue})
        connect(e, &QLineEdit::textChanged, this, &SettingsDialog::check);
    form->addRow(tr("&Model:"), model);
    form->addRow(tr("&Serial number:"), serial);
    form->addRow(tr("&Calibration due:"), calibrationDue);
    auto* note =
        new QLabel(tr("Kept with every test result and printed on its page."), instrumentGroup);
    note->setWordWrap(true);
    form->addRow(note);
}

void SettingsDialog::buildDatabase() {
    databaseGroup = new QGroupBox(tr("Results database"), this);
    auto* form = new QFormLayout(databaseGroup);
    databaseUrl = new QLineEdit(databaseGroup);
    databaseUrl->setObjectName(QStringLiteral("databaseUrl"));
    databaseUrl->setPlaceholderText(QDir::toNativeSeparators(ResultStore::defaultFile()));
    databaseUrl->setMinimumWidth(
        databaseUrl->fontMetrics().horizontalAdvance(databaseUrl->placeholderText()) + 16);
    browse = new QPushButton(tr("&Browse..."), databaseGroup);
    connect(browse, &QPushButton::clicked, this, &SettingsDialog::browseClick);
    auto* row = new QHBoxLayout;
    row->addWidget(databaseUrl, 1);
    row->addWidget(browse);
    form->addRow(tr("&Database:"), row);
    auto* note = new QLabel(
        tr("An SQLite file, or postgresql://user@host/name for a database the team shares. "
           "Empty: the default file. A new place is used from the next start of the program."),
        databaseGroup);
    note->setWordWrap(true);
    form->addRow(note);
}

void SettingsDialog::load() {
    const Instrument i = instrumentOf(settings_);
    model->setText(i.model);
    serial->setText(i.serial);
    calibrationDue->setText(i.calibrationDue.isValid() ? i.calibrationDue.toString(Qt::ISODate)
                                                       : QString());
    databaseUrl->setText(settings_.value(QLatin1String(kDatabase)).toString().trimmed());
    check();
}

bool SettingsDialog::dateIsRight(const QString& text, QDate* day) {
    const QString t = text.trimmed();
    if (day)
        *day = QDate();
    if (t.isEmpty())
        return true;
    // Exactly four, two and two digits: "2027-2-3" or "27-02-03" would be read as another day.
    static const QRegularExpression form(QStringLiteral("^[0-9]{4}-[0-9]{2}-[0-9]{2}$"));
    const QDate d = QDate::fromString(t, Qt::ISODate);
    if (!form.match(t).hasMatch() || !d.isValid())
        return false;
    if (day)
        *day = d;
    return true;
}

Instrument SettingsDialog::instrument(QString* why) const {
    Instrument i;
    if (!model->text().trimmed().isEmpty())
        i.model = model->text().trimmed();
    i.serial = serial->text().trimmed();
    if (!dateIsRight(calibrationDue->text(), &i.calibrationDue) && why)
        *why = tr("The calibration due date \"%1\" is not a day written as YYYY-MM-DD "
                  "(2027-03-31), nor empty.")
                   .arg(calibrationDue->text().trimmed());
    return i;
}

QString SettingsDialog::database() const {
    return databaseUrl->text().trimmed();
}

void SettingsDialog::check() {
    QString why;
    instrument(&why);
    // The error goes as soon as the field is right.
    if (why.isEmpty()) {
        problem->hide();
        problem->clear();
    } else if (!problem->isHidden()) {
        problem->setText(why);
    }
}

bool SettingsDialog::apply() {
    QString why;
    const Instrument i = instrument(&why);
    if (!why.isEmpty()) {
        problem->setText(why);
        problem->show();
        calibrationDue->setFocus();
        calibrationDue->selectAll();
        return false;
    }
    keepInstrument(settings_, i);
    if (database().isEmpty())
        settings_.remove(QLatin1String(kDatabase));
    else
        settings_.setValue(QLatin1String(kDatabase), database());
    settings_.sync();
    return true;
}

void SettingsDialog::accept() {
    if (apply())
        QDialog::accept();
}

void SettingsDialog::browseClick() {
    const QString given = database();
    const bool server = given.startsWith(u"postgres");
    const QString start = given.isEmpty() || server ? ResultStore::defaultFile() : given;
    const QString file = QFileDialog::getSaveFileName(
        this, tr("Results Database"), start, tr("SQLite database (*.sqlite *.db);;All files (*)"),
        nullptr, QFileDialog::DontConfirmOverwrite);
    if (!file.isEmpty())
        databaseUrl->setText(QDir::toNativeSeparators(file));
}
