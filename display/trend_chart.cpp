#include "trend_chart.h"

#include "chart_data.h"
#include "reading_table.h"

#include <QApplication>
#include <QAreaSeries>
#include <QCheckBox>
#include <QCursor>
#include <QDir>
#include <QImageWriter>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

static void initChartResources() {
    Q_INIT_RESOURCE(chart);
}

namespace {

const QColor kSilver(0xC0, 0xC0, 0xC0);

QFont arialPx(int px, bool italic = false) {
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(px);
    f.setItalic(italic);
    return f;
}

QToolButton* stripButton(QWidget* parent, const QRect& place, const char* name, const char* hint,
                         const char* icon, int iconSize = 16) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(place);
    b->setToolTip(QString::fromLatin1(hint));
    b->setIcon(QIcon(QString::fromLatin1(icon)));
    b->setIconSize(QSize(iconSize, iconSize));
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

// A tick step of 1, 2 or 5 times a power of ten that gives about `ticks` ticks over `span`.
double niceStep(double span, int ticks) {
    const double raw = std::max(span / std::max(ticks, 1), 1.0);
    const double p = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (raw <= m * p)
            return m * p;
    return 10 * p;
}

} // namespace

// ---- TrendSeries

TrendSeries::TrendSeries(QChart* chart, QValueAxis* x, QValueAxis* y, Kind kind,
                         const QString& name)
    : chart_(chart), x_(x), y_(y), kind_(kind), name_(name) {
    addPiece();
}

QXYSeries* TrendSeries::addPiece() {
    auto* line = new QLineSeries;
    QAbstractSeries* piece = line;
    if (kind_ == Area) {
        auto* area = new QAreaSeries(line);
        line->setParent(area); // an area series does not own its line
        area->setBrush(QColor(255, 255, 128));
        area->setPen(QPen(QColor(0, 128, 255), 1));
        area->setPointsVisible(false);
        area->setPointLabelsVisible(false);
        piece = area;
        QObject::connect(area, &QAreaSeries::hovered, chart_, [this](const QPointF& p, bool on) {
            if (onHover)
                onHover(p, on);
        });
    } else {
        line->setPen(QPen(QColor(128, 255, 0), 1));
        QObject::connect(line, &QLineSeries::hovered, chart_, [this](const QPointF& p, bool on) {
            if (onHover)
                onHover(p, on);
        });
    }
    line->setPointsVisible(false);
    line->setPointLabelsVisible(false);
    piece->setName(name_);
    chart_->addSeries(piece);
    piece->attachAxis(x_);
    piece->attachAxis(y_);
    piece->setVisible(active_);
    pieces_.append(piece);
    lines_.append(line);
    return line;
}

QXYSeries* TrendSeries::piece(int i) const {
    return lines_.value(i);
}

void TrendSeries::setActive(bool active) {
    active_ = active;
    for (int i = 0; i < pieces_.size(); ++i)
        pieces_[i]->setVisible(active && i < used_);
}

void TrendSeries::setRuns(const QList<QList<QPointF>>& runs) {
    while (pieces_.size() < runs.size())
        addPiece();
    for (int i = 0; i < pieces_.size(); ++i) {
        if (i < runs.size())
            lines_[i]->replace(runs[i]);
        else if (lines_[i]->count() > 0)
            lines_[i]->clear();
    }
    used_ = int(runs.size());
    setActive(active_);
}

QList<QPointF> TrendSeries::points() const {
    QList<QPointF> all;
    for (int i = 0; i < used_; ++i)
        all += lines_[i]->points();
    return all;
}

// ---- TrendChart

TrendChart::TrendChart(UnitState& state, QWidget* parent)
    : QChartView(parent), s_(state), folder_(defaultPictureFolder()) {
    initChartResources();
    setObjectName(QStringLiteral("Chtshow"));
    setUpChart();
    buildToolStrip();
    refreshTimer_ = new QTimer(this);
    refreshTimer_->setSingleShot(true);
    refreshTimer_->setInterval(0);
    connect(refreshTimer_, &QTimer::timeout, this, &TrendChart::showPage);
    now_ = [] { return QDateTime::currentDateTime(); };
}

