#pragma once

#include "results/test_result.h"
#include "results/verdict.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <span>

// The columns of the table test_results, in the order of the export: what each holds of a
// result, how it is read back, what the export calls it and how it writes it. The insert, the
// queries' column lists, the reading of a row and the comma-separated export are all made from
// this one list. (The schema's steps are history and spell out the columns they made.)
struct ResultColumn {
    // A row as a query gave it, its values by column name.
    class Row {
    public:
        explicit Row(const QSqlQuery& q) : q_(q), record_(q.record()) {}
        QVariant operator[](const char* column) const;

    private:
        const QSqlQuery& q_;
        QSqlRecord record_;
    };

    // How the export writes a value.
    enum class Csv {
        None,      // not exported
        Integer,   // decimal digits
        Number,    // a plain number (12 digits at most), empty when there is none
        Seconds,   // a count of milliseconds, as a plain number of seconds
        Word,      // a key, a date, a time or a fixed word: as it is
        Text,      // quoted where it needs to be
        TypedText, // typed by a person: quoted, and never read as a formula by a spreadsheet
    };

    const char* name;    // in test_results
    const char* csvName; // in the export's header, when exported
    Csv csv;
    // The database gives it (the ID), or the store works it out after the insert (the trend):
    // not in the insert.
    bool generated;
    // What the column holds for a result and its verdict.
    QVariant (*value)(const TestResult&, const Verdict&);
    // Takes the column's value (and any other of the row it goes with) back into a result; none
    // for what a result works out itself (test voltage, R40, the verdict) or does not keep.
    void (*read)(TestResult&, const QVariant& value, const Row& row);
};

std::span<const ResultColumn> resultColumns();

// "asset_id, asset_kind, ...": every column but the ones the database gives, as the insert
// names them; and the values of a result for them, in that order.
QString insertedColumns();
QVariantList insertedValues(const TestResult& result, const Verdict& verdict);
// "id, asset_id, ...": every column, for a select whose rows resultOf() reads.
QString selectedColumns();
TestResult resultOf(const QSqlQuery& query);

// The export's header and one row of it, its cells without the separators.
QStringList csvNames();
QStringList csvCells(const TestResult& result, const Verdict& verdict);

// The columns of the results list, by ResultStore::ListColumn: the header the list shows, what
// the select takes, and what sorting by the column goes by ("%1": ASC or DESC; none: by the
// selected value).
struct ResultListColumn {
    const char* header;
    const char* select;
    const char* sortBy;
};
std::span<const ResultListColumn> resultListColumns();
