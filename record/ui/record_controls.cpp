#include "record/ui/record_controls.h"

#include "record/ui/reading_grid.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QToolButton>

#include <algorithm>
#include <vector>

RecordControls::RecordControls(ReadingTable& cds1, const Widgets& widgets, QObject* parent)
    : RecordControls(*new Recorder(cds1), cds1, widgets, parent) {
    ownRecorder_.reset(&recorder_);
}

RecordControls::RecordControls(Recorder& recorder, ReadingTable& cds1, const Widgets& widgets,
                               QObject* parent)
    : QObject(parent), table_(cds1), recorder_(recorder), w_(widgets) {
    if (w_.RepeatSet) {
        recorder_.setRepeat(w_.RepeatSet->isChecked());
        connect(w_.RepeatSet, &QCheckBox::toggled, this,
                [this](bool on) { recorder_.setRepeat(on); });
    }
    if (w_.RecordSI) {
        recorder_.setSampling(w_.RecordSI->isChecked());
        connect(w_.RecordSI, &QCheckBox::toggled, this,
                [this](bool on) { recorder_.setSampling(on); });
    }
    if (w_.RecordSITime) {
        // Only the text is taken over here: the countdown is loaded by an edit, not at start.
        recorder_.setIntervalText(w_.RecordSITime->text());
        connect(w_.RecordSITime, &QLineEdit::textChanged, this,
                &RecordControls::RecordSITimeChange);
        w_.RecordSITime->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[0-9]*")), w_.RecordSITime));
    }
    void (RecordControls::*const limitClicks[6])() = {
        &RecordControls::set1kClick,   &RecordControls::set5kClick,
        &RecordControls::set10kClick,  &RecordControls::set50kClick,
        &RecordControls::set100kClick, &RecordControls::setlimitClick};
    for (size_t i = 0; i < w_.limits.size(); ++i)
        if (w_.limits[i]) {
            w_.limits[i]->setCheckable(true);
            connect(w_.limits[i], &QAction::triggered, this, limitClicks[i]);
        }
    if (w_.SpeedButton1)
        connect(w_.SpeedButton1, &QAbstractButton::clicked, this, &RecordControls::Save_asClick);
    if (w_.SpeedButton2)
        connect(w_.SpeedButton2, &QAbstractButton::clicked, this, &RecordControls::ClearRClick);
    if (w_.SpeedButton3)
        connect(w_.SpeedButton3, &QAbstractButton::clicked, this, &RecordControls::OpenClick);
    // Rows deleted in the grid may have been unsaved ones; more than the table holds never are.
    auto fewer = [this] { setUnsaved(std::min(unsaved_, table_.rowCount())); };
    connect(&table_, &ReadingTable::rowsRemoved, this, fewer);
    connect(&table_, &ReadingTable::tableReset, this, fewer);
}

void RecordControls::setUnsaved(int count) {
    if (count == unsaved_)
        return;
    unsaved_ = count;
    Q_EMIT unsavedChanged(unsaved_);
}

const QString& RecordControls::deleteAllWarning() {
    static const QString text = QStringLiteral(" Warning:all Records will be deleted! ");
    return text;
}

void RecordControls::RecordSITimeChange() {
    recorder_.RecordSITimeChange(w_.RecordSITime->text());
}

void RecordControls::chooseLimit(int item) {
    recorder_.setMaxRecords(Recorder::kLimits[item]);
    for (size_t i = 0; i < w_.limits.size(); ++i)
        if (w_.limits[i])
            w_.limits[i]->setChecked(int(i) == item);
}

void RecordControls::ClearRClick() {
    // One click must not cost the readings: only OK deletes; Cancel, Escape and closing the box
    // keep them.
    bool ok = false;
    if (prompts_.confirmDeleteAll) {
        ok = prompts_.confirmDeleteAll();
    } else {
        QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), deleteAllWarning(),
                        QMessageBox::Ok | QMessageBox::Cancel, w_.window);
        box.setDefaultButton(QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        ok = box.exec() == QMessageBox::Ok;
    }
    if (!ok)
        return;
    recorder_.clearRecords();
    setUnsaved(0);
}

void RecordControls::tell(const TableFileMessage& m) {
    if (prompts_.tell) {
        prompts_.tell(m);
        return;
    }
    const bool error = m.kind == TableFileMessage::Error;
    QMessageBox box(error ? QMessageBox::Critical : QMessageBox::NoIcon,
                    error ? QStringLiteral("Error") : QGuiApplication::applicationDisplayName(),
                    m.text, QMessageBox::Ok, w_.window);
    box.exec();
}

namespace {

// A file dialog of the record toolbar, made the first time it is needed.
QFileDialog* newFileDialog(QWidget* parent, const QString& title, const QString& name,
                           QFileDialog::AcceptMode accept, QFileDialog::FileMode files,
                           const QString& xmlFilter) {
    auto* d = new QFileDialog(parent, title);
    d->setObjectName(name);
    d->setAcceptMode(accept);
    d->setFileMode(files);
    d->setNameFilters(
        {QStringLiteral("Excel File(*.xls)"), xmlFilter, QStringLiteral("Txt File(*.txt)")});
    return d;
}

// Shows the dialog where it was left (in `folder`, with `filter` selected; at first the first
// filter), with no file when `noFile`; the file chosen, empty when none was. Where the user left
// it goes back into `folder` and `filter`.
QString chosenFile(QFileDialog* dialog, bool noFile, QString& folder, QString& filter) {
    if (!folder.isEmpty())
        dialog->setDirectory(folder);
    const QStringList filters = dialog->nameFilters();
    dialog->selectNameFilter(filters.contains(filter) ? filter : filters.constFirst());
    if (noFile)
        dialog->selectFile(QString());
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return {};
    filter = dialog->selectedNameFilter();
    return dialog->selectedFiles().constFirst();
}

} // namespace