TrendChart::~TrendChart() {
    setTable(nullptr);
    delete Series1;
    delete Series2;
}

QString TrendChart::defaultPictureFolder() {
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\TestGraph\\");
#else
    return QDir::homePath() + QStringLiteral("/TestGraph/");
#endif
}

void TrendChart::setUpChart() {
    auto* c = new QChart;
    c->setAnimationOptions(QChart::NoAnimation);
    QLinearGradient back(0, 0, 0, 1);
    back.setCoordinateMode(QGradient::ObjectMode);
    back.setColorAt(0, kSilver);
    back.setColorAt(1, Qt::white);
    c->setBackgroundBrush(back);
    c->setBackgroundRoundness(0);
    c->setBackgroundPen(QPen(kSilver));
    c->setPlotAreaBackgroundBrush(Qt::white);
    c->setPlotAreaBackgroundPen(QPen(kSilver));
    c->setPlotAreaBackgroundVisible(true);
    c->setTitle(QStringLiteral("  "));
    c->setTitleFont(arialPx(13));
    c->setTitleBrush(Qt::black);
    c->legend()->hide();
    // The tool strip lies over the top edge; keep the plot below it.
    c->setMargins(QMargins(1, 16, 6, 1));

    axisY = new QValueAxis;
    axisY->setRange(kAxisMin, kAxisMax);
    axisY->setTickType(QValueAxis::TicksDynamic);
    axisY->setTickAnchor(0);
    axisY->setTickInterval(5500);
    axisY->setMinorTickCount(4);
    axisY->setLabelFormat(QStringLiteral("%d"));
    axisY->setLabelsFont(arialPx(10));
    axisY->setGridLinePen(QPen(kSilver, 1, Qt::DotLine));
    axisX = new QValueAxis;
    axisX->setTickType(QValueAxis::TicksDynamic);
    axisX->setLabelFormat(QStringLiteral("%d"));
    axisX->setLabelsFont(arialPx(10));
    axisX->setGridLinePen(QPen(kSilver, 1, Qt::DotLine));
    c->addAxis(axisX, Qt::AlignBottom);
    c->addAxis(axisY, Qt::AlignLeft);
    // The view lets go of the chart it made for itself: without a delete it would stay behind.
    QChart* made = chart();
    setChart(c);
    delete made;

    // Series order matters: index 0 is the area, index 1 the line.
    Series2 = new TrendSeries(c, axisX, axisY, TrendSeries::Area, QStringLiteral("Series2"));
    Series1 = new TrendSeries(c, axisX, axisY, TrendSeries::Line, QStringLiteral("Series1"));
    Series2->onHover = Series1->onHover = [this](const QPointF& p, bool on) { hover(p, on); };

    setRenderHint(QPainter::Antialiasing);
    setRubberBand(QChartView::RectangleRubberBand);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setBackgroundBrush(kSilver);
    viewport()->setCursor(Qt::CrossCursor);
    setMouseTracking(true);
}

