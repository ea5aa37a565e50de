#pragma once

#include <QString>

class QDialog;
class QWidget;

// The Help menu's own windows: About, and the command-line modes.

// Where the program keeps what it keeps, for About.
struct KeptPlaces {
    QString journalFolder; // readings recorded, until they are saved or the program ends
    QString journal;       // this run's journal; empty until its first reading
    QString settings;      // the settings file
    QString database;      // the results database (a file, or a server without its password)
    QString help;          // the help file F1 opens
    QString pictures;      // where the chart's pictures go
};

// About's text: the program and its version, its licence, the Qt it was built with and runs on,
// and where it keeps readings, settings, the journal and the test results.
QString aboutText(const KeptPlaces& places);
// A database named by a URL, as it may be shown: without a password.
QString shownDatabase(const QString& url);

// A dialog with `text` and an OK button (About), or the command-line modes as --help lists them,
// in a fixed-width font with a Close button. Made hidden; the caller shows it.
QDialog* newAboutDialog(QWidget* parent, const QString& text);
QDialog* newCommandLineDialog(QWidget* parent);
