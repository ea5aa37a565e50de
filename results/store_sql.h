#pragma once

#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringView>
#include <QVariant>
#include <QVariantList>

#include <optional>

// What the results database's files share: values as the database holds them, and running a
// statement.
namespace resultsdb {

// Dates and start times as the columns hold them: they sort as text.
inline constexpr QStringView kDateFormat = u"yyyy-MM-dd";
inline constexpr QStringView kTimeFormat = u"HH:mm:ss";

// A text as stored: never NULL, empty when not given.
inline QVariant text(const QString& text) {
    return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text);
}

// A figure as stored: NULL when there is none, and back.
inline QVariant number(const std::optional<double>& v) {
    return v ? QVariant(*v) : QVariant(QMetaType::fromType<double>());
}
inline std::optional<double> numberOf(const QVariant& v) {
    if (v.isNull())
        return std::nullopt;
    return v.toDouble();
}

inline QString lastError(const QSqlQuery& q) {
    const QSqlError e = q.lastError();
    return e.text().trimmed();
}

// Prepares `sql`, binds `values` in their order and runs it.
inline bool run(QSqlQuery& q, const QString& sql, const QVariantList& values = {}) {
    if (!q.prepare(sql))
        return false;
    for (const QVariant& v : values)
        q.addBindValue(v);
    return q.exec();
}

} // namespace resultsdb
