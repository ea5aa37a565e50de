#pragma once

#include "core/reading.h"
#include "record/reading_table.h"
#include "record/recorder.h"
#include "record/table_files.h"

#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <memory>

class QAbstractButton;
class QAction;
class QCheckBox;
class QFileDialog;
class QLineEdit;
class QWidget;
class ReadingGrid;

// The window's recording controls: the record toolbar (Repeat, Sampling Interval and its
// seconds box, Save, Delete and Open Data), the record-limit menu and the grid, kept in step
// with the recording rules and the table files. The handlers carry the window's names.
class RecordControls : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QWidget* window = nullptr; // owner of the dialogs and message boxes
        QCheckBox* RepeatSet = nullptr;
        QCheckBox* RecordSI = nullptr;
        QLineEdit* RecordSITime = nullptr;
        std::array<QAction*, 6> limits{};        // set1k, set5k, set10k, set50k, set100k, setlimit
        QAbstractButton* SpeedButton1 = nullptr; // Save Data
        QAbstractButton* SpeedButton2 = nullptr; // Delete Data
        QAbstractButton* SpeedButton3 = nullptr; // Open Data
        ReadingGrid* DBGrid1 = nullptr;
    };

    // What Open Data of a packet does with readings that are not saved.
    enum class ReplaceAnswer { Save, Replace, Cancel };

    // What asks or tells the user. Each empty member uses the real dialog or message box;
    // tests put their own answers in.
    struct Prompts {
        std::function<QString()> saveFileName; // empty: cancelled
        std::function<QString()> openFileName; // empty: cancelled
        std::function<void(const TableFileMessage&)> tell;
        std::function<bool()> confirmDeleteAll; // true: OK, delete
        // `count` readings are not saved, and opening `fileName` would replace them.
        std::function<ReplaceAnswer(int count, const QString& fileName)> replaceUnsaved;
    };

    // The controls over `recorder`, which records into `cds1`.
    RecordControls(Recorder& recorder, ReadingTable& cds1, const Widgets& widgets,
                   QObject* parent = nullptr);
    // The controls with recording rules of their own.
    RecordControls(ReadingTable& cds1, const Widgets& widgets, QObject* parent = nullptr);

    Recorder& recorder() { return recorder_; }
    ReadingTable& cds1() { return table_; }
    void setPrompts(Prompts prompts) { prompts_ = std::move(prompts); }

    void INDataToTable(int kind, const Reading& reading) { recorder_.INDataToTable(kind, reading); }
    void SampInterTimeTimer() { recorder_.SampInterTimeTimer(); }
    // The seconds box takes digits only, however they come (typed, pasted, dropped); it may be
    // empty.
    void RecordSITimeChange();

    void set1kClick() { chooseLimit(0); }
    void set5kClick() { chooseLimit(1); }
    void set10kClick() { chooseLimit(2); }
    void set50kClick() { chooseLimit(3); }
    void set100kClick() { chooseLimit(4); }
    void setlimitClick() { chooseLimit(5); }

    // Delete Data: warns; on OK empties the table and numbering starts again at 1.
    void ClearRClick();
    // Save Data / Open Data through their dialogs. Save_asClick is true when the table went
    // into a file. Opening a packet replaces the rows: with readings not saved it first asks
    // whether to save them (Save Data's dialog; a cancelled or failed save opens nothing), to
    // replace them, or to leave it. Opening a text file adds its rows. A load that fails keeps
    // every row the table held before it. OpenClick is true when the file loaded.
    bool Save_asClick();
    bool OpenClick();
    static QString replaceQuestion(int count, const QString& fileName);
    // Adds the rows of a tab-separated file as Open Data does, without the dialog; a last line
    // cut short (the file's writer stopped in the middle of it) is left out. The rows count as
    // not saved (they are readings brought back, not a file's contents), and recording goes on
    // numbering after the highest No among them.
    bool restoreRowsOf(const QString& fileName);

    // Readings recorded or restored that no successful save has written since: a recorded row
    // is told here by whoever records it. Rows deleted from the table count off, down to the
    // rows it still holds.
    int unsavedRows() const { return unsaved_; }
    void rowRecorded() { setUnsaved(unsaved_ + 1); }

    static const QString& deleteAllWarning();

    // Where the file dialogs were last left: the folder of the file chosen in each and the filter
    // it showed (empty: none yet). A dialog opens where it was left, with that filter.
    struct DialogPlaces {
        QString saveFolder, saveFilter, openFolder, openFilter;
        bool operator==(const DialogPlaces&) const = default;
    };
    const DialogPlaces& dialogPlaces() const { return places_; }
    void setDialogPlaces(const DialogPlaces& places) { places_ = places; }

Q_SIGNALS:
    // A file was chosen to save or open: dialogPlaces() may have changed.
    void dialogPlacesChanged();
    // unsavedRows() changed.
    void unsavedChanged(int count);
    // The table went into `fileName` (`rows` rows), or `rows` rows came from it.
    void tableSaved(const QString& fileName, int rows);
    void tableOpened(const QString& fileName, int rows);

private:
    void setUnsaved(int count);
    ReplaceAnswer askReplace(int count, const QString& fileName);
    void chooseLimit(int item);
    QString askSaveFileName();
    QString askOpenFileName();
    // The folder of the file chosen in a dialog is where that dialog opens next time.
    void rememberFolder(QString& folder, const QString& fileName);
    void tell(const TableFileMessage& message);

    std::unique_ptr<Recorder> ownRecorder_;
    ReadingTable& table_;
    Recorder& recorder_;
    Widgets w_;
    Prompts prompts_;
    int unsaved_ = 0;
    QFileDialog* SaveDialog2 = nullptr;
    QFileDialog* OpenDialog1 = nullptr;
    DialogPlaces places_;
};
