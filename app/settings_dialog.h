#pragma once

#include "results/instrument.h"

#include <QDialog>
#include <QString>

class QDialogButtonBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSettings;

// Settings: what the technician sets once, in groups: the instrument (model, serial number,
// calibration due date), kept with every test result, and where the results database is (empty:
// the default SQLite file). OK keeps them in the window's settings, once every field is right;
// Cancel keeps nothing.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    // The setting that names the results database.
    static constexpr const char* kDatabase = "results/database";

    // Edits what `settings` holds (not owned; it must outlive the dialog).
    SettingsDialog(QSettings& settings, QWidget* parent = nullptr);

    // The fields as the settings hold them now.
    void load();
    // Checks the fields; when they are right keeps them and is true, else says what is wrong
    // beside the fields and is false.
    bool apply();
    void accept() override;

    // What the fields say; *why names what is wrong when they do not make an instrument.
    Instrument instrument(QString* why = nullptr) const;
    QString database() const;

    // A calibration due date as the field takes it: empty (none), or YYYY-MM-DD of a real day.
    static bool dateIsRight(const QString& text, QDate* day = nullptr);

    QGroupBox* instrumentGroup = nullptr;
    QLineEdit* model = nullptr;
    QLineEdit* serial = nullptr;
    QLineEdit* calibrationDue = nullptr;
    QGroupBox* databaseGroup = nullptr;
    QLineEdit* databaseUrl = nullptr;
    QPushButton* browse = nullptr;
    QLabel* problem = nullptr;
    QDialogButtonBox* buttons = nullptr;

private:
    void buildInstrument();
    void buildDatabase();
    void check();
    void browseClick();

    QSettings& settings_;
};
