#pragma once

#include "reports/data_report.h"

#include <QDialog>
#include <QImage>

class QAction;
class QComboBox;
class QLabel;
class QScrollArea;
class QSpinBox;

// Draws one page of the report at a scale. Only the page on view is kept as a picture, so a
// report of any length takes the same memory.
class ReportPageView : public QWidget {
    Q_OBJECT
public:
    explicit ReportPageView(const PagedReport& report, QWidget* parent = nullptr);

    int page() const { return page_; }
    void setPage(int page);
    double pixelsPerMm() const { return scale_; }
    void setPixelsPerMm(double scale);
    // The picture of the page on view, drawn on first use.
    const QImage& pagePicture();
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const PagedReport& report_;
    int page_ = 1;
    double scale_ = 96 / 25.4;
    QImage picture_;
    static constexpr int kBorder = 8;
};

// The report's preview window: page through the report, zoom, print it through the printer
// dialog, or save it as PDF, HTML, plain text or comma-separated text.
class ReportPreview : public QDialog {
    Q_OBJECT
public:
    explicit ReportPreview(const PagedReport& report, QWidget* parent = nullptr);

    ReportPageView* pageView() const { return view_; }
    int page() const { return view_->page(); }
    void showPage(int page);
    enum Zoom { WholePage, PageWidth, Percent50, Percent75, Percent100, Percent150, Percent200 };
    void setZoom(Zoom zoom);

    // Commands of the tool bar; tests call them directly.
    void firstPage() { showPage(1); }
    void previousPage() { showPage(page() - 1); }
    void nextPage() { showPage(page() + 1); }
    void lastPage() { showPage(report_.pageCount()); }
    void print();
    void save();
    // Writes the report to the file in the format its extension names; tells the user on failure.
    bool saveTo(const QString& fileName);

    QAction* firstAction = nullptr;
    QAction* previousAction = nullptr;
    QAction* nextAction = nullptr;
    QAction* lastAction = nullptr;
    QAction* printAction = nullptr;
    QAction* saveAction = nullptr;
    QAction* closeAction = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyZoom();
    void updateControls();

    const PagedReport& report_;
    ReportPageView* view_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QSpinBox* pageBox_ = nullptr;
    QLabel* pageOf_ = nullptr;
    QComboBox* zoomBox_ = nullptr;
    QLabel* status_ = nullptr;
    Zoom zoom_ = WholePage;
};
