#include "reports/report_form.h"

#include "reports/report_preview.h"

DataReportForm::DataReportForm(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("QuickRep1"));
}

void DataReportForm::QuickRep1BeforePrint(DataReport& report, int dataReportPages) {
    report.setAllpageCaption(QString::number(dataReportPages));
}

void DataReportForm::Preview(QWidget* owner, const ReadingTable* table, int dataReportPages) {
    DataReport report(table);
    QuickRep1BeforePrint(report, dataReportPages);
    ReportPreview preview(report, owner);
    if (run_) {
        run_(preview);
        return;
    }
    preview.setWindowModality(Qt::ApplicationModal);
    preview.exec();
}
