#include "app/record_session.h"
#include "record/table_files.h"
#include "sim/sim_cable.h"
#include "tests/app/record_process.h"
#include "tests/test_app.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The rows as a tab-separated table file holds them, after its header.
QByteArray asTableFile(const QStringList& rows) {
    QByteArray out = "No\tTime\tValue\tUnit\tFunction\tRemark\r\n";
    const QByteArray gbkOhm = "\xA6\xB8";
    for (const QString& r : rows)
        out += r.toUtf8().replace("\xCE\xA9", gbkOhm) + "\r\n";
    return out;
}

QStringList journalsIn(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("journal-*")}, QDir::Files);
}

class RecordMode : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    QString journals() const { return dir_.filePath(QStringLiteral("state/z4072")); }
    QTemporaryDir dir_;
};

TEST_F(RecordMode, SigintOrSigtermEndsItCleanlyWithOutComplete) {
    {
        RecordProcess rec(path("state"), {path("out.txt"), "--simulate"});
        ASSERT_TRUE(rec.waitForRows(3)) << rec.err().toStdString();
        EXPECT_EQ(journalsIn(journals()).size(), 1) << "the journal of a running recorder";
        rec.signal(SIGINT);
        ASSERT_EQ(rec.finish(), 0) << rec.err().toStdString();
        EXPECT_EQ(bytes(path("out.txt")), asTableFile(rec.rows()));
        EXPECT_TRUE(rec.rows()[0].startsWith(u"1\t"));
    }
    {
        RecordProcess rec(path("state"), {path("out.xml"), "--simulate", "--limit", "2"});
        ASSERT_TRUE(rec.waitForRows(2)) << rec.err().toStdString();
        EXPECT_FALSE(QFile::exists(path("out.xml"))) << "an XML file is written at the end";
        rec.signal(SIGTERM);
        ASSERT_EQ(rec.finish(), 0) << rec.err().toStdString();
        EXPECT_EQ(rec.rows().size(), 2);
        EXPECT_TRUE(rec.err().contains(u"The record limit of 2 readings is reached"));
        QLocale::setDefault(QLocale::c());
        ReadingTable table;
        QString error;
        ASSERT_TRUE(loadXmlTable(path("out.xml"), table, &error)) << error.toStdString();
        ASSERT_EQ(table.rowCount(), 2);
        const QString saved = path("xml.txt");
        ASSERT_TRUE(saveTextTable(table, saved, &error));
        EXPECT_EQ(bytes(saved), asTableFile(rec.rows()));
        QLocale::setDefault(QLocale::system());
    }
    EXPECT_TRUE(journalsIn(journals()).isEmpty()) << "a recorder that ended normally keeps none";
}

