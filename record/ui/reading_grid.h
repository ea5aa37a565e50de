#pragma once

#include "record/reading_table.h"

#include <QTableView>

#include <functional>

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

    // The Function column's width: its first width, or more where the font needs it to show the
    // widest function text the meter gives whole.
    int functionColumnWidth() const;

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

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void followRow(int row);
    bool askDelete();

    ReadingTable* table_ = nullptr;
    ReadingTableModel* model_ = nullptr;
    Confirm confirm_;
};
