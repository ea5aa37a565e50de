#pragma once

#include <QString>

// What the results database says to people when it cannot do what was asked: the window shows
// it, the command line prints it. `db` is the database as ResultStore::name() gives it, `why`
// the reason the system or the server gave.
namespace storetexts {

// Opening an SQLite file.
QString notAFile(const QString& db);
QString cannotRead(const QString& db, const QString& why);
QString notADatabase(const QString& db);
QString folderNotMade(const QString& db);
QString sqliteDriverMissing();
QString cannotOpen(const QString& db, const QString& why);
QString noDatabase(const QString& db);
QString noResultsYet(const QString& db);
// Opening a server's database.
QString addressNotValid(const QString& why);
QString postgresDriverMissing();
QString serverCannotOpen(const QString& db, const QString& why);
// What the database holds.
QString unreadable(const QString& db, const QString& why);
QString holdsNoResults(const QString& db);
QString damaged(const QString& db, const QString& why);
QString newerSchema(const QString& db, int version, int known);
QString cannotWrite(const QString& db, const QString& why);
QString cannotPrepare(const QString& db, const QString& why);
QString writtenByNewer(); // the reason, when a newer program prepared it meanwhile
// Saving a result.
QString noneOpen();
QString notSaved(const QString& db, const QString& why);

} // namespace storetexts
