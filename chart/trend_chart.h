#pragma once

#include "chart/chart_paging.h"
#include "core/unit_state.h"
#include "record/insulation_runs.h"

#include <QChartView>
#include <QDateTime>
#include <QPointer>

#include <functional>

class QAbstractAxis;
class QAreaSeries;
class QCategoryAxis;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QLineSeries;
class QPushButton;
class QTimer;
class QToolButton;
class QValueAxis;
class QXYSeries;
class ReadingTable;

// One of the chart's two series as the user sees it: an area series (filled) or a line series.
// Gaps in the readings split it into several pieces on the chart, all shown or hidden together;
// pieces are kept per value axis, since the physical view draws resistance and voltage against
// axes of their own.
class TrendSeries {
public:
    enum Kind { Area, Line };
    TrendSeries(QChart* chart, QValueAxis* x, Kind kind, const QString& name);

    Kind kind() const { return kind_; }
    const QString& name() const { return name_; }
    bool isActive() const { return active_; }
    void setActive(bool active);
    // The runs drawn against axis `y` on the page being shown, replacing what the series drew
    // against it.
    void setRuns(QAbstractAxis* y, const QList<QList<QPointF>>& runs);
    // Colours of the pieces drawn against `y`, in place of the series' own.
    void setLook(QAbstractAxis* y, const QColor& fill, const QColor& line);
    // The points the series shows against `y` (against every axis when null), in X order.
    QList<QPointF> points(const QAbstractAxis* y = nullptr) const;
    // The pieces in use, over every axis.
    int pieceCount() const;
    QXYSeries* piece(int i) const;

private:
    struct Pool {
        QAbstractAxis* y = nullptr;
        QList<QList<QPointF>> runs;     // what the pool shows, or will once the series is active
        QList<QAbstractSeries*> pieces; // QAreaSeries or QLineSeries
        QList<QLineSeries*> lines;      // the line of each piece (the upper line of an area)
        QList<QList<QPointF>> drawn;    // what each piece holds
        QColor fill, line;
    };
    Pool& pool(QAbstractAxis* y);
    void addPiece(Pool& pool);
    void paint(const Pool& pool, int piece);
    // Hands the pool's runs to its pieces; only pieces whose points changed are touched, since
    // the chart lays out a piece afresh whenever it gets points.
    void draw(Pool& pool);

    QChart* chart_;
    QValueAxis* x_;
    Kind kind_;
    QString name_;
    bool active_ = false;
    QList<Pool> pools_;
};

// The trend chart `Chtshow` with its tool strip: fill switch, points per page, save the page as
// a bitmap, clear, four paging buttons with the page number, enlarge/restore, the switch between
// its two views, and the figures of the insulation test on view. It plots the rows of a reading
// table, one point a row at the row's place, and follows the table's changes.
//
// Physical view (the default): resistance in ohms on a logarithmic axis on the left, voltage on
// a linear axis on the right. Count view: every reading as the display counts it on the fixed
// -11000..11000 axis.
class TrendChart : public QChartView {
    Q_OBJECT
public:
    static constexpr int kAxisMin = -11000;
    static constexpr int kAxisMax = 11000;
    // The resistance axis spans at least 100 kΩ .. 1 TΩ (as log10 of ohms), like the meter's
    // bar graph, and widens by whole decades for readings outside it.
    static constexpr double kOhmDecadeLow = 5;
    static constexpr double kOhmDecadeHigh = 12;

    enum class View { Physical, Counts };
    // A page with more points than this is drawn thinned (lowest and highest of neighbours).
    static constexpr int kMaxDrawnPoints = 4000;

    // What the chart tells the user: an information box, or the framework's error box.
    using MessageSink = std::function<void(bool error, const QString& text)>;

    TrendChart(UnitState& state, QWidget* parent = nullptr);
    ~TrendChart() override;

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

    View view() const { return view_; }
    void setView(View view);

    // The insulation tests in the table, and the one whose figures the strip shows (-1: none):
    // the last one with a row on the page on view, else the last one plotted.
    const InsulationRuns& runs() const { return runs_; }
    int runOnView() const { return figuresRun_; }

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
    // The table row that a point at X shows, or -1.
    int rowAtX(double x) const;
    // Tooltip text of a table row: its number, time, value and unit ("No 6 · 06:27:19 ·
    // 2.961 GΩ"), what the row held even where the plot has a gap.
    QString pointText(int row) const;
    // The table row under a point of the view, or -1.
    int rowAtViewPos(const QPoint& pos) const;

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
    QToolButton* countView = nullptr; // checked: the count view
    QLabel* figures = nullptr;        // DAR and PI of the test on view
    TrendSeries* Series2 = nullptr;   // index 0, area
    TrendSeries* Series1 = nullptr;   // index 1, line
    QValueAxis* axisX = nullptr;
    QValueAxis* axisY = nullptr;      // counts
    QCategoryAxis* axisOhm = nullptr; // log10 of ohms, labelled 100K .. 1T
    QValueAxis* axisVolt = nullptr;   // volts

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildToolStrip();
    void buildPageSizeControls();
    void buildPagingButtons();
    void buildViewButtons();
    void setUpChart();
    void addAxes(QChart* chart);
    void afterPaging();
    void showPage();
    void showCountPage(qint64 first, qint64 count, double xFirst);
    void showPhysicalPage(qint64 first, qint64 count, double xFirst);
    // Sets the ohm and volt axes; returns the ohm axis' floor (log10 of ohms).
    double scalePhysicalAxes();
    // The page's resistances (lane 0, in ohms) and voltages (lane 1).
    QList<QList<QList<QPointF>>> physicalLanes(qint64 first, qint64 count, double xFirst);
    void labelOhmAxis(double lo, double hi);
    void tableChanged(bool follow, qint64 firstChanged);
    // Brings the runs and the plotted range up to date: afresh, or for appended rows.
    void track(bool afresh);
    void updateFigures();
    // The insulation test whose figures the strip shows, or -1.
    int runToShow() const;
    QString figuresTip(const InsulationRun& run, const InsulationFigures& figures,
                       const QString& start) const;
    void layoutStrip();
    qint64 plottedRows() const;
    void tell(bool error, const QString& text);

    UnitState& s_;
    ReadingTable* table_ = nullptr;
    QList<QMetaObject::Connection> tableLinks_;
    ChartPaging paging_;
    // Rows before this one are not plotted: "Delete Graphic" clears the chart, not the table.
    int plotFrom_ = 0;
    View view_ = View::Physical;

    // What the plotted rows hold, for the axes of the physical view: kept up as rows arrive.
    struct PlotRange {
        int from = 0; // the first plotted row
        int seen = 0; // rows taken in
        qint64 ohmRows = 0, voltRows = 0;
        double minOhms = 0, maxOhms = 0; // over positive readings
        double minVolts = 0, maxVolts = 0;
    } range_;
    // Value texts read in the current drawing of the physical view, by the text's address.
    struct ValueRead {
        const QString* text = nullptr;
        quint32 pass = 0;
        std::optional<double> number;
    };
    std::vector<ValueRead> reads_ = std::vector<ValueRead>(4096);
    quint32 readPass_ = 0;
    InsulationRuns runs_;
    int figuresRun_ = -1;
    InsulationRun figuresOf_{-1, -1, 0}; // the run the label was made for
    bool figuresRowAfter_ = false;       // and whether a row followed it then

    QTimer* refreshTimer_ = nullptr;
    MessageSink tell_;
    std::function<QDateTime()> now_;
    QString folder_;
};
