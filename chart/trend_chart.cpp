#include "chart/trend_chart.h"

#include "chart/chart_axes.h"
#include "chart/lane_legend.h"
#include "chart/test_marks.h"
#include "record/reading_table.h"
#include "record/test_model.h"

#include <QApplication>
#include <QCategoryAxis>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

static void initChartResources() {
    Q_INIT_RESOURCE(chart);
}

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
    setTests(nullptr);
    delete Series1;
    delete Series2;
}

// ---- What is plotted

void TrendChart::setTests(TestModel* tests) {
    for (const auto& c : links_)
        disconnect(c);
    links_.clear();
    tests_ = tests;
    table_ = tests ? &tests->table() : nullptr;
    plotFrom_ = 0;
    followOpen_ = false;
    pickedRow_.reset();
    if (tests_) {
        // The model takes each change in before the chart hears of it: it was made first.
        const ReadingTable* t = table_;
        links_ << connect(t, &ReadingTable::rowsAppended, this, [this](int first, int) {
            track(false);
            tableChanged(true, first);
        });
        links_ << connect(t, &ReadingTable::rowsRemoved, this, [this](int first, int last) {
            if (first < plotFrom_)
                plotFrom_ -= std::min(last, plotFrom_ - 1) - first + 1;
            track(true);
            tableChanged(false, first);
        });
        links_ << connect(t, &ReadingTable::tableReset, this, [this] {
            plotFrom_ = 0;
            track(true);
            tableChanged(false, 0);
        });
        links_ << connect(tests_, &TestModel::changed, this, &TrendChart::testsChanged);
        links_ << connect(tests_, &TestModel::reset, this, &TrendChart::testsReset);
        links_ << connect(tests_, &QObject::destroyed, this, [this] {
            for (const auto& c : links_)
                disconnect(c);
            links_.clear();
            tests_ = nullptr;
            table_ = nullptr;
            track(true);
            tableChanged(false, 0);
        });
    }
    testsReset();
    track(true);
    tableChanged(false, 0);
}

void TrendChart::track(bool afresh) {
    if (afresh || !table_) {
        timeline_.reset(table_, plotFrom_);
        figuresOf_ = InsulationRun{-1, -1, 0};
        range_ = PlotRange{plotFrom_, 0, 0};
        if (!table_)
            return;
    } else {
        timeline_.extend();
    }
    PlotRange& r = range_;
    for (; r.seen < table_->rowCount(); ++r.seen) {
        const UnitScale::Quantity q = scaleOf(table_->unitKind(r.seen)).quantity;
        r.ohmRows += q == UnitScale::Resistance;
        r.voltRows += q == UnitScale::Voltage;
    }
}

qint64 TrendChart::plottedRows() const {
    return table_ ? std::max(table_->rowCount() - plotFrom_, 0) : 0;
}

std::pair<int, int> TrendChart::rowsOnView() const {
    const qint64 rows = plottedRows();
    if (!table_ || rows <= 0)
        return {plotFrom_, 0};
    const qint64 first = paging_.firstPointOnPage();
    const qint64 count = std::min<qint64>(std::max<qint64>(paging_.slotsOnPage(), 1), rows - first);
    return {int(plotFrom_ + first), int(std::max<qint64>(count, 0))};
}

// ---- The tests

void TrendChart::testsChanged(int first) {
    if (!tests_)
        return;
    // A test that begins while rows come in is the one to watch, whatever was picked before.
    const int open = tests_->openRun();
    if (open >= 0 && open >= first && tests_->run(open).firstRow >= table_->rowCount() - 1) {
        followOpen_ = true;
        pickedRow_.reset();
    } else if (open >= 0 && !pickedRow_) {
        followOpen_ = true;
    }
    fillTestList();
}

void TrendChart::testsReset() {
    // The rows were changed as a whole (a file loaded, rows deleted): nothing is in progress.
    followOpen_ = false;
    fillTestList();
}

int TrendChart::shownTest() const {
    if (!tests_ || tests_->count() == 0)
        return -1;
    auto plotted = [this](int i) { return i >= 0 && tests_->run(i).lastRow >= plotFrom_; };
    const int open = tests_->openRun();
    if (followOpen_ && plotted(open))
        return open;
    if (pickedRow_) {
        const int i = tests_->runs().runOf(*pickedRow_);
        if (i >= 0 && tests_->run(i).firstRow == *pickedRow_ && plotted(i))
            return i;
    }
    const int last = tests_->count() - 1;
    return plotted(last) ? last : -1;
}

