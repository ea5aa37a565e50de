#include "record/code_page.h"
#include "record/table_files.h"
#include "tests/reading_rows.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace {

class TableFiles : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale::c()); }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }

    QString path(const QString& name) const { return dir_.filePath(name); }
    void write(const QString& name, const QByteArray& bytes) const {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray read(const QString& name) const {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    bool load(const QString& name) { return LoadTableFile(path(name), table_, false, sink()); }
    bool save(const QString& name) { return SaveTableFile(table_, path(name), sink()); }
    TableFileMessageSink sink() {
        return [this](const TableFileMessage& m) { messages_.push_back(m); };
    }
    void add(qint32 no, int ms, const QString& value, const QString& unit, const QString& vr,
             const QString& ir) {
        table_.append(readingRow(no, ms, value, unit, vr, ir));
    }

    QTemporaryDir dir_;
    ReadingTable table_;
    std::vector<TableFileMessage> messages_;
};

const QByteArray kHeader = "No\tTime\tValue\tUnit\tFunction\tRemark\r\n";

TEST_F(TableFiles, TextRoundTripsThroughXmlByteForByte) {
    const QByteArray text = kHeader +
                            "1\t14:03:27\t1234\tM\xA6\xB8\tIR:1000V 40G\xA6\xB8\tContinuous\r\n"
                            "2\t00:00:00\t0.56\tG\xA6\xB8\tIR:5000V 1000G\xA6\xB8\tNULL\r\n"
                            "\t23:59:59\tOL\tV\tDCV  600V\tCOMP:NG\r\n"
                            "-7\t12:00:00\ta&b<c>\"d'\tNULL\tNULL\tNULL\r\n";
    write("in.xls", text);
    ASSERT_TRUE(load("in.xls"));
    EXPECT_TRUE(messages_.empty());
    ASSERT_EQ(table_.rowCount(), 4);
    EXPECT_EQ(table_.unit(0), "M\u03A9");
    EXPECT_EQ(table_.iRange(1), "NULL"); // a "NULL" cell is the text NULL
    EXPECT_TRUE(table_.isNoNull(2));

    ASSERT_TRUE(save("mid.XML"));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].text, "Save table to specified file: " + path("mid.XML") + " Scuss!");
    const QByteArray xml = read("mid.XML");
    EXPECT_TRUE(xml.startsWith("<?xml version=\"1.0\" standalone=\"yes\"?>"));
    EXPECT_TRUE(xml.contains("<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
                             "<FIELD attrname=\"No\" fieldtype=\"i4\"/>"
                             "<FIELD attrname=\"Time\" fieldtype=\"time\"/>"
                             "<FIELD attrname=\"Value\" fieldtype=\"string\" WIDTH=\"20\"/>"));
    EXPECT_TRUE(xml.contains("<ROW No=\"1\" Time=\"14:03:27000\" Value=\"1234\" "
                             "Unit=\"M\xA6\xB8\" V_Range=\"IR:1000V 40G\xA6\xB8\" "
                             "I_Range=\"Continuous\"/>"));
    EXPECT_TRUE(xml.contains("<ROW Time=\"23:59:59000\" Value=\"OL\""));
    EXPECT_TRUE(xml.contains("Value=\"a&amp;b&lt;c&gt;&quot;d&apos;\""));

    table_.clear();
    ASSERT_TRUE(load("mid.XML"));
    ASSERT_TRUE(save("out.txt"));
    EXPECT_EQ(read("out.txt"), text);
}

TEST_F(TableFiles, EveryCharacterIsEncodedAsTheCodePageEncodesIt) {
    // ASCII, pairs of the code page, a character it lacks, one outside the 16-bit range, and
    // the same characters again (remembered after their first time).
    const QString mixed = QString::fromUtf8("a\u03A9\u4E2D\u00E9\u0E01\U0001F600");
    add(1, 0, mixed, QString::fromUtf8("\u4E2D\u03A9"), QString::fromUtf8("\u0E01"), mixed);
    ASSERT_TRUE(save("mixed.txt"));
    const QString line = QStringLiteral("1\t00:00:00\t") + table_.value(0) + u'\t' +
                         table_.unit(0) + u'\t' + table_.vRange(0) + u'\t' + table_.iRange(0);
    QStringEncoder gbk(kCodePageName);
    const QByteArray expected = gbk.encode(line);
    EXPECT_EQ(read("mixed.txt"), kHeader + expected + "\r\n");
    EXPECT_TRUE(read("mixed.txt").contains("a\xA6\xB8\xD6\xD0"));
}

