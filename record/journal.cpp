#include "record/journal.h"

#include "record/system_file.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

const QString kPrefix = QStringLiteral("journal-");
const QString kStampFormat = QStringLiteral("yyyyMMdd-HHmmss");

const QRegularExpression& journalPattern() {
    static const QRegularExpression re(
        QStringLiteral("^journal-(\\d{8}-\\d{6})-\\d+(-\\d+)?\\.txt$"));
    return re;
}

} // namespace

QString journalFolder() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    // Relative paths are to be ignored, as for the other XDG folders.
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return QDir::cleanPath(base + QStringLiteral("/z4072"));
}

bool makePrivateFolder(const QString& path, QString* error) {
    const QFileInfo info(path);
    if (info.isDir())
        return true;
    const QString parent = info.absolutePath();
    if (parent != info.absoluteFilePath() && !makePrivateFolder(parent, error))
        return false;
    QString why;
    if (makeUserFolder(path, &why) || QFileInfo(path).isDir())
        return true;
    *error = path + QStringLiteral(": ") + why;
    return false;
}

RecordJournal::RecordJournal(QString folder) : folder_(std::move(folder)) {
    syncTimer_.setSingleShot(true);
    syncTimer_.callOnTimeout([this] { sync(); });
}

RecordJournal::~RecordJournal() {
    if (file_.isOpen() && unsynced_)
        sync();
}

bool RecordJournal::isJournalName(const QString& fileName) {
    return journalPattern().match(fileName).hasMatch();
}

QDateTime RecordJournal::startOf(const QString& fileName) {
    const auto m = journalPattern().match(fileName);
    return m.hasMatch() ? QDateTime::fromString(m.captured(1), kStampFormat) : QDateTime();
}

bool RecordJournal::create(QString* error) {
    if (!makePrivateFolder(folder_, error))
        return false;
    // One journal a program; a second in the same second (tests) gets a number of its own.
    const QString stem = kPrefix + QDateTime::currentDateTime().toString(kStampFormat) + u'-' +
                         QString::number(QCoreApplication::applicationPid());
    QString name = stem + QStringLiteral(".txt");
    for (int i = 2; QFile::exists(folder_ + u'/' + name); ++i)
        name = stem + u'-' + QString::number(i) + QStringLiteral(".txt");
    // Made and locked under a name that nobody looks for, then given its own: a journal is
    // never seen without its owner's lock.
    const QString made = folder_ + QStringLiteral("/.") + name + QStringLiteral(".new");
    const QString named = folder_ + u'/' + name;
    QFile::remove(made);
    QString why;
    if (!file_.open(made, &why, TextTableAppender::Cells::WithInstant)) {
        *error = made + QStringLiteral(": ") + why;
        return false;
    }
    if (!file_.tryLock(&why) || !renameReplacing(made, named, &why)) {
        *error = made + QStringLiteral(": ") + why;
        file_.close();
        QFile::remove(made);
        return false;
    }
    path_ = named;
    // The folder's entry for the journal reaches the disk too, or a power cut could lose the
    // file with all its rows.
    syncFolderOf(path_);
    return true;
}

void RecordJournal::append(const ReadingTable& table, int row) {
    if (failed_)
        return;
    QString error;
    if (!file_.isOpen() && !create(&error)) {
        fail(error);
        return;
    }
    if (!file_.append(table, row, &error)) {
        fail(path_ + QStringLiteral(": ") + error);
        return;
    }
    ++rows_;
    unsynced_ = true;
    // Without an event loop to run the timer, each row goes to the disk at once.
    if (syncDelayMs_ <= 0 || !sinceSync_.isValid() || sinceSync_.elapsed() >= syncDelayMs_ ||
        !QAbstractEventDispatcher::instance())
        sync();
    else if (!syncTimer_.isActive())
        syncTimer_.start(int(syncDelayMs_ - sinceSync_.elapsed()));
}

void RecordJournal::sync() {
    syncTimer_.stop();
    if (failed_ || !file_.isOpen() || !unsynced_)
        return;
    QString error;
    if (!file_.sync(&error)) {
        fail(path_ + QStringLiteral(": ") + error);
        return;
    }
    unsynced_ = false;
    sinceSync_.start();
}

void RecordJournal::discard() {
    syncTimer_.stop();
    unsynced_ = false;
    if (!path_.isEmpty())
        QFile::remove(path_);
    file_.close();
    path_.clear();
}

void RecordJournal::fail(const QString& why) {
    failed_ = true;
    syncTimer_.stop();
    // A journal written in part stays open, and so locked: its rows are still worth having after
    // a crash, but not while this program runs.
    if (sink_)
        sink_(QStringLiteral("JOURNAL ERROR: ") + why +
              QStringLiteral(" - recording goes on without a copy on disk"));
}