void TrendChart::buildToolStrip() {
    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setGeometry(2, 2, 40, 20);
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);

    BtFill = new QCheckBox(QStringLiteral("Fill"), this);
    BtFill->setObjectName(QStringLiteral("BtFill"));
    BtFill->setGeometry(1, 5, 36, 17);
    BtFill->setToolTip(QStringLiteral("Graphic Fill"));
    BtFill->setFont(arialPx(11));
    BtFill->setChecked(true);
    connect(BtFill, &QCheckBox::clicked, this, &TrendChart::BtFillClick);

    Maxrecord = new QLineEdit(QStringLiteral("100"), this);
    Maxrecord->setObjectName(QStringLiteral("Maxrecord"));
    Maxrecord->setGeometry(48, 3, 41, 21);
    QPalette silver = Maxrecord->palette();
    silver.setColor(QPalette::Base, kSilver);
    silver.setColor(QPalette::Text, Qt::black);
    Maxrecord->setPalette(silver);
    Maxrecord->installEventFilter(this);
    connect(Maxrecord, &QLineEdit::textChanged, this, &TrendChart::MaxrecordChange);

    BtSave = stripButton(this, {93, 3, 35, 21}, "BtSave", "Save  Active Graphic",
                         ":/chart/icons/chart_save.svg");
    connect(BtSave, &QToolButton::clicked, this, &TrendChart::BtSaveClick);
    BtNew = stripButton(this, {127, 3, 35, 21}, "BtNew", "Delete Graphic",
                        ":/chart/icons/chart_new.svg");
    connect(BtNew, &QToolButton::clicked, this, &TrendChart::BtNewClick);
    BtFirst =
        stripButton(this, {163, 3, 25, 21}, "BtFirst", "First", ":/chart/icons/page_first.svg");
    connect(BtFirst, &QToolButton::clicked, this, &TrendChart::BtFirstClick);
    BTPrevious = stripButton(this, {187, 3, 25, 21}, "BTPrevious", "Previous",
                             ":/chart/icons/page_previous.svg");
    connect(BTPrevious, &QToolButton::clicked, this, &TrendChart::BTPreviousClick);

    Bt10 = new QPushButton(QStringLiteral("1"), this);
    Bt10->setObjectName(QStringLiteral("Bt10"));
    Bt10->setGeometry(211, 3, 25, 21);
    Bt10->setToolTip(QStringLiteral("Page No."));
    Bt10->setFocusPolicy(Qt::NoFocus);
    QPalette blue = Bt10->palette();
    blue.setColor(QPalette::ButtonText, Qt::blue);
    Bt10->setPalette(blue);

    BtNext = stripButton(this, {235, 3, 25, 21}, "BtNext", "Next", ":/chart/icons/page_next.svg");
    connect(BtNext, &QToolButton::clicked, this, &TrendChart::BtNextClick);
    BTlast = stripButton(this, {263, 3, 25, 21}, "BTlast", "last", ":/chart/icons/page_last.svg");
    connect(BTlast, &QToolButton::clicked, this, &TrendChart::BTlastClick);

    TbFd = stripButton(this, {288, 3, 25, 25}, "TbFd", "Graphic Enlarge",
                       ":/chart/icons/zoom_in.svg", 20);
    TbFd->setAutoRaise(true);
    connect(TbFd, &QToolButton::clicked, this, &TrendChart::TbSxClick);
    TbSx = stripButton(this, {288, 4, 25, 25}, "TbSx", "Graphic Restore",
                       ":/chart/icons/zoom_out.svg", 20);
    TbSx->setAutoRaise(true);
    TbSx->hide();
    connect(TbSx, &QToolButton::clicked, this, &TrendChart::TbSxClick);
}

void TrendChart::setTable(ReadingTable* table) {
    for (const auto& c : tableLinks_)
        disconnect(c);
    tableLinks_.clear();
    table_ = table;
    plotFrom_ = 0;
    if (table_) {
        tableLinks_ << connect(table_, &ReadingTable::rowsAppended, this,
                               [this](int first, int) { tableChanged(true, first); });
        tableLinks_ << connect(table_, &ReadingTable::rowsRemoved, this,
                               [this](int first, int last) {
                                   if (first < plotFrom_)
                                       plotFrom_ -= std::min(last, plotFrom_ - 1) - first + 1;
                                   tableChanged(false, first);
                               });
        tableLinks_ << connect(table_, &ReadingTable::tableReset, this, [this] {
            plotFrom_ = 0;
            tableChanged(false, 0);
        });
        tableLinks_ << connect(table_, &QObject::destroyed, this, [this] {
            table_ = nullptr;
            tableLinks_.clear();
            tableChanged(false, 0);
        });
    }
    tableChanged(false, 0);
}

qint64 TrendChart::plottedRows() const {
    return table_ ? std::max(table_->rowCount() - plotFrom_, 0) : 0;
}

void TrendChart::tableChanged(bool follow, qint64 firstChanged) {
    plotFrom_ = table_ ? std::min(plotFrom_, table_->rowCount()) : 0;
    const qint64 before = paging_.page();
    // While no row is plotted the chart shows its sample point.
    paging_.setPointCount(std::max<qint64>(plottedRows(), 1), follow);
    if (paging_.page() != before) {
        Bt10->setText(QString::number(paging_.page()));
        showPage();
        return;
    }
    const qint64 pageEnd = paging_.firstPointOnPage() + paging_.slotsOnPage();
    if (paging_.slotsOnPage() > kMaxDrawnPoints)
        refreshTimer_->start(); // many changes in a row redraw a large page once
    else if (firstChanged - plotFrom_ < pageEnd || plottedRows() <= 1)
        showPage();
}

