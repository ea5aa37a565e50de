#pragma once

#include "results/test_result.h"

#include <QDate>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// Where test results are kept: an SQLite file (by default in the desktop's data folder) or a
// PostgreSQL database a team shares, through Qt SQL. One schema for both, with a version and the
// steps that bring every older version up to date. Every save is one transaction: a result is
// kept whole with its readings, or not at all.
//
// A database that cannot be read as a results database (damaged, another program's, a newer
// schema) is refused before anything is written to it.
//
// Opening is in result_store.cpp, the schema and its steps in result_schema.cpp, saving and the
// queries in result_queries.cpp, the columns they all go by in result_columns.h, and what the
// store says to people in store_texts.h.
class ResultStore {
public:
    static constexpr int kSchemaVersion = 3;

    // Whether open() may make a database where there is none: saving does; reading (list, show,
    // report, export) does not, and says that there is none instead.
    enum class Opening { MayCreate, ExistingOnly };

    ResultStore();
    ~ResultStore();
    ResultStore(const ResultStore&) = delete;
    ResultStore& operator=(const ResultStore&) = delete;

    // The SQLite file used when no database is named: $XDG_DATA_HOME/z4072/results.sqlite, else
    // ~/.local/share/z4072/results.sqlite.
    static QString defaultFile();
    // The database the program uses unless told otherwise: the setting "results/database",
    // else the default file.
    static QString configuredUrl();

    // Opens `url`: "postgresql://user@host:port/name" (also "postgres://"; a "?host=/socket/dir"
    // and other connection options as query items; what is not given comes from the PG*
    // environment variables), "sqlite:PATH" or a plain file path; empty for configuredUrl().
    // Creates the schema in a new database (unless ExistingOnly), and brings an older one up to
    // date.
    bool open(const QString& url, QString* error, Opening opening = Opening::MayCreate);
    void close();
    bool isOpen() const { return db_.isOpen(); }
    bool isPostgres() const { return postgres_; }
    // The database for messages: the file, or the server and database (never a password).
    const QString& name() const { return name_; }
    QSqlDatabase database() const { return db_; }
    int schemaVersion() const { return version_; }

    // Saves the result with its readings; sets result.id. False, with nothing saved, on failure.
    bool save(TestResult& result, QString* error);
    // The result with that ID, with or without its readings; none (and *error empty) when there
    // is no such result.
    std::optional<TestResult> load(qint64 id, bool withReadings, QString* error);
    bool remove(qint64 id, QString* error);

    struct Filter {
        QString asset;         // exactly this asset; empty: any
        QString assetContains; // asset IDs holding this text, case aside; empty: any
        QDate from, to;        // inclusive; invalid: open
    };
    // The results the filter lets through, without readings, by date.
    std::vector<TestResult> list(const Filter& filter, QString* error);
    // The asset's results before `result` by date and start time (and ID on a tie), latest first.
    std::optional<TestResult> previousOf(const TestResult& result, QString* error);
    // Every asset ID, sorted.
    QStringList assetIds(QString* error);
    // The latest result of an asset (without readings), to fill in what the asset is.
    std::optional<TestResult> latestOf(const QString& assetId, QString* error);
    // The dates of the first and the last result; invalid when there is none.
    std::pair<QDate, QDate> dateRange(QString* error);

    // The list's query for a view: columns as listColumns() names them (and the ID first,
    // hidden), sorted by column `sortColumn` of those (ties by date and ID).
    enum ListColumn {
        ColId,
        ColDate,
        ColAsset,
        ColKind,
        ColTestVolts,
        ColR1min,
        ColR40,
        ColDar,
        ColPi,
        ColVerdict,
        ColTrend, // the fall against the asset's result before, where TREND: flags it
        ColumnCount
    };
    static QStringList listHeaders();
    bool listQuery(QSqlQuery& query, const Filter& filter, int sortColumn, Qt::SortOrder order,
                   QString* error);

    // The SQL a step of the schema takes (for the migration tests).
    static QStringList migrationStep(int toVersion, bool postgres);

private:
    bool openSqlite(const QString& path, QString* error);
    bool openPostgres(const QString& url, QString* error);
    bool prepareSchema(QString* error);
    bool migrate(QString* error);
    // What the steps from `fromVersion` do beyond their SQL, once the schema is this version's,
    // in the migration's transaction.
    bool afterSteps(int fromVersion, QString* error);
    // Works out the TREND: flags of the asset's results again (every asset's for a null ID), in
    // the transaction that changed them.
    bool refreshTrends(const QString& assetId, QString* error);
    bool begin(QString* error);
    bool commit(QString* error);
    void rollback();

    QSqlDatabase db_;
    QString connection_;
    QString name_;
    bool postgres_ = false;
    Opening opening_ = Opening::MayCreate;
    int version_ = 0;
};
