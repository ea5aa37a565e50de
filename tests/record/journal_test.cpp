#include "record/journal.h"
#include "record/journal_recovery.h"
#include "record/table_files.h"
#include "tests/reading_rows.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Midnight at the start of 2026-12-10, local time.
const qint64 kDay = QDateTime(QDate(2026, 12, 10), QTime(0, 0)).toMSecsSinceEpoch();

class Journal : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale::c()); }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }

    QString folder() const { return dir_.filePath(QStringLiteral("state/z4072")); }
    int add(const QString& value, const QString& iRange = QStringLiteral("Continuous")) {
        ++no_;
        ReadingRow row = readingRow(no_, 50'607'000 + no_ * 1000, value, QStringLiteral("M\u03A9"),
                                    QStringLiteral("IR:1000V 40G\u03A9"), iRange);
        row.TimeMs += 123;
        row.AtMs = kDay + row.TimeMs; // recorded on 2026-12-10, at 14:03:2x.123
        return table_.append(row);
    }
    static QByteArray bytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void writeFile(const QString& path, const QByteArray& content) const {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    // What a program that ended abnormally leaves: its journal, no longer locked.
    QString leftBehind(const QStringList& values) {
        RecordJournal j(folder());
        for (const QString& v : values)
            j.append(table_, add(v));
        return j.path();
    }

    QTemporaryDir dir_;
    ReadingTable table_;
    int no_ = 0;
};

const QByteArray kHeader = "No\tTime\tValue\tUnit\tFunction\tRemark\r\n";