QString RecordControls::askSaveFileName() {
    if (prompts_.saveFileName)
        return prompts_.saveFileName();
    if (SaveDialog2 == nullptr) {
        SaveDialog2 = newFileDialog(w_.window, QStringLiteral("Save As"),
                                    QStringLiteral("SaveDialog2"), QFileDialog::AcceptSave,
                                    QFileDialog::AnyFile, QStringLiteral("XML(*.xml)"));
        SaveDialog2->setDefaultSuffix(QStringLiteral("xls"));
    }
    return chosenFile(SaveDialog2, true, places_.saveFolder, places_.saveFilter);
}

QString RecordControls::askOpenFileName() {
    if (prompts_.openFileName)
        return prompts_.openFileName();
    if (OpenDialog1 == nullptr)
        OpenDialog1 = newFileDialog(w_.window, QStringLiteral("Open"),
                                    QStringLiteral("OpenDialog1"), QFileDialog::AcceptOpen,
                                    QFileDialog::ExistingFile, QStringLiteral("XML (*.xml)"));
    return chosenFile(OpenDialog1, false, places_.openFolder, places_.openFilter);
}

void RecordControls::rememberFolder(QString& folder, const QString& fileName) {
    folder = QFileInfo(fileName).absolutePath();
    Q_EMIT dialogPlacesChanged();
}

bool RecordControls::Save_asClick() {
    const QString name = askSaveFileName();
    if (name.isEmpty())
        return false;
    rememberFolder(places_.saveFolder, name);
    // The outcome is shown once the grid paints again.
    std::vector<TableFileMessage> said;
    if (w_.DBGrid1)
        w_.DBGrid1->setUpdatesEnabled(false);
    const bool saved =
        SaveTableFile(table_, name, [&](const TableFileMessage& m) { said.push_back(m); });
    if (w_.DBGrid1)
        w_.DBGrid1->setUpdatesEnabled(true);
    if (saved)
        setUnsaved(0);
    for (const TableFileMessage& m : said)
        tell(m);
    if (saved)
        Q_EMIT tableSaved(name, table_.rowCount());
    return saved;
}

bool RecordControls::restoreRowsOf(const QString& fileName) {
    QString error;
    const int before = table_.rowCount();
    table_.suspendUpdates();
    const bool ok = loadTextTable(fileName, table_, &error, TextLoad::WholeLinesOnly);
    table_.setSourceOf(before, table_.rowCount() - 1, table_.sourceIndex(fileName));
    table_.resumeUpdates();
    const int added = table_.rowCount() - before;
    setUnsaved(unsaved_ + added);
    qint32 highest = 0;
    bool any = false;
    for (int row = before; row < table_.rowCount(); ++row)
        if (!table_.isNoNull(row)) {
            highest = any ? std::max(highest, table_.no(row)) : table_.no(row);
            any = true;
        }
    if (any)
        recorder_.continueNumberingAfter(highest);
    if (!ok)
        tell({TableFileMessage::Error, QStringLiteral("Failed to Load File!"),
              fileName + QStringLiteral(": ") + error});
    return ok;
}

QString RecordControls::replaceQuestion(int count, const QString& fileName) {
    const QString readings = count == 1 ? QStringLiteral("1 reading is not saved")
                                        : QStringLiteral("%1 readings are not saved").arg(count);
    return QStringLiteral("Opening %1 replaces the table: %2 and will be lost.\n"
                          "Do you want to save them first?")
        .arg(QFileInfo(fileName).fileName(), readings);
}

RecordControls::ReplaceAnswer RecordControls::askReplace(int count, const QString& fileName) {
    if (prompts_.replaceUnsaved)
        return prompts_.replaceUnsaved(count, fileName);
    QMessageBox box(QMessageBox::Warning, QGuiApplication::applicationDisplayName(),
                    replaceQuestion(count, fileName), QMessageBox::Save | QMessageBox::Cancel,
                    w_.window);
    QPushButton* replace = box.addButton(QStringLiteral("Replace"), QMessageBox::DestructiveRole);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
    if (box.clickedButton() == replace)
        return ReplaceAnswer::Replace;
    return box.clickedButton() == box.button(QMessageBox::Save) ? ReplaceAnswer::Save
                                                                : ReplaceAnswer::Cancel;
}

bool RecordControls::OpenClick() {
    const QString name = askOpenFileName();
    if (name.isEmpty())
        return false;
    rememberFolder(places_.openFolder, name);
    const bool xml = isXmlTableFile(name);
    if (xml && unsaved_ > 0) {
        switch (askReplace(unsaved_, name)) {
        case ReplaceAnswer::Save:
            if (!Save_asClick())
                return false;
            break;
        case ReplaceAnswer::Replace:
            break;
        case ReplaceAnswer::Cancel:
            return false;
        }
    }
    // One reset of the grid for the whole file, whether it loads or fails.
    std::vector<TableFileMessage> said;
    const int before = table_.rowCount();
    table_.suspendUpdates();
    const bool loaded =
        LoadTableFile(name, table_, false, [&](const TableFileMessage& m) { said.push_back(m); });
    table_.resumeUpdates();
    // A packet that loaded holds every row now in the table; rows a text file added are the
    // file's, and the readings not yet saved stay not saved. A failed load took no row away.
    if (xml && loaded)
        setUnsaved(0);
    for (const TableFileMessage& m : said)
        tell(m);
    if (loaded)
        Q_EMIT tableOpened(name, xml ? table_.rowCount() : table_.rowCount() - before);
    return loaded;
}
