#include "results/result_store.h"

#include "results/verdict.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>

namespace {

QAtomicInt connections;

const QString kDateFormat = QStringLiteral("yyyy-MM-dd");
const QString kTimeFormat = QStringLiteral("HH:mm:ss");

QString lastError(const QSqlQuery& q) {
    const QSqlError e = q.lastError();
    return e.text().trimmed();
}

// A text as stored: never NULL, empty when not given.
QVariant textOf(const QString& text) {
    return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text);
}

QVariant orNull(const std::optional<double>& v) {
    return v ? QVariant(*v) : QVariant(QMetaType::fromType<double>());
}

std::optional<double> optionalOf(const QVariant& v) {
    if (v.isNull())
        return std::nullopt;
    return v.toDouble();
}

QVariant ohmsOf(const ResistanceAt& at) {
    return at.ok() ? QVariant(at.ohms) : QVariant(QMetaType::fromType<double>());
}

ResistanceAt resistanceOf(const QVariant& ohms, const QVariant& status) {
    ResistanceAt at;
    const int s = status.toInt();
    at.status = s >= ResistanceAt::Measured && s <= ResistanceAt::Unsteady
                    ? ResistanceAt::Status(s)
                    : ResistanceAt::NoReading;
    if (at.status == ResistanceAt::Measured) {
        if (ohms.isNull())
            at.status = ResistanceAt::NoReading;
        else
            at.ohms = ohms.toDouble();
    }
    return at;
}

// The columns of a result, in the order of the insert.
const char* const kColumns[] = {"asset_id",
                                "asset_kind",
                                "rated_kv",
                                "insulation_class",
                                "object_temp_c",
                                "ambient_temp_c",
                                "humidity_pct",
                                "operator_name",
                                "location",
                                "notes",
                                "tested_on",
                                "start_time",
                                "function_text",
                                "test_volts",
                                "duration_ms",
                                "r30_ohms",
                                "r30_status",
                                "r1_ohms",
                                "r1_status",
                                "r10_ohms",
                                "r10_status",
                                "dar",
                                "pi",
                                "meter_pi",
                                "r40_ohms",
                                "min_mohm",
                                "min_pi",
                                "min_dar",
                                "verdict",
                                "verdict_reasons",
                                "source",
                                "saved_at"};

QString columnList() {
    QStringList names;
    for (const char* c : kColumns)
        names << QLatin1String(c);
    return names.join(QStringLiteral(", "));
}

TestResult resultOf(const QSqlQuery& q) {
    const QSqlRecord rec = q.record();
    auto v = [&](const char* name) { return q.value(rec.indexOf(QLatin1String(name))); };
    TestResult r;
    r.id = v("id").toLongLong();
    r.assetId = v("asset_id").toString();
    r.kind = assetKindOf(v("asset_kind").toString()).value_or(AssetKind::Other);
    r.ratedKv = optionalOf(v("rated_kv"));
    r.insulationClass = v("insulation_class").toString();
    r.objectTempC = optionalOf(v("object_temp_c"));
    r.ambientTempC = optionalOf(v("ambient_temp_c"));
    r.humidityPct = optionalOf(v("humidity_pct"));
    r.operatorName = v("operator_name").toString();
    r.location = v("location").toString();
    r.notes = v("notes").toString();
    r.date = QDate::fromString(v("tested_on").toString(), kDateFormat);
    r.startTime = QTime::fromString(v("start_time").toString(), kTimeFormat);
    r.function = v("function_text").toString();
    r.durationMs = v("duration_ms").toLongLong();
    r.r30s = resistanceOf(v("r30_ohms"), v("r30_status"));
    r.r1min = resistanceOf(v("r1_ohms"), v("r1_status"));
    r.r10min = resistanceOf(v("r10_ohms"), v("r10_status"));
    r.dar = optionalOf(v("dar"));
    r.pi = optionalOf(v("pi"));
    r.meterPi = optionalOf(v("meter_pi"));
    r.minMohm = optionalOf(v("min_mohm"));
    r.minPi = optionalOf(v("min_pi"));
    r.minDar = optionalOf(v("min_dar"));
    r.source = v("source").toString();
    return r;
}

// "x LIKE ?" with the text's own %, _ and ! taken literally.
QString likePattern(const QString& text) {
    QString escaped;
    for (QChar c : text.toLower()) {
        if (c == u'%' || c == u'_' || c == u'!')
            escaped += u'!';
        escaped += c;
    }
    return u'%' + escaped + u'%';
}

