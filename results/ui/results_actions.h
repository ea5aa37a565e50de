#pragma once

#include "record/insulation_runs.h"
#include "results/result_store.h"

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QMainWindow;
class QMenu;
class ReadingTable;
class ResultsWindow;
class SaveResultDialog;
class TestModel;
class TrendChart;

// The window's way to test results: a "Results" menu with "Save Test Result" for the run on the
// chart and for the last run of the table, and "Test Results", the window of the results kept.
// The database is opened on first use (the setting results/database, else the SQLite file in
// the data folder); one that cannot be used is said in a message box and nothing else changes.
// A result takes the instrument of the window's settings; a save is said with its ID
// (resultSaved, else a message), a calibration past due on the test's date in a message.
class ResultsActions : public QObject {
    Q_OBJECT
public:
    ResultsActions(QMainWindow* window, TrendChart* chart, TestModel& tests);
    ~ResultsActions() override;

    // The database to use instead of the configured one (tests).
    void setDatabaseUrl(const QString& url) { url_ = url; }
    // The store, opened if it is not yet; null (and said) when it cannot be.
    ResultStore* store();

    // Handlers of the menu's commands.
    void saveChartRunClick();
    void saveLastRunClick();
    void testResultsClick();

    // How the dialog is run (default: modal) and how messages are told; tests put their own in.
    void setDialogRunner(std::function<void(SaveResultDialog&)> run) {
        runDialog_ = std::move(run);
    }
    void setMessageSink(std::function<void(const QString&)> tell) { tell_ = std::move(tell); }

Q_SIGNALS:
    // A result was saved: its ID, and the database it went to (as ResultStore::name() says it).
    void resultSaved(qint64 id, const QString& where);

public:
    QMenu* menu = nullptr;
    QAction* saveChartRun = nullptr;
    QAction* saveLastRun = nullptr;
    QAction* testResults = nullptr;
    ResultsWindow* resultsWindow = nullptr;

private:
    void saveRun(int runIndex);
    void tell(const QString& text);

    QMainWindow* window_;
    TrendChart* chart_;
    TestModel& tests_;
    QString url_;
    std::unique_ptr<ResultStore> store_;
    std::function<void(SaveResultDialog&)> runDialog_;
    std::function<void(const QString&)> tell_;
};