bool TrendChart::showsOneTest() const {
    return view_ == View::Physical && xAxis_ == XAxis::ElapsedTime && shownTest() >= 0;
}

void TrendChart::showTest(int test) {
    if (!tests_ || test < 0 || test >= tests_->count())
        return;
    pickedRow_ = tests_->run(test).firstRow;
    followOpen_ = test == tests_->openRun();
    if (view_ != View::Physical || xAxis_ != XAxis::ElapsedTime)
        setXAxis(XAxis::ElapsedTime); // picking a test is asking to see it
    else
        showPage();
}

std::optional<InsulationRun> TrendChart::insulationRunOnView() const {
    if (!tests_ || figuresRun_ < 0 || figuresRun_ >= tests_->count())
        return std::nullopt;
    return tests_->run(figuresRun_);
}

// ---- Following the table

void TrendChart::tableChanged(bool follow, qint64 firstChanged) {
    plotFrom_ = table_ ? std::min(plotFrom_, table_->rowCount()) : 0;
    const qint64 before = paging_.page();
    paging_.setPointCount(plottedRows(), follow);
    if (showsOneTest()) {
        // The test on view is redrawn when it is another one, or when it grew.
        const int test = shownTest();
        const InsulationRun& run = tests_->run(test);
        if (test != page_.test || page_.x != ChartPage::X::Elapsed ||
            page_.firstRow != run.firstRow || page_.firstRow + page_.rows <= run.lastRow ||
            firstChanged <= run.lastRow)
            showPage();
        else
            updateFigures();
        return;
    }
    if (paging_.page() != before) {
        Bt10->setText(QString::number(paging_.page()));
        showPage();
        return;
    }
    const qint64 pageEnd = paging_.firstPointOnPage() + paging_.slotsOnPage();
    if (paging_.slotsOnPage() > kMaxDrawnPoints)
        refreshTimer_->start(); // many changes in a row redraw a large page once
    else if (firstChanged - plotFrom_ < pageEnd || plottedRows() <= 1 ||
             page_.x == ChartPage::X::Elapsed)
        showPage();
    updateFigures();
}

// ---- Drawing a page

void TrendChart::showPage() {
    refreshTimer_->stop();
    chart()->zoomReset();
    if (view_ == View::Counts)
        drawCountPage();
    else
        drawPhysicalPage();
    enablePaging();
    updateFigures();
    layoutLanes();
}

void TrendChart::drawCountPage() {
    const qint64 rows = plottedRows();
    const qint64 first = paging_.firstPointOnPage();
    const qint64 slots = std::max<qint64>(paging_.slotsOnPage(), 1);
    const qint64 count = rows == 0 ? 0 : std::min(slots, rows - first);
    page_ = table_ ? countPage(*table_, int(plotFrom_ + first), int(count), kMaxDrawnPoints)
                   : ChartPage{};
    QList<PlotRun> runs;
    for (const ChartPage::Piece& p : page_.pieces)
        runs.append(PlotRun{p.points, {}, {}});
    for (TrendSeries* s : {Series2, Series1}) {
        s->setRuns(axisY, runs);
        s->setRuns(axisOhm, {});
        s->setRuns(axisVolt, {});
    }
    showAxis(axisOhm, false);
    showAxis(axisY, true);
    lanesShown_[0] = true;
    lanesShown_[1] = false;
    marks_->setReached(-1);
    for (LaneLegend* l : legends_)
        l->set({});
    // The last page keeps the scale of a full page.
    const double xFirst = rows == 0 ? 0 : double(plotFrom_ + first + 1);
    double lo = xFirst;
    double hi = xFirst + double(slots - 1);
    if (hi <= lo) {
        lo -= 0.5;
        hi += 0.5;
    }
    setXRange(lo, hi);
}

