#include "chart/trend_chart.h"

#include "chart/chart_axes.h"
#include "chart/chart_data.h"
#include "chart/lane_legend.h"
#include "record/reading_table.h"

#include <QApplication>
#include <QAreaSeries>
#include <QCategoryAxis>
#include <QCheckBox>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QGraphicsLayout>
#include <QImageWriter>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QValueAxis>

#include <algorithm>
#include <array>
#include <cmath>

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

// Why `folder` could not be made: the nearest part of its path that exists is a file, or a
// folder where no new one may be made.
QString folderFailure(const QString& folder) {
    QFileInfo up(QDir::cleanPath(folder));
    while (!up.exists() && !up.isRoot() && up.absolutePath() != up.absoluteFilePath())
        up = QFileInfo(up.absolutePath());
    const QString shown = QDir::toNativeSeparators(up.absoluteFilePath());
    if (up.exists() && !up.isDir())
        return QStringLiteral("%1 is a file, not a folder.").arg(shown);
    if (up.exists() && !up.isWritable())
        return QStringLiteral("No permission to create a folder in %1.").arg(shown);
    return QStringLiteral("The folder %1 cannot be created.").arg(QDir::toNativeSeparators(folder));
}

} // namespace

// ---- TrendChart

TrendChart::TrendChart(QWidget* parent) : QChartView(parent), folder_(defaultPictureFolder()) {
    initChartResources();
    setObjectName(QStringLiteral("Chtshow"));
    setUpChart();
    buildToolStrip();
    refreshTimer_ = new QTimer(this);
    refreshTimer_->setSingleShot(true);
    refreshTimer_->setInterval(0);
    connect(refreshTimer_, &QTimer::timeout, this, &TrendChart::showPage);
    paging_.setFullLastPage(view_ == View::Physical);
    now_ = [] { return QDateTime::currentDateTime(); };
}

TrendChart::~TrendChart() {
    // The view's scene outlives this part of the object: nothing it destroys may call back.
    for (QObject* sender : std::initializer_list<QObject*>{chart(), voltLane, axisX, axisOhm})
        sender->disconnect(this);
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
    auto* c = newChart();
    voltLane = newChart();
    // One ground for both lanes: the upper one fades to white, the lower one is white.
    voltLane->setBackgroundBrush(Qt::white);
    voltLane->setBackgroundPen(Qt::NoPen);
    voltLane->setTitle(QString());
    // The view lets go of the chart it made for itself: without a delete it would stay behind.
    QChart* made = chart();
    setChart(c);
    delete made;
    scene()->addItem(voltLane); // the scene owns it
    addAxes();
    voltLane->hide();

    // Series order matters: index 0 is the area, index 1 the line.
    Series2 = new TrendSeries(TrendSeries::Area, QStringLiteral("Series2"));
    Series1 = new TrendSeries(TrendSeries::Line, QStringLiteral("Series1"));
    for (TrendSeries* s : {Series2, Series1}) {
        s->addLane(c, axisX, axisY);
        s->addLane(c, axisX, axisOhm);
        // Volts in the colour of their axis.
        s->addLane(voltLane, axisVoltX, axisVolt,
                   s->kind() == TrendSeries::Area ? QColor(200, 224, 255) : QColor(), kVoltBlue);
    }
    legends_[0] = new LaneLegend(c);
    legends_[1] = new LaneLegend(voltLane);

    setRenderHint(QPainter::Antialiasing);
    setRubberBand(QChartView::RectangleRubberBand);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setBackgroundBrush(kSilver);
    viewport()->setCursor(Qt::CrossCursor);
    setMouseTracking(true);
}

