#include "core/decimal_sep.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>

std::optional<QByteArray> systemDecimalSepQuery() {
    // QLocale::system() follows LC_ALL / LC_NUMERIC / LANG with its own locale data, so it
    // works whether or not the C library has that locale generated.
    const QLocale system = QLocale::system();
    if (system.language() == QLocale::AnyLanguage)
        return std::nullopt;
    return system.decimalPoint().toLocal8Bit();
}

QString GetDecimalSep(const DecimalSepQuery& query) {
    char buf[10] = {};
    const std::optional<QByteArray> answer = query ? query() : std::nullopt;
    if (!answer)
        return QString();
    std::copy_n(answer->constData(), std::min<qsizetype>(answer->size(), sizeof buf - 1), buf);
    return QString::fromLocal8Bit(buf);
}

QString ExeDirOf(const QString& programPath) {
    const QString path = QDir::fromNativeSeparators(programPath);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QString();
    return QDir::toNativeSeparators(path.left(slash + 1));
}

QString HelpFileOf(const QString& exeDir, const QString& name) {
    const QString beside = exeDir + name;
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed = QDir::cleanPath(QDir::fromNativeSeparators(exeDir) +
                                              QStringLiteral("../share/z4072/") + name);
    if (QFileInfo::exists(installed))
        return QDir::toNativeSeparators(installed);
    return beside;
}