// --capture keeps the reports as the window's does: decoding the capture gives the rows again.
TEST_F(RecordMode, ACaptureKeepsTheReportsThatGaveTheRows) {
    RecordProcess rec(path("state"), {path("out.txt"), "--simulate", "--capture", path("c.cap")});
    ASSERT_TRUE(rec.waitForRows(2)) << rec.err().toStdString();
    rec.signal(SIGINT);
    ASSERT_EQ(rec.finish(), 0) << rec.err().toStdString();
    const QByteArray capture = bytes(path("c.cap"));
    EXPECT_TRUE(capture.contains("# start ")) << capture.left(200).toStdString();

    QProcess decode;
    decode.start(QStringLiteral(Z4072_EXE), {"decode", path("c.cap"), path("again.txt")});
    ASSERT_TRUE(decode.waitForFinished(60'000));
    ASSERT_EQ(decode.exitCode(), 0) << decode.readAllStandardError().toStdString();
    // The capture may end with a frame that came after the last row was printed.
    const QList<QByteArray> recorded = bytes(path("out.txt")).split('\n');
    const QList<QByteArray> decoded = bytes(path("again.txt")).split('\n');
    ASSERT_GE(decoded.size(), recorded.size());
    for (qsizetype i = 1; i + 1 < recorded.size(); ++i) {
        const QList<QByteArray> a = recorded[i].split('\t'), b = decoded[i].split('\t');
        ASSERT_EQ(a.size(), 6);
        ASSERT_EQ(b.size(), 6);
        EXPECT_EQ(a.mid(2), b.mid(2)) << i << ": " << recorded[i].toStdString();
    }
}

TEST_F(RecordMode, DurationEndsItByItself) {
    RecordProcess rec(path("state"), {path("out.xls"), "--duration", "2.5", "--simulate"});
    ASSERT_EQ(rec.finish(), 0) << rec.err().toStdString();
    EXPECT_GE(rec.rows().size(), 1);
    EXPECT_EQ(bytes(path("out.xls")), asTableFile(rec.rows()));
    EXPECT_TRUE(journalsIn(journals()).isEmpty());
}

TEST_F(RecordMode, WrongUsageAndAMissingCableFailWithoutTouchingOut) {
    QFile(path("keep.xls")).open(QIODevice::WriteOnly);
    const QStringList wrong[] = {{},
                                 {path("a.xls"), path("b.xls")},
                                 {path("a.xls"), "--simulate", "--replay", path("c.cap")},
                                 {path("a.xls"), "--duration", "0"},
                                 {path("a.xls"), "--duration"},
                                 {path("a.xls"), "--limit", "x"},
                                 {path("a.xls"), "--limit", "0"},
                                 {path("a.xls"), "--capture"},
                                 {path("a.xls"), "--fast"}};
    for (const QStringList& args : wrong) {
        RecordProcess rec(path("state"), args);
        EXPECT_EQ(rec.finish(), 2) << args.join(u' ').toStdString();
        EXPECT_TRUE(rec.err().contains(u"usage: z4072 record OUT")) << rec.err().toStdString();
    }
    // This machine has no cable: as CONNECT says it.
    RecordProcess rec(path("state"), {path("a.xls")});
    EXPECT_EQ(rec.finish(), 1);
    EXPECT_TRUE(rec.err().contains(CableConnection::kNoCableMessage)) << rec.err().toStdString();
    EXPECT_FALSE(QFile::exists(path("a.xls")));
}

// The recorder in this process, on a simulated cable whose meter sends a reading every 150 ms.
class Session : public RecordMode {
protected:
    void make(const char* out, bool meterOn = true) {
        app();
        platform_ = std::make_shared<SimHidPlatform>();
        cable_ = platform_->plug(sim::cableDeviceSpec(), false);
        cable_->setReportSource(std::make_shared<sim::SimCable>(
            [meterOn, this](double) -> std::optional<sim::MeterDisplay> {
                if (!meterOn)
                    return std::nullopt;
                return sim::MeterDisplay::insulation(std::to_string(100 + ++shown_), u"M\u03A9",
                                                     1000);
            },
            sim::CablePace{8, 2400, 10, 150}));
        RecordOptions o;
        o.out = path(out);
        session_ = std::make_unique<RecordSession>(platform_, o, journals());
        session_->chain().setPauseDuration(0);
        session_->setOutput([this](const QString& row) { rows_ << row; },
                            [this](const QString& line) { said_ << line; });
    }
    template <typename P> static bool runUntil(P done) { return ::runUntil(done, 20'000); }

    std::shared_ptr<SimHidPlatform> platform_;
    std::shared_ptr<SimHidDevice> cable_;
    std::unique_ptr<RecordSession> session_;
    int shown_ = 0;
    QStringList rows_, said_;
};

TEST_F(Session, AnotherDeviceDoesNotStopItAndAnUnplugEndsItWithStatusOne) {
    make("out.txt");
    ASSERT_TRUE(session_->start()) << said_.join(u'\n').toStdString();
    ASSERT_TRUE(runUntil([&] { return rows_.size() >= 2; }));

    // Another HID device comes: the list is rebuilt, and recording goes on.
    SimHidDeviceSpec mouse;
    mouse.product = QStringLiteral("Mouse");
    platform_->plug(mouse, true);
    const int before = int(rows_.size());
    ASSERT_TRUE(runUntil([&] { return rows_.size() >= before + 2; }))
        << said_.join(u'\n').toStdString();
    EXPECT_FALSE(session_->done());

    platform_->unplug(cable_, true);
    ASSERT_TRUE(runUntil([&] { return session_->done(); }));
    EXPECT_EQ(session_->exitCode(), 1);
    const qsizetype removal = said_.indexOf(u"Removal of USB to Serial");
    EXPECT_GE(removal, 0) << said_.join(u'\n').toStdString();
    EXPECT_GT(said_.indexOf(CableConnection::kCableUnpluggedMessage), removal);
    EXPECT_EQ(bytes(path("out.txt")), asTableFile(rows_));
    EXPECT_TRUE(journalsIn(journals()).isEmpty()) << "OUT holds every row";
}

TEST_F(Session, TheSilenceWatchEndsItWithTheWindowsMessage) {
    make("out.xml", false);
    ASSERT_TRUE(session_->start());
    const quint8 idle[8] = {};
    for (int i = 0; i < CableConnection::kSilentReports; ++i)
        session_->chain().Read380(0, idle, 8);
    for (int tick = 0; tick < 3; ++tick)
        session_->cable().ConTimerTimer();
    ASSERT_TRUE(runUntil([&] { return session_->done(); }));
    EXPECT_EQ(session_->exitCode(), 1);
    EXPECT_EQ(said_, QStringList{CableConnection::kSilentMeterMessage});
    EXPECT_TRUE(bytes(path("out.xml")).contains("<ROWDATA></ROWDATA>"));
}

TEST_F(Session, AnOutThatCannotBeWrittenEndsItBeforeAnyRow) {
    make("no/such/dir/out.txt");
    EXPECT_FALSE(session_->start());
    EXPECT_EQ(session_->exitCode(), 1);
    EXPECT_TRUE(said_.value(0).startsWith(u"Could not save table to specified file: "));
    EXPECT_FALSE(session_->cable().USBCon) << "disconnected again";
}

} // namespace
