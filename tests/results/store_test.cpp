#define STORE_CASES SqliteCases
#include "tests/results/store_cases.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QTemporaryDir>

namespace {

// The tests' files; settings are the test program's own (app()).
QTemporaryDir& folder() {
    app();
    static QTemporaryDir dir;
    return dir;
}

QString fileOf(const char* name) {
    return folder().filePath(QLatin1String(name));
}

QByteArray hashOf(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

int fileNumber = 0;

// An SQLite file of an older schema, as that version of the program left it, holding the rows
// that `inserts` add.
bool makeOldFile(const QString& path, int version, const QStringList& inserts) {
    bool ok = true;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery q(db);
        QStringList sql{QStringLiteral("CREATE TABLE results_schema (version INTEGER)"),
                        QStringLiteral("INSERT INTO results_schema VALUES (%1)").arg(version)};
        for (int step = 1; step <= version; ++step)
            sql << ResultStore::migrationStep(step, false);
        for (const QString& statement : sql + inserts)
            if (ok && !q.exec(statement)) {
                ADD_FAILURE() << statement.toStdString() << ": "
                              << q.lastError().text().toStdString();
                ok = false;
            }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("old"));
    return ok;
}

// A result's row in the table the first schema made (a cable, R(1 min) measured).
QString oldResult(const char* asset, const char* date, const char* r1Ohms) {
    return QStringLiteral("INSERT INTO test_results (asset_id, asset_kind, insulation_class, "
                          "operator_name, location, notes, tested_on, start_time, function_text, "
                          "duration_ms, r30_status, r1_ohms, r1_status, r10_status, verdict, "
                          "verdict_reasons, source) VALUES ('%1', 'cable', '', '', '', '', '%2', "
                          "'10:00:00', 'IR:500V 20GΩ', 60000, 3, %3, 0, 2, 'NOT ASSESSED', '', '')")
        .arg(QLatin1String(asset), QLatin1String(date), QLatin1String(r1Ohms));
}

} // namespace

bool SqliteCases::openFresh(ResultStore& s, QString* why) {
    const QString path = folder().filePath(QStringLiteral("fresh%1.sqlite").arg(++fileNumber));
    const bool ok = s.open(path, why);
    if (!ok)
        ADD_FAILURE() << why->toStdString();
    return ok;
}

bool SqliteCases::openAgain(ResultStore& s, QString* why) {
    return s.open(store.name(), why);
}

bool SqliteCases::openEmptyForReading(ResultStore& s, QString* why) {
    const QString path = folder().filePath(QStringLiteral("empty%1.sqlite").arg(++fileNumber));
    QFile(path).open(QIODevice::WriteOnly);
    const bool opened = s.open(path, why, ResultStore::Opening::ExistingOnly);
    EXPECT_EQ(QFileInfo(path).size(), 0) << "nothing written into it";
    EXPECT_FALSE(QFile::exists(path + QStringLiteral("-wal")));
    return opened;
}

// The SQLite file: where it lives, what it refuses, what it brings up to date.
TEST(SqliteStore, ReadingAPathWhereNoDatabaseIsMakesNothing) {
    app();
    const QString path = fileOf("typo/no/such/results.sqlite");
    ResultStore s;
    QString error;
    EXPECT_FALSE(s.open(path, &error, ResultStore::Opening::ExistingOnly));
    EXPECT_TRUE(error.contains(u"There is no results database")) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(fileOf("typo")));
}

// A file of the schema before instruments and trend flags: its results stay, with the flags
// worked out and no instrument recorded.
TEST(SqliteStore, ASecondVersionFileGetsInstrumentsAndTrendFlagsWithItsResultsKept) {
    app();
    const QString path = fileOf("v2.sqlite");
    ASSERT_TRUE(makeOldFile(
        path, 2, {oldResult("old", "2020-02-02", "4e8"), oldResult("old", "2021-02-02", "1e8")}));
    ResultStore s;
    QString error;
    ASSERT_TRUE(s.open(path, &error, ResultStore::Opening::ExistingOnly)) << error.toStdString();
    EXPECT_EQ(s.schemaVersion(), ResultStore::kSchemaVersion);
    const std::vector<TestResult> all = s.list({}, &error);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].trendFallPct, 75);
    EXPECT_EQ(instrumentText(all[0].instrument), QStringLiteral("not recorded"));
}