void TrendChart::showPage() {
    refreshTimer_->stop();
    chart()->zoomReset();
    const qint64 rows = plottedRows();
    const qint64 first = paging_.firstPointOnPage();
    const qint64 slots = std::max<qint64>(paging_.slotsOnPage(), 1);
    QList<QList<QPointF>> runs[2];
    double xFirst = 0;
    if (rows == 0) {
        for (int k = 0; k < 2; ++k)
            runs[k] = {{QPointF(0, sample_[k])}};
    } else {
        xFirst = double(plotFrom_ + first + 1); // X is the row's place in the table, from 1
        const qint64 count = std::min(slots, rows - first);
        const ReadingTable* t = table_;
        const int base = plotFrom_;
        runs[0] = pageRuns([t, base](qint64 i) { return plotValueOf(t->value(int(base + i))); },
                           first, count, xFirst, kMaxDrawnPoints);
        runs[1] = runs[0];
    }
    Series2->setRuns(runs[0]);
    Series1->setRuns(runs[1]);

    // The last page keeps the scale of a full page.
    double lo = xFirst;
    double hi = xFirst + double(slots - 1);
    if (hi <= lo) {
        lo -= 0.5;
        hi += 0.5;
    }
    axisX->setRange(lo, hi);
    const double step = niceStep(hi - lo, 5);
    axisX->setTickAnchor(0);
    axisX->setTickInterval(step);
}

void TrendChart::startUp() {
    BtNewClick();
    paging_.setPointsPerPage(100);
    showPage();
}

void TrendChart::ShowSeries(int index) {
    Series2->setActive(index == 0);
    Series1->setActive(index == 1);
}

void TrendChart::BtFillClick() {
    ShowSeries(BtFill->isChecked() ? 0 : 1);
}

void TrendChart::BtNewClick() {
    // Clearing the chart leaves the table alone: rows recorded from now on are plotted.
    plotFrom_ = table_ ? table_->rowCount() : 0;
    for (double& v : sample_)
        v = QRandomGenerator::global()->bounded(1000);
    paging_.setPointCount(1, false);
    showPage();
    ShowSeries(0);
    ShowSeries(BtFill->isChecked() ? 0 : 1);
}

bool TrendChart::MaxrecordKeyPress(QChar key) {
    return (key >= u'0' && key <= u'9') || key.unicode() == 8;
}

void TrendChart::MaxrecordChange() {
    const QString text = Maxrecord->text();
    bool ok = false;
    const int n = text.toInt(&ok, 10);
    if (!ok) {
        tell(true, QStringLiteral("'%1' is not a valid integer value").arg(text));
        return;
    }
    if (n < 0) {
        tell(true, QStringLiteral("MaxPointsPerPage must be >= 0"));
        return;
    }
    // The page number display keeps its number until a paging button is used.
    paging_.setPointsPerPage(n);
    showPage();
}

void TrendChart::afterPaging() {
    const auto& b = paging_.buttons();
    BtFirst->setEnabled(b.first);
    BTPrevious->setEnabled(b.previous);
    BtNext->setEnabled(b.next);
    BTlast->setEnabled(b.last);
    showPage();
    Bt10->setText(QString::number(paging_.page()));
}

void TrendChart::BtFirstClick() {
    paging_.first();
    afterPaging();
}

void TrendChart::BTPreviousClick() {
    paging_.previous();
    afterPaging();
}

void TrendChart::BtNextClick() {
    paging_.next();
    afterPaging();
}

void TrendChart::BTlastClick() {
    paging_.last();
    afterPaging();
}

QRect TrendChart::formBounds() const {
    QRect r = geometry();
    // In a scrolling parent the form's coordinates start at the visible corner.
    if (QWidget* p = parentWidget()) {
        if (QWidget* vp = p->parentWidget()) {
            auto* area = qobject_cast<QScrollArea*>(vp->parentWidget());
            if (area && area->widget() == p)
                r.translate(p->pos());
        }
    }
    return r;
}

