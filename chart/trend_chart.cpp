#include "chart/trend_chart.h"

#include "chart/chart_data.h"
#include "record/reading_table.h"

#include <QApplication>
#include <QAreaSeries>
#include <QCategoryAxis>
#include <QCheckBox>
#include <QCursor>
#include <QDir>
#include <QImageWriter>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <span>

static void initChartResources() {
    Q_INIT_RESOURCE(chart);
}

namespace {

const QColor kSilver(0xC0, 0xC0, 0xC0);
const QColor kVoltBlue(0, 96, 192);

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

// The chart without axes or series: silver fading to white behind a white plot area, no legend.
QChart* newChart() {
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
    return c;
}

// An axis whose ticks the chart sets as its range changes, labelled in `format`.
void withDynamicTicks(QValueAxis* axis, const char* format) {
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setLabelFormat(QString::fromLatin1(format));
    axis->setLabelsFont(arialPx(10));
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

// The label of m × 10^decade ohms as the meter's bar graph writes it: 100K, 2M, 1T.
QString ohmLabel(int m, int decade) {
    static const char* const kSuffix[] = {"", "K", "M", "G", "T", "P"};
    const int group = std::clamp(decade >= 0 ? decade / 3 : -((2 - decade) / 3), 0, 5);
    const double v = m * std::pow(10.0, decade - 3 * group);
    return QString::number(v, 'g', 6) + QString::fromLatin1(kSuffix[group]);
}

// A new range and tick step for an axis with dynamic ticks. The order matters: for a moment the
// axis has the new range with the old step or the other way round, and a wide range with a small
// step would make thousands of ticks.
void setTicks(QValueAxis* axis, double lo, double hi, double step) {
    if (step > axis->tickInterval()) {
        axis->setTickInterval(step);
        axis->setRange(lo, hi);
    } else {
        axis->setRange(lo, hi);
        axis->setTickInterval(step);
    }
}

} // namespace

// ---- TrendSeries

TrendSeries::TrendSeries(QChart* chart, QValueAxis* x, Kind kind, const QString& name)
    : chart_(chart), x_(x), kind_(kind), name_(name) {}

TrendSeries::Pool& TrendSeries::pool(QAbstractAxis* y) {
    for (Pool& p : pools_)
        if (p.y == y)
            return p;
    Pool p;
    p.y = y;
    if (kind_ == Area) {
        p.fill = QColor(255, 255, 128);
        p.line = QColor(0, 128, 255);
    } else {
        p.line = QColor(128, 255, 0);
    }
    pools_.append(p);
    return pools_.back();
}

void TrendSeries::setLook(QAbstractAxis* y, const QColor& fill, const QColor& line) {
    Pool& p = pool(y);
    p.fill = fill;
    p.line = line;
    for (int i = 0; i < p.pieces.size(); ++i)
        paint(p, i);
}

void TrendSeries::paint(const Pool& pool, int piece) {
    if (auto* area = qobject_cast<QAreaSeries*>(pool.pieces[piece])) {
        area->setBrush(pool.fill);
        area->setPen(QPen(pool.line, 1));
    } else {
        pool.lines[piece]->setPen(QPen(pool.line, 1));
    }
}

void TrendSeries::addPiece(Pool& pool) {
    auto* line = new QLineSeries;
    QAbstractSeries* piece = line;
    if (kind_ == Area) {
        auto* area = new QAreaSeries(line);
        line->setParent(area); // an area series does not own its line
        area->setPointsVisible(false);
        area->setPointLabelsVisible(false);
        piece = area;
    }
    line->setPointsVisible(false);
    line->setPointLabelsVisible(false);
    piece->setName(name_);
    chart_->addSeries(piece);
    piece->attachAxis(x_);
    piece->attachAxis(pool.y);
    piece->setVisible(false);
    pool.pieces.append(piece);
    pool.lines.append(line);
    paint(pool, int(pool.pieces.size()) - 1);
}

int TrendSeries::pieceCount() const {
    int n = 0;
    for (const Pool& p : pools_)
        n += int(p.runs.size());
    return n;
}

QXYSeries* TrendSeries::piece(int i) const {
    for (const Pool& p : pools_) {
        if (i < p.runs.size())
            return p.lines.value(i);
        i -= int(p.runs.size());
    }
    return nullptr;
}

void TrendSeries::setActive(bool active) {
    active_ = active;
    for (Pool& p : pools_) {
        if (active)
            draw(p);
        else
            for (QAbstractSeries* piece : p.pieces)
                piece->setVisible(false);
    }
}

void TrendSeries::setRuns(QAbstractAxis* y, const QList<QList<QPointF>>& runs) {
    Pool& p = pool(y);
    p.runs = runs;
    // A hidden series is brought up to date when it is shown.
    if (active_)
        draw(p);
}

void TrendSeries::draw(Pool& p) {
    while (p.pieces.size() < p.runs.size()) {
        addPiece(p);
        p.drawn.append(QList<QPointF>());
    }
    for (qsizetype i = 0; i < p.pieces.size(); ++i) {
        const QList<QPointF> want = p.runs.value(i);
        if (want != p.drawn[i]) {
            if (want.isEmpty())
                p.lines[i]->clear();
            else
                p.lines[i]->replace(want);
            p.drawn[i] = want;
        }
        p.pieces[i]->setVisible(i < p.runs.size());
    }
}

QList<QPointF> TrendSeries::points(const QAbstractAxis* y) const {
    QList<QPointF> all;
    for (const Pool& p : pools_)
        if (!y || p.y == y)
            for (const QList<QPointF>& run : p.runs)
                all += run;
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
    QChart* c = newChart();
    addAxes(c);
    // The view lets go of the chart it made for itself: without a delete it would stay behind.
    QChart* made = chart();
    setChart(c);
    delete made;

    // Series order matters: index 0 is the area, index 1 the line.
    Series2 = new TrendSeries(c, axisX, TrendSeries::Area, QStringLiteral("Series2"));
    Series1 = new TrendSeries(c, axisX, TrendSeries::Line, QStringLiteral("Series1"));
    // Volts in the colour of their axis.
    Series2->setLook(axisVolt, QColor(200, 224, 255), kVoltBlue);
    Series1->setLook(axisVolt, QColor(), kVoltBlue);

    setRenderHint(QPainter::Antialiasing);
    setRubberBand(QChartView::RectangleRubberBand);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setBackgroundBrush(kSilver);
    viewport()->setCursor(Qt::CrossCursor);
    setMouseTracking(true);
}

void TrendChart::addAxes(QChart* c) {
    axisY = new QValueAxis;
    axisY->setRange(kAxisMin, kAxisMax);
    withDynamicTicks(axisY, "%d");
    axisY->setTickAnchor(0);
    axisY->setTickInterval(5500);
    axisY->setMinorTickCount(4);
    axisY->setGridLinePen(QPen(kSilver, 1, Qt::DotLine));
    axisX = new QValueAxis;
    withDynamicTicks(axisX, "%d");
    axisX->setGridLinePen(QPen(kSilver, 1, Qt::DotLine));
    axisOhm = new QCategoryAxis;
    axisOhm->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axisOhm->setLabelsFont(arialPx(10));
    axisOhm->setGridLinePen(QPen(kSilver, 1, Qt::DotLine));
    axisOhm->setRange(kOhmDecadeLow, kOhmDecadeHigh);
    axisVolt = new QValueAxis;
    withDynamicTicks(axisVolt, "%g V");
    axisVolt->setTickAnchor(0);
    axisVolt->setLabelsColor(kVoltBlue);
    axisVolt->setGridLineVisible(false);
    c->addAxis(axisX, Qt::AlignBottom);
    c->addAxis(axisY, Qt::AlignLeft);
    c->addAxis(axisOhm, Qt::AlignLeft);
    c->addAxis(axisVolt, Qt::AlignRight);
    // The labels follow the range, so a zoom into one decade still has some.
    connect(axisOhm, &QValueAxis::rangeChanged, this, &TrendChart::labelOhmAxis);
    labelOhmAxis(kOhmDecadeLow, kOhmDecadeHigh);
}

void TrendChart::buildToolStrip() {
    // Made in the strip's order, left to right.
    buildPageSizeControls();
    BtSave = stripButton(this, {93, 3, 35, 21}, "BtSave", "Save  Active Graphic",
                         ":/chart/icons/chart_save.svg");
    connect(BtSave, &QToolButton::clicked, this, &TrendChart::BtSaveClick);
    BtNew = stripButton(this, {127, 3, 35, 21}, "BtNew", "Delete Graphic",
                        ":/chart/icons/chart_new.svg");
    connect(BtNew, &QToolButton::clicked, this, &TrendChart::BtNewClick);
    buildPagingButtons();
    buildViewButtons();

    figures = new QLabel(this);
    figures->setObjectName(QStringLiteral("figures"));
    figures->setFont(arialPx(11));
    figures->setTextFormat(Qt::PlainText);
    figures->hide();
}

void TrendChart::buildPageSizeControls() {
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
}

void TrendChart::buildPagingButtons() {
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
}

void TrendChart::buildViewButtons() {
    TbFd = stripButton(this, {288, 3, 25, 25}, "TbFd", "Graphic Enlarge",
                       ":/chart/icons/zoom_in.svg", 20);
    TbFd->setAutoRaise(true);
    connect(TbFd, &QToolButton::clicked, this, &TrendChart::TbSxClick);
    TbSx = stripButton(this, {288, 4, 25, 25}, "TbSx", "Graphic Restore",
                       ":/chart/icons/zoom_out.svg", 20);
    TbSx->setAutoRaise(true);
    TbSx->hide();
    connect(TbSx, &QToolButton::clicked, this, &TrendChart::TbSxClick);

    countView = stripButton(this, {316, 3, 25, 21}, "countView", "Display Counts",
                            ":/chart/icons/counts.svg");
    countView->setCheckable(true);
    connect(countView, &QToolButton::toggled, this,
            [this](bool on) { setView(on ? View::Counts : View::Physical); });
}

void TrendChart::setTable(ReadingTable* table) {
    for (const auto& c : tableLinks_)
        disconnect(c);
    tableLinks_.clear();
    table_ = table;
    plotFrom_ = 0;
    if (table_) {
        tableLinks_ << connect(table_, &ReadingTable::rowsAppended, this, [this](int first, int) {
            track(false);
            tableChanged(true, first);
        });
        tableLinks_ << connect(table_, &ReadingTable::rowsRemoved, this,
                               [this](int first, int last) {
                                   if (first < plotFrom_)
                                       plotFrom_ -= std::min(last, plotFrom_ - 1) - first + 1;
                                   track(true);
                                   tableChanged(false, first);
                               });
        tableLinks_ << connect(table_, &ReadingTable::tableReset, this, [this] {
            plotFrom_ = 0;
            track(true);
            tableChanged(false, 0);
        });
        tableLinks_ << connect(table_, &QObject::destroyed, this, [this] {
            table_ = nullptr;
            tableLinks_.clear();
            track(true);
            tableChanged(false, 0);
        });
    }
    track(true);
    tableChanged(false, 0);
}

void TrendChart::track(bool afresh) {
    if (afresh || !table_) {
        runs_ = InsulationRuns();
        if (table_)
            runs_.scan(*table_);
        figuresOf_ = InsulationRun{-1, -1, 0};
        range_ = PlotRange{};
    } else {
        runs_.append(*table_);
    }
    const int rows = table_ ? table_->rowCount() : 0;
    PlotRange& r = range_;
    if (r.from != plotFrom_ || r.seen < plotFrom_ || r.seen > rows) // cleared, or rows gone
        r = PlotRange{plotFrom_, plotFrom_};
    if (!table_)
        return;
    RowReader read(*table_);
    for (; r.seen < rows; ++r.seen) {
        const Measurement m = read.measurement(r.seen);
        const bool number = m.reading == Measurement::Number;
        if (m.quantity == Measurement::Resistance) {
            if (number && m.value > 0) {
                const bool firstOne = r.maxOhms <= 0;
                r.minOhms = firstOne ? m.value : std::min(r.minOhms, m.value);
                r.maxOhms = firstOne ? m.value : std::max(r.maxOhms, m.value);
            }
            ++r.ohmRows;
        } else if (m.quantity == Measurement::Voltage) {
            if (number) {
                r.minVolts = std::min(r.minVolts, m.value);
                r.maxVolts = std::max(r.maxVolts, m.value);
            }
            ++r.voltRows;
        }
    }
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
    updateFigures();
}

void TrendChart::showPage() {
    refreshTimer_->stop();
    chart()->zoomReset();
    const qint64 rows = plottedRows();
    const qint64 first = paging_.firstPointOnPage();
    const qint64 slots = std::max<qint64>(paging_.slotsOnPage(), 1);
    // X is the row's place in the table, from 1.
    const double xFirst = rows == 0 ? 0 : double(plotFrom_ + first + 1);
    const qint64 count = rows == 0 ? 0 : std::min(slots, rows - first);
    if (view_ == View::Counts)
        showCountPage(first, count, xFirst);
    else
        showPhysicalPage(first, count, xFirst);

    // The last page keeps the scale of a full page.
    double lo = xFirst;
    double hi = xFirst + double(slots - 1);
    if (hi <= lo) {
        lo -= 0.5;
        hi += 0.5;
    }
    axisX->setTickAnchor(0);
    setTicks(axisX, lo, hi, niceStep(hi - lo, 5));
    updateFigures();
}

void TrendChart::showCountPage(qint64 first, qint64 count, double xFirst) {
    QList<QList<QPointF>> runs[2];
    if (count == 0) {
        for (int k = 0; k < 2; ++k)
            runs[k] = {{QPointF(0, sample_[k])}};
    } else {
        const ReadingTable* t = table_;
        const int base = plotFrom_;
        runs[0] = pageRuns([t, base](qint64 i) { return plotValueOf(t->value(int(base + i))); },
                           first, count, xFirst, kMaxDrawnPoints);
        runs[1] = runs[0];
    }
    Series2->setRuns(axisY, runs[0]);
    Series1->setRuns(axisY, runs[1]);
    for (TrendSeries* s : {Series2, Series1}) {
        s->setRuns(axisOhm, {});
        s->setRuns(axisVolt, {});
    }
    axisOhm->setVisible(false);
    axisVolt->setVisible(false);
    axisY->setVisible(true);
}

void TrendChart::showPhysicalPage(qint64 first, qint64 count, double xFirst) {
    const double ohmFloor = scalePhysicalAxes();
    QList<QList<QList<QPointF>>> lanes(2);
    if (count > 0) {
        lanes = physicalLanes(first, count, xFirst);
        // Ohms to the log axis; a reading of zero lies on its floor.
        for (QList<QPointF>& run : lanes[0])
            for (QPointF& p : run)
                p.setY(p.y() > 0 ? std::log10(p.y()) : ohmFloor);
    }
    for (TrendSeries* s : {Series2, Series1}) {
        s->setRuns(axisOhm, lanes[0]);
        s->setRuns(axisVolt, lanes[1]);
        s->setRuns(axisY, {});
    }
    axisY->setVisible(false);
    axisOhm->setVisible(range_.ohmRows > 0 || range_.voltRows == 0);
    axisVolt->setVisible(range_.voltRows > 0);
}

double TrendChart::scalePhysicalAxes() {
    // From what every plotted row holds, so that the axes stay put while paging.
    const PlotRange& r = range_;
    double lo = kOhmDecadeLow;
    double hi = kOhmDecadeHigh;
    if (r.maxOhms > 0) {
        lo = std::min(lo, std::floor(std::log10(r.minOhms)));
        hi = std::max(hi, std::ceil(std::log10(r.maxOhms)));
    }
    axisOhm->setRange(lo, hi);
    double vlo = std::min(0.0, r.minVolts);
    double vhi = std::max(0.0, r.maxVolts);
    const double vstep = niceStep(std::max(vhi - vlo, 1.0), 4);
    vlo = std::floor(vlo / vstep) * vstep;
    vhi = std::max(std::ceil(vhi / vstep) * vstep, vlo + vstep);
    setTicks(axisVolt, vlo, vhi, vstep);
    return lo;
}

QList<QList<QList<QPointF>>> TrendChart::physicalLanes(qint64 first, qint64 count, double xFirst) {
    const ReadingTable* t = table_;
    const int base = plotFrom_;
    // The table stores each text once, so during one drawing a text's address stands for it:
    // a unit is looked up when it changes, and a value read before comes from the cache.
    const QString* unitSeen = nullptr;
    UnitScale scale;
    const quint32 pass = ++readPass_;
    return laneRuns(
        [&](qint64 i) -> LanePoint {
            const int row = int(base + i);
            const QString& unit = t->unit(row);
            if (&unit != unitSeen) {
                unitSeen = &unit;
                scale = unitScale(unit);
            }
            if (scale.quantity == Measurement::NoQuantity)
                return {};
            const QString& value = t->value(row);
            ValueRead& read = reads_[(quintptr(&value) / sizeof(QString)) % reads_.size()];
            if (read.text != &value || read.pass != pass)
                read = {&value, pass, readingNumber(value)};
            const std::optional<double>& v = read.number;
            if (!v)
                return {};
            const double y = *v * scale.factor;
            if (scale.quantity == Measurement::Voltage)
                return {1, y};
            return y < 0 ? LanePoint{} : LanePoint{0, y};
        },
        2, first, count, xFirst, kMaxDrawnPoints);
}

void TrendChart::labelOhmAxis(double lo, double hi) {
    for (const QString& label : axisOhm->categoriesLabels())
        axisOhm->remove(label);
    // A category ends at its label's value; the first starts below the range.
    axisOhm->setStartValue(lo - 1);
    const double span = hi - lo;
    static const int kDecades[] = {1};
    static const int kHalves[] = {1, 2, 5};
    static const int kAll[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    const std::span<const int> steps = span > 2.5   ? std::span<const int>(kDecades)
                                       : span > 0.8 ? std::span<const int>(kHalves)
                                                    : std::span<const int>(kAll);
    for (int d = int(std::floor(lo)); d <= int(std::ceil(hi)); ++d)
        for (int m : steps) {
            const double at = d + std::log10(double(m));
            if (at >= lo - 1e-9 && at <= hi + 1e-9)
                axisOhm->append(ohmLabel(m, d), at);
        }
}

void TrendChart::setView(View view) {
    view_ = view;
    const QSignalBlocker quiet(countView);
    countView->setChecked(view == View::Counts);
    showPage();
}

void TrendChart::updateFigures() {
    figuresRun_ = runToShow();
    if (figuresRun_ < 0) {
        figuresOf_ = InsulationRun{-1, -1, 0};
        if (!figures->isHidden()) {
            figures->hide();
            layoutStrip();
        }
        return;
    }
    const InsulationRun& run = runs_.runs()[size_t(figuresRun_)];
    // Figures change only while the run is young.
    if (run.firstRow == figuresOf_.firstRow &&
        (run.lastRow == figuresOf_.lastRow || figuresOf_.durationMs > kFiguresSettleMs))
        return;
    figuresOf_ = run;
    const InsulationFigures f = insulationFigures(*table_, run);
    const QString start = clockText(table_->timeMs(run.firstRow));
    const QString tip = figuresTip(run, f, start);
    const QString text =
        QStringLiteral("Test %1   DAR %2   PI %3").arg(start, ratioText(f.dar), ratioText(f.pi));
    if (text == figures->text() && tip == figures->toolTip() && !figures->isHidden())
        return;
    figures->setText(text);
    figures->setToolTip(tip);
    figures->adjustSize();
    figures->show();
    layoutStrip();
}

int TrendChart::runToShow() const {
    const qint64 rows = plottedRows();
    if (!table_ || rows <= 0)
        return -1;
    const qint64 first = paging_.firstPointOnPage();
    const qint64 count = std::min<qint64>(std::max<qint64>(paging_.slotsOnPage(), 1), rows - first);
    const int a = int(plotFrom_ + first);
    const int run = runs_.lastRunIn(a, int(a + count - 1));
    const auto& all = runs_.runs();
    if (run < 0 && !all.empty() && all.back().lastRow >= plotFrom_)
        return int(all.size()) - 1;
    return run;
}

QString TrendChart::figuresTip(const InsulationRun& run, const InsulationFigures& f,
                               const QString& start) const {
    auto r = [](const ResistanceAt& at) {
        return at.ok() ? ohmsText(at.ohms)
                       : QStringLiteral("not available (%1)").arg(statusText(at.status));
    };
    auto ratio = [](const std::optional<double>& x) {
        return x ? ratioText(x) : QStringLiteral("not available");
    };
    QString tip = QStringLiteral("Insulation test from ");
    if (!table_->isNoNull(run.firstRow))
        tip += QStringLiteral("No %1 at ").arg(table_->no(run.firstRow));
    tip += QStringLiteral("%1, %2, %3 s\n")
               .arg(start, table_->vRange(run.firstRow))
               .arg(qRound64(double(run.durationMs) / 1000.0));
    tip += QStringLiteral("R(30 s): %1\nR(1 min): %2\nR(10 min): %3\n")
               .arg(r(f.r30s), r(f.r1min), r(f.r10min));
    tip += QStringLiteral("DAR = R(1 min) / R(30 s): %1\nPI = R(10 min) / R(1 min): %2")
               .arg(ratio(f.dar), ratio(f.pi));
    // Above 5 GΩ at one minute the currents are too small for the index to say much.
    if (f.pi && f.r1min.ohms > 5e9)
        tip += QStringLiteral("\nR(1 min) is above 5 G\u03A9: the PI may not be meaningful.");
    return tip;
}

void TrendChart::layoutStrip() {
    // Beside the strip when the chart is wide enough (enlarged), else on a line of its own
    // below it, right-aligned.
    constexpr int kBeside = 346;
    bool secondLine = false;
    if (!figures->isHidden()) {
        const int w = figures->width();
        secondLine = width() - kBeside - 6 < w;
        if (secondLine)
            figures->move(std::max(2, width() - w - 10), 26);
        else
            figures->move(kBeside, 7);
    }
    const QMargins margins(1, secondLine ? 30 : 16, 6, 1);
    if (chart()->margins() != margins)
        chart()->setMargins(margins);
}

void TrendChart::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    layoutStrip();
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
    track(false);
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
    // A fixed window taller than 600 is brought back to 564; a window the user sized keeps
    // the size given to it.
    if (w != this && w->frameGeometry().height() > 600 && w->minimumHeight() == w->maximumHeight())
        w->setFixedHeight(564 - (w->frameGeometry().height() - w->height()));
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
    QStringList parts;
    if (!table_->isNoNull(row))
        parts << QStringLiteral("No %1").arg(table_->no(row));
    if (!table_->isTimeNull(row))
        parts << clockText(table_->timeMs(row));
    QString held = table_->value(row).isEmpty() ? QStringLiteral("(no value)") : table_->value(row);
    if (!table_->unit(row).isEmpty())
        held += u' ' + table_->unit(row);
    parts << held;
    return parts.join(QStringLiteral(" \u00B7 "));
}

int TrendChart::rowAtViewPos(const QPoint& pos) const {
    const QPointF at = chart()->mapFromScene(mapToScene(pos));
    const QRectF plot = chart()->plotArea();
    if (!plot.contains(at) || plot.width() <= 0)
        return -1;
    const double x =
        axisX->min() + (at.x() - plot.left()) / plot.width() * (axisX->max() - axisX->min());
    return rowAtX(x);
}

void TrendChart::mouseMoveEvent(QMouseEvent* event) {
    QChartView::mouseMoveEvent(event);
    if (event->buttons() != Qt::NoButton)
        return; // zooming
    const int row = rowAtViewPos(event->position().toPoint());
    if (row < 0)
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPosition().toPoint(), pointText(row), this);
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
