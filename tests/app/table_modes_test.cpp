#include "sim/meter_display.h"
#include "tests/test_app.h"

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTime>

#include <gtest/gtest.h>

namespace {

struct Outcome {
    int exitCode = -1;
    QString out, err;
};

// The program itself, in the C locale.
Outcome z4072(const QStringList& args) {
    app();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "C");
    env.insert("LANG", "C");
    env.remove("DISPLAY");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(Z4072_EXE), args);
    Outcome r;
    if (!p.waitForFinished(60'000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

class TableModes : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    void write(const char* name, const QByteArray& bytes) const {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray read(const char* name) const {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    // A capture line for each report that carries `display`'s frame from `seconds` on, and
    // the idle report that ends it 8 ms after the last.
    static QByteArray frameLines(double seconds, const sim::MeterDisplay& display) {
        QByteArray out;
        auto line = [&](double t, const QByteArray& data) {
            out += QByteArray::number(t, 'f', 3) + " 00";
            for (char b : data)
                out += ' ' + QByteArray::number(quint8(b), 16).rightJustified(2, '0').toUpper();
            out += '\n';
        };
        for (const QByteArray& r : sim::cableReports(sim::frameBytes(display))) {
            line(seconds, r);
            seconds += 0.008;
        }
        line(seconds, sim::idleReport());
        return out;
    }
    static sim::MeterDisplay reading(const char* value) {
        return sim::MeterDisplay::insulation(value, u"M\u03A9", 1000);
    }

    QTemporaryDir dir_;
};

const QByteArray kText = "No\tTime\tValue\tUnit\tFunction\tRemark\r\n"
                         "1\t14:03:27\t12.34\tM\xA6\xB8\tIR:1000V 40G\xA6\xB8\tContinuous\r\n"
                         "2\t00:00:01\t&<>\"\tNULL\tNULL\tNULL\r\n"
                         "\t00:00:00\t5\tV\tDCV  600V\tPI\r\n";

TEST_F(TableModes, ConvertRoundTripsTextThroughXmlByteForByte) {
    write("in.txt", kText);
    Outcome r = z4072({"convert", path("in.txt"), path("mid.XML")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), "Save table to specified file: " + path("mid.XML") + " Scuss!");
    EXPECT_TRUE(read("mid.XML").startsWith("<?xml version=\"1.0\" standalone=\"yes\"?>"));
    EXPECT_TRUE(read("mid.XML").contains("Value=\"&amp;&lt;&gt;&quot;\""));
    r = z4072({"convert", path("mid.XML"), path("out.xls")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(read("out.xls"), kText);
}

TEST_F(TableModes, ConvertFailuresLeaveTheTargetAlone) {
    write("out.xls", "keep me");
    write("bad.txt", "No\tTime\r\n1\t10:00:00\r\nx\t10:00:00\r\n");
    struct Case {
        QStringList args;
        int exitCode;
        const char* message;
    } cases[] = {
        {{"convert", path("missing.txt"), path("out.xls")}, 1, "Failed to Load File!"},
        {{"convert", path("bad.txt"), path("out.xls")}, 1, "Failed to Load File!"},
        {{"convert", path("bad.txt")}, 2, "usage: z4072 convert IN OUT"},
        {{"convert", path("a"), path("b"), path("c")}, 2, "usage: z4072 convert IN OUT"},
    };
    for (const Case& c : cases) {
        const Outcome r = z4072(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromLatin1(c.message))) << r.err.toStdString();
        EXPECT_EQ(read("out.xls"), "keep me");
    }
    // A target that cannot be written: the save's own message, exit 1.
    write("good.txt", kText);
    const Outcome r = z4072({"convert", path("good.txt"), path("no/such/dir/out.xls")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Could not save table to specified file: ")) << r.err.toStdString();
}

TEST_F(TableModes, DecodeRecordsOnTheCapturesClock) {
    QByteArray cap = "# a comment\n# start 2026-12-08T14:03:27.123\n\n";
    cap += frameLines(0.5, reading("12.34"));
    cap += frameLines(1.5, reading("12.34"));
    cap += frameLines(2.5, reading("5.00"));
    write("a.cap", cap);

    // What the window keeps for its next start does not change decode's defaults.
    app();
    const QString settingsFile =
        qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/z4072/Z4072.conf");
    {
        QSettings window(settingsFile, QSettings::IniFormat);
        window.setValue("record/repeat", false);
        window.setValue("record/sampling", true);
        window.setValue("record/interval", "100");
        window.setValue("record/limit", 1000);
    }
    Outcome r = z4072({"decode", path("a.cap"), path("all.xml")});
    QFile::remove(settingsFile);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QByteArray all = read("all.xml");
    EXPECT_EQ(all.count("<ROW "), 3);
    // The idle report that ended the first frame came at 0.532 s: 14:03:27.655.
    EXPECT_TRUE(
        all.contains("<ROW No=\"1\" Time=\"14:03:27655\" Value=\"12.34\" Unit=\"M\xA6\xB8\""))
        << all.toStdString();

    r = z4072({"decode", path("a.cap"), path("norep.xls"), "--no-repeat"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(read("norep.xls").count("\r\n"), 3); // header and two rows
    EXPECT_TRUE(read("norep.xls").contains("2\t14:03:29\t5.00\t"));

    r = z4072({"decode", path("a.cap"), path("lim.xls"), "--limit", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(read("lim.xls").count("\r\n"), 2);
}

TEST_F(TableModes, DecodeSamplesOnTheCapturesSecondsAndStartsAtMidnightWithoutAStart) {
    QByteArray cap;
    for (int i = 0; i < 10; ++i)
        cap += frameLines(0.1 + 0.5 * i, reading(i % 2 ? "1.00" : "2.00"));
    write("s.cap", cap);
    // Countdown 0 at start, reloaded with 2 at each row, run down at 1 s, 2 s, ...: rows at
    // 0.1, 2.1 and 4.1 s.
    const Outcome r = z4072({"decode", path("s.cap"), path("s.xls"), "--interval", "2"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QList<QByteArray> lines = read("s.xls").split('\n');
    ASSERT_EQ(lines.size(), 5) << read("s.xls").toStdString();
    EXPECT_TRUE(lines[1].startsWith("1\t00:00:00\t2.00"));
    EXPECT_TRUE(lines[2].startsWith("2\t00:00:02\t2.00"));
    EXPECT_TRUE(lines[3].startsWith("3\t00:00:04\t2.00"));
}

TEST_F(TableModes, DecodeFailuresNameTheLineAndLeaveTheTargetAlone) {
    write("out.xls", "keep me");
    write("bad.cap", frameLines(0.5, reading("1.00")) + "0.9 00 ZZ\n");
    write("good.cap", frameLines(0.5, reading("1.00")));
    struct Case {
        QStringList args;
        int exitCode;
        const char* message;
    } cases[] = {
        {{"decode", path("bad.cap"), path("out.xls")}, 1, "line 6"},
        {{"decode", path("missing.cap"), path("out.xls")}, 1, "missing.cap"},
        {{"decode", path("good.cap")}, 2, "usage: z4072 decode"},
        {{"decode", path("good.cap"), path("out.xls"), "--limit"}, 2, "--limit"},
        {{"decode", path("good.cap"), path("out.xls"), "--limit", "-1"}, 2, "--limit"},
        {{"decode", path("good.cap"), path("out.xls"), "--interval", "x"}, 2, "--interval"},
        {{"decode", path("good.cap"), path("out.xls"), "--fast"}, 2, "--fast"},
    };
    for (const Case& c : cases) {
        const Outcome r = z4072(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromLatin1(c.message))) << r.err.toStdString();
        EXPECT_EQ(read("out.xls"), "keep me");
    }
}

// A morning's tests as a text file: a dead-circuit check, a ten-minute test at 1000 V read every
// 10 s (saved under two locales, so both separators occur), then a 500 V test cut short.
TEST_F(TableModes, AnalyzePrintsTheFiguresOfEachTest) {
    QByteArray file = "No\tTime\tValue\tUnit\tFunction\tRemark\r\n";
    int no = 1;
    auto row = [&](int seconds, const QString& value, const char* unit, const char* function,
                   const char* mode = "Timed") {
        const QTime at = QTime(9, 0, 0).addSecs(seconds);
        file += QByteArray::number(no++) + '\t' + at.toString("HH:mm:ss").toLatin1() + '\t' +
                value.toLatin1() + '\t' + unit + '\t' + function + '\t' + mode + "\r\n";
    };
    row(0, "0.4", "V", "DCV  600V");
    row(2, "0.3", "V", "DCV  600V");
    for (int t = 0; t <= 600; t += 10) {
        // 1 GΩ at 30 s, 1.5 GΩ at 1 min, 3.3 GΩ at 10 min.
        const double g = t <= 30   ? 0.5 + t / 60.0
                         : t <= 60 ? 1 + (t - 30) / 60.0
                                   : 1.5 + (t - 60) / 300.0;
        QString value = QString::number(g, 'f', 3);
        if (t % 20)
            value.replace(u'.', u',');
        row(5 + t, value, "G\xA6\xB8", "IR:1000V 40G\xA6\xB8");
    }
    // The meter's own PI result follows, without a unit: beside ours, and no test of its own.
    row(610, "2.21", "NULL", "IR:1000V 40G\xA6\xB8", "PI");
    row(700, "0L", "G\xA6\xB8", "IR:500V 20G\xA6\xB8");
    for (int t = 5; t <= 45; t += 5)
        row(700 + t, QString::number(100 + t), "M\xA6\xB8", "IR:500V 20G\xA6\xB8");
    row(760, "0.2", "V", "DCV  600V");
    write("tests.xls", file);

    const Outcome r = z4072({"analyze", path("tests.xls")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, u"3\t09:00:05\tIR:1000V 40G\u03A9\t600\t1.000 G\u03A9\t1.500 G\u03A9\t"
                     u"3.300 G\u03A9\t1.50\t2.20\t2.21\n"
                     u"65\t09:11:40\tIR:500V 20G\u03A9\t45\t130.0 M\u03A9\t-\t-\t-\t-\t-\n"_qs);
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();

    struct Case {
        QStringList args;
        int exitCode;
        const char* message;
    } cases[] = {
        {{"analyze", path("missing.xls")},
         1,
         "Failed to Load File!\n"}, // then the file and the system's reason, below
        {{"analyze"}, 2, "usage: z4072 analyze IN"},
        {{"analyze", path("tests.xls"), path("more.xls")}, 2, "usage: z4072 analyze IN"},
    };
    for (const Case& c : cases) {
        const Outcome out = z4072(c.args);
        EXPECT_EQ(out.exitCode, c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_TRUE(out.out.isEmpty());
        EXPECT_TRUE(out.err.contains(QString::fromLatin1(c.message))) << out.err.toStdString();
    }
}

// What went wrong in a file, on the line after the window's text: the system's reason, the
// line of a text table, a packet of another table.
TEST_F(TableModes, AFailedLoadSaysWhyOnItsSecondLine) {
    write("bad.txt", "No\tTime\tValue\tUnit\tFunction\tRemark\r\n1\t09:00:00\t1\r\n"
                     "2\tnoon\t2\r\n");
    write("other.xml", "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\">"
                       "<METADATA><FIELDS><FIELD attrname=\"Name\" fieldtype=\"string\" "
                       "WIDTH=\"20\"/></FIELDS><PARAMS/></METADATA><ROWDATA/></DATAPACKET>");
    const struct {
        const char* file;
        QString reason;
    } cases[] = {
        {"missing.xls", QStringLiteral(": No such file or directory")},
        {"bad.txt", QStringLiteral(": line 3: Time is not a time of day")},
        {"other.xml", QStringLiteral(": not a data packet of this table")},
    };
    for (const auto& c : cases) {
        const Outcome r = z4072({"convert", path(c.file), path("out.xls")});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, u"Failed to Load File!\n" + path(c.file) + c.reason + u'\n') << c.file;
    }
}

} // namespace
