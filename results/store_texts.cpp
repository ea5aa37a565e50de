#include "results/store_texts.h"

namespace storetexts {

QString notAFile(const QString& db) {
    return QStringLiteral("The results database \"%1\" is not a file.").arg(db);
}

QString cannotRead(const QString& db, const QString& why) {
    return QStringLiteral("The results database \"%1\" cannot be read: %2").arg(db, why);
}

QString notADatabase(const QString& db) {
    return QStringLiteral("The results database \"%1\" is damaged or not a database: it was left "
                          "as it is.")
        .arg(db);
}

QString folderNotMade(const QString& db) {
    return QStringLiteral("The folder of the results database \"%1\" cannot be created.").arg(db);
}

QString sqliteDriverMissing() {
    return QStringLiteral("Qt's SQLite driver is missing (package libqt6sql6-sqlite).");
}

QString cannotOpen(const QString& db, const QString& why) {
    return QStringLiteral("The results database \"%1\" cannot be opened: %2").arg(db, why);
}

QString noDatabase(const QString& db) {
    return QStringLiteral("There is no results database \"%1\" (nothing was created).").arg(db);
}

QString noResultsYet(const QString& db) {
    return QStringLiteral("\"%1\" holds no test results yet (nothing was created).").arg(db);
}

QString addressNotValid(const QString& why) {
    return QStringLiteral("The database address is not valid: %1").arg(why);
}

QString postgresDriverMissing() {
    return QStringLiteral("Qt's PostgreSQL driver is missing (package libqt6sql6-psql).");
}

QString serverCannotOpen(const QString& db, const QString& why) {
    return QStringLiteral("The results database %1 cannot be opened: %2").arg(db, why);
}

QString unreadable(const QString& db, const QString& why) {
    return QStringLiteral("The results database \"%1\" is damaged or cannot be read (%2): it was "
                          "left as it is.")
        .arg(db, why);
}

QString holdsNoResults(const QString& db) {
    return QStringLiteral("\"%1\" holds no test results (another program's database?): it was "
                          "left as it is.")
        .arg(db);
}

QString damaged(const QString& db, const QString& why) {
    return QStringLiteral("The results database \"%1\" is damaged (%2): it was left as it is.")
        .arg(db, why);
}

QString newerSchema(const QString& db, int version, int known) {
    return QStringLiteral("The results database \"%1\" was written by a newer version of the "
                          "program (schema %2; this one knows up to %3): it was left as it is.")
        .arg(db)
        .arg(version)
        .arg(known);
}

QString cannotWrite(const QString& db, const QString& why) {
    return QStringLiteral("The results database \"%1\" cannot be written: %2").arg(db, why);
}

QString cannotPrepare(const QString& db, const QString& why) {
    return QStringLiteral("The results database \"%1\" cannot be prepared: %2").arg(db, why);
}

QString writtenByNewer() {
    return QStringLiteral("it was written by a newer version of the program");
}

QString noneOpen() {
    return QStringLiteral("No results database is open.");
}

QString notSaved(const QString& db, const QString& why) {
    return QStringLiteral("The test result was not saved in \"%1\": %2").arg(db, why);
}

} // namespace storetexts
