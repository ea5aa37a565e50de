// The results database's schema: refusing what is not ours, and the steps that bring every
// older version up to date. The steps are history: each spells out what it made then.
#include "results/result_store.h"

#include "results/store_sql.h"
#include "results/store_texts.h"

#include <QRegularExpression>
#include <QSqlQuery>

using namespace resultsdb;

bool ResultStore::prepareSchema(QString* error) {
    QSqlQuery q(db_);
    const QString tablesSql =
        postgres_ ? QStringLiteral("SELECT table_name FROM information_schema.tables "
                                   "WHERE table_schema = current_schema()")
                  : QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'");
    if (!q.exec(tablesSql)) {
        *error = storetexts::unreadable(name_, lastError(q));
        close();
        return false;
    }
    QStringList tables;
    while (q.next())
        tables << q.value(0).toString();
    q.finish();
    const bool ours = tables.contains(QStringLiteral("results_schema"));
    // An SQLite file is the program's alone; a server's database may hold other tables.
    if (!ours && (tables.contains(QStringLiteral("test_results")) ||
                  (!postgres_ &&
                   !tables.filter(QRegularExpression(QStringLiteral("^(?!sqlite_)"))).isEmpty()))) {
        *error = storetexts::holdsNoResults(name_);
        close();
        return false;
    }
    if (ours) {
        if (!q.exec(QStringLiteral("SELECT version FROM results_schema")) || !q.next()) {
            *error = storetexts::damaged(name_, lastError(q));
            close();
            return false;
        }
        version_ = q.value(0).toInt();
        q.finish();
        if (version_ > kSchemaVersion) {
            *error = storetexts::newerSchema(name_, version_, kSchemaVersion);
            close();
            return false;
        }
    }
    // Reading makes nothing: a database without results (an empty file, a server's database
    // that was never prepared) is said to hold none.
    if (!ours && opening_ == Opening::ExistingOnly) {
        *error = storetexts::noResultsYet(name_);
        close();
        return false;
    }
    if (!postgres_) {
        q.exec(QStringLiteral("PRAGMA foreign_keys = ON"));
        // Readers and a writer at once; not possible on a file opened read-only, which is then
        // read as it is.
        q.exec(QStringLiteral("PRAGMA journal_mode = WAL"));
        q.finish();
    }
    return version_ == kSchemaVersion || migrate(error);
}

