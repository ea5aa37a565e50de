#include "record/table_files.h"
#include "record/xml_packet.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace {

QString fixture(const char* name) {
    return QStringLiteral(Z4072_FIXTURES "/") + QLatin1String(name);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// One row as the checks below spell it: No, the time's text, and the four texts.
std::vector<QString> rowsOf(const ReadingTable& t) {
    std::vector<QString> out;
    for (int r = 0; r < t.rowCount(); ++r) {
        QByteArray time;
        if (!t.isTimeNull(r))
            XmlPacketWriter::appendTime(time, t.timeMs(r));
        out.push_back((t.isNoNull(r) ? QString() : QString::number(t.no(r))) + u'|' +
                      QString::fromLatin1(time) + u'|' + t.value(r) + u'|' + t.unit(r) + u'|' +
                      t.vRange(r) + u'|' + t.iRange(r));
    }
    return out;
}

// A packet up to its parameters, as table engines write it.
const QByteArray kHead =
    "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
    "<FIELD attrname=\"No\" fieldtype=\"i4\"/><FIELD attrname=\"Time\" fieldtype=\"time\"/>"
    "<FIELD attrname=\"Value\" fieldtype=\"string\" WIDTH=\"20\"/>"
    "<FIELD attrname=\"Unit\" fieldtype=\"string\" WIDTH=\"20\"/>"
    "<FIELD attrname=\"V_Range\" fieldtype=\"string\" WIDTH=\"20\"/>"
    "<FIELD attrname=\"I_Range\" fieldtype=\"string\" WIDTH=\"20\"/></FIELDS>";

class XmlPackets : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale::c()); }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }
    QString path(const QString& name) const { return dir_.filePath(name); }

    QTemporaryDir dir_;
    ReadingTable table_;
};

