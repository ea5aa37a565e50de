#include "record/ui/reading_grid.h"

#include "record/reading_table_model.h"
#include "record/table_files.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyle>

namespace {

// The narrow row header: no numbers, a black triangle at the current row.
class RowIndicator : public QHeaderView {
public:
    explicit RowIndicator(QWidget* parent) : QHeaderView(Qt::Vertical, parent) {}

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        QHeaderView::paintSection(painter, rect, logicalIndex);
        const auto* view = static_cast<const QTableView*>(parentWidget());
        if (view == nullptr || view->currentIndex().row() != logicalIndex)
            return;
        const int h = std::min(rect.height() - 6, 8);
        if (h < 3)
            return;
        const QPointF tip(rect.center().x() + h / 4.0 + 1, rect.center().y() + 0.5);
        QPainterPath arrow;
        arrow.moveTo(tip.x() - h / 2.0, tip.y() - h / 2.0);
        arrow.lineTo(tip);
        arrow.lineTo(tip.x() - h / 2.0, tip.y() + h / 2.0);
        arrow.closeSubpath();
        painter->save();
        // The header style leaves an empty clip behind; the mark stays inside its section.
        painter->setClipRect(rect, Qt::ReplaceClip);
        painter->setRenderHint(QPainter::Antialiasing);
        painter->fillPath(arrow, Qt::black);
        painter->restore();
    }
    QSize sectionSizeFromContents(int) const override {
        return {ReadingGrid::kIndicatorWidth, defaultSectionSize()};
    }
};

} // namespace

ReadingGrid::ReadingGrid(QWidget* parent) : QTableView(parent) {
    auto* indicator = new RowIndicator(this);
    setVerticalHeader(indicator);
    // Every row the same height, never measured: a million rows lay out as fast as ten.
    indicator->setSectionResizeMode(QHeaderView::Fixed);
    indicator->setDefaultSectionSize(fontMetrics().height() + 4);
    indicator->setMinimumWidth(kIndicatorWidth);
    indicator->setMaximumWidth(kIndicatorWidth);
    indicator->setSectionsClickable(false);
    indicator->setHighlightSections(false);

    QHeaderView* titles = horizontalHeader();
    titles->setSectionsMovable(true);
    titles->setSectionResizeMode(QHeaderView::Interactive);
    titles->setHighlightSections(false);
    titles->setStretchLastSection(false);
    titles->setMinimumSectionSize(8);

    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setShowGrid(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setSortingEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    connect(titles, &QHeaderView::sectionResized, this, &ReadingGrid::wholeWidthChanged);
}

void ReadingGrid::setTable(ReadingTable* table) {
    ReadingTableModel* old = model_;
    table_ = table;
    model_ = table ? new ReadingTableModel(*table, this) : nullptr;
    setModel(model_);
    delete old;
    if (model_ == nullptr)
        return;
    sizeColumns();
    connect(model_, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                fitRows(first, last);
                followRow(last);
            });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        fitRows(0, model_->rowCount() - 1);
        followRow(model_->rowCount() - 1);
    });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, verticalHeader()->viewport(),
            qOverload<>(&QWidget::update));
    followRow(model_->rowCount() - 1);
}

namespace {

// The widest texts the meter gives in each column, besides the title; numbers are measured as
// they come.
QStringList meterTexts(int column) {
    switch (column) {
    case ReadingTable::Time: {
        const TimeTextFormatter times;
        QStringList t;
        for (int hour : {0, 11, 12, 23}) // AM and PM, one digit and two
            t << times.text((hour * 3600 + 59 * 60 + 58) * 1000);
        return t;
    }
    case ReadingTable::Value:
        return {QStringLiteral("-8888"), QStringLiteral("88.88"), QStringLiteral("> 1000"),
                QStringLiteral("0L")};
    case ReadingTable::Unit:
        return {QStringLiteral("M\u03A9"), QStringLiteral("G\u03A9"), QStringLiteral("T\u03A9"),
                QStringLiteral("k\u03A9"), QStringLiteral("mV")};
    case ReadingTable::V_Range:
        return {QStringLiteral("IR:500V 20G\u03A9"),  QStringLiteral("IR:1000V 40G\u03A9"),
                QStringLiteral("IR:2500 100G\u03A9"), QStringLiteral("IR:5000V 1000G\u03A9"),
                QStringLiteral("DCV  600V"),          QStringLiteral("ACV  600V")};
    case ReadingTable::I_Range:
        return {QStringLiteral("Continuous"), QStringLiteral("COMP:GOOD"),
                QStringLiteral("COMP:NG"), QStringLiteral("Timed")};
    default:
        return {};
    }
}

// The characters of a number in decimal, its sign included.
int decimalChars(qint32 n) {
    qint64 v = n;
    int chars = v < 0 ? 2 : 1;
    for (v = v < 0 ? -v : v; v >= 10; v /= 10)
        ++chars;
    return chars;
}

} // namespace

