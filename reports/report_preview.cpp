#include "reports/report_preview.h"

#include "reports/report_export.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

static void initReportResources() {
    Q_INIT_RESOURCE(reports);
}

// ---- ReportPageView

ReportPageView::ReportPageView(const PagedReport& report, QWidget* parent)
    : QWidget(parent), report_(report) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ReportPageView::setPage(int page) {
    page = std::clamp(page, 1, report_.pageCount());
    if (page == page_)
        return;
    page_ = page;
    picture_ = QImage();
    update();
}

void ReportPageView::setPixelsPerMm(double scale) {
    scale = std::clamp(scale, 0.5, 20.0);
    if (std::abs(scale - scale_) < 1e-9)
        return;
    scale_ = scale;
    picture_ = QImage();
    resize(sizeHint());
    updateGeometry();
    update();
}

QSize ReportPageView::sizeHint() const {
    return QSize(int(std::ceil(PagedReport::kPaperWidth * scale_)) + 2 * kBorder,
                 int(std::ceil(PagedReport::kPaperHeight * scale_)) + 2 * kBorder);
}

const QImage& ReportPageView::pagePicture() {
    if (picture_.isNull()) {
        const QSize size(int(std::ceil(PagedReport::kPaperWidth * scale_)),
                         int(std::ceil(PagedReport::kPaperHeight * scale_)));
        picture_ = QImage(size, QImage::Format_RGB32);
        // Fonts are in points: give the picture the resolution of the scale.
        const int dotsPerMeter = int(std::lround(scale_ * 1000));
        picture_.setDotsPerMeterX(dotsPerMeter);
        picture_.setDotsPerMeterY(dotsPerMeter);
        picture_.fill(Qt::white);
        QPainter p(&picture_);
        p.setRenderHint(QPainter::TextAntialiasing);
        report_.paintPage(p, page_, scale_);
    }
    return picture_;
}

void ReportPageView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0x80, 0x80, 0x80));
    const QImage& page = pagePicture();
    const QRect paper(QPoint(kBorder, kBorder), page.size());
    p.fillRect(paper.translated(3, 3), QColor(0x40, 0x40, 0x40));
    p.drawImage(paper.topLeft(), page);
    p.setPen(Qt::black);
    p.drawRect(paper.adjusted(0, 0, -1, -1));
}

// ---- ReportPreview

ReportPreview::ReportPreview(const PagedReport& report, QWidget* parent)
    : QDialog(parent), report_(report) {
    initReportResources();
    setObjectName(QStringLiteral("ReportPreview"));
    setWindowTitle(QStringLiteral("Print Preview"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* bar = new QToolBar(this);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QStyle* st = style();
    zoomBox_ = new QComboBox(bar);
    zoomBox_->addItems({QStringLiteral("Whole page"), QStringLiteral("Page width"),
                        QStringLiteral("50%"), QStringLiteral("75%"), QStringLiteral("100%"),
                        QStringLiteral("150%"), QStringLiteral("200%")});
    zoomBox_->setToolTip(QStringLiteral("Zoom"));
    bar->addWidget(zoomBox_);
    bar->addSeparator();
    firstAction = bar->addAction(st->standardIcon(QStyle::SP_MediaSkipBackward),
                                 QStringLiteral("First"), this, &ReportPreview::firstPage);
    firstAction->setToolTip(QStringLiteral("First page"));
    firstAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Home));
    previousAction = bar->addAction(st->standardIcon(QStyle::SP_MediaSeekBackward),
                                    QStringLiteral("Previous"), this, &ReportPreview::previousPage);
    previousAction->setToolTip(QStringLiteral("Previous page"));
    previousAction->setShortcut(QKeySequence(Qt::Key_PageUp));
    pageBox_ = new QSpinBox(bar);
    pageBox_->setRange(1, report_.pageCount());
    pageBox_->setToolTip(QStringLiteral("Page"));
    bar->addWidget(pageBox_);
    pageOf_ = new QLabel(QStringLiteral(" of %1 ").arg(report_.pageCount()), bar);
    bar->addWidget(pageOf_);
    nextAction = bar->addAction(st->standardIcon(QStyle::SP_MediaSeekForward),
                                QStringLiteral("Next"), this, &ReportPreview::nextPage);
    nextAction->setToolTip(QStringLiteral("Next page"));
    nextAction->setShortcut(QKeySequence(Qt::Key_PageDown));
    lastAction = bar->addAction(st->standardIcon(QStyle::SP_MediaSkipForward),
                                QStringLiteral("Last"), this, &ReportPreview::lastPage);
    lastAction->setToolTip(QStringLiteral("Last page"));
    lastAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_End));
    bar->addSeparator();
    printAction = bar->addAction(QIcon(QStringLiteral(":/reports/icons/print.svg")),
                                 QStringLiteral("Print..."), this, &ReportPreview::print);
    printAction->setToolTip(QStringLiteral("Print the report"));
    printAction->setShortcut(QKeySequence::Print);
    saveAction = bar->addAction(st->standardIcon(QStyle::SP_DialogSaveButton),
                                QStringLiteral("Save..."), this, &ReportPreview::save);
    saveAction->setToolTip(QStringLiteral("Save the report as PDF, HTML, text or CSV"));
    saveAction->setShortcut(QKeySequence::Save);
    bar->addSeparator();
    closeAction = bar->addAction(st->standardIcon(QStyle::SP_DialogCloseButton),
                                 QStringLiteral("Close"), this, &QDialog::accept);
    layout->addWidget(bar);

    scroll_ = new QScrollArea(this);
    scroll_->setBackgroundRole(QPalette::Dark);
    scroll_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    view_ = new ReportPageView(report_);
    scroll_->setWidget(view_);
    scroll_->viewport()->installEventFilter(this);
    layout->addWidget(scroll_, 1);
    status_ = new QLabel(this);
    status_->setContentsMargins(6, 2, 6, 2);
    layout->addWidget(status_);

    connect(pageBox_, &QSpinBox::valueChanged, this, &ReportPreview::showPage);
    connect(zoomBox_, &QComboBox::currentIndexChanged, this, [this](int i) { setZoom(Zoom(i)); });

    QSize want(860, 960);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        want = want.boundedTo(screen->availableGeometry().size() * 0.95);
    resize(want);
    applyZoom();
    updateControls();
}