void TrendChart::addAxes() {
    QChart* c = chart();
    axisY = new QValueAxis;
    axisY->setRange(kAxisMin, kAxisMax);
    withDynamicTicks(axisY, "%d");
    axisY->setTickAnchor(0);
    axisY->setTickInterval(5500);
    axisY->setMinorTickCount(4);
    axisY->setGridLinePen(QPen(kSilver, 1, Qt::DotLine));
    auto labelled = [](QCategoryAxis* axis) {
        axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        axis->setLabelsFont(arialPx(10));
        axis->setGridLinePen(QPen(kSilver, 1, Qt::DotLine));
    };
    axisX = new QCategoryAxis;
    labelled(axisX);
    axisOhm = new QCategoryAxis;
    labelled(axisOhm);
    axisOhm->setRange(kOhmDecadeLow, kOhmDecadeHigh);
    axisVoltX = new QCategoryAxis;
    labelled(axisVoltX);
    axisVolt = new QCategoryAxis;
    labelled(axisVolt);
    axisVolt->setLabelsColor(kVoltBlue);
    c->addAxis(axisX, Qt::AlignBottom);
    c->addAxis(axisY, Qt::AlignLeft);
    c->addAxis(axisOhm, Qt::AlignLeft);
    voltLane->addAxis(axisVoltX, Qt::AlignBottom);
    voltLane->addAxis(axisVolt, Qt::AlignLeft);
    // The labels follow the range, so a zoom into one decade still has some, and the lower
    // lane follows the upper one's X.
    connect(axisOhm, &QValueAxis::rangeChanged, this, &TrendChart::labelOhmAxis);
    connect(axisX, &QValueAxis::rangeChanged, this, &TrendChart::xRangeChanged);
    // A zoom or new labels lay a lane out anew: keep the lanes in line.
    for (QChart* lane : {chart(), voltLane})
        connect(lane, &QChart::plotAreaChanged, this, [this] {
            labelOhmAxis(); // as many as the lane has room for
            if (voltLane->isVisible())
                alignLanes();
            else
                placeLegends();
        });
    labelOhmAxis();
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

    countView = stripButton(this, {314, 3, 22, 21}, "countView", "Display Counts",
                            ":/chart/icons/counts.svg");
    countView->setCheckable(true);
    connect(countView, &QToolButton::toggled, this,
            [this](bool on) { setView(on ? View::Counts : View::Physical); });
    timeAxis = stripButton(this, {337, 3, 22, 21}, "timeAxis", "Elapsed Time",
                           ":/chart/icons/elapsed.svg");
    timeAxis->setCheckable(true);
    timeAxis->setChecked(true);
    connect(timeAxis, &QToolButton::toggled, this,
            [this](bool on) { setXAxis(on ? XAxis::ElapsedTime : XAxis::Rows); });
}

void TrendChart::setTable(ReadingTable* table) {
    for (const auto& c : tableLinks_)
        disconnect(c);
    tableLinks_.clear();
    table_ = table;
    plotFrom_ = 0;
    // Text ids are the table's own.
    unitScales_.clear();
    numbers_.clear();
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
            unitScales_.clear();
            numbers_.clear();
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
    for (; r.seen < rows; ++r.seen) {
        const Measurement::Quantity q = quantity(r.seen);
        r.ohmRows += q == Measurement::Resistance;
        r.voltRows += q == Measurement::Voltage;
    }
}

namespace {

// The entry of a cache by text id, made when first asked for.
template <typename T, typename Make>
const T& byTextId(std::vector<std::optional<T>>& cache, quint32 id, Make make) {
    if (id >= cache.size())
        cache.resize(std::max<size_t>(size_t(id) + 1, cache.size() * 2));
    std::optional<T>& slot = cache[id];
    if (!slot)
        slot = make();
    return *slot;
}

} // namespace

Measurement::Quantity TrendChart::quantity(int row) {
    const quint32 unit = table_->textId(row, ReadingTable::Unit);
    return byTextId(unitScales_, unit, [&] { return unitScale(table_->textById(unit)); }).quantity;
}

TrendChart::RowReading TrendChart::reading(int row) {
    const quint32 unit = table_->textId(row, ReadingTable::Unit);
    const UnitScale& scale =
        byTextId(unitScales_, unit, [&] { return unitScale(table_->textById(unit)); });
    if (scale.quantity == Measurement::NoQuantity)
        return {};
    const quint32 value = table_->textId(row, ReadingTable::Value);
    const std::optional<double>& number =
        byTextId(numbers_, value, [&] { return readingNumber(table_->textById(value)); });
    if (!number)
        return {scale.quantity, std::nullopt};
    return {scale.quantity, *number * scale.factor};
}

qint64 TrendChart::plottedRows() const {
    return table_ ? std::max(table_->rowCount() - plotFrom_, 0) : 0;
}

