#pragma once

#include "results/test_result.h"

#include <QDialog>

#include <optional>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class ResultStore;

// "Save Test Result": what the technician says about a run — the asset, the conditions, the
// site's minimums — with the verdict the fields give shown as they are typed. Asset IDs complete
// from the database and the last asset is offered (a button), never filled in; an asset that is
// already known brings what it is (kind, rated voltage, class, location, minimums). The
// instrument the run carries is shown, with a calibration past due on the test's date.
class SaveResultDialog : public QDialog {
    Q_OBJECT
public:
    // `run` holds the run's figures and readings (and the date of a recording, if known);
    // `dateAsked`: the rows came from a file, whose date the technician must confirm.
    SaveResultDialog(ResultStore& store, TestResult run, bool dateAsked, QWidget* parent = nullptr);

    // The result as the fields make it; none, with *problem saying why, when a field is wrong.
    std::optional<TestResult> resultOfFields(QString* problem) const;
    // Saves the result (OK does this); false, with the reason shown in the dialog, on failure.
    bool save();
    // The result saved, with its ID.
    const TestResult& saved() const { return saved_; }

    void accept() override;

    QLineEdit* asset = nullptr;
    QComboBox* kind = nullptr;
    QLineEdit* ratedKv = nullptr;
    QComboBox* insulationClass = nullptr;
    QLineEdit* objectTemp = nullptr;
    QLineEdit* ambientTemp = nullptr;
    QLineEdit* humidity = nullptr;
    QLineEdit* operatorName = nullptr;
    QLineEdit* location = nullptr;
    QPlainTextEdit* notes = nullptr;
    QDateEdit* date = nullptr;
    QLineEdit* minMohm = nullptr;
    QLineEdit* minPi = nullptr;
    QLineEdit* minDar = nullptr;
    QPushButton* lastAsset = nullptr; // the last result's asset, when there is one
    QLabel* instrument = nullptr;     // the instrument and its calibration
    QLabel* verdict = nullptr;        // what the fields give, as they are typed
    QLabel* problem = nullptr;        // what is wrong, or why the save failed

private:
    void fillFromAsset();
    void remember() const;
    void recall();
    void updateVerdict();
    void kindChanged();

    ResultStore& store_;
    TestResult run_;
    TestResult saved_;
};