void TrendChart::drawPhysicalPage() {
    const int test = showsOneTest() ? shownTest() : -1;
    if (test >= 0) {
        page_ = elapsedPage(*tests_, test, kMaxDrawnPoints, plotFrom_);
    } else if (tests_) {
        const auto [a, n] = rowsOnView();
        page_ = clockPage(*tests_, timeline_, a, n, std::max<qint64>(paging_.slotsOnPage(), 1),
                          kMaxDrawnPoints);
    } else {
        page_ = ChartPage{};
        page_.x = ChartPage::X::Clock;
    }
    const double ohmFloor = fitPhysicalAxes(page_);
    QList<PlotRun> lanes[2][2]; // [series][lane]
    const TrendSeries* series[2] = {Series2, Series1};
    for (const ChartPage::Piece& p : page_.pieces) {
        const int lane = std::clamp(p.lane, 0, 1);
        const QColor colour = table_ && p.function ? functionColour(*table_, p.function) : QColor();
        for (int k = 0; k < 2; ++k) {
            PlotRun run = series[k]->coloured(lane == 0 ? axisOhm : axisVolt, colour);
            if (!colour.isValid())
                run = PlotRun{};
            run.points = p.points;
            if (lane == 0) // ohms to the log axis; a reading of zero lies on its floor
                for (QPointF& pt : run.points)
                    pt.setY(pt.y() > 0 ? std::log10(pt.y()) : ohmFloor);
            lanes[k][lane].append(std::move(run));
        }
    }
    for (int k = 0; k < 2; ++k) {
        TrendSeries* s = k == 0 ? Series2 : Series1;
        s->setRuns(axisOhm, lanes[k][0]);
        s->setRuns(axisVolt, lanes[k][1]);
        s->setRuns(axisY, {});
    }
    showAxis(axisY, false);
    lanesShown_[0] = test >= 0 || range_.ohmRows > 0 || range_.voltRows == 0;
    lanesShown_[1] = test < 0 && range_.voltRows > 0;
    showAxis(axisOhm, lanesShown_[0]);

    for (int lane = 0; lane < 2; ++lane) {
        QList<LaneLegend::Entry> entries;
        for (const ChartPage::LegendEntry& e : page_.legend)
            if (e.lane == lane)
                entries.append({table_ ? functionColour(*table_, e.function) : QColor(), e.text});
        if (page_.hiddenEntries[lane] > 0)
            entries.append({QColor(), tr("+%n more", nullptr, page_.hiddenEntries[lane])});
        legends_[lane]->set(entries);
    }

    double lo = page_.xLo, hi = page_.xHi;
    if (page_.x == ChartPage::X::Elapsed) {
        // From 0:00 to the test's end. While it grows, the axis goes by a few steps that a test
        // reaches (so that it stays put most of the time); a test that is over ends its axis on a
        // grid close to its end.
        lo = 0;
        if (test == tests_->openRun() && followOpen_) {
            static constexpr double kLadder[] = {30,   60,   120,  180,  300,   600,   900,
                                                 1200, 1800, 3600, 7200, 14400, 28800, 86400};
            double top = std::ceil(hi / 86400) * 86400; // past the ladder: whole days
            for (double step : kLadder)
                if (step >= hi - 1e-9) {
                    top = step;
                    break;
                }
            hi = top;
        } else {
            const double grid = clockStep(std::max(hi, 30.0), 6);
            hi = std::max(std::ceil(hi / grid - 1e-9) * grid, grid);
        }
        marks_->setReached(page_.xHi);
    } else {
        // The axis of a page stays while the page's rows fit it (the page fills as rows come).
        const double grid = clockStep(std::max(hi - lo, 1.0), 20);
        hi = lo + std::max(std::ceil((hi - lo) / grid - 1e-9), 1.0) * grid;
        if (axisX->min() == lo && axisX->max() >= page_.dataHi && axisX->max() <= hi * 1.5 &&
            labelledFor_.x == ChartPage::X::Clock)
            hi = axisX->max();
        marks_->setReached(-1);
    }
    setXRange(lo, hi);
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

void TrendChart::enablePaging() {
    // One test whole has no pages.
    const bool paged = !(page_.x == ChartPage::X::Elapsed);
    const auto& b = paging_.buttons();
    BtFirst->setEnabled(paged && b.first);
    BTPrevious->setEnabled(paged && b.previous);
    BtNext->setEnabled(paged && b.next);
    BTlast->setEnabled(paged && b.last);
    Maxrecord->setEnabled(paged);
    Bt10->setEnabled(paged);
    const bool list = view_ == View::Physical && xAxis_ == XAxis::ElapsedTime;
    if (testList->isHidden() == list) {
        testList->setVisible(list);
        layoutStrip();
    }
    if (list) {
        const QSignalBlocker quiet(testList);
        testList->setCurrentIndex(page_.test >= listFrom_ ? page_.test - listFrom_ : -1);
    }
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

QString TrendChart::legendText(int lane) const {
    return lane >= 0 && lane < 2 && legends_[lane]->isVisible() ? legends_[lane]->text()
                                                                : QString();
}

bool TrendChart::voltLaneShown() const {
    return view_ == View::Physical && lanesShown_[1];
}

// ---- Handlers

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
    track(true);
    fillTestList();
    paging_.setPointCount(0, false);
    showPage();
    ShowSeries(0);
    ShowSeries(BtFill->isChecked() ? 0 : 1);
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