void TrendChart::tableChanged(bool follow, qint64 firstChanged) {
    plotFrom_ = table_ ? std::min(plotFrom_, table_->rowCount()) : 0;
    const qint64 before = paging_.page();
    paging_.setPointCount(plottedRows(), follow);
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
    // X is the row's place in the table, from 1, unless it is elapsed time.
    const double xFirst = rows == 0 ? 0 : double(plotFrom_ + first + 1);
    const qint64 count = rows == 0 ? 0 : std::min(slots, rows - first);
    origin_.reset();
    pageX_.clear();
    if (view_ == View::Counts)
        showCountPage(first, count, xFirst);
    else
        showPhysicalPage(first, count, xFirst);
    if (!origin_) {
        // The last page keeps the scale of a full page.
        double lo = xFirst;
        double hi = xFirst + double(slots - 1);
        if (hi <= lo) {
            lo -= 0.5;
            hi += 0.5;
        }
        setXRange(lo, hi);
    }
    updateFigures();
    layoutLanes();
}

void TrendChart::labelOhmAxis() {
    // The chart cuts a vertical axis' labels to "..." when they are less than about 20 pixels
    // apart.
    const double height = chart()->plotArea().height();
    const int room = height > 0 ? std::max(2, int(height / 21) + 1) : 100;
    setAxisLabels(axisOhm, ohmLabels(axisOhm->min(), axisOhm->max(), room));
}

void TrendChart::setXRange(double lo, double hi) {
    if (axisX->min() == lo && axisX->max() == hi)
        xRangeChanged(lo, hi); // the labels may change from rows to time all the same
    else
        axisX->setRange(lo, hi);
}

void TrendChart::xRangeChanged(double lo, double hi) {
    const QList<AxisLabel> labels = xLabels(lo, hi, origin_.has_value());
    setAxisLabels(axisX, labels);
    axisVoltX->setRange(lo, hi);
    setAxisLabels(axisVoltX, labels);
}

void TrendChart::showCountPage(qint64 first, qint64 count, double xFirst) {
    QList<QList<QPointF>> runs;
    if (count > 0) {
        const ReadingTable* t = table_;
        const int base = plotFrom_;
        runs = pageRuns([t, base](qint64 i) { return plotValueOf(t->value(int(base + i))); }, first,
                        count, xFirst, kMaxDrawnPoints);
    }
    for (TrendSeries* s : {Series2, Series1}) {
        s->setRuns(axisY, runs);
        s->setRuns(axisOhm, {});
        s->setRuns(axisVolt, {});
    }
    showAxis(axisOhm, false);
    showAxis(axisY, true);
    for (LaneLegend* l : legends_)
        l->set({}, {});
}

// One page of the physical view: the lanes' runs, what they span, the functions they show.
struct TrendChart::PhysicalPage {
    QList<QList<QList<QPointF>>> lanes{2}; // ohms (lane 0), volts (lane 1)
    double minOhms = 0, maxOhms = 0;       // over positive readings; 0 for none
    std::optional<double> minVolts, maxVolts;
    // The functions on each lane, in the order met: the legend names a few and counts the rest.
    static constexpr int kNamed = 2;
    static constexpr int kListed = 10;
    std::array<QList<quint32>, 2> functions;
};