void TrendChart::setFormBounds(const QRect& r) {
    setGeometry(r.translated(geometry().topLeft() - formBounds().topLeft()));
}

void TrendChart::TbSxClick() {
    QWidget* w = window();
    if (w != this && w->frameGeometry().height() > 600) {
        const int inner = 564 - (w->frameGeometry().height() - w->height());
        if (w->minimumHeight() == w->maximumHeight())
            w->setFixedHeight(inner);
        else
            w->resize(w->width(), inner);
    }
    const QRect now = formBounds();
    // Bounds never saved (all 0) would make the chart vanish: only a saved place is restored.
    const bool saved = s_.SavedChartWidth > 0 && s_.SavedChartHeight > 0;
    if (now.top() <= 50 && saved) {
        TbFd->show();
        TbSx->hide();
        setFormBounds(
            QRect(s_.SavedChartLeft, s_.SavedChartTop, s_.SavedChartWidth, s_.SavedChartHeight));
        return;
    }
    TbFd->hide();
    TbSx->show();
    s_.SavedChartTop = now.top();
    s_.SavedChartLeft = now.left();
    s_.SavedChartHeight = now.height();
    s_.SavedChartWidth = now.width();
    const QSize outer = w->frameGeometry().size();
    setFormBounds(QRect(2, 30, outer.width() - 12, outer.height() - 90));
    raise();
}

QImage TrendChart::renderPicture() {
    QImage image(size(), QImage::Format_RGB888);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // The chart only: the tool strip is not part of the picture.
    QGraphicsView::render(&p, QRectF(viewport()->geometry()), viewport()->rect());
    return image;
}

void TrendChart::BtSaveClick() {
    // One stamp for both the file and the message.
    const QString stamp = now_().toString(QStringLiteral("yyMMddHHmm"));
    const QString path = folder_ + stamp + QStringLiteral("page") + Bt10->text() + u".bmp";
    const QString shown = QDir::toNativeSeparators(path);
    const QImage picture = renderPicture();
    QSaveFile file(path);
    QString reason;
    if (!file.open(QIODevice::WriteOnly)) {
        reason = file.errorString();
    } else {
        QImageWriter writer(&file, "bmp");
        if (!writer.write(picture))
            reason = writer.errorString();
        else if (!file.commit())
            reason = file.errorString();
    }
    if (!reason.isEmpty()) {
        tell(true, QStringLiteral("Cannot create file \"%1\". %2").arg(shown, reason));
        return;
    }
    tell(false, QStringLiteral("graphic has saved on ") + shown);
}

int TrendChart::rowAtX(double x) const {
    if (!table_ || !std::isfinite(x))
        return -1;
    const qint64 row = std::llround(x) - 1;
    return row >= plotFrom_ && row < table_->rowCount() ? int(row) : -1;
}

QString TrendChart::pointText(int row) const {
    if (!table_ || row < 0 || row >= table_->rowCount())
        return {};
    QString text;
    if (!table_->isNoNull(row))
        text = QStringLiteral("No %1: ").arg(table_->no(row));
    text += table_->value(row);
    if (!table_->unit(row).isEmpty())
        text += u' ' + table_->unit(row);
    return text;
}

void TrendChart::hover(const QPointF& point, bool state) {
    const int row = state ? rowAtX(point.x()) : -1;
    if (row < 0)
        QToolTip::hideText();
    else
        QToolTip::showText(QCursor::pos(), pointText(row), this);
}

bool TrendChart::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Maxrecord && event->type() == QEvent::KeyPress) {
        const QString typed = static_cast<QKeyEvent*>(event)->text();
        if (!typed.isEmpty() && !MaxrecordKeyPress(typed.front()))
            return true;
    }
    return QChartView::eventFilter(watched, event);
}

void TrendChart::tell(bool error, const QString& text) {
    if (tell_) {
        tell_(error, text);
        return;
    }
    const QString title = QApplication::applicationDisplayName();
    if (error)
        QMessageBox::critical(this, title, text);
    else
        QMessageBox::information(this, title, text);
}
