#pragma once

#include "chart/chart_paging.h"
#include "chart/trend_series.h"
#include "record/insulation_runs.h"

#include <QChartView>
#include <QDateTime>
#include <QPointer>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QAbstractAxis;
class QCategoryAxis;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QToolButton;
class QValueAxis;
class LaneLegend;
class ReadingTable;

// The trend chart `Chtshow` with its tool strip: fill switch, points per page, save the page as
// a bitmap, clear, four paging buttons with the page number, enlarge/restore, the switches of the
// view and of the X axis, and the figures of the insulation test on view. It plots the rows of a
// reading table, one point a row, and follows the table's changes.
//
// Physical view (the default): two lanes over one X axis, resistance on a logarithmic axis fitted
// to the readings on view in whole decades, and below it voltage (shown once the plotted rows
// hold any); each lane with a legend naming the functions on view. X is the time elapsed since
// the start of the insulation test on view, or the row number where none is on view or the X
// switch says so. While it follows new rows the last page holds the newest rows a page holds.
// Count view: every reading as the display counts it on the fixed -11000..11000 axis, over row
// numbers.
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
    // What the physical view's X axis counts where an insulation test is on view.
    enum class XAxis { ElapsedTime, Rows };
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

    // The table whose rows are plotted (not owned); nullptr plots nothing.
    void setTable(ReadingTable* table);
    ReadingTable* table() const { return table_; }

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

    // The insulation tests in the table, and the one whose figures the strip shows (-1: none):
    // the last one with a row on the page on view, else the last one plotted.
    const InsulationRuns& runs() const { return runs_; }
    int runOnView() const { return figuresRun_; }
    // That insulation test itself, if any.
    std::optional<InsulationRun> insulationRunOnView() const;
    // The start (time of day, ms) of the test that the X axis counts from; none while X counts
    // rows.
    std::optional<int> elapsedOrigin() const { return origin_; }
    // The legend of a lane (0: resistance, 1: voltage), empty when hidden.
    QString legendText(int lane) const;
    // Whether the voltage lane is shown (the physical view of rows that hold volts).
    bool voltLaneShown() const;

    // Handlers.
    void ShowSeries(int index);
    void BtFillClick();
    void BtNewClick();
    // True when the typed character may reach the field.
    static bool MaxrecordKeyPress(QChar key);
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
    QToolButton* timeAxis = nullptr;    // checked: X in elapsed time where a test is on view
    QLabel* figures = nullptr;          // DAR and PI of the test on view
    TrendSeries* Series2 = nullptr;     // index 0, area
    TrendSeries* Series1 = nullptr;     // index 1, line
    QCategoryAxis* axisX = nullptr;     // rows or elapsed seconds, in chart() (the upper lane)
    QValueAxis* axisY = nullptr;        // counts
    QCategoryAxis* axisOhm = nullptr;   // log10 of ohms, labelled 100 kΩ .. 1 TΩ
    QChart* voltLane = nullptr;         // the lower lane, below chart()
    QCategoryAxis* axisVoltX = nullptr; // its X axis, in step with axisX
    QCategoryAxis* axisVolt = nullptr;  // volts

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildToolStrip();
    void buildPageSizeControls();
    void buildPagingButtons();
    void buildViewButtons();
    void setUpChart();
    void addAxes();
    void afterPaging();
    void showPage();
    void showCountPage(qint64 first, qint64 count, double xFirst);
    void showPhysicalPage(qint64 first, qint64 count, double xFirst);
    struct PhysicalPage;
    PhysicalPage physicalPage(qint64 first, qint64 count, double xFirst);
    // Fits the resistance and voltage axes to the page; returns the ohm axis' floor.
    double fitPhysicalAxes(const PhysicalPage& page);
    void labelOhmAxis();
    // Shows or hides an axis; a shown axis has its labels measured again.
    void showAxis(QAbstractAxis* axis, bool show);
    void setXRange(double lo, double hi);
    void xRangeChanged(double lo, double hi);
    void tableChanged(bool follow, qint64 firstChanged);
    // Brings the runs and the plotted rows' quantities up to date: afresh, or for appended rows.
    void track(bool afresh);
    void updateFigures();
    // The insulation test whose figures the strip shows, or -1.
    int runToShow() const;
    // The rows of the page on view, as table rows [first, first + count).
    std::pair<int, int> rowsOnView() const;
    QString figuresTip(const InsulationRun& run, const InsulationFigures& figures,
                       const QString& start) const;
    void layoutStrip();
    void layoutLanes();
    void setLaneMargins(QChart* lane, const QMargins& margins);
    void alignLanes();
    void placeLegends();
    qint64 plottedRows() const;
    void tell(bool error, const QString& text);

    // What a row measured, from its texts, read once a text (by the table's text ids).
    struct RowReading {
        Measurement::Quantity quantity = Measurement::NoQuantity;
        std::optional<double> value; // ohms or volts
    };
    RowReading reading(int row);
    Measurement::Quantity quantity(int row);

    ReadingTable* table_ = nullptr;
    QList<QMetaObject::Connection> tableLinks_;
    ChartPaging paging_;
    // Rows before this one are not plotted: "Delete Graphic" clears the chart, not the table.
    int plotFrom_ = 0;
    View view_ = View::Physical;
    XAxis xAxis_ = XAxis::ElapsedTime;

    // What the plotted rows measure, for the lanes of the physical view: kept up as rows arrive.
    struct PlotRange {
        int from = 0; // the first plotted row
        int seen = 0; // rows taken in
        qint64 ohmRows = 0, voltRows = 0;
    } range_;
    bool lanesShown_[2] = {true, false};
    int stripHeight_ = 16;    // the tool strip over the top edge, and the figures below it
    QMargins laneMargins_[2]; // each lane's own, before the lanes are aligned
    bool aligning_ = false;
    // Unit scales and numbers by text id: a table keeps each text under one id for its life.
    std::vector<std::optional<UnitScale>> unitScales_;
    std::vector<std::optional<std::optional<double>>> numbers_;
    // X of each row on view when X is elapsed time (NaN: not plotted).
    std::optional<int> origin_;
    int pageFirstRow_ = 0;
    std::vector<double> pageX_;
    LaneLegend* legends_[2] = {nullptr, nullptr};
    InsulationRuns runs_;
    int figuresRun_ = -1;
    InsulationRun figuresOf_{-1, -1, 0}; // the run the label was made for
    bool figuresRowAfter_ = false;       // and whether a row followed it then

    QTimer* refreshTimer_ = nullptr;
    MessageSink tell_;
    std::function<QDateTime()> now_;
    QString folder_;
};