TEST_F(TableFiles, TextCellsAreTrimmedAndEmptyOnesWrittenAsNull) {
    add(1, 1000, "  5 ", "\t", "", "x\x01");
    add(2, -1, "", "", "", "");
    ASSERT_TRUE(save("t.txt"));
    EXPECT_EQ(read("t.txt"), kHeader + "1\t00:00:01\t5\tNULL\tNULL\tx\r\n"
                                       "2\tNULL\tNULL\tNULL\tNULL\tNULL\r\n");
    // The empty time comes back as a text that is no time: the load stops at that line.
    table_.clear();
    EXPECT_FALSE(load("t.txt"));
    EXPECT_EQ(table_.rowCount(), 1);
    ASSERT_EQ(messages_.size(), 2u);
    EXPECT_EQ(messages_[1].kind, TableFileMessage::Error);
    EXPECT_EQ(messages_[1].text, "Failed to Load File!");

    table_.clear();
    ASSERT_TRUE(save("empty.xls"));
    EXPECT_EQ(read("empty.xls"), kHeader);
}

TEST_F(TableFiles, TextLoadingTakesEveryLineEndAndAddsToTheRows) {
    write("ends.txt", "whatever header\r1\t10:00:00\ta\n2\t10:00:01\tb\r\n3\t10:00:02\tc\r"
                      "4\t10:00:03");
    add(9, 0, "old", "", "", "");
    ASSERT_TRUE(load("ends.txt"));
    ASSERT_EQ(table_.rowCount(), 5);
    EXPECT_EQ(table_.value(0), "old");
    EXPECT_EQ(table_.no(4), 4);
    EXPECT_EQ(table_.value(3), "c");
    EXPECT_TRUE(table_.isNull(4, ReadingTable::Value)); // fewer cells: fields stay empty
    ASSERT_TRUE(load("ends.txt"));
    EXPECT_EQ(table_.rowCount(), 9);

    write("header.txt", "No\tTime\r\n");
    EXPECT_TRUE(load("header.txt"));
    EXPECT_EQ(table_.rowCount(), 9);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(TableFiles, EachTextLoadFailureKeepsTheRowsBeforeIt) {
    struct Case {
        const char* name;
        QByteArray body;
    };
    const std::vector<Case> cases = {
        {"non-numeric No", "1\t10:00:00\n2x\t10:00:00\n3\t10:00:00\n"},
        {"empty line", "1\t10:00:00\n\n3\t10:00:00\n"},
        {"NULL time", "1\t10:00:00\n2\tNULL\n"},
        {"other text as time", "1\t10:00:00\n2\tnoon\n"},
        {"seven cells", "1\t10:00:00\n2\t10:00:00\ta\tb\tc\td\te\n"},
        {"No beyond 32 bits", "1\t10:00:00\n2147483648\t10:00:00\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        table_.clear();
        messages_.clear();
        write("bad.txt", kHeader + c.body);
        EXPECT_FALSE(load("bad.txt"));
        EXPECT_EQ(table_.rowCount(), 1);
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_EQ(messages_[0].text, "Failed to Load File!");
    }
    write("empty.txt", "");
    EXPECT_FALSE(load("empty.txt"));
    EXPECT_FALSE(load("missing.txt"));
}

TEST_F(TableFiles, FormatFollowsTheExtensionAlone) {
    EXPECT_TRUE(isXmlTableFile("a.xml"));
    EXPECT_TRUE(isXmlTableFile("/d/a.XmL"));
    EXPECT_FALSE(isXmlTableFile("a.xml.txt"));
    EXPECT_FALSE(isXmlTableFile("d.xml/a"));
    EXPECT_FALSE(isXmlTableFile("axml"));
    add(1, 0, "v", "", "", "");
    ASSERT_TRUE(save("a.dat"));
    EXPECT_TRUE(read("a.dat").startsWith(kHeader));
}

TEST_F(TableFiles, XmlKeepsEveryCharacterAndMilliseconds) {
    const QString odd = QStringLiteral("a\tb\r\nc\x01&<>\"'\u03A9");
    add(2147483647, 86'399'999, odd, "", "", "");
    add(-2147483647 - 1, 0, "", "", "", "");
    ASSERT_TRUE(save("x.xml"));
    EXPECT_TRUE(read("x.xml").contains("Time=\"23:59:59999\" Value=\"a&#009;b&#013;&#010;c&#001;"
                                       "&amp;&lt;&gt;&quot;&apos;\xA6\xB8\"/>"));
    table_.clear();
    ASSERT_TRUE(load("x.xml"));
    ASSERT_EQ(table_.rowCount(), 2);
    EXPECT_EQ(table_.value(0), odd);
    EXPECT_EQ(table_.timeMs(0), 86'399'999);
    EXPECT_EQ(table_.no(1), -2147483647 - 1);
    EXPECT_TRUE(table_.isNull(1, ReadingTable::Value));
}

TEST_F(TableFiles, XmlKeepsCharactersTheCodePageLacks) {
    // A broken byte pair and a character beyond the code page, as a packet of another writer
    // may hold them: saved again, they must read back as the same characters.
    write("odd.xml", "<?xml version=\"1.0\" standalone=\"yes\"?><DATAPACKET Version=\"2.0\">"
                     "<METADATA><FIELDS><FIELD attrname=\"No\" fieldtype=\"i4\"/>"
                     "<FIELD attrname=\"Time\" fieldtype=\"time\"/><FIELD attrname=\"Value\" "
                     "fieldtype=\"string\" WIDTH=\"20\"/><FIELD attrname=\"Unit\" "
                     "fieldtype=\"string\" WIDTH=\"20\"/><FIELD attrname=\"V_Range\" "
                     "fieldtype=\"string\" WIDTH=\"20\"/><FIELD attrname=\"I_Range\" "
                     "fieldtype=\"string\" WIDTH=\"20\"/></FIELDS><PARAMS/></METADATA><ROWDATA>"
                     "<ROW No=\"1\" Value=\"AC\xDA  x\" Unit=\"&#x1F600;\xA6\xB8\"/>"
                     "</ROWDATA></DATAPACKET>");
    ASSERT_TRUE(load("odd.xml"));
    ASSERT_EQ(table_.rowCount(), 1);
    const ReadingRow loaded = table_.row(0);
    EXPECT_EQ(loaded.Unit, QStringLiteral("\U0001F600\u03A9"));
    ASSERT_TRUE(save("again.xml"));
    EXPECT_TRUE(read("again.xml").contains("Unit=\"&#128512;\xA6\xB8\""));
    table_.clear();
    ASSERT_TRUE(load("again.xml"));
    ASSERT_EQ(table_.rowCount(), 1);
    EXPECT_EQ(table_.value(0), loaded.Value);
    EXPECT_EQ(table_.unit(0), loaded.Unit);
}

TEST_F(TableFiles, XmlOfOtherWritersIsReadAsTheTableItStandsFor) {
    write("rich.xml",
          "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
          "<!-- written elsewhere -->\n"
          "<DATAPACKET Version=\"2.0\">\n  <METADATA>\n    <FIELDS>\n"
          "      <FIELD fieldtype=\"i4\" attrname=\"No\" readonly=\"true\"/>\n"
          "      <FIELD fieldname=\"Time\" attrname=\"Time\" fieldtype=\"time\" required=\"true\"/>"
          "<FIELD attrname=\"Value\" fieldtype=\"string\" WIDTH=\"20\" SUBTYPE=\"Text\"/>"
          "<FIELD attrname=\"Unit\" fieldtype=\"string\" WIDTH=\"20\"></FIELD>"
          "<FIELD attrname=\"V_Range\" fieldtype=\"string\" WIDTH=\"20\"/>"
          "<FIELD attrname=\"I_Range\" fieldtype=\"string\" WIDTH=\"20\"/>"
          "<FIELD attrname=\"Extra\" fieldtype=\"string\" WIDTH=\"5\"/>"
          "</FIELDS>\n    <PARAMS CHANGE_LOG=\"1 0 4 2 0 8\" LCID=\"2052\" DEFAULT_ORDER=\"1\" "
          "PRIMARY_KEY=\"1\"/>\n  </METADATA>\n  <ROWDATA>\n"
          "    <ROW RowState=\"4\" No=\"1\" Time=\"08:00:01500\" Value=\"1&#013;&#010;2\" "
          "Unit=\"M\xCE\xA9\" Extra=\"zz\"/>\n"
          "    <ROW RowState=\"1\" No=\"2\" Time=\"08:00:02000\" Value=\"old\" Unit=\"V\"/>\n"
          "    <ROW RowState=\"8\" Value=\"new&apos;\"/>\n"
          "    <ROW RowState=\"2\" No=\"3\" Value=\"gone\"/>\n"
          "    <ROW I_Range='Timed' No='4'></ROW>\n"
          "  </ROWDATA>\n</DATAPACKET>\n");
    add(99, 0, "replaced", "", "", "");
    ASSERT_TRUE(load("rich.xml"));
    ASSERT_EQ(table_.rowCount(), 3);
    EXPECT_EQ(table_.value(0), "1\r\n2");
    EXPECT_EQ(table_.timeMs(0), 8 * 3'600'000 + 1500);
    EXPECT_EQ(table_.unit(0), "M\u03A9");
    EXPECT_EQ(table_.no(1), 2);
    EXPECT_EQ(table_.value(1), "new'");
    EXPECT_EQ(table_.unit(1), "V"); // unchanged fields come from the original
    EXPECT_EQ(table_.no(2), 4);
    EXPECT_EQ(table_.iRange(2), "Timed");
    EXPECT_TRUE(table_.isTimeNull(2));

    write("compact.xml", "<?xml version=\"1.0\"?><DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
                         "<FIELD attrname=\"I_Range\" fieldtype=\"string\" WIDTH=\"20\"/>"
                         "<FIELD attrname=\"V_Range\" fieldtype=\"string\" WIDTH=\"20\"/>"
                         "<FIELD attrname=\"Unit\" fieldtype=\"string\" WIDTH=\"20\"/>"
                         "<FIELD attrname=\"Value\" fieldtype=\"string\" WIDTH=\"20\"/>"
                         "<FIELD attrname=\"Time\" fieldtype=\"time\"/>"
                         "<FIELD attrname=\"No\" fieldtype=\"i4\"/></FIELDS><PARAMS/>"
                         "</METADATA><ROWDATA/></DATAPACKET>");
    ASSERT_TRUE(load("compact.xml"));
    EXPECT_EQ(table_.rowCount(), 0);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(TableFiles, AFailedXmlLoadLeavesTheTableAsItWas) {
    const QByteArray fields =
        "<FIELD attrname=\"No\" fieldtype=\"i4\"/><FIELD attrname=\"Time\" fieldtype=\"time\"/>"
        "<FIELD attrname=\"Value\" fieldtype=\"string\" WIDTH=\"20\"/>"
        "<FIELD attrname=\"Unit\" fieldtype=\"string\" WIDTH=\"20\"/>"
        "<FIELD attrname=\"V_Range\" fieldtype=\"string\" WIDTH=\"20\"/>";
    const QByteArray head = "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>" + fields;
    const QByteArray last = "<FIELD attrname=\"I_Range\" fieldtype=\"string\" WIDTH=\"20\"/>";
    std::vector<QByteArray> bad = {
        "",
        "No\tTime\r\n1\t10:00:00\r\n",
        head + "</FIELDS></METADATA><ROWDATA><ROW No=\"1\"/></ROWDATA></DATAPACKET>",
        head + last + "</FIELDS></METADATA><ROWDATA><ROW No=\"1\"/><ROW No=\"x\"/>",
        head + last +
            "</FIELDS></METADATA><ROWDATA><ROW Time=\"25:00:00000\"/></ROWDATA>"
            "</DATAPACKET>",
        head + last + "</FIELDS></METADATA><ROWDATA><ROW No=\"1\"/></ROWDATA>",
        head + last +
            "</FIELDS></METADATA><ROWDATA><ROW Value=\"&bogus;\"/></ROWDATA>"
            "</DATAPACKET>",
        "<OTHER/>",
    };
    add(1, 0, "before", "M\u03A9", "", "");
    add(2, 1000, "kept", "", "", "");
    table_.setSourceOf(1, 1, table_.sourceIndex(QStringLiteral("/earlier.xls")));
    bad.push_back("<missing file>");
    for (size_t i = 0; i < bad.size(); ++i) {
        SCOPED_TRACE(i);
        messages_.clear();
        if (i + 1 < bad.size())
            write("bad.xml", bad[i]);
        EXPECT_FALSE(load(i + 1 < bad.size() ? "bad.xml" : "missing.xml"));
        ASSERT_EQ(table_.rowCount(), 2);
        EXPECT_EQ(table_.value(0), "before");
        EXPECT_EQ(table_.unitKind(0), Unit::MegaOhm);
        EXPECT_EQ(table_.value(1), "kept");
        EXPECT_EQ(table_.sourceFile(table_.sourceOf(0)), "") << "no file is named for it";
        EXPECT_EQ(table_.sourceFile(table_.sourceOf(1)), "/earlier.xls");
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_EQ(messages_[0].text, "Failed to Load File!");
    }
    add(3, 0, "after", "", "", "");
    EXPECT_EQ(table_.value(2), "after");
}

// A packet that loads takes the rows' place in one reset; its rows keep their texts, typed
// values and file, in a table whose texts were interned in another order.
TEST_F(TableFiles, AGoodXmlLoadReplacesTheRowsInOneReset) {
    add(1, 0, "0.95", "G\u03A9", "IR:1000V 40G\u03A9", "PI");
    add(2, 0, "9", "V", "DCV  600V", "Continuous");
    ASSERT_TRUE(save("two.xml"));
    ReadingTable other;
    other.append(readingRow(7, 5, "x", "k\u03A9", "ACV  600V", "Timed"));
    int aboutToReset = 0, reset = 0, appended = 0;
    QObject::connect(&other, &ReadingTable::aboutToReset, [&] { ++aboutToReset; });
    QObject::connect(&other, &ReadingTable::tableReset, [&] {
        ++reset;
        EXPECT_EQ(other.rowCount(), 2) << "the views read the new rows";
    });
    QObject::connect(&other, &ReadingTable::rowsAppended, [&] { ++appended; });
    ASSERT_TRUE(LoadTableFile(path("two.xml"), other, false, sink()));
    EXPECT_EQ(aboutToReset, 1);
    EXPECT_EQ(reset, 1);
    EXPECT_EQ(appended, 0);
    ASSERT_EQ(other.rowCount(), 2);
    for (int row = 0; row < 2; ++row) {
        SCOPED_TRACE(row);
        const ReadingRow a = table_.row(row), b = other.row(row);
        EXPECT_EQ(b.No, a.No);
        EXPECT_EQ(b.Value, a.Value);
        EXPECT_EQ(b.Unit, a.Unit);
        EXPECT_EQ(b.V_Range, a.V_Range);
        EXPECT_EQ(b.I_Range, a.I_Range);
        EXPECT_EQ(other.unitKind(row), table_.unitKind(row));
        EXPECT_EQ(other.testMode(row), table_.testMode(row));
        EXPECT_EQ(other.sample(row).testVolts, table_.sample(row).testVolts);
        EXPECT_EQ(other.sourceFile(other.sourceOf(row)),
                  QFileInfo(path("two.xml")).absoluteFilePath());
    }
}

TEST_F(TableFiles, AFailedSaveLeavesTheTargetAlone) {
    write("keep.xls", "precious");
    add(1, 0, "v", "", "", "");
    ASSERT_FALSE(save("keep.xls/inside.xls"));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].text,
              "Could not save table to specified file: " + path("keep.xls/inside.xls"));
    EXPECT_FALSE(save("keep.xls/inside.xml"));
    EXPECT_EQ(messages_.size(), 2u);
    EXPECT_FALSE(messages_[1].text.contains("Scuss"));
    EXPECT_EQ(read("keep.xls"), "precious");
    ASSERT_TRUE(save("keep.xls"));
    EXPECT_TRUE(read("keep.xls").startsWith(kHeader));
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files).size(), 1); // no temporary left over
}

