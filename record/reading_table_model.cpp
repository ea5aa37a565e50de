#include "record/reading_table_model.h"

ReadingTableModel::ReadingTableModel(ReadingTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table), rows_(table.rowCount()) {
    connect(&table_, &ReadingTable::rowsAppended, this, &ReadingTableModel::appended);
    connect(&table_, &ReadingTable::rowsAboutToBeRemoved, this,
            [this](int first, int last) { beginRemoveRows({}, first, last); });
    connect(&table_, &ReadingTable::rowsRemoved, this, [this] {
        rows_ = table_.rowCount();
        endRemoveRows();
    });
    connect(&table_, &ReadingTable::aboutToReset, this, [this] { beginResetModel(); });
    connect(&table_, &ReadingTable::tableReset, this, [this] {
        rows_ = table_.rowCount();
        endResetModel();
    });
}

void ReadingTableModel::appended(int first, int last) {
    if (first != rows_) {
        // Out of step (a change that was not announced): start afresh.
        beginResetModel();
        rows_ = table_.rowCount();
        endResetModel();
        return;
    }
    beginInsertRows({}, first, last);
    rows_ = last + 1;
    endInsertRows();
}

int ReadingTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int ReadingTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ReadingTable::kFieldCount;
}

QString ReadingTableModel::cellText(int row, int column) const {
    if (row < 0 || row >= table_.rowCount())
        return {};
    switch (column) {
    case ReadingTable::No:
        return table_.isNoNull(row) ? QString() : QString::number(table_.no(row));
    case ReadingTable::Time:
        return table_.isTimeNull(row) ? QString() : times_.text(table_.timeMs(row));
    case ReadingTable::Unit:
        // A reading without a unit shows none, whether it was recorded here or its file wrote
        // the empty cell as "NULL".
        return table_.unitKind(row) == Unit::None ? QString() : table_.unit(row);
    case ReadingTable::Value:
    case ReadingTable::V_Range:
    case ReadingTable::I_Range:
        return table_.text(row, ReadingTable::Field(column));
    default:
        return {};
    }
}

QVariant ReadingTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cellText(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return index.column() == ReadingTable::I_Range ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                                       : QVariant(Qt::AlignCenter);
    default:
        return {};
    }
}

QVariant ReadingTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical) {
        // The grid marks the current row itself; rows carry no header text.
        return role == Qt::DisplayRole ? QVariant(QString()) : QVariant();
    }
    if (section < 0 || section >= ReadingTable::kFieldCount)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return tableFileHeader().at(section);
    case Qt::TextAlignmentRole:
        return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

Qt::ItemFlags ReadingTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
