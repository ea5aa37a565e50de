#pragma once

#include "reports/paged_report.h"
#include "results/test_result.h"
#include "results/verdict.h"

#include <optional>
#include <vector>

// One test result on a page to sign.
struct ResultPage {
    TestResult result;
    Verdict verdict;
    std::optional<QString> trend;
};

// The test-result report: one A4 page a result with the asset and conditions, the run's curve,
// the figures, the verdict with its rule, and lines for the operator's name, the date and a
// signature. Shown in the report preview, printed, or written as PDF.
class ResultReport : public PagedReport {
public:
    static constexpr double kMargin = 15.0;

    explicit ResultReport(std::vector<ResultPage> pages);

    int pageCount() const override { return std::max(1, int(pages_.size())); }
    QList<ReportText> pageTexts(int page) const override;
    void paintPage(QPainter& painter, int page, double dotsPerMm) const override;
    QString contentsText() const override;
    // The page's own title, also the PDF's.
    QString title() const override;

    // Where the curve goes on a page, in millimetres: below the fields, however many lines they
    // took.
    QRectF curveBox(int page) const;

private:
    struct PageLayout {
        QList<ReportText> texts;
        QRectF curve;
    };
    PageLayout layOut(int page, double curveHeight = 78) const;

    std::vector<ResultPage> pages_;
};
