#include "results/ui/results_actions.h"

#include "chart/trend_chart.h"
#include "record/insulation_runs.h"
#include "record/reading_table.h"
#include "record/test_model.h"
#include "results/result_texts.h"
#include "results/ui/results_window.h"
#include "results/ui/save_result_dialog.h"

#include <QAction>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMetaMethod>
#include <QSettings>

ResultsActions::ResultsActions(QMainWindow* window, TrendChart* chart, TestModel& tests)
    : QObject(window), window_(window), chart_(chart), tests_(tests) {
    menu = window->menuBar()->addMenu(QStringLiteral("Results"));
    menu->setObjectName(QStringLiteral("ResultsMenu"));
    saveChartRun = menu->addAction(QStringLiteral("Save Test Result: Run on the Chart..."), this,
                                   &ResultsActions::saveChartRunClick);
    saveLastRun = menu->addAction(QStringLiteral("Save Test Result: Last Run..."), this,
                                  &ResultsActions::saveLastRunClick);
    menu->addSeparator();
    testResults =
        menu->addAction(QStringLiteral("Test Results..."), this, &ResultsActions::testResultsClick);
}

ResultsActions::~ResultsActions() = default;

void ResultsActions::tell(const QString& text) {
    if (tell_)
        tell_(text);
    else
        QMessageBox::information(window_, QStringLiteral("Test Results"), text);
}

ResultStore* ResultsActions::store() {
    if (store_ && store_->isOpen())
        return store_.get();
    auto store = std::make_unique<ResultStore>();
    QString error;
    if (!store->open(url_, &error)) {
        tell(error + QStringLiteral("\nThe table and the recording are not affected."));
        return nullptr;
    }
    store_ = std::move(store);
    return store_.get();
}

void ResultsActions::saveChartRunClick() {
    const int onView = chart_->runOnView();
    if (onView < 0) {
        tell(QStringLiteral("No insulation test is on the chart."));
        return;
    }
    saveRun(onView);
}

void ResultsActions::saveLastRunClick() {
    if (tests_.count() == 0) {
        tell(QStringLiteral("The table holds no insulation test run."));
        return;
    }
    saveRun(tests_.count() - 1);
}

void ResultsActions::saveRun(int index) {
    const ReadingTable& table = tests_.table();
    if (index < 0 || index >= tests_.count() || tests_.run(index).lastRow >= table.rowCount()) {
        tell(QStringLiteral("The insulation test is no longer in the table."));
        return;
    }
    ResultStore* s = store();
    if (!s)
        return;
    const InsulationRun& run = tests_.run(index);
    TestResult r;
    takeRun(table, run, r);
    r.instrument = instrumentOf(QSettings());
    // Rows recorded here know their day; rows of a file do not, and the day is asked.
    const bool asked = !r.date.isValid();
    if (asked) {
        const QFileInfo file(r.source);
        r.date = file.exists() ? file.lastModified().date() : QDate::currentDate();
    }
    SaveResultDialog dialog(*s, std::move(r), asked, window_);
    if (runDialog_)
        runDialog_(dialog);
    else
        dialog.exec();
    if (dialog.result() != QDialog::Accepted)
        return;
    const TestResult& saved = dialog.saved();
    if (resultsWindow)
        resultsWindow->noteSaved(saved.id);
    const QString said = QStringLiteral("Test result %1 of asset \"%2\" saved in %3.")
                             .arg(saved.id)
                             .arg(printable(saved.assetId), s->name());
    // The window's status bar says it where one listens; else a message does.
    const bool heard = isSignalConnected(QMetaMethod::fromSignal(&ResultsActions::resultSaved));
    Q_EMIT resultSaved(saved.id, s->name());
    if (const std::optional<QString> pastDue = calibrationWarning(saved))
        tell(said + u'\n' + *pastDue);
    else if (!heard)
        tell(said);
}

void ResultsActions::testResultsClick() {
    ResultStore* s = store();
    if (!s)
        return;
    if (!resultsWindow)
        resultsWindow = new ResultsWindow(*s, window_);
    else
        resultsWindow->reload();
    resultsWindow->show();
    resultsWindow->raise();
    resultsWindow->activateWindow();
}