TEST_F(TableFiles, TimesFollowTheLocalesLongFormat) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_FALSE(longTimeFormat().contains(u't'));
    const int ms = (15 * 3600 + 4 * 60 + 5) * 1000;
    const QString text = timeText(ms);
    EXPECT_TRUE(text.contains("3:04:05")) << qPrintable(text);
    int back = -1;
    ASSERT_TRUE(parseTimeText(text, &back));
    EXPECT_EQ(back, ms);
}

// Files of several pieces (reads and writes go a mebibyte at a time), in the plain time format
// and in a locale's: each line of a save is the row as text, and both formats load back whole.
TEST_F(TableFiles, LongFilesHoldEveryRowAsItsTextLine) {
    const QString units[] = {QStringLiteral(" M\u03A9"), QString(), QStringLiteral("V\t")};
    for (int i = 0; i < 30'000; ++i)
        add(i - 5, (i * 1'237) % 86'400'000, QString::number(i % 997 * 1.5), units[i % 3],
            QStringLiteral("IR:1000V 40G\u03A9"), i % 5 ? "Timed" : "");
    for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates)}) {
        QLocale::setDefault(locale);
        ASSERT_TRUE(save("big.txt"));
        const TimeTextFormatter times;
        QStringEncoder gbk(kCodePageName);
        QByteArray expected = kHeader;
        for (int r = 0; r < table_.rowCount(); ++r) {
            QString line;
            appendTextRow(line, table_, r, times);
            expected += QByteArray(gbk.encode(line));
            expected += "\r\n";
        }
        ASSERT_GT(expected.size(), 1 << 20);
        EXPECT_EQ(read("big.txt"), expected) << qPrintable(locale.name());
    }
    ASSERT_TRUE(save("big.xml"));
    ReadingTable back;
    QString error;
    ASSERT_TRUE(loadXmlTable(path("big.xml"), back, &error)) << qPrintable(error);
    ASSERT_EQ(back.rowCount(), table_.rowCount());
    ASSERT_TRUE(loadTextTable(path("big.txt"), back, &error)) << qPrintable(error);
    ASSERT_EQ(back.rowCount(), 2 * table_.rowCount());
    for (int r = 0; r < table_.rowCount(); r += 997) {
        const int t = table_.rowCount() + r;
        EXPECT_EQ(back.no(r), table_.no(r));
        EXPECT_EQ(back.timeMs(r), table_.timeMs(r));
        EXPECT_EQ(back.unit(r), table_.unit(r));
        EXPECT_EQ(back.no(t), table_.no(r));
        EXPECT_EQ(back.timeMs(t), table_.timeMs(r) / 1000 * 1000);
        EXPECT_EQ(back.value(t), table_.value(r));
    }
}

TEST(SplitText, KeepsEveryCell) {
    QStringList dest{"stale"};
    SplitText("", u'\t', dest);
    EXPECT_EQ(dest, QStringList({""}));
    SplitText("a\t\tb\t", u'\t', dest);
    EXPECT_EQ(dest, QStringList({"a", "", "b", ""}));
    SplitText("abc", u'\t', dest);
    EXPECT_EQ(dest, QStringList({"abc"}));
}

} // namespace
