#pragma once

#include "chart_paging.h"
#include "unit_state.h"

#include <QChartView>
#include <QDateTime>
#include <QPointer>

#include <functional>

class QAreaSeries;
class QCheckBox;
class QFrame;
class QLineEdit;
class QLineSeries;
class QPushButton;
class QTimer;
class QToolButton;
class QValueAxis;
class QXYSeries;
class ReadingTable;

// One of the chart's two series as the user sees it: an area series (filled) or a line series.
// Gaps in the readings split it into several pieces on the chart, all shown or hidden together.
class TrendSeries {
public:
    enum Kind { Area, Line };
    TrendSeries(QChart* chart, QValueAxis* x, QValueAxis* y, Kind kind, const QString& name);

    Kind kind() const { return kind_; }
    const QString& name() const { return name_; }
    bool isActive() const { return active_; }
    void setActive(bool active);
    // The runs of the page being shown, replacing what the series held.
    void setRuns(const QList<QList<QPointF>>& runs);
    // All points the series holds, over every piece, in X order.
    QList<QPointF> points() const;
    int pieceCount() const { return used_; }
    QXYSeries* piece(int i) const;
    std::function<void(const QPointF&, bool)> onHover;

private:
    QXYSeries* addPiece();

    QChart* chart_;
    QValueAxis* x_;
    QValueAxis* y_;
    Kind kind_;
    QString name_;
    bool active_ = false;
    QList<QAbstractSeries*> pieces_; // QAreaSeries or QLineSeries
    QList<QLineSeries*> lines_;      // the line of each piece (the upper line of an area)
    int used_ = 0;
};

// The trend chart `Chtshow` with its tool strip: fill switch, points per page, save the page as
// a bitmap, clear, four paging buttons with the page number, enlarge/restore. It plots the rows of
// a reading table, one point a row, and follows the table's changes.
class TrendChart : public QChartView {
    Q_OBJECT
public:
    static constexpr int kAxisMin = -11000;
    static constexpr int kAxisMax = 11000;
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
    // Tooltip text of a table row: its number, value and unit.
    QString pointText(int row) const;

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
    TrendSeries* Series2 = nullptr; // index 0, area
    TrendSeries* Series1 = nullptr; // index 1, line
    QValueAxis* axisX = nullptr;
    QValueAxis* axisY = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildToolStrip();
    void setUpChart();
    void afterPaging();
    void showPage();
    void hover(const QPointF& point, bool state);
    void tableChanged(bool follow, qint64 firstChanged);
    qint64 plottedRows() const;
    void tell(bool error, const QString& text);

    UnitState& s_;
    ReadingTable* table_ = nullptr;
    QList<QMetaObject::Connection> tableLinks_;
    ChartPaging paging_;
    // Rows before this one are not plotted: "Delete Graphic" clears the chart, not the table.
    int plotFrom_ = 0;
    // The sample values of the last clear, one a series, shown while no row is plotted.
    double sample_[2] = {0, 0};
    QTimer* refreshTimer_ = nullptr;
    MessageSink tell_;
    std::function<QDateTime()> now_;
    QString folder_;
};
