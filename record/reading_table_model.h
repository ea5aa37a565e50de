#pragma once

#include "record/reading_table.h"
#include "record/table_files.h"

#include <QAbstractTableModel>

// The reading table as an item model for the grid. It reads the rows where they are stored and
// never copies them, so a table of millions of rows costs the model nothing per row; it follows
// the table's own change signals. Read only.
class ReadingTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ReadingTableModel(ReadingTable& table, QObject* parent = nullptr);

    ReadingTable& table() const { return table_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The text a cell shows: No in decimal, Time in the locale's long time format, the texts
    // as stored; empty for a null field and for a unit that names none ("NULL" from a file).
    QString cellText(int row, int column) const;

private:
    void appended(int first, int last);

    ReadingTable& table_;
    // Rows the views know of: the table announces appends after the fact, so the model keeps
    // its own count and moves it on inside the insert notification.
    int rows_ = 0;
    TimeTextFormatter times_;
};
