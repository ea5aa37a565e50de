#pragma once

#include "record/insulation_runs.h"
#include "results/result_store.h"

#include <QDate>
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
class TrendChart;

// The window's way to test results: a "Results" menu with "Save Test Result" for the run on the
// chart and for the last run of the table, and "Test Results", the window of the results kept.
// The database is opened on first use (the setting results/database, else the SQLite file in
// the data folder); one that cannot be used is said in a message box and nothing else changes.
class ResultsActions : public QObject {
    Q_OBJECT
public:
    ResultsActions(QMainWindow* window, TrendChart* chart, ReadingTable* table);
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

    QMenu* menu = nullptr;
    QAction* saveChartRun = nullptr;
    QAction* saveLastRun = nullptr;
    QAction* testResults = nullptr;
    ResultsWindow* resultsWindow = nullptr;

private:
    void saveRun(int runIndex, const std::vector<InsulationRun>& runs);
    void tell(const QString& text);
    void rowsAppended(int first);
    void tableReset();
    void rowsRemoved(int first, int last);
    // The date the rows from `row` on were recorded, for rows recorded live; invalid for rows
    // that came from a file.
    QDate recordedOn(int row) const;
    QString loadedFile() const;

    QMainWindow* window_;
    TrendChart* chart_;
    ReadingTable* table_;
    QString url_;
    std::unique_ptr<ResultStore> store_;
    std::function<void(SaveResultDialog&)> runDialog_;
    std::function<void(const QString&)> tell_;
    // Rows before this one came from a file; from it on, each pair's row and those after it
    // were recorded on the pair's date.
    int liveFrom_ = 0;
    std::vector<std::pair<int, QDate>> liveDates_;
    int rowsSeen_ = 0;
};
