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

TEST(PostgresStore, AServerThatCannotBeReachedIsSaidClearly) {
    app();
    ResultStore s;
    QString why;
    EXPECT_FALSE(s.open(QStringLiteral("postgresql://nobody@127.0.0.1:1/none"), &why));
    EXPECT_TRUE(why.contains(u"cannot be opened")) << why.toStdString();
    EXPECT_FALSE(why.contains(u"password"));
}