// Packets as a table engine writes them: rows carry their states, the change log says which
// original each changed row belongs to; the rows are the ones its table showed, in its order.
TEST_F(XmlPackets, EnginePacketsLoadAsTheirTableShowedThem) {
    const QString ir = QStringLiteral("IR:1000V 40G\u03A9");
    struct Case {
        const char* file;
        std::vector<QString> rows;
    };
    const std::vector<Case> cases = {
        {"appended.xml",
         {"1|14:03:27123|1.234|G\u03A9|" + ir + "|Continuous",
          "2|14:03:28125|OL|M\u03A9|IR:500V 20G\u03A9|Timed",
          "3|14:03:29127|598|V|DCV  600V|COMP:GOOD"}},
        // Changed in another order than they stand, one twice; deleted rows and a deleted
        // change leave no place behind.
        {"changed.xml",
         {"2|10:00:02000|2.22|G\u03A9|" + ir + "|Timed",
          "4|10:00:04000|3.24|G\u03A9|" + ir + "|Continuous",
          "5|10:00:05000|1.25|G\u03A9|" + ir + "|Continuous"}},
        {"merged_then_changed.xml",
         {"1|09:00:00000|99.9|G\u03A9|" + ir + "|Continuous",
          "2|09:00:01000|10.6|G\u03A9|" + ir + "|Continuous",
          "3|09:00:02000|10.7|G\u03A9|" + ir + "|Continuous",
          "5|09:00:04000|10.9|G\u03A9|" + ir + "|Continuous"}},
        // UTF-8 and the parameters and field attributes of a keyed table, which change nothing.
        {"utf8_keyed.xml",
         {"1|08:00:00500|0.52|M\u03A9|IR:2500 100G\u03A9|PI", "2|08:00:01500|'a\tb\\\r\n&<>\"|||"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        QString error;
        ASSERT_TRUE(loadXmlTable(fixture(c.file), table_, &error)) << error.toStdString();
        EXPECT_EQ(rowsOf(table_), c.rows);
    }
}

TEST_F(XmlPackets, ChangedRowsWithoutAChangeLogGoToTheOriginalsInTheirOrder) {
    struct Case {
        const char* what;
        QByteArray params, rows;
        std::vector<QString> expected;
    };
    const std::vector<Case> cases = {
        {"in order, no log",
         "<PARAMS/>",
         "<ROW RowState=\"5\" No=\"1\" Value=\"a\"/><ROW RowState=\"5\" No=\"2\" Value=\"b\"/>"
         "<ROW RowState=\"4\" No=\"3\" Value=\"c\"/><ROW RowState=\"12\" No=\"1\" Value=\"A\"/>"
         "<ROW RowState=\"12\" No=\"2\" Value=\"B\"/>",
         {"1||A|||", "2||B|||", "3||c|||"}},
        // A log that is no list of triples does not count; nor does an unknown flag.
        {"broken log",
         "<PARAMS CHANGE_LOG=\"1 0 4 x\"/>",
         "<ROW RowState=\"5\" No=\"1\" Value=\"a\"/><ROW RowState=\"76\" No=\"1\" Value=\"A\"/>"
         "<ROW RowState=\"x\" No=\"2\" Value=\"b\"/>",
         {"1||A|||", "2||b|||"}},
        // An earlier version whose later one is missing keeps its place and values; a later
        // version without an earlier one stands at its own place.
        {"lone versions",
         "<PARAMS CHANGE_LOG=\"2 1 8\"/>",
         "<ROW RowState=\"8\" No=\"1\" Value=\"x\"/><ROW RowState=\"1\" No=\"2\" Value=\"y\"/>",
         {"1||x|||", "2||y|||"}},
        // A later version repeats only what it changed; the rest stays the original's.
        {"partial version",
         "<PARAMS CHANGE_LOG=\"2 1 8\"/>",
         "<ROW RowState=\"1\" No=\"1\" Time=\"01:00:00000\" Value=\"v\" Unit=\"V\"/>"
         "<ROW RowState=\"8\" Value=\"w\"/>",
         {"1|01:00:00000|w|V||"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile f(path("p.xml"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(kHead + c.params + "</METADATA><ROWDATA>" + c.rows + "</ROWDATA></DATAPACKET>");
        f.close();
        QString error;
        ASSERT_TRUE(loadXmlTable(path("p.xml"), table_, &error)) << error.toStdString();
        EXPECT_EQ(rowsOf(table_), c.expected);
    }
}

TEST_F(XmlPackets, SavedPacketsAreOneLineInTheEngineForm) {
    const QByteArray metadata = kHead + "<PARAMS/></METADATA>";
    QString error;
    ASSERT_TRUE(saveXmlTable(table_, path("empty.xml"), &error));
    EXPECT_EQ(readFile(path("empty.xml")), metadata + "<ROWDATA></ROWDATA></DATAPACKET>");

    ReadingRow a;
    a.No = -12;
    a.NoNull = false;
    a.TimeMs = 9 * 3'600'000 + 5 * 60'000 + 7'008;
    a.TimeNull = false;
    a.Value = QStringLiteral("'\"&<>\\\t\r\n\x01\x1F");
    a.Unit = QStringLiteral("M\u03A9");
    a.V_Range = QString::fromUtf8("\U0001F600\u0E01");
    table_.append(a);
    ReadingRow b; // nothing but a remark
    b.I_Range = QStringLiteral("PI");
    table_.append(b);
    ASSERT_TRUE(saveXmlTable(table_, path("rows.xml"), &error));
    EXPECT_EQ(readFile(path("rows.xml")),
              metadata +
                  "<ROWDATA><ROW No=\"-12\" Time=\"09:05:07008\" Value=\"&apos;&quot;&amp;&lt;"
                  "&gt;&#092;&#009;&#013;&#010;&#001;&#031;\" Unit=\"M\xA6\xB8\" "
                  "V_Range=\"&#128512;&#3585;\"/><ROW I_Range=\"PI\"/></ROWDATA></DATAPACKET>");

    // And back, whatever the characters.
    ReadingTable again;
    ASSERT_TRUE(loadXmlTable(path("rows.xml"), again, &error));
    EXPECT_EQ(rowsOf(again), rowsOf(table_));
}

TEST_F(XmlPackets, PacketsOfEarlierVersionsStillLoad) {
    QString error;
    ASSERT_TRUE(loadXmlTable(fixture("earlier_form.xml"), table_, &error)) << error.toStdString();
    EXPECT_EQ(rowsOf(table_),
              (std::vector<QString>{
                  QString::fromUtf8("7|23:59:59999|d'x\U0001F600|V|ACV  600V|COMP:NG"), "8|||||"}));
}

} // namespace
