// The results database on a PostgreSQL server: the same cases as the SQLite file. The server is
// the one the PG* environment variables name (pg_virtualenv sets them); without one the tests
// are skipped.
#define STORE_CASES PostgresCases
#include "tests/results/store_cases.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QUrlQuery>

namespace {

int schemaNumber = 0;

// Each test works in a schema of its own, so that tests may run at once on one server.
QString schemaUrl(const QString& schema) {
    QUrl url(QStringLiteral("postgresql:///"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("options"), QStringLiteral("-csearch_path=") + schema);
    url.setQuery(query);
    return url.toString();
}

QString currentSchema;

} // namespace

bool PostgresCases::openFresh(ResultStore& s, QString* why) {
    if (qEnvironmentVariableIsEmpty("PGHOST") && qEnvironmentVariableIsEmpty("PGDATABASE")) {
        *why = QStringLiteral("no PostgreSQL server given (run under pg_virtualenv, or set "
                              "PGHOST, PGPORT, PGUSER, PGPASSWORD, PGDATABASE)");
        return false;
    }
    currentSchema = QStringLiteral("z4072_test_%1_%2")
                        .arg(QCoreApplication::applicationPid())
                        .arg(++schemaNumber);
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("admin"));
        if (!db.open()) {
            *why = u"the PostgreSQL server cannot be reached: " + db.lastError().text();
            return false;
        }
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("CREATE SCHEMA %1").arg(currentSchema))) {
            *why = q.lastError().text();
            return false;
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("admin"));
    const bool ok = s.open(schemaUrl(currentSchema), why);
    if (!ok)
        ADD_FAILURE() << why->toStdString(); // a server is given: it must work
    return ok;
}

bool PostgresCases::openAgain(ResultStore& s, QString* why) {
    return s.open(schemaUrl(currentSchema), why);
}

bool PostgresCases::openEmptyForReading(ResultStore& s, QString* why) {
    const QString schema = currentSchema + QStringLiteral("_empty");
    QSqlQuery(store.database()).exec(QStringLiteral("CREATE SCHEMA %1").arg(schema));
    const bool opened = s.open(schemaUrl(schema), why, ResultStore::Opening::ExistingOnly);
    QSqlQuery q(store.database());
    EXPECT_TRUE(q.exec(QStringLiteral("SELECT COUNT(*) FROM information_schema.tables WHERE "
                                      "table_schema = '%1'")
                           .arg(schema)) &&
                q.next());
    EXPECT_EQ(q.value(0).toInt(), 0) << "nothing made in it";
    return opened;
}

TEST(PostgresStore, AServerThatCannotBeReachedIsSaidClearly) {
    app();
    ResultStore s;
    QString why;
    EXPECT_FALSE(s.open(QStringLiteral("postgresql://nobody@127.0.0.1:1/none"), &why));
    EXPECT_TRUE(why.contains(u"cannot be opened")) << why.toStdString();
    EXPECT_FALSE(why.contains(u"password"));
}

TEST_F(PostgresCases, ADatabaseThatCannotBeWrittenSavesNothingAndSaysWhy) {
    QString error;
    TestResult kept = sample(QStringLiteral("A"), QDate(2026, 1, 1));
    ASSERT_TRUE(store.save(kept, &error)) << error.toStdString();
    // A colleague who may read the team's results but not add to them.
    const QString reader = currentSchema + QStringLiteral("_reader");
    QSqlQuery admin(store.database());
    ASSERT_TRUE(admin.exec(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD 'read-only'").arg(reader)))
        << admin.lastError().text().toStdString();
    ASSERT_TRUE(
        admin.exec(QStringLiteral("GRANT USAGE ON SCHEMA %1 TO %2").arg(currentSchema, reader)));
    ASSERT_TRUE(admin.exec(QStringLiteral("GRANT SELECT ON ALL TABLES IN SCHEMA %1 TO %2")
                               .arg(currentSchema, reader)));

    QUrl url(schemaUrl(currentSchema));
    QUrlQuery query(url);
    query.addQueryItem(QStringLiteral("user"), reader);
    query.addQueryItem(QStringLiteral("password"), QStringLiteral("read-only"));
    url.setQuery(query);
    ResultStore readOnly;
    ASSERT_TRUE(readOnly.open(url.toString(), &error)) << error.toStdString();
    EXPECT_EQ(readOnly.list({}, &error).size(), 1u);
    TestResult r = sample(QStringLiteral("B"), QDate(2026, 1, 2));
    EXPECT_FALSE(readOnly.save(r, &error));
    EXPECT_TRUE(error.contains(u"not saved")) << error.toStdString();
    EXPECT_FALSE(error.contains(u"read-only")) << "no password in a message";
    EXPECT_EQ(r.id, 0);
    EXPECT_EQ(store.list({}, &error).size(), 1u);
    readOnly.close();
    admin.exec(
        QStringLiteral("REVOKE ALL ON ALL TABLES IN SCHEMA %1 FROM %2").arg(currentSchema, reader));
    admin.exec(QStringLiteral("REVOKE ALL ON SCHEMA %1 FROM %2").arg(currentSchema, reader));
    admin.exec(QStringLiteral("DROP ROLE %1").arg(reader));
}