// The WHERE clause of a filter and its values.
QString whereOf(const ResultStore::Filter& f, QVariantList& values) {
    QStringList terms;
    if (!f.asset.isEmpty()) {
        terms << QStringLiteral("asset_id = ?");
        values << f.asset;
    }
    if (!f.assetContains.isEmpty()) {
        terms << QStringLiteral("LOWER(asset_id) LIKE ? ESCAPE '!'");
        values << likePattern(f.assetContains);
    }
    if (f.from.isValid()) {
        terms << QStringLiteral("tested_on >= ?");
        values << f.from.toString(kDateFormat);
    }
    if (f.to.isValid()) {
        terms << QStringLiteral("tested_on <= ?");
        values << f.to.toString(kDateFormat);
    }
    return terms.isEmpty() ? QString() : u" WHERE " + terms.join(QStringLiteral(" AND "));
}

bool run(QSqlQuery& q, const QString& sql, const QVariantList& values = {}) {
    if (!q.prepare(sql))
        return false;
    for (const QVariant& v : values)
        q.addBindValue(v);
    return q.exec();
}

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

QString ResultStore::fail(const QString& what, const QString& why) const {
    return why.isEmpty() ? what : what + u' ' + why;
}

bool ResultStore::open(const QString& given, QString* error) {
    close();
    version_ = 0;
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
        *error = QStringLiteral("The results database \"%1\" is not a file.").arg(name_);
        return false;
    }
    // A file that is not SQLite is refused before SQLite could take it for its own.
    if (info.exists() && info.size() > 0) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("The results database \"%1\" cannot be read: %2")
                         .arg(name_, f.errorString());
            return false;
        }
        if (f.read(16) != QByteArray("SQLite format 3\0", 16)) {
            *error = QStringLiteral("The results database \"%1\" is damaged or not a database: "
                                    "it was left as it is.")
                         .arg(name_);
            return false;
        }
    }
    if (!info.exists() && !QDir().mkpath(info.absolutePath())) {
        *error = QStringLiteral("The folder of the results database \"%1\" cannot be created.")
                     .arg(name_);
        return false;
    }
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    if (!db_.isValid()) {
        *error = QStringLiteral("Qt's SQLite driver is missing (package libqt6sql6-sqlite).");
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
        *error = QStringLiteral("The results database \"%1\" cannot be opened: %2")
                     .arg(name_, db_.lastError().text());
        close();
        return false;
    }
    return prepareSchema(error);
}

bool ResultStore::openPostgres(const QString& text, QString* error) {
    postgres_ = true;
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid()) {
        *error = QStringLiteral("The database address is not valid: %1").arg(url.errorString());
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
        *error = QStringLiteral("Qt's PostgreSQL driver is missing (package libqt6sql6-psql).");
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
        *error = QStringLiteral("The results database %1 cannot be opened: %2")
                     .arg(name_, db_.lastError().text().trimmed());
        close();
        return false;
    }
    QSqlQuery q(db_);
    q.exec(QStringLiteral("SET client_min_messages TO WARNING"));
    return prepareSchema(error);
}

bool ResultStore::prepareSchema(QString* error) {
    QSqlQuery q(db_);
    const QString tablesSql =
        postgres_ ? QStringLiteral("SELECT table_name FROM information_schema.tables "
                                   "WHERE table_schema = current_schema()")
                  : QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'");
    if (!q.exec(tablesSql)) {
        *error = QStringLiteral("The results database \"%1\" is damaged or cannot be read (%2): "
                                "it was left as it is.")
                     .arg(name_, lastError(q));
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
        *error = QStringLiteral("\"%1\" holds no test results (another program's database?): "
                                "it was left as it is.")
                     .arg(name_);
        close();
        return false;
    }
    if (ours) {
        if (!q.exec(QStringLiteral("SELECT version FROM results_schema")) || !q.next()) {
            *error = QStringLiteral("The results database \"%1\" is damaged (%2): it was left as "
                                    "it is.")
                         .arg(name_, lastError(q));
            close();
            return false;
        }
        version_ = q.value(0).toInt();
        q.finish();
        if (version_ > kSchemaVersion) {
            *error = QStringLiteral("The results database \"%1\" was written by a newer version "
                                    "of the program (schema %2; this one knows up to %3): it was "
                                    "left as it is.")
                         .arg(name_)
                         .arg(version_)
                         .arg(kSchemaVersion);
            close();
            return false;
        }
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
    default:
        return {};
    }
}