void ReportPreview::showPage(int page) {
    view_->setPage(page);
    scroll_->verticalScrollBar()->setValue(0);
    updateControls();
}

void ReportPreview::setZoom(Zoom zoom) {
    zoom_ = zoom;
    if (zoomBox_->currentIndex() != int(zoom))
        zoomBox_->setCurrentIndex(int(zoom));
    applyZoom();
}

void ReportPreview::applyZoom() {
    const QSize room = scroll_->viewport()->size() - QSize(20, 20);
    const double screenScale = logicalDpiX() / 25.4;
    double scale = screenScale;
    switch (zoom_) {
    case WholePage:
        scale = std::min(room.width() / PagedReport::kPaperWidth,
                         room.height() / PagedReport::kPaperHeight);
        break;
    case PageWidth:
        scale = (room.width() - scroll_->verticalScrollBar()->sizeHint().width()) /
                PagedReport::kPaperWidth;
        break;
    case Percent50:
        scale = screenScale * 0.5;
        break;
    case Percent75:
        scale = screenScale * 0.75;
        break;
    case Percent100:
        break;
    case Percent150:
        scale = screenScale * 1.5;
        break;
    case Percent200:
        scale = screenScale * 2;
        break;
    }
    view_->setPixelsPerMm(scale);
}

bool ReportPreview::eventFilter(QObject* watched, QEvent* event) {
    // The fitting zooms follow the room the page has.
    if (watched == scroll_->viewport() && event->type() == QEvent::Resize &&
        (zoom_ == WholePage || zoom_ == PageWidth))
        applyZoom();
    return QDialog::eventFilter(watched, event);
}

void ReportPreview::updateControls() {
    const int n = report_.pageCount();
    const int p = view_->page();
    firstAction->setEnabled(p > 1);
    previousAction->setEnabled(p > 1);
    nextAction->setEnabled(p < n);
    lastAction->setEnabled(p < n);
    if (pageBox_->value() != p) {
        const QSignalBlocker block(pageBox_);
        pageBox_->setValue(p);
    }
    status_->setText(
        QStringLiteral("Page %1 of %2    %3").arg(p).arg(n).arg(report_.contentsText()));
}

void ReportPreview::print() {
    QPrinter printer(QPrinter::HighResolution);
    setUpReportPrinter(printer);
    QPrintDialog dialog(&printer, this);
    dialog.setMinMax(1, report_.pageCount());
    dialog.setFromTo(1, report_.pageCount());
    if (dialog.exec() != QDialog::Accepted)
        return;
    int from = 0;
    int to = 0;
    if (printer.printRange() == QPrinter::PageRange) {
        from = printer.fromPage();
        to = printer.toPage();
    } else if (printer.printRange() == QPrinter::CurrentPage) {
        from = to = page();
    }
    if (!printReport(report_, printer, from, to))
        QMessageBox::critical(this, QApplication::applicationDisplayName(),
                              QStringLiteral("The report could not be printed."));
}

void ReportPreview::save() {
    const QList<ReportFormat> formats = {ReportFormat::Pdf, ReportFormat::Html, ReportFormat::Text,
                                         ReportFormat::Csv};
    QStringList filters;
    for (ReportFormat f : formats)
        filters << reportFilter(f);
    QString selected = filters.front();
    const QString start =
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + u"/report.pdf";
    QString name = QFileDialog::getSaveFileName(this, QStringLiteral("Save Report"), start,
                                                filters.join(QStringLiteral(";;")), &selected);
    if (name.isEmpty())
        return;
    if (!reportFormatOf(name)) {
        // No known extension: take the one of the chosen filter.
        const int i = int(filters.indexOf(selected));
        static const char* const ext[] = {".pdf", ".html", ".txt", ".csv"};
        name += QString::fromLatin1(ext[std::max(i, 0)]);
    }
    saveTo(name);
}

bool ReportPreview::saveTo(const QString& fileName) {
    const auto format = reportFormatOf(fileName);
    QString error;
    if (!format)
        error = QStringLiteral("The report is saved as %1.").arg(reportExtensions());
    else if (writeReport(report_, fileName, *format, &error))
        return true;
    QMessageBox::critical(this, QApplication::applicationDisplayName(),
                          QStringLiteral("Cannot create file \"%1\". %2")
                              .arg(QDir::toNativeSeparators(fileName), error));
    return false;
}
