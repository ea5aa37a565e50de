#include "record/reading_table.h"
#include "tests/reading_rows.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Records what a table announces, as the chart and the grid would see it.
struct Announcements {
    explicit Announcements(ReadingTable& t) {
        QObject::connect(&t, &ReadingTable::rowsAppended, [this](int f, int l) {
            appended.push_back({f, l});
        });
        QObject::connect(&t, &ReadingTable::rowsAboutToBeRemoved,
                         [this](int f, int) { aboutToRemove.push_back(f); });
        QObject::connect(&t, &ReadingTable::rowsRemoved,
                         [this](int f, int) { removed.push_back(f); });
        QObject::connect(&t, &ReadingTable::aboutToReset, [this] { ++aboutToReset; });
        QObject::connect(&t, &ReadingTable::tableReset, [this] { ++reset; });
    }
    std::vector<std::pair<int, int>> appended;
    std::vector<int> aboutToRemove, removed;
    int aboutToReset = 0, reset = 0;
};

TEST(ReadingTable, KeepsRowsInAppendOrderWithTheirFields) {
    ReadingTable t;
    // Across a block boundary, so the second block is addressed too.
    const int n = 70'000;
    for (int i = 0; i < n; ++i)
        t.append(readingRow(i + 1, (i * 1000) % 86'400'000, QString::number(i % 7)));
    ASSERT_EQ(t.rowCount(), n);
    for (int i : {0, 1, 65'535, 65'536, n - 1}) {
        EXPECT_EQ(t.no(i), i + 1);
        EXPECT_EQ(t.timeMs(i), i * 1000);
        EXPECT_EQ(t.value(i), QString::number(i % 7));
        EXPECT_EQ(t.unit(i), "M\u03A9");
        EXPECT_EQ(t.vRange(i), "IR:1000V 40G\u03A9");
        EXPECT_EQ(t.iRange(i), "Continuous");
        EXPECT_FALSE(t.isNoNull(i));
        EXPECT_FALSE(t.isTimeNull(i));
    }
    EXPECT_EQ(t.time(1), QTime(0, 0, 1));
}

TEST(ReadingTable, NullFieldsStayNullAndDoNotLeakIntoNeighbours) {
    ReadingTable t;
    ReadingRow empty;
    t.append(empty);
    t.append(readingRow(-5, 86'399'999, "1.5"));
    ReadingRow noOnly;
    noOnly.No = 0;
    noOnly.NoNull = false;
    t.append(noOnly);

    EXPECT_TRUE(t.isNoNull(0));
    EXPECT_TRUE(t.isTimeNull(0));
    EXPECT_TRUE(t.time(0).isNull());
    for (auto f :
         {ReadingTable::Value, ReadingTable::Unit, ReadingTable::V_Range, ReadingTable::I_Range})
        EXPECT_TRUE(t.isNull(0, f));

    EXPECT_EQ(t.no(1), -5);
    EXPECT_EQ(t.time(1), QTime(23, 59, 59, 999));
    EXPECT_FALSE(t.isNull(1, ReadingTable::Time));

    EXPECT_FALSE(t.isNoNull(2));
    EXPECT_EQ(t.no(2), 0);
    EXPECT_TRUE(t.isTimeNull(2));

    const ReadingRow back = t.row(1);
    EXPECT_EQ(back.No, -5);
    EXPECT_EQ(back.TimeMs, 86'399'999);
    EXPECT_EQ(back.Value, "1.5");
}

TEST(ReadingTable, EachRowIsTypedAndKnowsItsInstantOrItsFile) {
    ReadingTable t;
    ReadingRow r = readingRow(1, 1000, QStringLiteral("2,961"), QStringLiteral("G\u03A9"),
                              QStringLiteral("IR:2500V 100G\u03A9"), QStringLiteral("PI"));
    r.AtMs = 1'765'000'000'000;
    t.append(r);
    t.append(readingRow(2, 2000, QStringLiteral("0L"), QStringLiteral("NULL"),
                        QStringLiteral("DCV  600V"), QStringLiteral("Timed")));
    const Sample a = t.sample(0);
    EXPECT_EQ(a.value.kind, ValueReading::Number);
    EXPECT_DOUBLE_EQ(*a.si(), 2.961e9);
    EXPECT_EQ(a.unit, Unit::GigaOhm);
    EXPECT_EQ(a.testVolts, 2500);
    EXPECT_EQ(a.mode, TestMode::PI);
    EXPECT_TRUE(a.insulation);
    EXPECT_EQ(a.time.epochMs, 1'765'000'000'000);
    const Sample b = t.sample(1);
    EXPECT_EQ(b.value.kind, ValueReading::BeyondRange);
    EXPECT_EQ(b.unit, Unit::None); // "NULL", as a text table reads an empty unit back
    EXPECT_FALSE(b.si());
    EXPECT_FALSE(b.testVolts);
    EXPECT_FALSE(b.time.epochMs);
    EXPECT_EQ(t.sourceOf(1), 0);
    // Rows of a file name it; rows with their instant keep it.
    const int file = t.sourceIndex(QStringLiteral("/data/old.txt"));
    EXPECT_EQ(t.sourceIndex(QStringLiteral("/data/old.txt")), file);
    t.setSourceOf(0, 1, file);
    EXPECT_EQ(t.sourceFile(t.sourceOf(1)), u"/data/old.txt");
    EXPECT_EQ(t.recordedAt(0), 1'765'000'000'000);
    EXPECT_EQ(t.sourceOf(0), 0);
    // What a row was, it stays when rows move.
    t.removeRow(0);
    EXPECT_EQ(t.sourceFile(t.sourceOf(0)), u"/data/old.txt");
    EXPECT_EQ(t.row(0).Source, file);
}

