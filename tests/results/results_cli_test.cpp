// `z4072 results ...` through the program itself, on an SQLite file in a temporary folder.
#include "record/table_files.h"
#include "results/result_store.h"
#include "tests/results/results_fixture.h"
#include "tests/test_app.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

namespace {

struct Ran {
    int status = -1;
    QString out, err;
};

class ResultsCli : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        db = dir.filePath(QStringLiteral("r.sqlite"));
        table = dir.filePath(QStringLiteral("pi.txt"));
        ReadingTable t;
        recordTest(t, 120, 5, 40, 2.0);                  // a short run first
        recordTest(t, 600, 5, 300, 2.5, 10 * 3'600'000); // then a whole PI test at 10:00
        ASSERT_TRUE(SaveTableFile(t, table, [](const TableFileMessage&) {}));
    }

    Ran run(QStringList args, bool withDatabase = true) {
        if (withDatabase)
            args << QStringLiteral("--database") << db;
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(Z4072_EXE), QStringList{QStringLiteral("results")} + args);
        EXPECT_TRUE(p.waitForFinished(60'000));
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    QTemporaryDir dir;
    QString db, table;
};

} // namespace

TEST_F(ResultsCli, AddJudgesTheLastRunAndTheOthersFindIt) {
    Ran r =
        run({QStringLiteral("add"), table, QStringLiteral("--asset"), QStringLiteral("Motor 7 Ω"),
             QStringLiteral("--kind"), QStringLiteral("machine-form"), QStringLiteral("--rated-kv"),
             QStringLiteral("0.69"), QStringLiteral("--class"), QStringLiteral("F"),
             QStringLiteral("--temperature"), QStringLiteral("30"), QStringLiteral("--date"),
             QStringLiteral("2026-11-30")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QStringList fields = r.out.trimmed().split(u'\t');
    ASSERT_GE(fields.size(), 2) << r.out.toStdString();
    EXPECT_EQ(fields[0], QStringLiteral("1"));
    EXPECT_EQ(fields[1], QStringLiteral("PASS")) << r.out.toStdString();

    // The short first run, a day later and far lower: it fails, and the fall is flagged
    // against the result before it.
    r = run({QStringLiteral("add"), table, QStringLiteral("--asset"), QStringLiteral("Motor 7 Ω"),
             QStringLiteral("--run"), QStringLiteral("1"), QStringLiteral("--kind"),
             QStringLiteral("machine-form"), QStringLiteral("--temperature"), QStringLiteral("30"),
             QStringLiteral("--date"), QStringLiteral("2026-12-01")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.trimmed().split(u'\n');
    ASSERT_EQ(lines.size(), 2) << r.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith(u"2\tFAIL\tR(1 min) at 40 °C")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(u"TREND:")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains(u"2026-11-30"));

    r = run({QStringLiteral("list")});
    ASSERT_EQ(r.status, 0);
    const QStringList list = r.out.trimmed().split(u'\n');
    ASSERT_EQ(list.size(), 3);
    EXPECT_TRUE(list[0].startsWith(u"ID\tDate\tAsset"));
    EXPECT_TRUE(list[1].startsWith(u"1\t2026-11-30 10:00:00\tMotor 7 Ω\tmachine-form\t1000 V"))
        << list[1].toStdString();
    r = run({QStringLiteral("list"), QStringLiteral("--asset"), QStringLiteral("nope")});
    EXPECT_EQ(r.out.trimmed().split(u'\n').size(), 1);

    r = run({QStringLiteral("show"), QStringLiteral("2")});
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.contains(u"Verdict: FAIL"));
    EXPECT_TRUE(r.out.contains(u"Rule: IEEE 43-2013"));
    EXPECT_TRUE(r.out.contains(u"\nTREND: ")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(u"Readings: 25"));

    const QString csv = dir.filePath(QStringLiteral("all.csv"));
    r = run({QStringLiteral("export"), csv});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList rows =
        QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_TRUE(rows[1].contains(u",30,")); // °C as a plain number

    const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
    r = run({QStringLiteral("report"), QStringLiteral("1"), QStringLiteral("2"), pdf});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QFile p(pdf);
    ASSERT_TRUE(p.open(QIODevice::ReadOnly));
    EXPECT_EQ(p.read(5), QByteArray("%PDF-"));
    const QByteArray bytes = p.readAll();
    EXPECT_EQ(bytes.count("/Type /Page") - bytes.count("/Type /Pages"), 2); // one a result
}

TEST_F(ResultsCli, BadInputIsSaidAndSavesNothing) {
    const struct {
        QStringList args;
        int status;
        const char* says;
    } cases[] = {
        {{"add", "TABLE", "--asset", ""}, 2, "--asset needs a value"},
        {{"add", "TABLE"}, 2, "--asset ID is required"},
        {{"add", "TABLE", "--asset", QString(65, u'x')}, 1, "longer than 64"},
        {{"add", "TABLE", "--asset", "a", "--temperature", "151"}, 1, "object temperature"},
        {{"add", "TABLE", "--asset", "a", "--humidity", "-1"}, 1, "humidity"},
        {{"add", "TABLE", "--asset", "a", "--temperature", "warm"}, 2, "needs a number"},
        {{"add", "TABLE", "--asset", "a", "--run", "3"}, 1, "There is no run 3"},
        {{"add", "TABLE", "--asset", "a", "--kind", "pump"}, 2, "Unknown kind \"pump\""},
        {{"add", "TABLE", "--asset", "a", "--kind", "machine-form", "--class", "C"},
         2,
         "Unknown insulation class"},
        {{"add", "TABLE", "--asset", "a", "--kind", "cable", "--class", "F"}, 1, "machines only"},
        {{"add", "TABLE", "--asset", "a", "--date", "2026-13-01"}, 2, "YYYY-MM-DD"},
        {{"show", "x"}, 2, "is no result ID"},
        {{"show", "5"}, 1, "There is no results database"},
        {{"report", "5", "out.txt"}, 2, "saved as .pdf"},
        {{"frobnicate"}, 2, "unknown results command"},
    };
    for (const auto& c : cases) {
        QStringList args = c.args;
        args.replaceInStrings(QStringLiteral("TABLE"), table);
        const Ran r = run(args);
        EXPECT_EQ(r.status, c.status) << c.args.join(u' ').toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.says)))
            << c.args.join(u' ').toStdString() << ": " << r.err.toStdString();
    }
    // A table without an insulation run.
    ReadingTable volts;
    volts.append(readingRow(1, 1000, QStringLiteral("230"), QStringLiteral("V"),
                            QStringLiteral("ACV  600V")));
    const QString noRun = dir.filePath(QStringLiteral("volts.txt"));
    ASSERT_TRUE(SaveTableFile(volts, noRun, [](const TableFileMessage&) {}));
    Ran r = run({QStringLiteral("add"), noRun, QStringLiteral("--asset"), QStringLiteral("a")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(u"holds no insulation test run")) << r.err.toStdString();
    r = run({QStringLiteral("list")});
    EXPECT_EQ(r.out.trimmed().split(u'\n').size(), 1) << "nothing was saved";
}

