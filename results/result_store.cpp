// Opening the results database: an SQLite file or a PostgreSQL server named by a URL, and the
// transactions on the connection.
#include "results/result_store.h"

#include "results/store_sql.h"
#include "results/store_texts.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>

using namespace resultsdb;

namespace {

QAtomicInt connections;

} // namespace

ResultStore::ResultStore()
    : connection_(QStringLiteral("z4072_results_%1").arg(connections.fetchAndAddRelaxed(1))) {}

ResultStore::~ResultStore() {
    close();
}

void ResultStore::close() {
    if (!QSqlDatabase::contains(connection_))
        return;
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection_);
}

QString ResultStore::defaultFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/z4072/results.sqlite");
}

QString ResultStore::configuredUrl() {
    const QString set = QSettings().value(QStringLiteral("results/database")).toString();
    return set.trimmed().isEmpty() ? defaultFile() : set.trimmed();
}

bool ResultStore::open(const QString& given, QString* error, Opening opening) {
    close();
    version_ = 0;
    opening_ = opening;
    const QString url = given.trimmed().isEmpty() ? configuredUrl() : given.trimmed();
    if (url.startsWith(u"postgresql:") || url.startsWith(u"postgres:"))
        return openPostgres(url, error);
    QString path = url;
    if (path.startsWith(u"sqlite:"))
        path = QUrl(path).toLocalFile().isEmpty() ? path.mid(7) : QUrl(path).toLocalFile();
    return openSqlite(path, error);
}

bool ResultStore::openSqlite(const QString& path, QString* error) {
    postgres_ = false;
    name_ = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        *error = storetexts::notAFile(name_);
        return false;
    }
    // A mistyped path makes no folders and no empty database.
    if (!info.exists() && opening_ == Opening::ExistingOnly) {
        *error = storetexts::noDatabase(name_);
        return false;
    }
    // A file that is not SQLite is refused before SQLite could take it for its own.
    if (info.exists() && info.size() > 0) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            *error = storetexts::cannotRead(name_, f.errorString());
            return false;
        }
        if (f.read(16) != QByteArray("SQLite format 3\0", 16)) {
            *error = storetexts::notADatabase(name_);
            return false;
        }
    }
    if (!info.exists() && !QDir().mkpath(info.absolutePath())) {
        *error = storetexts::folderNotMade(name_);
        return false;
    }
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    if (!db_.isValid()) {
        *error = storetexts::sqliteDriverMissing();
        close();
        return false;
    }
    db_.setDatabaseName(path);
    // The window and the command line may share one file: a writer waits for the other.
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000");
    if (info.exists() && !info.isWritable())
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    db_.setConnectOptions(options);
    if (!db_.open()) {
        *error = storetexts::cannotOpen(name_, db_.lastError().text());
        close();
        return false;
    }
    return prepareSchema(error);
}

bool ResultStore::openPostgres(const QString& text, QString* error) {
    postgres_ = true;
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid()) {
        *error = storetexts::addressNotValid(url.errorString());
        return false;
    }
    QUrlQuery query(url);
    QString host = url.host();
    int port = url.port(-1);
    QString user = url.userName(QUrl::FullyDecoded);
    QString password = url.password(QUrl::FullyDecoded);
    QString dbName = url.path(QUrl::FullyDecoded).mid(1);
    QStringList options{QStringLiteral("connect_timeout=10")};
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == u"host")
            host = value;
        else if (key == u"port")
            port = value.toInt();
        else if (key == u"user")
            user = value;
        else if (key == u"password")
            password = value;
        else if (key == u"dbname")
            dbName = value;
        else if (!key.contains(u';') && !value.contains(u';'))
            options << key + u'=' + value;
    }
    name_ = QStringLiteral("postgresql://%1%2%3/%4")
                .arg(user.isEmpty() ? QString() : user + u'@', host,
                     port > 0 ? QStringLiteral(":%1").arg(port) : QString(), dbName);
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection_);
    if (!db_.isValid()) {
        *error = storetexts::postgresDriverMissing();
        close();
        return false;
    }
    // What is left empty comes from the PG* environment variables and ~/.pgpass.
    db_.setHostName(host);
    if (port > 0)
        db_.setPort(port);
    db_.setUserName(user);
    db_.setPassword(password);
    db_.setDatabaseName(dbName);
    db_.setConnectOptions(options.join(u';'));
    if (!db_.open()) {
        *error = storetexts::serverCannotOpen(name_, db_.lastError().text().trimmed());
        close();
        return false;
    }
    QSqlQuery q(db_);
    q.exec(QStringLiteral("SET client_min_messages TO WARNING"));
    return prepareSchema(error);
}

bool ResultStore::begin(QString* error) {
    QSqlQuery q(db_);
    // An SQLite writer takes the file's write lock at once, so two writers never wait on
    // each other's read locks.
    const bool ok = q.exec(postgres_ ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"));
    if (!ok)
        *error = lastError(q);
    return ok;
}

bool ResultStore::commit(QString* error) {
    QSqlQuery q(db_);
    if (q.exec(QStringLiteral("COMMIT")))
        return true;
    *error = lastError(q);
    rollback();
    return false;
}

void ResultStore::rollback() {
    QSqlQuery q(db_);
    q.exec(QStringLiteral("ROLLBACK"));
}
