#include "results/ui/results_actions.h"

#include "chart/trend_chart.h"
#include "record/insulation_runs.h"
#include "record/reading_table.h"
#include "results/ui/results_window.h"
#include "results/ui/save_result_dialog.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

ResultsActions::ResultsActions(QMainWindow* window, TrendChart* chart, ReadingTable* table)
    : QObject(window), window_(window), chart_(chart), table_(table) {
    menu = window->menuBar()->addMenu(QStringLiteral("Results"));
    menu->setObjectName(QStringLiteral("ResultsMenu"));
    saveChartRun = menu->addAction(QStringLiteral("Save Test Result: Run on the Chart..."), this,
                                   &ResultsActions::saveChartRunClick);
    saveLastRun = menu->addAction(QStringLiteral("Save Test Result: Last Run..."), this,
                                  &ResultsActions::saveLastRunClick);
    menu->addSeparator();
    testResults =
        menu->addAction(QStringLiteral("Test Results..."), this, &ResultsActions::testResultsClick);
    liveFrom_ = table_->rowCount();
    connect(table_, &ReadingTable::rowsAppended, this,
            [this](int first, int) { rowsAppended(first); });
    connect(table_, &ReadingTable::tableReset, this, &ResultsActions::tableReset);
    connect(table_, &ReadingTable::rowsRemoved, this,
            [this](int first, int last) { rowsRemoved(first, last); });
    rowsSeen_ = table_->rowCount();
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

void ResultsActions::rowsAppended(int first) {
    const QDate today = QDate::currentDate();
    if (liveDates_.empty() || liveDates_.back().second != today)
        liveDates_.emplace_back(first, today);
    rowsSeen_ = table_->rowCount();
}

void ResultsActions::rowsRemoved(int first, int last) {
    const int removed = last - first + 1;
    auto shift = [&](int& row) {
        if (row > last)
            row -= removed;
        else if (row > first)
            row = first;
    };
    shift(liveFrom_);
    for (auto& [from, day] : liveDates_)
        shift(from);
    rowsSeen_ = table_->rowCount();
}

void ResultsActions::tableReset() {
    // Printing holds the table's updates and changes nothing; a file loaded or the table
    // cleared does: the rows there now were not recorded here.
    if (table_->rowCount() == rowsSeen_)
        return;
    liveFrom_ = table_->rowCount();
    liveDates_.clear();
    rowsSeen_ = table_->rowCount();
}

QDate ResultsActions::recordedOn(int row) const {
    if (row < liveFrom_)
        return {};
    QDate date;
    for (const auto& [from, day] : liveDates_)
        if (from <= row)
            date = day;
    return date;
}

QString ResultsActions::loadedFile() const {
    // The file Open Data read last: its dialog is kept by the window.
    const auto* open = window_->findChild<QFileDialog*>(QStringLiteral("OpenDialog1"));
    return open && !open->selectedFiles().isEmpty() ? open->selectedFiles().front() : QString();
}

void ResultsActions::saveChartRunClick() {
    const int onView = chart_->runOnView();
    if (onView < 0) {
        tell(QStringLiteral("No insulation test is on the chart."));
        return;
    }
    saveRun(onView, chart_->runs().runs());
}

void ResultsActions::saveLastRunClick() {
    InsulationRuns runs;
    runs.scan(*table_);
    if (runs.runs().empty()) {
        tell(QStringLiteral("The table holds no insulation test run."));
        return;
    }
    saveRun(int(runs.runs().size()) - 1, runs.runs());
}

void ResultsActions::saveRun(int index, const std::vector<InsulationRun>& runs) {
    if (index < 0 || index >= int(runs.size()) ||
        runs[size_t(index)].lastRow >= table_->rowCount()) {
        tell(QStringLiteral("The insulation test is no longer in the table."));
        return;
    }
    ResultStore* s = store();
    if (!s)
        return;
    const InsulationRun& run = runs[size_t(index)];
    TestResult r;
    takeRun(*table_, run, r);
    r.date = recordedOn(run.firstRow);
    const bool asked = !r.date.isValid();
    if (asked) {
        r.source = loadedFile();
        const QFileInfo file(r.source);
        r.date = file.exists() ? file.lastModified().date() : QDate::currentDate();
    }
    SaveResultDialog dialog(*s, std::move(r), asked, window_);
    if (runDialog_)
        runDialog_(dialog);
    else
        dialog.exec();
    if (dialog.result() == QDialog::Accepted && resultsWindow)
        resultsWindow->reload();
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
