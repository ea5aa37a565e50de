#pragma once

#include <QObject>
#include <QString>

class CableConnection;
class QLabel;
class QStatusBar;

// The main window's status bar: at every moment what the link is (not connected and what to do,
// connected to which cable, the meter silent), how many readings the table holds and how many
// are not saved, and where the last save or result went.
class WindowStatus : public QObject {
    Q_OBJECT
public:
    // The reports without meter bytes after which a connected meter counts as silent on the bar,
    // long before the silence watch gives up (a meter that sends shows a frame every second).
    static constexpr int kQuietReports = 400;

    WindowStatus(QStatusBar& bar, CableConnection& cable);

    // The texts, as the bar shows them.
    static QString linkText(CableConnection& cable, int idleReports);
    static QString tableText(int rows, int unsaved);
    static QString savedText(const QString& fileName, int rows);
    static QString openedText(const QString& fileName, int rows);
    static QString resultText(qint64 id, const QString& where);

    // Shows the link as it is now; `idleReports` counted since the meter last sent bytes.
    void showLink(int idleReports);
    void showTable(int rows, int unsaved);
    // Where the latest save, load or result went; stays until the next one.
    void showEvent(const QString& text);

    QLabel* link = nullptr;
    QLabel* table = nullptr;
    QLabel* event = nullptr;

private:
    CableConnection& cable_;
};
