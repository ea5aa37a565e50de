// Saving, reading and listing test results.
#include "results/result_store.h"

#include "results/result_columns.h"
#include "results/store_sql.h"
#include "results/store_texts.h"

#include <QSqlQuery>

#include <span>

using namespace resultsdb;

namespace {

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

} // namespace
bool ResultStore::save(TestResult& r, QString* error) {
    if (!isOpen()) {
        *error = storetexts::noneOpen();
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
        *error = storetexts::notSaved(name_, reason);
        return false;
    };
    if (!begin(&why)) {
        *error = storetexts::notSaved(name_, why);
        return false;
    }
    QSqlQuery q(db_);
    const QVariantList values = insertedValues(r, verdict);
    QStringList marks;
    for (qsizetype i = 0; i < values.size(); ++i)
        marks << QStringLiteral("?");
    QString sql = QStringLiteral("INSERT INTO test_results (%1) VALUES (%2)")
                      .arg(insertedColumns(), marks.join(QStringLiteral(", ")));
    if (postgres_)
        sql += QStringLiteral(" RETURNING id");
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
            ohms << number(reading.ohms);
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
        *error = storetexts::notSaved(name_, why);
        return false;
    }
    r.id = id;
    return true;
}

std::optional<TestResult> ResultStore::load(qint64 id, bool withReadings, QString* error) {
    error->clear();
    QSqlQuery q(db_);
    if (!run(q, QStringLiteral("SELECT %1 FROM test_results WHERE id = ?").arg(selectedColumns()),
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
                {rq.value(0).toLongLong(), numberOf(rq.value(1)), rq.value(2).toString()});
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
             QStringLiteral("SELECT %1 FROM test_results%2 "
                            "ORDER BY tested_on, start_time, id")
                 .arg(selectedColumns(), where),
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
             QStringLiteral("SELECT %1 FROM test_results WHERE asset_id = ? AND "
                            "(tested_on < ? OR (tested_on = ? AND (start_time < ? OR "
                            "(start_time = ? AND id < ?)))) "
                            "ORDER BY tested_on DESC, start_time DESC, id DESC LIMIT 1")
                 .arg(selectedColumns()),
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
             QStringLiteral("SELECT %1 FROM test_results WHERE asset_id = ? "
                            "ORDER BY tested_on DESC, start_time DESC, id DESC LIMIT 1")
                 .arg(selectedColumns()),
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
    QStringList headers;
    for (const ResultListColumn& c : resultListColumns())
        headers << QLatin1String(c.header);
    return headers;
}

bool ResultStore::listQuery(QSqlQuery& q, const Filter& filter, int sortColumn, Qt::SortOrder order,
                            QString* error) {
    const std::span<const ResultListColumn> columns = resultListColumns();
    const QString dir =
        order == Qt::AscendingOrder ? QStringLiteral("ASC") : QStringLiteral("DESC");
    const ResultListColumn& sorted =
        columns[sortColumn >= 0 && sortColumn < ColumnCount ? sortColumn : ColDate];
    const QString by = sorted.sortBy ? QString::fromLatin1(sorted.sortBy).arg(dir)
                                     : QLatin1String(sorted.select) + u' ' + dir;
    QStringList selected;
    for (const ResultListColumn& c : columns)
        selected << QLatin1String(c.select);
    QVariantList values;
    const QString where = whereOf(filter, values);
    const QString sql = QStringLiteral("SELECT %1 FROM test_results%2 ORDER BY %3, id %4")
                            .arg(selected.join(QStringLiteral(", ")), where, by, dir);
    if (run(q, sql, values))
        return true;
    *error = lastError(q);
    return false;
}
