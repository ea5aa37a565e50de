#include "record/test_model.h"

#include "record/reading_table.h"

TestModel::TestModel(ReadingTable& table, QObject* parent) : QObject(parent), table_(table) {
    runs_.scan(table_);
    connect(&table_, &ReadingTable::rowsAppended, this, &TestModel::appended);
    connect(&table_, &ReadingTable::rowsRemoved, this, &TestModel::rescan);
    connect(&table_, &ReadingTable::tableReset, this, &TestModel::rescan);
}

void TestModel::appended() {
    if (table_.rowCount() < runs_.rowsSeen()) { // rows went without a signal of their own
        rescan();
        return;
    }
    const int before = count();
    // The last test may grow; tests before it never change.
    const int first = runs_.lastRunOpen() ? before - 1 : before;
    runs_.append(table_);
    if (count() != before || (first < before && first >= 0))
        Q_EMIT changed(std::max(first, 0));
}

void TestModel::rescan() {
    runs_.scan(table_);
    Q_EMIT reset();
}