void TrendChart::showPhysicalPage(qint64 first, qint64 count, double xFirst) {
    // X counts from the start of the insulation test on view, where there is one.
    const auto [a, n] = rowsOnView();
    const int run = xAxis_ == XAxis::ElapsedTime && n > 0 ? runs_.lastRunIn(a, a + n - 1) : -1;
    if (run >= 0)
        origin_ = table_->timeMs(runs_.runs()[size_t(run)].firstRow);

    PhysicalPage page;
    if (count > 0)
        page = physicalPage(first, count, xFirst);
    const double ohmFloor = fitPhysicalAxes(page);
    // Ohms to the log axis; a reading of zero lies on its floor.
    for (QList<QPointF>& r : page.lanes[0])
        for (QPointF& p : r)
            p.setY(p.y() > 0 ? std::log10(p.y()) : ohmFloor);
    for (TrendSeries* s : {Series2, Series1}) {
        s->setRuns(axisOhm, page.lanes[0]);
        s->setRuns(axisVolt, page.lanes[1]);
        s->setRuns(axisY, {});
    }
    showAxis(axisY, false);
    lanesShown_[0] = range_.ohmRows > 0 || range_.voltRows == 0;
    lanesShown_[1] = range_.voltRows > 0;
    showAxis(axisOhm, lanesShown_[0]);

    const QAbstractAxis* laneAxis[2] = {axisOhm, axisVolt};
    for (int k = 0; k < 2; ++k) {
        const QList<quint32>& functions = page.functions[size_t(k)];
        QStringList names;
        for (quint32 id : functions.first(std::min<qsizetype>(functions.size(), page.kNamed)))
            names << table_->textById(id);
        QString text = names.join(QStringLiteral(", "));
        if (functions.size() > page.kNamed)
            text += QStringLiteral(" +%1%2")
                        .arg(functions.size() - page.kNamed)
                        .arg(functions.size() == page.kListed ? QStringLiteral("…") : QString());
        const TrendSeries& active = Series2->isActive() ? *Series2 : *Series1;
        legends_[k]->set(active.lineColor(laneAxis[k]), text);
    }

    if (origin_) {
        // The X axis spans the page's times; a page not yet full keeps room for the rows to
        // come at the pace so far.
        double lo = qInf(), hi = -qInf();
        int timed = 0;
        for (double x : pageX_)
            if (!std::isnan(x)) {
                lo = std::min(lo, x);
                hi = std::max(hi, x);
                ++timed;
            }
        if (timed == 0) {
            lo = 0;
            hi = 1;
        }
        const qint64 slots = std::max<qint64>(paging_.slotsOnPage(), 1);
        const double pace = timed >= 2 ? std::max((hi - lo) / (timed - 1), 1e-3) : 1.0;
        hi = std::max(hi, lo + pace * double(slots - 1));
        // On a grid, so that the axis stays put while rows come in at a wavering pace.
        const double grid = clockStep(hi - lo, 20);
        hi = lo + std::ceil((hi - lo) / grid - 1e-9) * grid;
        if (hi <= lo)
            hi = lo + 1;
        setXRange(lo, hi);
    }
}

double TrendChart::fitPhysicalAxes(const PhysicalPage& page) {
    // Whole decades around the readings on view.
    double lo = kOhmDecadeLow;
    double hi = kOhmDecadeHigh;
    if (page.maxOhms > 0) {
        lo = std::floor(std::log10(page.minOhms) + 1e-9);
        hi = std::max(std::ceil(std::log10(page.maxOhms) - 1e-9), lo + 1);
    }
    axisOhm->setRange(lo, hi);
    double vlo = std::min(0.0, page.minVolts.value_or(0));
    double vhi = std::max(0.0, page.maxVolts.value_or(0));
    // As many labels as the lane has room for (as it was last laid out).
    const double laneHeight = voltLane->isVisible() ? voltLane->plotArea().height() : 100;
    const double vstep = niceStep(std::max(vhi - vlo, 1.0), std::clamp(int(laneHeight / 28), 1, 5));
    vlo = std::floor(vlo / vstep) * vstep;
    vhi = std::max(std::ceil(vhi / vstep) * vstep, vlo + vstep);
    axisVolt->setRange(vlo, vhi);
    setAxisLabels(axisVolt, voltLabels(vlo, vhi, vstep));
    return lo;
}

TrendChart::PhysicalPage TrendChart::physicalPage(qint64 first, qint64 count, double xFirst) {
    PhysicalPage page;
    const int base = plotFrom_;
    const std::optional<int> origin = origin_;
    pageFirstRow_ = int(base + first);
    if (origin)
        pageX_.assign(size_t(count), qQNaN());
    quint32 lastFunction[2] = {0, 0};
    page.lanes = laneRuns(
        [&](qint64 i) -> LanePoint {
            const int row = int(base + i);
            const RowReading r = reading(row);
            if (!r.value || (r.quantity == Measurement::Resistance && *r.value < 0))
                return {};
            LanePoint p{r.quantity == Measurement::Voltage ? 1 : 0, *r.value, std::nullopt};
            if (origin) {
                if (table_->isTimeNull(row))
                    return {};
                // Signed time from the test's start, across midnight either way.
                constexpr int kDay = 86'400'000;
                int ms = table_->timeMs(row) - *origin;
                if (ms > kDay / 2)
                    ms -= kDay;
                else if (ms < -kDay / 2)
                    ms += kDay;
                p.x = ms / 1000.0;
                pageX_[size_t(i - first)] = *p.x;
            }
            const quint32 function = table_->textId(row, ReadingTable::V_Range);
            if (function != lastFunction[p.lane]) {
                lastFunction[p.lane] = function;
                QList<quint32>& seen = page.functions[size_t(p.lane)];
                if (seen.size() < PhysicalPage::kListed && !seen.contains(function))
                    seen.append(function);
            }
            return p;
        },
        2, first, count, xFirst, kMaxDrawnPoints);
    for (const QList<QPointF>& r : page.lanes[0])
        for (const QPointF& p : r)
            if (p.y() > 0) {
                page.minOhms = page.maxOhms > 0 ? std::min(page.minOhms, p.y()) : p.y();
                page.maxOhms = std::max(page.maxOhms, p.y());
            }
    for (const QList<QPointF>& r : page.lanes[1])
        for (const QPointF& p : r) {
            page.minVolts = std::min(page.minVolts.value_or(p.y()), p.y());
            page.maxVolts = std::max(page.maxVolts.value_or(p.y()), p.y());
        }
    return page;
}

