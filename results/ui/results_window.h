#pragma once

#include "results/result_store.h"
#include "results/test_result.h"

#include <QSqlQueryModel>
#include <QWidget>

#include <functional>
#include <optional>

class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QTableView;
class ReportPreview;

// The list of the Test Results window over the database: the query runs in the database (sorted
// and filtered there) and rows are fetched as the view scrolls, so a list of any length opens at
// once.
class ResultListModel : public QSqlQueryModel {
    Q_OBJECT
public:
    explicit ResultListModel(ResultStore& store, QObject* parent = nullptr);

    void setFilter(const ResultStore::Filter& filter);
    void sort(int column, Qt::SortOrder order) override;
    // Runs the query again (after a save or a delete).
    void reload();
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    qint64 idAt(int row) const;
    const QString& lastError() const { return error_; }

private:
    ResultStore& store_;
    ResultStore::Filter filter_;
    int sortColumn_ = ResultStore::ColDate;
    Qt::SortOrder order_ = Qt::DescendingOrder;
    QString error_;
};

// Draws a result's curve, or an asset's trend, as the report page does.
class ResultPicture : public QWidget {
    Q_OBJECT
public:
    enum Kind { Curve, Trend };
    explicit ResultPicture(Kind kind, QWidget* parent = nullptr);
    void setResult(const std::optional<TestResult>& result);
    void setHistory(std::vector<TestResult> history);
    QSize sizeHint() const override { return {420, 220}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind kind_;
    std::optional<TestResult> result_;
    std::vector<TestResult> history_;
};

// "Test Results": the results kept, filtered by asset and date and sorted by any column; the one
// chosen with its curve, figures and verdict, and its asset's trend; delete (asked first) and
// the report pages of the chosen results. It opens with every column readable, the verdict and
// the TREND: flag beside the asset, and says how to add a result while there is none.
class ResultsWindow : public QWidget {
    Q_OBJECT
public:
    explicit ResultsWindow(ResultStore& store, QWidget* parent = nullptr);

    // Runs the list's query again with the filter's fields.
    void applyFilter();
    // The filter the fields make.
    ResultStore::Filter filter() const;
    void reload();
    // After a save: the list again, and the status says it.
    void noteSaved(qint64 id);
    // Shows result `id` (0: none) beside the list.
    void showResult(qint64 id);
    qint64 shownId() const { return shown_ ? shown_->id : 0; }
    // Deletes the chosen results, when the user agrees.
    void deleteChosen();
    // The report of the chosen results in the preview.
    void reportChosen();
    QList<qint64> chosenIds() const;

    // What asks before a delete (default: a message box) and what shows a preview (default:
    // modal); tests put their own in.
    void setConfirm(std::function<bool(const QString&)> ask) { confirm_ = std::move(ask); }
    void setPreviewRunner(std::function<void(ReportPreview&)> run) { preview_ = std::move(run); }

    QLineEdit* assetFilter = nullptr;
    QDateEdit* fromDate = nullptr;
    QDateEdit* toDate = nullptr;
    QTableView* list = nullptr;
    ResultListModel* model = nullptr;
    ResultPicture* curve = nullptr;
    ResultPicture* trend = nullptr;
    QLabel* details = nullptr;
    QPushButton* deleteButton = nullptr;
    QPushButton* reportButton = nullptr;
    QLabel* status = nullptr;
    QLabel* emptyHint = nullptr; // in the list's place when it is empty: how to add a result
    QStackedWidget* listPages = nullptr;

private:
    void chosenChanged();
    // The date filters start at the first and last result's dates, and follow them while left
    // there.
    void updateDateRange();
    void showHintIfEmpty();
    void fitToList();

    QSplitter* split_ = nullptr;
    QDate first_, last_; // the first and last result's dates
    ResultStore& store_;
    std::optional<TestResult> shown_;
    std::function<bool(const QString&)> confirm_;
    std::function<void(ReportPreview&)> preview_;
};