TEST(ReadingTable, TextsAreCutToTwentyBytesAtACharacterBoundary) {
    EXPECT_EQ(ReadingTable::cutToBytes("IR:5000V 1000G\u03A9"), "IR:5000V 1000G\u03A9"); // 16 bytes
    EXPECT_EQ(ReadingTable::cutToBytes(QString(25, 'a')), QString(20, 'a'));
    // 19 ASCII bytes then Ω (two bytes): the pair would end at byte 21, so it goes whole.
    EXPECT_EQ(ReadingTable::cutToBytes(QString(19, 'a') + "\u03A9b"), QString(19, 'a'));
    EXPECT_EQ(ReadingTable::cutToBytes(QString(18, 'a') + "\u03A9b"), QString(18, 'a') + "\u03A9");
    EXPECT_EQ(ReadingTable::cutToBytes(QString(11, QChar(0x03A9))), QString(10, QChar(0x03A9)));
    // A surrogate pair is never split.
    const QString pair = QString::fromUcs4(U"\U0001F600");
    EXPECT_EQ(ReadingTable::cutToBytes(QString(17, 'a') + pair), QString(17, 'a'));

    ReadingTable t;
    t.append(readingRow(1, 0, QString(30, '9')));
    EXPECT_EQ(t.value(0), QString(20, '9'));
}

TEST(ReadingTable, SignalsFollowAppendRemoveAndClear) {
    ReadingTable t;
    Announcements a(t);
    for (int i = 1; i <= 3; ++i)
        t.append(readingRow(i, i, QString::number(i)));
    ASSERT_EQ(a.appended.size(), 3u);
    EXPECT_EQ(a.appended[2], std::make_pair(2, 2));

    t.removeRow(1);
    ASSERT_EQ(a.removed, std::vector<int>{1});
    EXPECT_EQ(a.aboutToRemove, std::vector<int>{1});
    ASSERT_EQ(t.rowCount(), 2);
    EXPECT_EQ(t.no(0), 1);
    EXPECT_EQ(t.no(1), 3);
    t.removeRow(7); // out of range: nothing
    EXPECT_EQ(a.removed.size(), 1u);

    t.clear();
    EXPECT_EQ(a.aboutToReset, 1);
    EXPECT_EQ(a.reset, 1);
    EXPECT_TRUE(t.isEmpty());
    t.append(readingRow(1, 0, "x"));
    EXPECT_EQ(t.value(0), "x");
}

TEST(ReadingTable, SuspendedChangesEndInOneReset) {
    ReadingTable t;
    t.append(readingRow(1, 0, "1"));
    Announcements a(t);
    t.suspendUpdates();
    t.suspendUpdates();
    t.clear();
    t.append(readingRow(2, 0, "2"));
    t.removeRow(0);
    t.append(readingRow(3, 0, "3"));
    t.resumeUpdates();
    EXPECT_EQ(a.reset, 0);
    t.resumeUpdates();
    EXPECT_TRUE(a.appended.empty());
    EXPECT_TRUE(a.removed.empty());
    EXPECT_EQ(a.aboutToReset, 1);
    EXPECT_EQ(a.reset, 1);
    ASSERT_EQ(t.rowCount(), 1);
    EXPECT_EQ(t.no(0), 3);
    t.resumeUpdates(); // unbalanced: ignored
    EXPECT_EQ(a.reset, 1);
}

// What a packet with changed and deleted rows does to the table: rows replaced in place and
// many removed at once, across the blocks that hold them.
TEST(ReadingTable, RowsAreReplacedInPlaceAndRemovedManyAtOnce) {
    ReadingTable t;
    const int n = 70'000;
    for (int i = 0; i < n; ++i)
        t.appendInterned(i, false, i, false, {t.internText(QString::number(i % 5)), 0, 0, 0});
    Announcements a(t);
    t.replaceRow(65'536, readingRow(-1, 5, "new"));
    EXPECT_EQ(t.value(65'536), "new");
    EXPECT_EQ(t.no(65'536), -1);
    EXPECT_EQ(t.no(65'537), 65'537);
    t.replaceRow(n, readingRow(0, 0, "none")); // no such row: nothing
    EXPECT_EQ(a.reset, 1);

    t.removeRows({0, 2, 65'535, 65'536, n - 1, n + 5});
    EXPECT_EQ(a.reset, 2);
    ASSERT_EQ(t.rowCount(), n - 5);
    EXPECT_EQ(t.no(0), 1);
    EXPECT_EQ(t.no(1), 3);
    EXPECT_EQ(t.no(65'532), 65'534);
    EXPECT_EQ(t.no(65'533), 65'537);
    EXPECT_EQ(t.no(n - 6), n - 2);
    EXPECT_EQ(t.value(n - 6), QString::number((n - 2) % 5));
    t.append(readingRow(7, 0, "after"));
    EXPECT_EQ(t.value(n - 5), "after");
}

} // namespace
