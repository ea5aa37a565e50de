#include "record/journal_recovery.h"

#include "record/journal.h"
#include "record/system_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <memory>

namespace {

// Rows in a journal: its lines after the header, as the table file reader will see them (a
// last line without its line end is cut off and does not count).
bool countRows(SystemFile& file, qint64* rows, QString* error) {
    char buf[1 << 16];
    qint64 lineEnds = 0;
    char last = 0;
    for (;;) {
        const qint64 n = file.read(buf, sizeof buf, error);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        lineEnds += std::count(buf, buf + n, '\n');
        last = buf[n - 1];
    }
    // Cut between CR and LF: the reader takes the lone CR as the line's end.
    if (last == '\r')
        ++lineEnds;
    *rows = std::max<qint64>(0, lineEnds - 1);
    return true;
}

// A free name for the journal's rows in its folder.
QString asideName(const QDir& dir, const QDateTime& firstRow) {
    const QString base =
        QStringLiteral("readings-") + firstRow.toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    QString name = base + QStringLiteral(".txt");
    for (int i = 2; dir.exists(name); ++i)
        name = base + u'-' + QString::number(i) + QStringLiteral(".txt");
    return dir.filePath(name);
}

// Opens and locks a journal that no running program holds; null while its program runs (the
// lock goes with the program, however it ends) or when it has gone meanwhile.
std::unique_ptr<SystemFile> lockOrphan(const QString& path, QStringList* problems) {
    auto file = std::make_unique<SystemFile>();
    QString why;
    if (!file->open(path, SystemFile::Access::Read, &why)) {
        if (QFileInfo::exists(path)) // else taken by another program meanwhile
            problems->append(path + QStringLiteral(": ") + why);
        return nullptr;
    }
    // Another program may have moved it aside between the open and the lock.
    if (!file->tryLock(&why) || !file->isAt(path))
        return nullptr;
    return file;
}

QStringList journalNames(const QDir& dir) {
    QStringList names = dir.entryList({QStringLiteral("journal-*.txt")}, QDir::Files, QDir::Name);
    names.removeIf([](const QString& n) { return !RecordJournal::isJournalName(n); });
    return names;
}

struct Taken {
    bool ok = false;
    RecoveredJournal journal;
};

// One journal: counted and moved aside, unless its program still runs.
Taken take(const QDir& dir, const QString& name, QStringList* problems) {
    Taken out;
    const QString path = dir.filePath(name);
    const std::unique_ptr<SystemFile> file = lockOrphan(path, problems);
    if (!file)
        return out;

    RecoveredJournal& j = out.journal;
    QString why;
    if (!countRows(*file, &j.rows, &why)) {
        problems->append(path + QStringLiteral(": ") + why);
        return out;
    }
    j.firstRow = RecordJournal::startOf(name);
    j.lastWritten = QFileInfo(path).lastModified();
    if (j.rows == 0) {
        QFile::remove(path);
        return out;
    }
    j.path = asideName(dir, j.firstRow);
    if (!QFile::rename(path, j.path)) {
        problems->append(path + QStringLiteral(": cannot be renamed to ") + j.path);
        return out;
    }
    out.ok = true;
    return out;
}

QString when(const QDateTime& t) {
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

std::vector<RecoveredJournal> takeOrphanJournals(const QString& folder, QStringList* problems) {
    std::vector<RecoveredJournal> out;
    const QDir dir(folder);
    for (const QString& name : journalNames(dir)) {
        Taken t = take(dir, name, problems);
        if (t.ok)
            out.push_back(std::move(t.journal));
    }
    std::sort(out.begin(), out.end(), [](const RecoveredJournal& a, const RecoveredJournal& b) {
        return a.firstRow < b.firstRow;
    });
    return out;
}

QStringList orphanJournals(const QString& folder) {
    QStringList out, problems;
    const QDir dir(folder);
    for (const QString& name : journalNames(dir)) {
        const QString path = dir.filePath(name);
        if (lockOrphan(path, &problems))
            out << path;
    }
    return out;
}

QString recoveryQuestion(const std::vector<RecoveredJournal>& journals) {
    if (journals.empty())
        return {};
    qint64 rows = 0;
    QDateTime first = journals.front().firstRow, last = journals.front().lastWritten;
    for (const RecoveredJournal& j : journals) {
        rows += j.rows;
        first = std::min(first, j.firstRow);
        last = std::max(last, j.lastWritten);
    }
    QString text = rows == 1 ? QStringLiteral("1 reading was recorded ")
                             : QStringLiteral("%1 readings were recorded ").arg(rows);
    if (first.date() == last.date())
        text += QStringLiteral("on %1 from %2 to %3")
                    .arg(first.toString(QStringLiteral("yyyy-MM-dd")),
                         first.toString(QStringLiteral("HH:mm:ss")),
                         last.toString(QStringLiteral("HH:mm:ss")));
    else
        text += QStringLiteral("from %1 to %2").arg(when(first), when(last));
    const QString kept =
        rows == 1 ? QStringLiteral("It is kept in") : QStringLiteral("They are kept in");
    if (journals.size() == 1) {
        text += QStringLiteral(" by a run of Z4072 that did not end normally.\n") + kept + u' ' +
                QDir::toNativeSeparators(journals.front().path) + u'.';
    } else {
        text += QStringLiteral(" by %1 runs of Z4072 that did not end normally.\n")
                    .arg(journals.size()) +
                kept + u':';
        for (const RecoveredJournal& j : journals)
            text += u'\n' + QDir::toNativeSeparators(j.path);
    }
    return text + QStringLiteral("\n\nRestore them into the table?");
}
