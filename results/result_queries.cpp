// Saving, reading and listing test results.
#include "results/result_store.h"

#include "results/result_columns.h"
#include "results/store_sql.h"
#include "results/store_texts.h"

#include <QSqlQuery>

#include <span>

using namespace resultsdb;

namespace {

// An asset filter that lets this many results through, or fewer, has them sorted as found.
constexpr qint64 kSortedAsFound = 5000;
// An asset filter that this many assets pass, or fewer, names them in the list's query.
constexpr int kAssetsNamed = 500;

// The asset IDs that hold a text (a LIKE pattern), read off the asset index: the table itself is
// never read row by row for them. SQLite's LIKE takes letters case aside (those of ASCII, as its
// LOWER() does) and reads the index faster without LOWER().
QString assetsHoldingSql(bool postgres) {
    return QStringLiteral("SELECT DISTINCT asset_id FROM test_results WHERE %1 LIKE ? ESCAPE '!'")
        .arg(postgres ? QStringLiteral("LOWER(asset_id)") : QStringLiteral("asset_id"));
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

// The WHERE clause of a filter and its values; `assetsIn`, when given, are the asset IDs that
// hold the filter's text, found beforehand.
QString whereOf(const ResultStore::Filter& f, QVariantList& values, bool postgres,
                const QStringList* assetsIn = nullptr) {
    QStringList terms;
    if (!f.asset.isEmpty()) {
        terms << QStringLiteral("asset_id = ?");
        values << f.asset;
    }
    if (assetsIn) {
        QStringList marks;
        for (const QString& id : *assetsIn) {
            marks << QStringLiteral("?");
            values << id;
        }
        terms << (marks.isEmpty() ? QStringLiteral("1 = 0")
                                  : u"asset_id IN (" + marks.join(u',') + u')');
    } else if (!f.assetContains.isEmpty()) {
        terms << QStringLiteral("asset_id IN (%1)").arg(assetsHoldingSql(postgres));
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
    if (!refreshTrends(r.assetId, &why))
        return failed(why);
    if (!run(q,
             QStringLiteral("SELECT trend_pct, trend_previous_id FROM test_results WHERE id = ?"),
             {id}) ||
        !q.next())
        return failed(lastError(q));
    const QVariant fall = q.value(0);
    const qint64 previousId = q.value(1).toLongLong();
    q.finish();
    if (!commit(&why)) {
        *error = storetexts::notSaved(name_, why);
        return false;
    }
    r.id = id;
    r.trendFallPct = fall.isNull() ? std::nullopt : std::optional<int>(fall.toInt());
    r.trendPreviousId = previousId;
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
    QString asset;
    if (run(q, QStringLiteral("SELECT asset_id FROM test_results WHERE id = ?"), {id}) && q.next())
        asset = q.value(0).toString();
    q.finish();
    // The readings go with their result (also where the foreign keys are not enforced); the
    // asset's result after it is measured against another one now.
    if (!run(q, QStringLiteral("DELETE FROM result_readings WHERE result_id = ?"), {id}) ||
        !run(q, QStringLiteral("DELETE FROM test_results WHERE id = ?"), {id})) {
        *error = lastError(q);
        rollback();
        return false;
    }
    if (!asset.isNull() && !refreshTrends(asset, &why)) {
        *error = why;
        rollback();
        return false;
    }
    return commit(error);
}

std::vector<TestResult> ResultStore::list(const Filter& filter, QString* error) {
    error->clear();
    std::vector<TestResult> out;
    QVariantList values;
    const QString where = whereOf(filter, values, postgres_);
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

std::pair<QDate, QDate> ResultStore::dateRange(QString* error) {
    error->clear();
    // One end a query: each is then read off the date index.
    QDate ends[2];
    for (int end = 0; end < 2; ++end) {
        QSqlQuery q(db_);
        if (!q.exec(QStringLiteral("SELECT %1(tested_on) FROM test_results")
                        .arg(end == 0 ? QStringLiteral("MIN") : QStringLiteral("MAX"))) ||
            !q.next()) {
            *error = lastError(q);
            return {};
        }
        ends[end] = QDate::fromString(q.value(0).toString(), kDateFormat);
    }
    return {ends[0], ends[1]};
}

bool ResultStore::refreshTrends(const QString& assetId, QString* error) {
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    const QString of = assetId.isNull() ? QString() : QStringLiteral(" WHERE asset_id = ?");
    if (!run(q,
             QStringLiteral("SELECT id, asset_id, tested_on, r1_ohms, r1_status, object_temp_c, "
                            "trend_pct, trend_previous_id FROM test_results%1 "
                            "ORDER BY asset_id, tested_on, start_time, id")
                 .arg(of),
             assetId.isNull() ? QVariantList{} : QVariantList{assetId})) {
        *error = lastError(q);
        return false;
    }
    struct Change {
        qint64 id;
        std::optional<int> fall;
        qint64 previous;
    };
    std::vector<Change> changes;
    TestResult previous, current;
    QString previousAsset;
    bool first = true;
    while (q.next()) {
        current.id = q.value(0).toLongLong();
        const QString asset = q.value(1).toString();
        current.date = QDate::fromString(q.value(2).toString(), kDateFormat);
        current.r1min = {};
        if (q.value(4).toInt() == ResistanceAt::Measured && !q.value(3).isNull())
            current.r1min = {ResistanceAt::Measured, q.value(3).toDouble()};
        current.objectTempC = numberOf(q.value(5));
        const bool follows = !first && asset == previousAsset;
        const std::optional<int> fall =
            follows ? trendFallPct(current, previous) : std::optional<int>();
        const qint64 against = fall ? previous.id : 0;
        const std::optional<int> stored =
            q.value(6).isNull() ? std::nullopt : std::optional<int>(q.value(6).toInt());
        if (fall != stored || against != q.value(7).toLongLong())
            changes.push_back({current.id, fall, against});
        previous = current;
        previousAsset = asset;
        first = false;
    }
    q.finish();
    QSqlQuery u(db_);
    if (!u.prepare(QStringLiteral("UPDATE test_results SET trend_pct = ?, trend_previous_id = ? "
                                  "WHERE id = ?"))) {
        *error = lastError(u);
        return false;
    }
    for (const Change& c : changes) {
        u.addBindValue(c.fall ? QVariant(*c.fall) : QVariant(QMetaType::fromType<int>()));
        u.addBindValue(c.previous ? QVariant(c.previous) : QVariant(QMetaType::fromType<qint64>()));
        u.addBindValue(c.id);
        if (!u.exec()) {
            *error = lastError(u);
            return false;
        }
    }
    return true;
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
    // A missing figure sorts as the lowest, as SQLite has it (and its index on PostgreSQL).
    const QString nulls = !postgres_ || sortColumn == ColId ? QString()
                          : order == Qt::AscendingOrder     ? QStringLiteral(" NULLS FIRST")
                                                            : QStringLiteral(" NULLS LAST");
    const QString by = sorted.sortBy ? QString::fromLatin1(sorted.sortBy).arg(dir)
                                     : QLatin1String(sorted.select) + u' ' + dir + nulls;
    QStringList selected;
    for (const ResultListColumn& c : columns)
        selected << QLatin1String(c.select);
    // A narrow asset filter names its assets, found first in the asset index, so that their
    // results are read by it. SQLite would still go by the sort's index, reading every row to
    // find the few the filter lets through: they are few enough to sort as they are found
    // ("+column" keeps SQLite from the sort's index).
    QString orderBy = by + QStringLiteral(", id ") + dir;
    QStringList named;
    bool naming = false;
    if (!filter.assetContains.isEmpty()) {
        QSqlQuery ids(db_);
        ids.setForwardOnly(true);
        if (!run(ids, assetsHoldingSql(postgres_), {likePattern(filter.assetContains)})) {
            *error = lastError(ids);
            return false;
        }
        while (ids.next() && named.size() <= kAssetsNamed)
            named << ids.value(0).toString();
        naming = named.size() <= kAssetsNamed;
    }
    QVariantList values;
    const QString where = whereOf(filter, values, postgres_, naming ? &named : nullptr);
    if (!postgres_ && !filter.assetContains.isEmpty()) {
        QSqlQuery count(db_);
        if (!run(count,
                 QStringLiteral("SELECT COUNT(*) FROM (SELECT 1 FROM test_results%1 LIMIT %2)")
                     .arg(where)
                     .arg(kSortedAsFound + 1),
                 values) ||
            !count.next()) {
            *error = lastError(count);
            return false;
        }
        if (count.value(0).toLongLong() <= kSortedAsFound)
            orderBy =
                QStringLiteral("+") + orderBy.replace(QStringLiteral(", "), QStringLiteral(", +"));
    }
    const QString sql = QStringLiteral("SELECT %1 FROM test_results%2 ORDER BY %3")
                            .arg(selected.join(QStringLiteral(", ")), where, orderBy);
    if (run(q, sql, values))
        return true;
    *error = lastError(q);
    return false;
}