bool ResultStore::migrate(QString* error) {
    QString why;
    if (!begin(&why)) {
        *error =
            QStringLiteral("The results database \"%1\" cannot be written: %2").arg(name_, why);
        close();
        return false;
    }
    QSqlQuery q(db_);
    auto failed = [&](const QString& text) {
        const QString reason = text.isEmpty() ? lastError(q) : text;
        rollback();
        *error =
            QStringLiteral("The results database \"%1\" cannot be prepared: %2").arg(name_, reason);
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
        return failed(QStringLiteral("it was written by a newer version of the program"));
    for (int step = version + 1; step <= kSchemaVersion; ++step) {
        for (const QString& sql : migrationStep(step, postgres_))
            if (!q.exec(sql))
                return failed({});
        if (!q.exec(QStringLiteral("UPDATE results_schema SET version = %1").arg(step)))
            return failed({});
    }
    if (!commit(&why))
        return failed(why);
    version_ = kSchemaVersion;
    return true;
}

bool ResultStore::save(TestResult& r, QString* error) {
    if (!isOpen()) {
        *error = QStringLiteral("No results database is open.");
        return false;
    }
    const QString problem = checkFields(r);
    if (!problem.isEmpty()) {
        *error = problem;
        return false;
    }
    const Verdict verdict = judge(r);
    QString why;
    auto failed = [&](const QString& reason) {
        rollback();
        *error = QStringLiteral("The test result was not saved in \"%1\": %2").arg(name_, reason);
        return false;
    };
    if (!begin(&why)) {
        *error = QStringLiteral("The test result was not saved in \"%1\": %2").arg(name_, why);
        return false;
    }
    QSqlQuery q(db_);
    QStringList marks;
    for (size_t i = 0; i < std::size(kColumns); ++i)
        marks << QStringLiteral("?");
    QString sql = QStringLiteral("INSERT INTO test_results (%1) VALUES (%2)")
                      .arg(columnList(), marks.join(QStringLiteral(", ")));
    if (postgres_)
        sql += QStringLiteral(" RETURNING id");
    const QVariantList values{textOf(r.assetId),
                              assetKindKey(r.kind),
                              orNull(r.ratedKv),
                              textOf(r.insulationClass),
                              orNull(r.objectTempC),
                              orNull(r.ambientTempC),
                              orNull(r.humidityPct),
                              textOf(r.operatorName),
                              textOf(r.location),
                              textOf(r.notes),
                              r.date.toString(kDateFormat),
                              r.startTime.toString(kTimeFormat),
                              textOf(r.function),
                              orNull(r.testVolts()),
                              r.durationMs,
                              ohmsOf(r.r30s),
                              int(r.r30s.status),
                              ohmsOf(r.r1min),
                              int(r.r1min.status),
                              ohmsOf(r.r10min),
                              int(r.r10min.status),
                              orNull(r.dar),
                              orNull(r.pi),
                              orNull(r.meterPi),
                              orNull(r.r40()),
                              orNull(r.minMohm),
                              orNull(r.minPi),
                              orNull(r.minDar),
                              outcomeText(verdict.outcome),
                              textOf(verdict.summary()),
                              textOf(r.source),
                              QDateTime::currentDateTime().toString(Qt::ISODate)};
    if (!run(q, sql, values))
        return failed(lastError(q));
    qint64 id = 0;
    if (postgres_) {
        if (!q.next())
            return failed(lastError(q));
        id = q.value(0).toLongLong();
        q.finish();
    } else {
        id = q.lastInsertId().toLongLong();
    }
    if (!r.readings.empty()) {
        QVariantList ids, seqs, elapsed, ohms, shown;
        for (size_t i = 0; i < r.readings.size(); ++i) {
            const ResultReading& reading = r.readings[i];
            ids << id;
            seqs << int(i);
            elapsed << reading.elapsedMs;
            ohms << orNull(reading.ohms);
            shown << reading.text;
        }
        QSqlQuery rq(db_);
        if (!rq.prepare(QStringLiteral("INSERT INTO result_readings "
                                       "(result_id, seq, elapsed_ms, ohms, shown) "
                                       "VALUES (?, ?, ?, ?, ?)")))
            return failed(lastError(rq));
        rq.addBindValue(ids);
        rq.addBindValue(seqs);
        rq.addBindValue(elapsed);
        rq.addBindValue(ohms);
        rq.addBindValue(shown);
        if (!rq.execBatch())
            return failed(lastError(rq));
    }
    if (!commit(&why)) {
        *error = QStringLiteral("The test result was not saved in \"%1\": %2").arg(name_, why);
        return false;
    }
    r.id = id;
    return true;
}

std::optional<TestResult> ResultStore::load(qint64 id, bool withReadings, QString* error) {
    error->clear();
    QSqlQuery q(db_);
    if (!run(q, QStringLiteral("SELECT id, %1 FROM test_results WHERE id = ?").arg(columnList()),
             {id})) {
        *error = lastError(q);
        return std::nullopt;
    }
    if (!q.next())
        return std::nullopt;
    TestResult r = resultOf(q);
    if (withReadings) {
        QSqlQuery rq(db_);
        rq.setForwardOnly(true);
        if (!run(rq,
                 QStringLiteral("SELECT elapsed_ms, ohms, shown FROM result_readings "
                                "WHERE result_id = ? ORDER BY seq"),
                 {id})) {
            *error = lastError(rq);
            return std::nullopt;
        }
        while (rq.next())
            r.readings.push_back(
                {rq.value(0).toLongLong(), optionalOf(rq.value(1)), rq.value(2).toString()});
    }
    return r;
}

bool ResultStore::remove(qint64 id, QString* error) {
    QString why;
    if (!begin(&why)) {
        *error = why;
        return false;
    }
    QSqlQuery q(db_);
    // The readings go with their result (also where the foreign keys are not enforced).
    if (!run(q, QStringLiteral("DELETE FROM result_readings WHERE result_id = ?"), {id}) ||
        !run(q, QStringLiteral("DELETE FROM test_results WHERE id = ?"), {id})) {
        *error = lastError(q);
        rollback();
        return false;
    }
    return commit(error);
}

std::vector<TestResult> ResultStore::list(const Filter& filter, QString* error) {
    error->clear();
    std::vector<TestResult> out;
    QVariantList values;
    const QString where = whereOf(filter, values);
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    if (!run(q,
             QStringLiteral("SELECT id, %1 FROM test_results%2 "
                            "ORDER BY tested_on, start_time, id")
                 .arg(columnList(), where),
             values)) {
        *error = lastError(q);
        return out;
    }
    while (q.next())
        out.push_back(resultOf(q));
    return out;
}

std::optional<TestResult> ResultStore::previousOf(const TestResult& r, QString* error) {
    error->clear();
    QSqlQuery q(db_);
    const QString date = r.date.toString(kDateFormat);
    const QString time = r.startTime.toString(kTimeFormat);
    if (!run(q,
             QStringLiteral("SELECT id, %1 FROM test_results WHERE asset_id = ? AND "
                            "(tested_on < ? OR (tested_on = ? AND (start_time < ? OR "
                            "(start_time = ? AND id < ?)))) "
                            "ORDER BY tested_on DESC, start_time DESC, id DESC LIMIT 1")
                 .arg(columnList()),
             {r.assetId, date, date, time, time, r.id > 0 ? r.id : qint64(1) << 62})) {
        *error = lastError(q);
        return std::nullopt;
    }
    if (!q.next())
        return std::nullopt;
    return resultOf(q);
}

std::optional<TestResult> ResultStore::latestOf(const QString& assetId, QString* error) {
    error->clear();
    QSqlQuery q(db_);
    if (!run(q,
             QStringLiteral("SELECT id, %1 FROM test_results WHERE asset_id = ? "
                            "ORDER BY tested_on DESC, start_time DESC, id DESC LIMIT 1")
                 .arg(columnList()),
             {assetId})) {
        *error = lastError(q);
        return std::nullopt;
    }
    if (!q.next())
        return std::nullopt;
    return resultOf(q);
}

QStringList ResultStore::assetIds(QString* error) {
    error->clear();
    QStringList ids;
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT DISTINCT asset_id FROM test_results ORDER BY asset_id"))) {
        *error = lastError(q);
        return ids;
    }
    while (q.next())
        ids << q.value(0).toString();
    return ids;
}