int ReadingGrid::cellWidth(const QString& text) const {
    // Measured as the grid measures a cell's text, with the cell's margins and its grid line.
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.features |= QStyleOptionViewItem::HasDisplay;
    option.displayAlignment = Qt::AlignCenter;
    option.text = text;
    const QSize cell = style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this);
    return cell.width() + (showGrid() ? 1 : 0);
}

int ReadingGrid::textColumnWidth(int column) const {
    if (column < 0 || column >= ReadingTable::kFieldCount)
        return 0;
    int width = kColumnWidths[column];
    for (const QString& text : meterTexts(column))
        width = std::max(width, cellWidth(text));
    // And as the header measures its title.
    QStyleOptionHeader title;
    title.initFrom(horizontalHeader());
    title.text = tableFileHeader().value(column);
    title.fontMetrics = horizontalHeader()->fontMetrics();
    const QSize head =
        style()->sizeFromContents(QStyle::CT_HeaderSection, &title, QSize(), horizontalHeader());
    return std::max(width, head.width());
}

void ReadingGrid::sizeColumns() {
    for (int c = 0; c < ReadingTable::kFieldCount; ++c)
        setColumnWidth(c, textColumnWidth(c));
    for (auto& f : fitted_)
        f.clear();
    fittedDigits_ = 0;
    if (model_)
        fitRows(0, model_->rowCount() - 1);
}

void ReadingGrid::widen(int column, int width) {
    if (width > columnWidth(column))
        setColumnWidth(column, width);
}

void ReadingGrid::fitRows(int first, int last) {
    if (!table_)
        return;
    last = std::min(last, table_->rowCount() - 1);
    // Texts are interned: each is measured once, however many rows show it.
    const auto texts = table_->textCount();
    for (auto& f : fitted_)
        if (f.size() < texts)
            f.resize(texts, false);
    int digits = fittedDigits_;
    for (int row = std::max(first, 0); row <= last; ++row) {
        if (!table_->isNoNull(row))
            digits = std::max(digits, decimalChars(table_->no(row)));
        for (int f = ReadingTable::Value; f <= ReadingTable::I_Range; ++f) {
            const quint32 id = table_->textId(row, ReadingTable::Field(f));
            std::vector<bool>& done = fitted_[size_t(f - ReadingTable::Value)];
            if (done[id])
                continue;
            done[id] = true;
            widen(f, cellWidth(model_->cellText(row, f)));
        }
    }
    if (digits > fittedDigits_) {
        fittedDigits_ = digits;
        widen(ReadingTable::No, cellWidth(QString(digits, u'8')));
    }
}

int ReadingGrid::wholeWidth() const {
    const QHeaderView* titles = horizontalHeader();
    int columns = 0;
    for (int c = 0; c < titles->count(); ++c)
        if (!titles->isSectionHidden(c))
            columns += titles->sectionSize(c);
    // Room for the vertical bar whether it is there yet or not: the columns keep their room as
    // the rows grow.
    const int bar = verticalScrollBar()->sizeHint().width();
    const int indicator = verticalHeader()->isHidden() ? 0 : kIndicatorWidth;
    return 2 * frameWidth() + indicator + columns + bar;
}

void ReadingGrid::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange && model_) {
        sizeColumns();
        Q_EMIT wholeWidthChanged();
    }
}

void ReadingGrid::followRow(int row) {
    if (row < 0)
        return;
    const int column = currentIndex().isValid() ? currentIndex().column() : 0;
    const QModelIndex at = model_->index(row, column);
    setCurrentIndex(at);
    scrollTo(at, QAbstractItemView::EnsureVisible);
}

bool ReadingGrid::askDelete() {
    if (confirm_)
        return confirm_();
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"),
                    QStringLiteral("Delete record?"), QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

bool ReadingGrid::deleteCurrentRow() {
    const int row = currentIndex().row();
    if (table_ == nullptr || row < 0 || row >= table_->rowCount())
        return false;
    if (!askDelete())
        return false;
    // The row may have gone while the question was open (a file load, Delete Data).
    if (row >= table_->rowCount())
        return false;
    const int column = currentIndex().column();
    table_->removeRow(row);
    if (table_->rowCount() > 0)
        setCurrentIndex(model_->index(std::min(row, table_->rowCount() - 1), std::max(column, 0)));
    return true;
}

void ReadingGrid::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier) {
        deleteCurrentRow();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}