void TrendChart::setView(View view) {
    view_ = view;
    const QSignalBlocker quiet(countView);
    countView->setChecked(view == View::Counts);
    timeAxis->setEnabled(view == View::Physical);
    // The physical view follows new rows with a full last page; the count view pages as ever.
    paging_.setFullLastPage(view == View::Physical);
    showPage();
}

void TrendChart::setXAxis(XAxis axis) {
    xAxis_ = axis;
    const QSignalBlocker quiet(timeAxis);
    timeAxis->setChecked(axis == XAxis::ElapsedTime);
    showPage();
}

void TrendChart::setPointsPerPage(int points) {
    Maxrecord->setText(QString::number(points));
}

bool TrendChart::fill() const {
    return BtFill->isChecked();
}

void TrendChart::setFill(bool fill) {
    BtFill->setChecked(fill);
    BtFillClick();
}

std::optional<InsulationRun> TrendChart::insulationRunOnView() const {
    if (figuresRun_ < 0 || size_t(figuresRun_) >= runs_.runs().size())
        return std::nullopt;
    return runs_.runs()[size_t(figuresRun_)];
}

QString TrendChart::legendText(int lane) const {
    return lane >= 0 && lane < 2 && legends_[lane]->isVisible() ? legends_[lane]->text()
                                                                : QString();
}

bool TrendChart::voltLaneShown() const {
    return view_ == View::Physical && lanesShown_[1];
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
    // Figures change only while the run is young; the meter's own result comes in the row
    // after the run's last.
    const bool rowAfter = table_->rowCount() > run.lastRow + 1;
    if (run.firstRow == figuresOf_.firstRow && rowAfter == figuresRowAfter_ &&
        (run.lastRow == figuresOf_.lastRow || figuresOf_.durationMs > kFiguresSettleMs))
        return;
    figuresOf_ = run;
    figuresRowAfter_ = rowAfter;
    const InsulationFigures f = insulationFigures(*table_, run);
    const std::optional<double> meterPi = meterPiResult(*table_, run);
    const QString start = clockText(table_->timeMs(run.firstRow));
    QString tip = figuresTip(run, f, start);
    QString text =
        QStringLiteral("Test %1   DAR %2   PI %3").arg(start, ratioText(f.dar), ratioText(f.pi));
    if (meterPi) {
        text += QStringLiteral("   Meter PI ") + ratioText(meterPi);
        tip +=
            QStringLiteral("\nPI shown by the meter at the end of the test: ") + ratioText(meterPi);
    }
    if (text == figures->text() && tip == figures->toolTip() && !figures->isHidden())
        return;
    figures->setText(text);
    figures->setToolTip(tip);
    figures->adjustSize();
    figures->show();
    layoutStrip();
}

std::pair<int, int> TrendChart::rowsOnView() const {
    const qint64 rows = plottedRows();
    if (!table_ || rows <= 0)
        return {plotFrom_, 0};
    const qint64 first = paging_.firstPointOnPage();
    const qint64 count = std::min<qint64>(std::max<qint64>(paging_.slotsOnPage(), 1), rows - first);
    return {int(plotFrom_ + first), int(std::max<qint64>(count, 0))};
}

int TrendChart::runToShow() const {
    const auto [a, count] = rowsOnView();
    if (count <= 0)
        return -1;
    const int run = runs_.lastRunIn(a, a + count - 1);
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
    constexpr int kBeside = 364;
    bool secondLine = false;
    if (!figures->isHidden()) {
        const int w = figures->width();
        secondLine = width() - kBeside - 6 < w;
        if (secondLine)
            figures->move(std::max(2, width() - w - 10), 26);
        else
            figures->move(kBeside, 7);
    }
    stripHeight_ = secondLine ? 30 : 16;
    layoutLanes();
}