TEST_F(ResultsCli, ADamagedDatabaseFailsTheCommandAndStaysAsItWas) {
    QFile f(db);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("this is no database, but it is someone's file");
    f.close();
    const Ran r =
        run({QStringLiteral("add"), table, QStringLiteral("--asset"), QStringLiteral("a")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(u"damaged or not a database")) << r.err.toStdString();
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("this is no database, but it is someone's file"));
}

TEST_F(ResultsCli, TheCommandLineSavesWhileTheWindowHasTheFileOpen) {
    // The window keeps its store open for as long as it runs.
    ResultStore window;
    QString error;
    ASSERT_TRUE(window.open(db, &error)) << error.toStdString();
    ReadingTable t;
    recordTest(t, 120);
    TestResult mine = resultOfLastRun(t);
    ASSERT_TRUE(window.save(mine, &error));
    const Ran r =
        run({QStringLiteral("add"), table, QStringLiteral("--asset"), QStringLiteral("B")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(u"2\t"));
    TestResult again = resultOfLastRun(t);
    ASSERT_TRUE(window.save(again, &error)) << error.toStdString();
    EXPECT_EQ(window.list({}, &error).size(), 3u);
}

TEST_F(ResultsCli, AddSaysAFileThatIsMissingOrNoTableAsAnalyzeDoes) {
    const QString missing = dir.filePath(QStringLiteral("nope.txt"));
    const QString picture = dir.filePath(QStringLiteral("picture.xml"));
    QFile f(picture);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<svg/>");
    f.close();
    for (const QString& file : {missing, picture}) {
        const Ran r =
            run({QStringLiteral("add"), file, QStringLiteral("--asset"), QStringLiteral("a")});
        EXPECT_EQ(r.status, 1);
        const QStringList lines = r.err.trimmed().split(u'\n');
        ASSERT_EQ(lines.size(), 2) << r.err.toStdString();
        EXPECT_EQ(lines[0], QStringLiteral("Failed to Load File!"));
        EXPECT_TRUE(lines[1].startsWith(file + u": ")) << lines[1].toStdString();
    }
    EXPECT_FALSE(QFile::exists(db)) << "nothing to save, so no database made";
}

TEST_F(ResultsCli, ReadingCommandsMakeNoDatabaseWhereNoneIs) {
    const QString typo = dir.filePath(QStringLiteral("typo/results.sqlite"));
    for (const QStringList& args :
         {QStringList{QStringLiteral("list")},
          QStringList{QStringLiteral("show"), QStringLiteral("1")},
          QStringList{QStringLiteral("report"), QStringLiteral("1"),
                      dir.filePath(QStringLiteral("r.pdf"))},
          QStringList{QStringLiteral("export"), dir.filePath(QStringLiteral("r.csv"))}}) {
        const Ran r = run(args + QStringList{QStringLiteral("--database"), typo}, false);
        EXPECT_EQ(r.status, 1) << args.join(u' ').toStdString();
        EXPECT_TRUE(r.err.contains(u"There is no results database")) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("typo"))));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("r.csv"))));
    // Once there is one, an ID it lacks is said as such.
    ASSERT_EQ(
        run({QStringLiteral("add"), table, QStringLiteral("--asset"), QStringLiteral("a")}).status,
        0);
    const Ran r = run({QStringLiteral("show"), QStringLiteral("5")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(u"no test result with ID 5")) << r.err.toStdString();
}