QStringList ResultStore::listHeaders() {
    return {QStringLiteral("ID"),     QStringLiteral("Date"),         QStringLiteral("Asset"),
            QStringLiteral("Kind"),   QStringLiteral("Test voltage"), QStringLiteral("R(1 min)"),
            QStringLiteral("R40"),    QStringLiteral("DAR"),          QStringLiteral("PI"),
            QStringLiteral("Verdict")};
}

bool ResultStore::listQuery(QSqlQuery& q, const Filter& filter, int sortColumn, Qt::SortOrder order,
                            QString* error) {
    static const char* const kSortBy[ColumnCount] = {"id",         "tested_on %1, start_time %1",
                                                     "asset_id",   "asset_kind",
                                                     "test_volts", "r1_ohms",
                                                     "r40_ohms",   "dar",
                                                     "pi",         "verdict"};
    const QString dir =
        order == Qt::AscendingOrder ? QStringLiteral("ASC") : QStringLiteral("DESC");
    const int c = sortColumn >= 0 && sortColumn < ColumnCount ? sortColumn : ColDate;
    QString by = QString::fromLatin1(kSortBy[c]);
    by = by.contains(u"%1") ? by.arg(dir) : by + u' ' + dir;
    QVariantList values;
    const QString where = whereOf(filter, values);
    const QString sql =
        QStringLiteral("SELECT id, tested_on || ' ' || start_time, asset_id, asset_kind, "
                       "test_volts, r1_ohms, r40_ohms, dar, pi, verdict FROM test_results%1 "
                       "ORDER BY %2, id %3")
            .arg(where, by, dir);
    if (run(q, sql, values))
        return true;
    *error = lastError(q);
    return false;
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