TEST_F(Journal, HoldsEveryRecordedRowAsATableFileUntilTheProgramEndsNormally) {
    RecordJournal journal(folder());
    EXPECT_TRUE(journal.path().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(folder())) << "nothing is made before the first row";

    journal.append(table_, add(QStringLiteral("1.234")));
    journal.append(table_, add(QStringLiteral("0L"), QString())); // an empty cell: NULL
    journal.append(table_, add(QStringLiteral("-12.5")));
    ASSERT_FALSE(journal.failed());
    EXPECT_TRUE(RecordJournal::isJournalName(QFileInfo(journal.path()).fileName()));
    EXPECT_EQ(QFileInfo(folder()).permissions() & 0x0077, 0) << "the folder is the user's alone";
    const QString saved = dir_.filePath(QStringLiteral("table.txt"));
    QString error;
    ASSERT_TRUE(saveTextTable(table_, saved, &error));
    // The journal is the table file with the instant of each row beside it.
    EXPECT_EQ(journalAsTable(bytes(journal.path())), bytes(saved));
    EXPECT_TRUE(
        bytes(journal.path()).startsWith("No\tTime\tValue\tUnit\tFunction\tRemark\tRecorded\r\n"));
    const QByteArray second = QByteArray("\t0L\tM\xA6\xB8\tIR:1000V 40G\xA6\xB8\tNULL\t") +
                              instantText(*table_.recordedAt(1)).toLatin1() + "\r\n";
    EXPECT_TRUE(bytes(journal.path()).contains(second));

    // Delete Data empties the table, not the journal.
    table_.clear();
    journal.append(table_, add(QStringLiteral("7")));
    EXPECT_EQ(journal.rows(), 4);
    EXPECT_TRUE(journalAsTable(bytes(journal.path()))
                    .endsWith("4\t14:03:31\t7\tM\xA6\xB8\tIR:1000V 40G\xA6\xB8\t"
                              "Continuous\r\n"));
    EXPECT_EQ(bytes(journal.path()).count('\n'), 5);

    const QString path = journal.path();
    journal.discard();
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST_F(Journal, AFolderThatCannotBeMadeIsSaidOnceAndRecordingGoesOn) {
    writeFile(dir_.filePath(QStringLiteral("state")), "a file where the folder should be");
    RecordJournal journal(folder());
    QStringList said;
    journal.setFailureSink([&](const QString& line) { said << line; });
    journal.append(table_, add(QStringLiteral("1")));
    journal.append(table_, add(QStringLiteral("2")));
    ASSERT_EQ(said.size(), 1);
    EXPECT_TRUE(said[0].startsWith(u"JOURNAL ERROR: ")) << said[0].toStdString();
    EXPECT_TRUE(said[0].contains(dir_.filePath(QStringLiteral("state")))) << said[0].toStdString();
    EXPECT_TRUE(journal.failed());
    EXPECT_EQ(table_.rowCount(), 2);
    journal.discard();
}

TEST_F(Journal, OnlyJournalsOfProgramsThatEndedAbnormallyAreTakenAndMovedAside) {
    const QString orphan = leftBehind({QStringLiteral("1.5"), QStringLiteral("1.6")});
    RecordJournal running(folder());
    running.append(table_, add(QStringLiteral("9")));
    // A journal that holds no whole row, and a file that is no journal.
    const QString empty = folder() + QStringLiteral("/journal-20261208-140327-99999.txt");
    writeFile(empty, kHeader.left(10));
    const QString other = folder() + QStringLiteral("/notes.txt");
    writeFile(other, "mine");

    QStringList problems;
    const auto taken = takeOrphanJournals(folder(), &problems);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
    ASSERT_EQ(taken.size(), 1u);
    const RecoveredJournal& j = taken[0];
    EXPECT_EQ(j.rows, 2);
    EXPECT_FALSE(QFileInfo::exists(orphan));
    EXPECT_EQ(QFileInfo(j.path).dir(), QDir(folder()));
    EXPECT_TRUE(QFileInfo(j.path).fileName().startsWith(
        QStringLiteral("readings-") + j.firstRow.toString(QStringLiteral("yyyy-MM-dd-HHmmss"))));
    EXPECT_EQ(bytes(j.path).count('\n'), 3);
    EXPECT_FALSE(QFileInfo::exists(empty));
    EXPECT_TRUE(QFileInfo::exists(other));

    // The running program's journal stays and goes on growing.
    EXPECT_TRUE(QFileInfo::exists(running.path()));
    EXPECT_TRUE(orphanJournals(folder()).isEmpty());
    running.append(table_, add(QStringLiteral("10")));
    EXPECT_EQ(bytes(running.path()).count('\n'), 3);

    const QString q = recoveryQuestion(taken);
    EXPECT_TRUE(q.startsWith(u"2 readings were recorded on " +
                             j.firstRow.toString(QStringLiteral("yyyy-MM-dd"))))
        << q.toStdString();
    EXPECT_TRUE(q.contains(QDir::toNativeSeparators(j.path)));
    EXPECT_TRUE(q.endsWith(u"Restore them into the table?"));

    // Taken once: never offered again.
    EXPECT_TRUE(takeOrphanJournals(folder(), &problems).empty());
    running.discard();
}

TEST_F(Journal, RestoredRowsKeepTheirDayAndTheirMilliseconds) {
    const QString orphan = leftBehind({QStringLiteral("1.5"), QStringLiteral("1.6")});
    QStringList problems;
    const auto taken = takeOrphanJournals(folder(), &problems);
    ASSERT_EQ(taken.size(), 1u);
    ReadingTable restored;
    QString error;
    ASSERT_TRUE(loadTextTable(taken[0].path, restored, &error, TextLoad::WholeLinesOnly))
        << error.toStdString();
    ASSERT_EQ(restored.rowCount(), 2);
    for (int row : {0, 1}) {
        EXPECT_EQ(restored.recordedAt(row), table_.recordedAt(row));
        EXPECT_EQ(restored.timeMs(row), table_.timeMs(row)) << "the milliseconds come back too";
        EXPECT_EQ(restored.value(row), table_.value(row));
    }
    // A row whose instant does not read is kept without its day; a seventh cell elsewhere than
    // in a journal is still a fault of the file.
    const QString odd = dir_.filePath(QStringLiteral("odd.txt"));
    writeFile(odd, "No\tTime\tValue\tUnit\tFunction\tRemark\tRecorded\r\n"
                   "1\t14:03:27\t1.2\tV\tDCV  600V\tTimed\tyesterday\r\n"
                   "2\t14:03:28\t1.3\tV\tDCV  600V\tTimed\t\r\n");
    ReadingTable t;
    ASSERT_TRUE(loadTextTable(odd, t, &error)) << error.toStdString();
    EXPECT_EQ(t.rowCount(), 2);
    EXPECT_FALSE(t.recordedAt(0));
    EXPECT_EQ(t.timeMs(1), 50'608'000);
    const QString plain = dir_.filePath(QStringLiteral("plain.txt"));
    writeFile(plain,
              kHeader + "1\t14:03:27\t1.2\tV\tDCV  600V\tTimed\t2026-12-10T14:03:27.000Z\r\n");
    EXPECT_FALSE(loadTextTable(plain, t, &error));
    EXPECT_EQ(error, u"line 2: more than six cells");
}

TEST_F(Journal, AJournalCutInTheMiddleOfALineGivesItsWholeLines) {
    const QByteArray rows = "1\t14:03:27\t1.234\tM\xA6\xB8\tIR:1000V 40G\xA6\xB8\tContinuous\r\n"
                            "2\t14:03:28\t1.235\tM\xA6\xB8\tIR:1000V 40G\xA6\xB8\tContinuous\r\n";
    struct Cut {
        const char* tail;
        int rows;
    };
    const Cut cuts[] = {{"3\t14:0", 2},
                        {"3\t14:03:29\t1.2\tM\xA6", 2}, // in the middle of a character
                        {"3\t14:03:29\t1.2\tV\tDCV  600V\tTimed\r", 3}, // between CR and LF
                        {"", 2}};
    int n = 0;
    for (const Cut& cut : cuts) {
        SCOPED_TRACE(cut.tail);
        const QString path =
            folder() + QStringLiteral("/journal-20261208-1403%1-4242.txt").arg(10 + n++);
        writeFile(path, kHeader + rows + cut.tail);
        QStringList problems;
        const auto taken = takeOrphanJournals(folder(), &problems);
        ASSERT_EQ(taken.size(), 1u);
        EXPECT_EQ(taken[0].rows, cut.rows);

        ReadingTable restored;
        QString error;
        ASSERT_TRUE(loadTextTable(taken[0].path, restored, &error, TextLoad::WholeLinesOnly))
            << error.toStdString();
        ASSERT_EQ(restored.rowCount(), cut.rows);
        EXPECT_EQ(restored.value(1), u"1.235");
        if (cut.rows == 3) {
            EXPECT_EQ(restored.iRange(2), u"Timed");
        }
    }
}

TEST_F(Journal, AppendedTableFilesStartWholeLinesAndHaveOneHeader) {
    const QString path = dir_.filePath(QStringLiteral("out.xls"));
    QString error;
    {
        TextTableAppender out;
        ASSERT_TRUE(out.open(path, &error)) << error.toStdString();
        ASSERT_TRUE(out.append(table_, add(QStringLiteral("1")), &error));
        EXPECT_EQ(out.lastLine(), u"1\t14:03:28\t1\tM\u03A9\tIR:1000V 40G\u03A9\tContinuous");
    }
    {
        // Again into the same file: no second header.
        TextTableAppender out;
        ASSERT_TRUE(out.open(path, &error));
        ASSERT_TRUE(out.append(table_, add(QStringLiteral("2")), &error));
        ASSERT_TRUE(out.sync(&error));
    }
    EXPECT_EQ(bytes(path).count("No\tTime"), 1);
    EXPECT_EQ(bytes(path).count("\r\n"), 3);

    // A file whose last line was cut off: the next row starts a line of its own.
    writeFile(path, kHeader + "5\t14:0");
    TextTableAppender out;
    ASSERT_TRUE(out.open(path, &error));
    ASSERT_TRUE(out.append(table_, add(QStringLiteral("3")), &error));
    EXPECT_TRUE(bytes(path).endsWith("5\t14:0\r\n3\t14:03:30\t3\tM\xA6\xB8\tIR:1000V 40G\xA6\xB8\t"
                                     "Continuous\r\n"));
    EXPECT_FALSE(out.open(dir_.filePath(QStringLiteral("no/such/dir/out.xls")), &error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
