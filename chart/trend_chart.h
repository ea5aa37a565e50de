#pragma once

#include "chart/chart_page.h"
#include "chart/chart_paging.h"
#include "chart/chart_timeline.h"
#include "chart/trend_series.h"
#include "record/insulation_runs.h"

#include <QChartView>
#include <QDateTime>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QAbstractAxis;
class QCategoryAxis;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QToolButton;
class QValueAxis;
class LaneLegend;
class ReadingTable;
class TestMarks;
class TestModel;

// The trend chart `Chtshow` with its tool strip: fill switch, points per page, save the page as
// a bitmap, clear, four paging buttons with the page number, enlarge/restore, the switches of the
// view and of the X axis, the list of the table's tests, and the figures of the test on view. It
// draws the rows of a reading table and the tests that a TestModel finds in them, and follows
// their changes.
//
// Physical view (the default): two lanes over one X axis, resistance on a logarithmic axis fitted
// to the readings on view in whole decades, and below it voltage (shown once the plotted rows
// hold any). Each test is a piece of curve of its own, coloured by its function and named in the
// legend by its start time and function; so is each stretch of one function outside the tests.
// With "Elapsed Time" on, the chart shows one test whole from 0:00, with marks at 30 s, 1 min
// and 10 min where it reached them: the test in progress while recording, else the one picked
// from the list, else the last. With it off, X is the clock, and the page's rows are drawn in
// order, paged by points per page.
// Count view: every reading as the display counts it on the fixed -11000..11000 axis, over row
// numbers, paged.
class TrendChart : public QChartView {
    Q_OBJECT
public:
    static constexpr int kAxisMin = -11000;
    static constexpr int kAxisMax = 11000;
    // Without readings on view, the resistance axis spans 100 kΩ .. 1 TΩ (as log10 of ohms),
    // like the meter's bar graph.
    static constexpr double kOhmDecadeLow = 5;
    static constexpr double kOhmDecadeHigh = 12;

    enum class View { Physical, Counts };
    // What the physical view's X axis shows.
    enum class XAxis { ElapsedTime, Clock };
    // A page with more points than this is drawn thinned (lowest and highest of neighbours).
    static constexpr int kMaxDrawnPoints = 4000;

    // What the chart tells the user: an information box, or the framework's error box.
    using MessageSink = std::function<void(bool error, const QString& text)>;

    explicit TrendChart(QWidget* parent = nullptr);
    ~TrendChart() override;

    // Where the chart stood before it was enlarged over the window (all 0 until then).
    qint32 SavedChartWidth = 0;
    qint32 SavedChartHeight = 0;
    qint32 SavedChartTop = 0;
    qint32 SavedChartLeft = 0;

    // The tests to draw, with their table (not owned); nullptr draws nothing.
    void setTests(TestModel* tests);
    TestModel* tests() const { return tests_; }
    const ReadingTable* table() const { return table_; }

    void setMessageSink(MessageSink sink) { tell_ = std::move(sink); }
    void setClock(std::function<QDateTime()> now) { now_ = std::move(now); }
    // The folder pictures are saved in, ending in a separator.
    static QString defaultPictureFolder();
    void setPictureFolder(const QString& folder) { folder_ = folder; }
    const QString& pictureFolder() const { return folder_; }

    // Start-up: the clear operation without a page-size change, then 100 points a page.
    void startUp();

    // Settings a user expects to find again.
    View view() const { return view_; }
    void setView(View view);
    XAxis xAxis() const { return xAxis_; }
    void setXAxis(XAxis axis);
    int pointsPerPage() const { return paging_.pointsPerPage(); }
    // Through the points-per-page field, as if typed; a negative number is refused.
    void setPointsPerPage(int points);
    bool fill() const;
    // Ticks the fill switch and shows the series it chooses.
    void setFill(bool fill);

    // The test on view (a TestModel index), or -1: in the elapsed view the test shown, else the
    // last test with a row on the page on view, else the last one plotted. Its figures are on
    // the strip.
    int runOnView() const { return figuresRun_; }
    std::optional<InsulationRun> insulationRunOnView() const;
    // Shows test `test` in the elapsed view, as picking it from the list does.
    void showTest(int test);
    // What the page on view shows.
    const ChartPage& page() const { return page_; }
    // The legend of a lane (0: resistance, 1: voltage), one line an entry; empty when hidden.
    QString legendText(int lane) const;
    // Whether the voltage lane is shown (the physical view of rows that hold volts).
    bool voltLaneShown() const;

    // Handlers.
    void ShowSeries(int index);
    void BtFillClick();
    void BtNewClick();
    void MaxrecordChange();
    void BtFirstClick();
    void BTPreviousClick();
    void BtNextClick();
    void BTlastClick();
    void TbSxClick();
    void BtSaveClick();

    const ChartPaging& paging() const { return paging_; }
    TrendSeries& series(int index) { return index == 0 ? *Series2 : *Series1; }
    // The bounds as the form sees them: relative to the visible part of a scrolling parent.
    QRect formBounds() const;
    void setFormBounds(const QRect& r);
    // The view that would be written to a picture file.
    QImage renderPicture();
    // Redraws the page now (table changes that touch a thinned page are redrawn later).
    void refresh() { showPage(); }
    // The table row that a point at X shows on the page on view, or -1.
    int rowAtX(double x) const;
    // Tooltip text of a table row: its number, time, value and unit ("No 6 · 06:27:19 ·
    // 2.961 GΩ"), what the row held even where the plot has a gap.
    QString pointText(int row) const;
    // The table row under a point of the view, or -1.
    int rowAtViewPos(const QPoint& pos) const;
    // The X value under a point of the view, where it lies on a lane's plot.
    std::optional<double> xAtViewPos(const QPoint& pos) const;
    // The part of the view in which the pointer is on a row's point (in viewport coordinates).
    QRect pointColumn(int row) const;