QStringList ResultStore::migrationStep(int toVersion, bool postgres) {
    switch (toVersion) {
    case 1:
        return {
            u"CREATE TABLE test_results (" +
                (postgres ? QStringLiteral("id BIGSERIAL PRIMARY KEY")
                          : QStringLiteral("id INTEGER PRIMARY KEY AUTOINCREMENT")) +
                QStringLiteral(", asset_id TEXT NOT NULL, asset_kind TEXT NOT NULL, "
                               "rated_kv DOUBLE PRECISION, insulation_class TEXT NOT NULL, "
                               "object_temp_c DOUBLE PRECISION, ambient_temp_c DOUBLE PRECISION, "
                               "humidity_pct DOUBLE PRECISION, operator_name TEXT NOT NULL, "
                               "location TEXT NOT NULL, notes TEXT NOT NULL, "
                               "tested_on TEXT NOT NULL, start_time TEXT NOT NULL, "
                               "function_text TEXT NOT NULL, test_volts DOUBLE PRECISION, "
                               "duration_ms BIGINT NOT NULL, "
                               "r30_ohms DOUBLE PRECISION, r30_status INTEGER NOT NULL, "
                               "r1_ohms DOUBLE PRECISION, r1_status INTEGER NOT NULL, "
                               "r10_ohms DOUBLE PRECISION, r10_status INTEGER NOT NULL, "
                               "dar DOUBLE PRECISION, pi DOUBLE PRECISION, "
                               "meter_pi DOUBLE PRECISION, r40_ohms DOUBLE PRECISION, "
                               "min_mohm DOUBLE PRECISION, min_pi DOUBLE PRECISION, "
                               "min_dar DOUBLE PRECISION, verdict TEXT NOT NULL, "
                               "verdict_reasons TEXT NOT NULL, source TEXT NOT NULL)"),
            QStringLiteral("CREATE TABLE result_readings ("
                           "result_id BIGINT NOT NULL REFERENCES test_results (id) "
                           "ON DELETE CASCADE, seq INTEGER NOT NULL, elapsed_ms BIGINT NOT NULL, "
                           "ohms DOUBLE PRECISION, shown TEXT NOT NULL, "
                           "PRIMARY KEY (result_id, seq))"),
        };
    case 2:
        // When a result was saved, and the indexes the list and an asset's history go by.
        return {QStringLiteral("ALTER TABLE test_results ADD COLUMN saved_at TEXT NOT NULL "
                               "DEFAULT ''"),
                QStringLiteral("CREATE INDEX test_results_by_asset ON test_results "
                               "(asset_id, tested_on, start_time)"),
                QStringLiteral("CREATE INDEX test_results_by_date ON test_results "
                               "(tested_on, start_time)")};
    case 3: {
        // The instrument a result was measured with; the TREND: flag against the asset's result
        // before (worked out again whenever the asset's results change); and an index for every
        // order the list sorts by, ties by ID, so that the database hands out the first rows of
        // any order without sorting the whole table.
        QStringList sql{
            QStringLiteral("ALTER TABLE test_results ADD COLUMN instrument_model TEXT NOT NULL "
                           "DEFAULT ''"),
            QStringLiteral("ALTER TABLE test_results ADD COLUMN instrument_serial TEXT NOT NULL "
                           "DEFAULT ''"),
            QStringLiteral("ALTER TABLE test_results ADD COLUMN calibration_due TEXT NOT NULL "
                           "DEFAULT ''"),
            QStringLiteral("ALTER TABLE test_results ADD COLUMN trend_pct INTEGER"),
            QStringLiteral("ALTER TABLE test_results ADD COLUMN trend_previous_id BIGINT"),
            QStringLiteral("DROP INDEX test_results_by_asset"),
            QStringLiteral("DROP INDEX test_results_by_date"),
            QStringLiteral("CREATE INDEX test_results_by_asset ON test_results "
                           "(asset_id, tested_on, start_time, id)"),
            QStringLiteral("CREATE INDEX test_results_by_date ON test_results "
                           "(tested_on, start_time, id)"),
        };
        // A missing figure sorts as the lowest, on both: SQLite's order, which a PostgreSQL
        // index gives with NULLS FIRST.
        for (const char* column : {"asset_kind", "test_volts", "r1_ohms", "r40_ohms", "dar", "pi",
                                   "verdict", "trend_pct"})
            sql << QStringLiteral("CREATE INDEX test_results_by_%1 ON test_results (%1%2, id)")
                       .arg(QLatin1String(column),
                            postgres ? QStringLiteral(" NULLS FIRST") : QString());
        return sql;
    }
    default:
        return {};
    }
}

bool ResultStore::migrate(QString* error) {
    QString why;
    if (!begin(&why)) {
        *error = storetexts::cannotWrite(name_, why);
        close();
        return false;
    }
    QSqlQuery q(db_);
    auto failed = [&](const QString& text) {
        const QString reason = text.isEmpty() ? lastError(q) : text;
        rollback();
        *error = storetexts::cannotPrepare(name_, reason);
        close();
        return false;
    };
    // Two programs may prepare one new database at once: the second finds it done.
    if (postgres_ && !q.exec(QStringLiteral("SELECT pg_advisory_xact_lock(4072024)")))
        return failed({});
    if (!q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS results_schema "
                               "(version INTEGER NOT NULL)")) ||
        !q.exec(QStringLiteral("SELECT version FROM results_schema")))
        return failed({});
    int version = 0;
    const bool found = q.next();
    if (found)
        version = q.value(0).toInt();
    q.finish();
    if (!found && !q.exec(QStringLiteral("INSERT INTO results_schema (version) VALUES (0)")))
        return failed({});
    if (version > kSchemaVersion)
        return failed(storetexts::writtenByNewer());
    for (int step = version + 1; step <= kSchemaVersion; ++step) {
        for (const QString& sql : migrationStep(step, postgres_))
            if (!q.exec(sql))
                return failed({});
        if (!q.exec(QStringLiteral("UPDATE results_schema SET version = %1").arg(step)))
            return failed({});
    }
    if (!afterSteps(version, &why))
        return failed(why);
    if (!commit(&why))
        return failed(why);
    version_ = kSchemaVersion;
    return true;
}

bool ResultStore::afterSteps(int fromVersion, QString* error) {
    // Works on the schema of this version, so after all the steps' SQL.
    if (fromVersion < 3)
        return refreshTrends(QString(), error);
    return true;
}