void TrendChart::layoutLanes() {
    QChart* upper = chart();
    const QRectF all(QPointF(0, 0), QSizeF(viewport()->size()));
    const bool counts = view_ == View::Counts;
    const bool ohms = counts || lanesShown_[0], volts = !counts && lanesShown_[1];
    axisX->setLabelsVisible(!volts);
    if (volts && !voltLane->isVisible()) {
        voltLane->show();
        measureLabelsAgain(axisVolt);
        measureLabelsAgain(axisVoltX);
    }
    voltLane->setVisible(volts);
    for (int k = 0; k < 2; ++k)
        legends_[k]->setVisible(!counts && lanesShown_[k] && !legends_[k]->text().isEmpty());
    if (!volts) {
        upper->setGeometry(all);
        setLaneMargins(upper, QMargins(1, stripHeight_, 6, 1));
        placeLegends();
        return;
    }
    // The resistance lane takes most of the height; without resistances it shrinks to the strip.
    const double stripAndTitle = stripHeight_ + 16;
    const double xLabels = 20;
    const double free = std::max(all.height() - stripAndTitle - xLabels, 20.0);
    const double upperHeight =
        ohms ? stripAndTitle + std::round(free * 0.58) : std::min(stripAndTitle, all.height() / 2);
    upper->setGeometry(QRectF(0, 0, all.width(), upperHeight));
    voltLane->setGeometry(QRectF(0, upperHeight, all.width(), all.height() - upperHeight));
    setLaneMargins(upper, QMargins(1, stripHeight_, 6, 4));
    setLaneMargins(voltLane, QMargins(1, 4, 6, 1));
    alignLanes();
}

void TrendChart::setLaneMargins(QChart* lane, const QMargins& margins) {
    laneMargins_[lane == voltLane] = margins;
    // Beside the plot, two lanes keep the margins that align them (see alignLanes).
    QMargins m = margins;
    if (voltLane->isVisible()) {
        m.setLeft(lane->margins().left());
        m.setRight(lane->margins().right());
    }
    if (lane->margins() != m)
        lane->setMargins(m);
}

void TrendChart::alignLanes() {
    // Each lane lays itself out around its own labels; widen the margins of the one whose plot
    // starts further left (or ends further right), so that one X is one place in both.
    if (aligning_ || !voltLane->isVisible() || !legends_[0])
        return;
    aligning_ = true;
    QChart* lanes[2] = {chart(), voltLane};
    double labels[2], rightLabels[2]; // what each lane's axes take beside its plot
    double left = 0, right = 0;
    for (int k = 0; k < 2; ++k) {
        const QRectF p = lanes[k]->plotArea();
        const QMargins m = lanes[k]->margins();
        labels[k] = p.left() - m.left();
        rightLabels[k] = lanes[k]->size().width() - m.right() - p.right();
        left = std::max(left, laneMargins_[k].left() + labels[k]);
        right = std::max(right, laneMargins_[k].right() + rightLabels[k]);
    }
    for (int k = 0; k < 2; ++k) {
        QMargins m = lanes[k]->margins();
        m.setLeft(int(std::round(left - labels[k])));
        m.setRight(int(std::round(right - rightLabels[k])));
        if (lanes[k]->margins() != m) {
            lanes[k]->setMargins(m);
            lanes[k]->layout()->activate();
        }
    }
    aligning_ = false;
    placeLegends();
}

void TrendChart::placeLegends() {
    if (!legends_[0])
        return; // still being made
    legends_[0]->setPos(chart()->plotArea().topLeft() + QPointF(3, 3));
    legends_[1]->setPos(voltLane->plotArea().topLeft() + QPointF(3, 3));
}

void TrendChart::showAxis(QAbstractAxis* axis, bool show) {
    if (axis->isVisible() == show)
        return;
    axis->setVisible(show);
    if (show)
        measureLabelsAgain(axis);
}

void TrendChart::showEvent(QShowEvent* event) {
    QChartView::showEvent(event);
    // Labels measured while the chart was never shown are measured as empty.
    for (QAbstractAxis* axis :
         {static_cast<QAbstractAxis*>(axisX), static_cast<QAbstractAxis*>(axisY),
          static_cast<QAbstractAxis*>(axisOhm), static_cast<QAbstractAxis*>(axisVoltX),
          static_cast<QAbstractAxis*>(axisVolt)})
        if (axis->isVisible())
            measureLabelsAgain(axis);
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
    // The legends' swatches in the colours of the series shown.
    const QAbstractAxis* laneAxis[2] = {axisOhm, axisVolt};
    for (int k = 0; k < 2; ++k)
        legends_[k]->set(series(index).lineColor(laneAxis[k]), legends_[k]->text());
}