    // Components, by their names.
    QFrame* Bevel1 = nullptr;
    QCheckBox* BtFill = nullptr;
    QLineEdit* Maxrecord = nullptr;
    QToolButton* BtSave = nullptr;
    QToolButton* BtNew = nullptr;
    QToolButton* BtFirst = nullptr;
    QToolButton* BTPrevious = nullptr;
    QPushButton* Bt10 = nullptr;
    QToolButton* BtNext = nullptr;
    QToolButton* BTlast = nullptr;
    QToolButton* TbFd = nullptr;
    QToolButton* TbSx = nullptr;
    QToolButton* countView = nullptr;   // checked: the count view
    QToolButton* timeAxis = nullptr;    // checked: one test in elapsed time
    QComboBox* testList = nullptr;      // the tests, for the elapsed view
    QLabel* figures = nullptr;          // DAR and PI of the test on view
    TrendSeries* Series2 = nullptr;     // index 0, area
    TrendSeries* Series1 = nullptr;     // index 1, line
    QCategoryAxis* axisX = nullptr;     // rows, elapsed or clock seconds, in chart() (upper lane)
    QValueAxis* axisY = nullptr;        // counts
    QCategoryAxis* axisOhm = nullptr;   // log10 of ohms, labelled 100 kΩ .. 1 TΩ
    QChart* voltLane = nullptr;         // the lower lane, below chart()
    QCategoryAxis* axisVoltX = nullptr; // its X axis, in step with axisX
    QCategoryAxis* axisVolt = nullptr;  // volts

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The tool strip (chart_strip.cpp).
    void buildToolStrip();
    void buildPageSizeControls();
    void buildPagingButtons();
    void buildViewButtons();
    void layoutStrip();
    void fillTestList();
    void updateFigures();
    QString figuresTip(const InsulationRun& run, const InsulationFigures& figures,
                       const QString& start) const;
    // The lanes (chart_lanes.cpp).
    void setUpChart();
    void addAxes();
    void labelOhmAxis();
    // Fits the resistance and voltage axes to the page; returns the ohm axis' floor.
    double fitPhysicalAxes(const ChartPage& page);
    void showAxis(QAbstractAxis* axis, bool show);
    void setXRange(double lo, double hi);
    void xRangeChanged(double lo, double hi);
    void layoutLanes();
    void setLaneMargins(QChart* lane, const QMargins& margins);
    void alignLanes();
    void placeLegends();
    // The page (trend_chart.cpp).
    void afterPaging();
    void showPage();
    void drawCountPage();
    void drawPhysicalPage();
    void tableChanged(bool follow, qint64 firstChanged);
    void testsChanged(int first);
    void testsReset();
    void track(bool afresh);
    int shownTest() const;
    bool showsOneTest() const;
    qint64 plottedRows() const;
    std::pair<int, int> rowsOnView() const;
    void enablePaging();
    void tell(bool error, const QString& text);

    TestModel* tests_ = nullptr;
    const ReadingTable* table_ = nullptr;
    QList<QMetaObject::Connection> links_;
    ChartPaging paging_;
    ChartTimeline timeline_;
    ChartPage page_;
    // Rows before this one are not plotted: "Delete Graphic" clears the chart, not the table.
    int plotFrom_ = 0;
    View view_ = View::Physical;
    XAxis xAxis_ = XAxis::ElapsedTime;
    // The elapsed view's test: the one in progress while recording, else the one picked (by its
    // first row, which stays when the tests are found afresh), else the last.
    bool followOpen_ = false;
    std::optional<int> pickedRow_;
    int listedTests_ = 0; // entries of testList, the tests from listFrom_ on
    int listFrom_ = 0;

    // What the plotted rows measure, for the lanes of the physical view: kept up as rows arrive.
    struct PlotRange {
        int seen = 0; // rows taken in
        qint64 ohmRows = 0, voltRows = 0;
    } range_;
    bool lanesShown_[2] = {true, false};
    int stripHeight_ = 16;    // the tool strip over the top edge, and what lies below it
    QMargins laneMargins_[2]; // each lane's own, before the lanes are aligned
    bool aligning_ = false;
    struct LaneLayout {
        QSizeF size;
        int strip = 0;
        bool counts = false, ohms = false, volts = false, legend0 = false, legend1 = false;
        bool operator==(const LaneLayout&) const = default;
    };
    LaneLayout laidOut_;
    // What the X axis' labels were made for.
    struct XLabels {
        ChartPage::X x = ChartPage::X::Rows;
        int originOfDay = -1;
        std::optional<qint64> originAt;
        double lo = 0, hi = 0;
        bool operator==(const XLabels&) const = default;
    } labelledFor_;
    LaneLegend* legends_[2] = {nullptr, nullptr};
    TestMarks* marks_ = nullptr;
    int figuresRun_ = -1;
    InsulationRun figuresOf_{-1, -1, 0}; // the run the label was made for
    bool figuresRowAfter_ = false;       // and whether a row followed it then

    QTimer* refreshTimer_ = nullptr;
    MessageSink tell_;
    std::function<QDateTime()> now_;
    QString folder_;
};