TEST(SqliteStore, TheDefaultFileIsInTheDesktopsDataFolder) {
    app();
    folder();
    const QByteArray old = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", fileOf("data").toUtf8());
    EXPECT_EQ(ResultStore::defaultFile(), fileOf("data") + QStringLiteral("/z4072/results.sqlite"));
    ResultStore s;
    QString error;
    ASSERT_TRUE(s.open(QString(), &error)) << error.toStdString();
    EXPECT_TRUE(QFile::exists(ResultStore::defaultFile()));
    qputenv("XDG_DATA_HOME", old);
}

TEST(SqliteStore, ANewFileIsWalWithForeignKeysAndTheLatestSchema) {
    app();
    ResultStore s;
    QString error;
    ASSERT_TRUE(s.open(fileOf("wal.sqlite"), &error)) << error.toStdString();
    QSqlQuery q(s.database());
    ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next());
    EXPECT_EQ(q.value(0).toString(), QStringLiteral("wal"));
    ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA foreign_keys")) && q.next());
    EXPECT_EQ(q.value(0).toInt(), 1);
    EXPECT_EQ(s.schemaVersion(), ResultStore::kSchemaVersion);
}

TEST(SqliteStore, DamagedForeignAndNewerFilesAreLeftUntouched) {
    app();
    QString error;
    // Not a database at all.
    const QString junk = fileOf("junk.sqlite");
    {
        QFile f(junk);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, '\x5a'));
    }
    // An SQLite file whose pages are damaged after its header.
    const QString torn = fileOf("torn.sqlite");
    {
        ResultStore s;
        ASSERT_TRUE(s.open(torn, &error));
        s.close();
        QFile f(torn);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        for (qsizetype i = 100; i < bytes.size(); ++i)
            bytes[i] = char(0xA5);
        f.seek(0);
        f.write(bytes);
    }
    // Another program's SQLite file.
    const QString foreign = fileOf("foreign.sqlite");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("f"));
        db.setDatabaseName(foreign);
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(QStringLiteral("CREATE TABLE songs (title TEXT)"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("f"));
    // A results file of a newer schema.
    const QString newer = fileOf("newer.sqlite");
    {
        ResultStore s;
        ASSERT_TRUE(s.open(newer, &error));
        QSqlQuery(s.database()).exec(QStringLiteral("UPDATE results_schema SET version = 99"));
        QSqlQuery(s.database()).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    for (const QString& path : {junk, torn, foreign, newer}) {
        const QByteArray before = hashOf(path);
        ResultStore s;
        EXPECT_FALSE(s.open(path, &error)) << path.toStdString();
        EXPECT_TRUE(error.contains(u"left as it is")) << error.toStdString();
        EXPECT_FALSE(s.isOpen());
        EXPECT_EQ(hashOf(path), before) << path.toStdString();
        TestResult r;
        EXPECT_FALSE(s.save(r, &error)); // nothing to save into
    }
    ResultStore s;
    s.open(newer, &error);
    EXPECT_TRUE(error.contains(u"newer version")) << error.toStdString();
}

TEST(SqliteStore, AFirstVersionFileIsBroughtUpToDateWithItsResultsKept) {
    app();
    const QString path = fileOf("v1.sqlite");
    ASSERT_TRUE(makeOldFile(path, 1, {oldResult("old", "2020-02-02", "2e8")}));
    ResultStore s;
    QString error;
    ASSERT_TRUE(s.open(path, &error)) << error.toStdString();
    EXPECT_EQ(s.schemaVersion(), ResultStore::kSchemaVersion);
    const std::vector<TestResult> all = s.list({}, &error);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].assetId, QStringLiteral("old"));
    EXPECT_EQ(all[0].r1min.ohms, 2e8);
    TestResult r = all[0];
    r.readings = {{0, 2e8, QStringLiteral("200.0 MΩ")}};
    EXPECT_TRUE(s.save(r, &error)) << error.toStdString();
}

TEST(SqliteStore, ASaveThatFailsLeavesNoHalfResult) {
    app();
    ResultStore s;
    QString error;
    ASSERT_TRUE(s.open(fileOf("half.sqlite"), &error));
    // The readings' table refuses rows from now on: the result's row must go too.
    QSqlQuery(s.database())
        .exec(QStringLiteral("CREATE TRIGGER no_readings BEFORE INSERT ON result_readings "
                             "BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
    ReadingTable table;
    recordTest(table, 120);
    TestResult r = resultOfLastRun(table);
    EXPECT_FALSE(s.save(r, &error));
    EXPECT_TRUE(error.contains(u"not saved")) << error.toStdString();
    EXPECT_EQ(r.id, 0);
    EXPECT_TRUE(s.list({}, &error).empty());
}