void TrendChart::BtFillClick() {
    ShowSeries(BtFill->isChecked() ? 0 : 1);
}

void TrendChart::BtNewClick() {
    // Clearing the chart leaves the table alone: rows recorded from now on are plotted.
    plotFrom_ = table_ ? table_->rowCount() : 0;
    track(false);
    paging_.setPointCount(0, false);
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
    const bool saved = SavedChartWidth > 0 && SavedChartHeight > 0;
    if (now.top() <= 50 && saved) {
        TbFd->show();
        TbSx->hide();
        setFormBounds(QRect(SavedChartLeft, SavedChartTop, SavedChartWidth, SavedChartHeight));
        return;
    }
    TbFd->hide();
    TbSx->show();
    SavedChartTop = now.top();
    SavedChartLeft = now.left();
    SavedChartHeight = now.height();
    SavedChartWidth = now.width();
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
    // A fresh installation has no pictures folder yet.
    if (!QDir().mkpath(folder_)) {
        reason = folderFailure(folder_);
    } else if (!file.open(QIODevice::WriteOnly)) {
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
    if (origin_) {
        // The row on view whose time is nearest.
        int best = -1;
        double bestDistance = qInf();
        for (size_t i = 0; i < pageX_.size(); ++i) {
            const double d = std::abs(pageX_[i] - x);
            if (d < bestDistance) { // false for NaN
                bestDistance = d;
                best = int(i);
            }
        }
        return best < 0 ? -1 : pageFirstRow_ + best;
    }
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
    // A text table reads an empty unit back as "NULL": no unit either way.
    const QString& unit = table_->unit(row);
    if (!unit.isEmpty() && unit != u"NULL")
        held += u' ' + unit;
    parts << held;
    return parts.join(QStringLiteral(" \u00B7 "));
}

std::optional<double> TrendChart::xAtViewPos(const QPoint& pos) const {
    for (const QChart* lane :
         {static_cast<const QChart*>(chart()), static_cast<const QChart*>(voltLane)}) {
        if (!lane->isVisible())
            continue;
        const QPointF at = lane->mapFromScene(mapToScene(pos));
        const QRectF plot = lane->plotArea();
        if (plot.contains(at) && plot.width() > 0)
            return axisX->min() +
                   (at.x() - plot.left()) / plot.width() * (axisX->max() - axisX->min());
    }
    return std::nullopt;
}

int TrendChart::rowAtViewPos(const QPoint& pos) const {
    const std::optional<double> x = xAtViewPos(pos);
    return x ? rowAtX(*x) : -1;
}

QRect TrendChart::pointColumn(int row) const {
    const double x = origin_ ? pageX_.at(size_t(row - pageFirstRow_)) : double(row + 1);
    const QRectF plot = chart()->plotArea();
    const double span = axisX->max() - axisX->min();
    if (!std::isfinite(x) || span <= 0)
        return {};
    const double at = plot.left() + (x - axisX->min()) / span * plot.width();
    const int px = mapFromScene(chart()->mapToScene(QPointF(at, plot.top()))).x();
    const qint64 slots = std::max<qint64>(paging_.slotsOnPage(), 1);
    const int half = std::max(4, int(plot.width() / double(slots) / 2));
    return QRect(px - half, 0, 2 * half + 1, viewport()->height());
}

void TrendChart::mouseMoveEvent(QMouseEvent* event) {
    QChartView::mouseMoveEvent(event);
    if (event->buttons() != Qt::NoButton)
        return; // zooming
    const QPoint pos = event->position().toPoint();
    const int row = rowAtViewPos(pos);
    if (row < 0) {
        QToolTip::hideText();
        return;
    }
    // The tip stays while the pointer is on the point's column, however long that is and
    // whatever the chart draws meanwhile.
    constexpr int kTipStaysMs = 24 * 3600 * 1000;
    QToolTip::showText(event->globalPosition().toPoint(), pointText(row), viewport(),
                       pointColumn(row), kTipStaysMs);
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
