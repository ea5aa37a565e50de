#pragma once

#include "reports/data_report.h"

#include <QObject>

#include <functional>

class QWidget;
class ReadingTable;
class ReportPreview;

// The report form `QuickRep1` that the main window holds: builds the data report over the
// reading table and shows it in the preview window, from which the user prints or saves it.
class DataReportForm : public QObject {
    Q_OBJECT
public:
    explicit DataReportForm(QObject* parent = nullptr);

    // Sets the page total caption `Allpage` from the count worked out for this printing.
    void QuickRep1BeforePrint(DataReport& report, int dataReportPages);

    // Builds the report and runs its preview; returns when the preview is closed.
    void Preview(QWidget* owner, const ReadingTable* table, int dataReportPages);

    // How the preview is run: by default a modal window. Tests look at it instead.
    using PreviewRunner = std::function<void(ReportPreview&)>;
    void setPreviewRunner(PreviewRunner run) { run_ = std::move(run); }

private:
    PreviewRunner run_;
};