TEST_F(ResultsCli, TheInstrumentComesFromTheSettingsOrTheOptionsAndAPastDueIsSaid) {
    {
        // The window's settings, as its Settings dialog keeps them.
        QSettings s(dir.filePath(QStringLiteral("config/z4072/Z4072.conf")), QSettings::IniFormat);
        s.setValue(QStringLiteral("instrument/serial"), QStringLiteral("FROM-SETTINGS"));
        s.setValue(QStringLiteral("instrument/calibrationDue"), QStringLiteral("2030-01-01"));
    }
    Ran r = run({QStringLiteral("add"), table, QStringLiteral("--asset"), QStringLiteral("a"),
                 QStringLiteral("--date"), QStringLiteral("2026-11-30")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    r = run({QStringLiteral("show"), QStringLiteral("1")});
    EXPECT_TRUE(r.out.contains(u"Instrument: KR740, serial number FROM-SETTINGS\n"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(u"Calibration due: 2030-01-01\n"));

    r = run({QStringLiteral("add"), table, QStringLiteral("--asset"), QStringLiteral("a"),
             QStringLiteral("--date"), QStringLiteral("2026-11-30"),
             QStringLiteral("--instrument-model"), QStringLiteral("KR740B"),
             QStringLiteral("--instrument-serial"), QStringLiteral("77"),
             QStringLiteral("--calibration-due=2026-06-30")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(u"2\t")) << "saved all the same";
    EXPECT_TRUE(r.err.contains(u"CALIBRATION PAST DUE")) << r.err.toStdString();
    r = run({QStringLiteral("show"), QStringLiteral("2")});
    EXPECT_TRUE(r.out.contains(u"Instrument: KR740B, serial number 77\n"));
    EXPECT_TRUE(r.out.contains(u"Calibration due: 2026-06-30 (PAST DUE on the test date)"));

    r = run({QStringLiteral("add"), table, QStringLiteral("--asset"), QStringLiteral("a"),
             QStringLiteral("--calibration-due"), QStringLiteral("30.06.2026")});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.contains(u"--calibration-due needs a date as YYYY-MM-DD"))
        << r.err.toStdString();
}
