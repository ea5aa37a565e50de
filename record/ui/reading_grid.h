#pragma once

#include "record/reading_table.h"

#include <QTableView>

#include <array>
#include <functional>
#include <vector>

class ReadingTableModel;

// The grid of the reading table: one column a field, titled and sized as the window shows it,
// a row indicator at the left, columns that can be resized and dragged to another place, tab
// moving between columns, no editing. Ctrl+Delete deletes the current row after a
// confirmation. New rows are followed: the last appended row becomes the current one.
class ReadingGrid : public QTableView {
    Q_OBJECT
public:
    static constexpr int kColumnWidths[ReadingTable::kFieldCount] = {54, 92, 72, 90, 109, 158};
    static constexpr int kIndicatorWidth = 12;
    static constexpr int kFunctionColumn = 4;

    // A column's width before any row: its first width, or more where the font needs it to show
    // its title and the widest text the meter gives in it (times of day in the locale's format,
    // values, units, functions, modes) whole. Rows whose texts need more widen their column
    // as they come; nothing narrows a column but the user.
    int textColumnWidth(int column) const;
    int functionColumnWidth() const { return textColumnWidth(kFunctionColumn); }
    // The width that shows every column whole, as wide as it is now, beside the row indicator
    // and room for the vertical scroll bar, within the frame.
    int wholeWidth() const;

    explicit ReadingGrid(QWidget* parent = nullptr);

    // Shows `table` (not owned; it must outlive the grid, or be replaced first).
    void setTable(ReadingTable* table);
    ReadingTable* table() const { return table_; }
    ReadingTableModel* readingModel() const { return model_; }

    // Asked before a row is deleted; true deletes. By default the "Delete record?" box.
    using Confirm = std::function<bool()>;
    void setConfirmDelete(Confirm confirm) { confirm_ = std::move(confirm); }

    // Ctrl+Delete: deletes the current row once the user agrees. False when nothing was deleted.
    bool deleteCurrentRow();

Q_SIGNALS:
    // wholeWidth() changed: a column was resized, or the font changed the widths.
    void wholeWidthChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The width a cell needs to show `text` whole.
    int cellWidth(const QString& text) const;
    void sizeColumns();
    // Widens the columns whose texts in rows first..last do not fit.
    void fitRows(int first, int last);
    void widen(int column, int width);
    void followRow(int row);
    bool askDelete();

    ReadingTable* table_ = nullptr;
    ReadingTableModel* model_ = nullptr;
    Confirm confirm_;
    // The texts (by id) whose widths each text column has taken in, and the most digits of No.
    std::array<std::vector<bool>, 4> fitted_;
    int fittedDigits_ = 0;
};
