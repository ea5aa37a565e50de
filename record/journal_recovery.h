#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <vector>

// The rows that a program which did not end normally left in its journal, moved aside.
struct RecoveredJournal {
    QString path;          // where the rows are kept now
    qint64 rows = 0;       // whole rows in it
    QDateTime firstRow;    // when its first row was recorded
    QDateTime lastWritten; // and its last
};

// Takes the journals in `folder` that no running program holds: each is moved aside, in the
// same folder, under a name with the date and time of its first row
// (readings-2026-12-08-140327.txt), so that it is never offered again and nothing in it is
// lost whatever the user answers; a journal without a whole row is removed. Oldest first. A
// journal that cannot be read or moved stays where it is, with a line in *problems.
std::vector<RecoveredJournal> takeOrphanJournals(const QString& folder, QStringList* problems);

// The journals in `folder` that no running program holds, left where they are.
QStringList orphanJournals(const QString& folder);

// What the user is asked about them: how many readings, recorded when, kept where.
QString recoveryQuestion(const std::vector<RecoveredJournal>& journals);
