#include "record/ui/reading_grid.h"

#include "record/reading_table_model.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
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
}

void ReadingGrid::setTable(ReadingTable* table) {
    ReadingTableModel* old = model_;
    table_ = table;
    model_ = table ? new ReadingTableModel(*table, this) : nullptr;
    setModel(model_);
    delete old;
    if (model_ == nullptr)
        return;
    for (int c = 0; c < ReadingTable::kFieldCount; ++c)
        setColumnWidth(c, c == kFunctionColumn ? functionColumnWidth() : kColumnWidths[c]);
    connect(model_, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int, int last) { followRow(last); });
    connect(model_, &QAbstractItemModel::modelReset, this,
            [this] { followRow(model_->rowCount() - 1); });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, verticalHeader()->viewport(),
            qOverload<>(&QWidget::update));
    followRow(model_->rowCount() - 1);
}

int ReadingGrid::functionColumnWidth() const {
    // Measured as the grid measures a cell's text, with the cell's margins and its grid line.
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.features |= QStyleOptionViewItem::HasDisplay;
    option.displayAlignment = Qt::AlignCenter;
    int width = kColumnWidths[kFunctionColumn];
    for (const char* text : {"IR:500V 20G\u03A9", "IR:1000V 40G\u03A9", "IR:2500 100G\u03A9",
                             "IR:5000V 1000G\u03A9", "DCV  600V", "ACV  600V"}) {
        option.text = QString::fromUtf8(text);
        const QSize cell =
            style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this);
        width = std::max(width, cell.width() + (showGrid() ? 1 : 0));
    }
    return width;
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
