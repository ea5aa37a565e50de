#include "record/reading_table_model.h"
#include "record/table_files.h"
#include "record/ui/reading_grid.h"
#include "tests/reading_rows.h"
#include "tests/test_app.h"

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

ReadingRow reading(int no, int ms, const QString& value, const QString& mode = "Continuous") {
    return readingRow(no, ms, value, QStringLiteral("M\u03A9"),
                      QStringLiteral("IR:1000V 40G\u03A9"), mode);
}

class Grid : public WithApp, public ::testing::Test {
protected:
    Grid() {
        QLocale::setDefault(QLocale::c());
        grid_.resize(617, 177);
        grid_.setTable(&table_);
        grid_.show();
    }
    ~Grid() override { QLocale::setDefault(QLocale::system()); }
    QAbstractItemModel* model() { return grid_.model(); }
    QString cell(int row, int column) { return model()->index(row, column).data().toString(); }
    void ctrlDelete() {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::ControlModifier);
        QApplication::sendEvent(&grid_, &press);
    }

    ReadingTable table_;
    ReadingGrid grid_;
};

TEST_F(Grid, ShowsTheFieldsUnderTheirTitlesWidthsAndAlignments) {
    table_.append(reading(7, (14 * 3600 + 3 * 60 + 27) * 1000 + 123, "12.34"));
    ReadingRow blank; // a row from a file with every field missing
    table_.append(blank);

    const QStringList titles = {"No", "Time", "Value", "Unit", "Function", "Remark"};
    const int widths[] = {54, 92, 72, 90, 109, 158};
    ASSERT_EQ(model()->columnCount(), 6);
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(model()->headerData(c, Qt::Horizontal).toString(), titles[c]);
        if (c == ReadingGrid::kFunctionColumn) // wider where the font needs it
            EXPECT_GE(grid_.columnWidth(c), widths[c]);
        else
            EXPECT_EQ(grid_.columnWidth(c), widths[c]);
        const auto align = Qt::Alignment(model()->index(0, c).data(Qt::TextAlignmentRole).toInt());
        EXPECT_EQ(align & Qt::AlignHorizontal_Mask, c == 5 ? Qt::AlignLeft : Qt::AlignHCenter);
    }
    EXPECT_EQ(cell(0, 0), "7");
    EXPECT_EQ(cell(0, 1), "14:03:27");
    EXPECT_EQ(cell(0, 2), "12.34");
    EXPECT_EQ(cell(0, 3), "M\u03A9");
    EXPECT_EQ(cell(0, 4), "IR:1000V 40G\u03A9");
    EXPECT_EQ(cell(0, 5), "Continuous");
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(cell(1, c), "") << c;
    // No numbers in the row header: only the indicator.
    EXPECT_EQ(model()->headerData(0, Qt::Vertical).toString(), "");
    EXPECT_LE(grid_.verticalHeader()->width(), ReadingGrid::kIndicatorWidth);
}

// Every text reads whole, as the grid itself measures its cells and its titles: what the meter
// gives from the first row on, and whatever a row brings (a long text from a file, a large
// number) as it comes. No column is narrower than its first width.
TEST_F(Grid, ColumnsShowEveryTextAndTitleWhole) {
    for (const char* f : {"IR:500V 20G\u03A9", "IR:1000V 40G\u03A9", "IR:2500 100G\u03A9",
                          "IR:5000V 1000G\u03A9", "DCV  600V", "ACV  600V"})
        table_.append(readingRow(1, (23 * 3600 + 59 * 60) * 1000, QStringLiteral("-1.888"),
                                 QStringLiteral("G\u03A9"), QString::fromUtf8(f),
                                 QStringLiteral("COMP:GOOD")));
    auto expectWhole = [](ReadingGrid& grid) {
        const QAbstractItemView& view = grid; // where the measure is public
        int columns = 0;
        for (int c = 0; c < ReadingTable::kFieldCount; ++c) {
            EXPECT_LE(view.sizeHintForColumn(c), grid.columnWidth(c)) << c;
            EXPECT_LE(grid.horizontalHeader()->sectionSizeHint(c), grid.columnWidth(c)) << c;
            EXPECT_GE(grid.columnWidth(c), ReadingGrid::kColumnWidths[c]) << c;
            columns += grid.columnWidth(c);
        }
        EXPECT_GT(grid.wholeWidth(), columns + ReadingGrid::kIndicatorWidth);
    };
    for (const int px : {11, 13, 16}) {
        SCOPED_TRACE(px);
        QFont font = grid_.font();
        font.setPixelSize(px);
        ReadingGrid grid;
        grid.setFont(font);
        grid.setTable(&table_);
        expectWhole(grid);
    }
    // Rows that need more: their columns widen, once, and the grid says its width changed.
    const int before = grid_.wholeWidth();
    int told = 0;
    QObject::connect(&grid_, &ReadingGrid::wholeWidthChanged, [&] { ++told; });
    table_.append(readingRow(123456789, 0, QStringLiteral("0.000000000001"),
                             QStringLiteral("M\u03A9"), QStringLiteral("IR:1000V 40G\u03A9"),
                             QString(20, u'W'))); // wider than the first width in any font
    EXPECT_GT(grid_.wholeWidth(), before);
    EXPECT_GE(told, 1);
    expectWhole(grid_);
    // A bulk load is measured when it is whole.
    table_.suspendUpdates();
    table_.append(readingRow(-2147483647, 0, QStringLiteral("x"), QStringLiteral("W\u03A9W"),
                             QStringLiteral("ACV  600V"), QStringLiteral("Continuous")));
    table_.resumeUpdates();
    expectWhole(grid_);
}

// A reading without a unit (the meter's PI result) shows no unit, recorded here or loaded from a
// text file that wrote its empty cell as "NULL"; the file keeps "NULL".
TEST_F(Grid, AReadingWithoutAUnitShowsNoneWhateverItsSource) {
    table_.append(readingRow(1, 0, "2.21", "", "IR:1000V 40G\u03A9", "PI"));
    table_.append(readingRow(2, 0, "5.0", "k\u03A9"));
    table_.append(readingRow(3, 0, "7", "mho")); // a unit the program does not know stays
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("pi.txt"));
    std::vector<TableFileMessage> said;
    auto tell = [&](const TableFileMessage& m) { said.push_back(m); };
    ASSERT_TRUE(SaveTableFile(table_, file, tell));
    QFile saved(file);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().contains("1\t00:00:00\t2.21\tNULL\tIR:1000V 40G\xA6\xB8\tPI\r\n"));
    ASSERT_TRUE(LoadTableFile(file, table_, false, tell));
    ASSERT_EQ(model()->rowCount(), 6);
    EXPECT_EQ(table_.unit(3), "NULL");
    for (int row : {0, 3})
        EXPECT_EQ(cell(row, ReadingTable::Unit), "") << row;
    for (int row : {1, 4})
        EXPECT_EQ(cell(row, ReadingTable::Unit), "k\u03A9") << row;
    for (int row : {2, 5})
        EXPECT_EQ(cell(row, ReadingTable::Unit), "mho") << row;
}

TEST_F(Grid, TimeFollowsTheLocalesLongFormatWithoutAZone) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ReadingTable table;
    table.append(reading(1, (21 * 3600 + 5 * 60 + 9) * 1000, "1"));
    ReadingTableModel model(table);
    const QString shown = model.index(0, 1).data().toString();
    EXPECT_TRUE(shown.startsWith("9:05:09")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("PM")) << shown.toStdString();
}

TEST_F(Grid, AllowsNoEditingButMovingResizingAndTabbing) {
    table_.append(reading(1, 0, "1"));
    EXPECT_EQ(grid_.editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(model()->flags(model()->index(0, 2)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model()->setData(model()->index(0, 2), "99"));
    EXPECT_EQ(cell(0, 2), "1");
    EXPECT_TRUE(grid_.tabKeyNavigation());
    EXPECT_TRUE(grid_.horizontalHeader()->sectionsMovable());
    EXPECT_EQ(grid_.horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);

    // A dragged column shows its field at its new place; the fields keep their order.
    grid_.horizontalHeader()->moveSection(5, 0);
    EXPECT_EQ(grid_.horizontalHeader()->logicalIndex(0), 5);
    EXPECT_EQ(cell(0, 5), "Continuous");
}

TEST_F(Grid, FollowsNewRowsAndBulkChanges) {
    for (int i = 1; i <= 50; ++i)
        table_.append(reading(i, i * 1000, QString::number(i)));
    EXPECT_EQ(model()->rowCount(), 50);
    EXPECT_EQ(grid_.currentIndex().row(), 49);
    const QRect last = grid_.visualRect(model()->index(49, 0));
    EXPECT_TRUE(grid_.viewport()->rect().contains(last.center()));

    // A bulk change (a file load) resets the grid once and lands on the last row.
    int resets = 0, inserts = 0;
    QObject::connect(model(), &QAbstractItemModel::modelReset, [&] { ++resets; });
    QObject::connect(model(), &QAbstractItemModel::rowsInserted, [&] { ++inserts; });
    table_.suspendUpdates();
    for (int i = 0; i < 100; ++i)
        table_.append(reading(i, 0, "x"));
    table_.resumeUpdates();
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(inserts, 0);
    EXPECT_EQ(model()->rowCount(), 150);
    EXPECT_EQ(grid_.currentIndex().row(), 149);

    table_.clear();
    EXPECT_EQ(model()->rowCount(), 0);
    EXPECT_FALSE(grid_.currentIndex().isValid());
    table_.append(reading(1, 0, "after"));
    EXPECT_EQ(grid_.currentIndex().row(), 0);
    EXPECT_EQ(cell(0, 2), "after");
}

TEST_F(Grid, CtrlDeleteRemovesTheCurrentRowOnlyWhenConfirmed) {
    for (int i = 1; i <= 3; ++i)
        table_.append(reading(i, 0, QString::number(i)));
    grid_.setCurrentIndex(model()->index(1, 2));
    int asked = 0;
    bool answer = false;
    grid_.setConfirmDelete([&] {
        ++asked;
        return answer;
    });

    ctrlDelete();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(table_.rowCount(), 3);

    // Delete alone is no command.
    QKeyEvent plain(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(&grid_, &plain);
    EXPECT_EQ(asked, 1);

    answer = true;
    ctrlDelete();
    EXPECT_EQ(asked, 2);
    ASSERT_EQ(table_.rowCount(), 2);
    EXPECT_EQ(table_.value(0), "1");
    EXPECT_EQ(table_.value(1), "3");
    EXPECT_EQ(model()->rowCount(), 2);
    EXPECT_EQ(grid_.currentIndex().row(), 1);

    // Deleting down to nothing, then asking on an empty grid, which has no row to delete.
    ctrlDelete();
    ctrlDelete();
    EXPECT_EQ(table_.rowCount(), 0);
    EXPECT_FALSE(grid_.deleteCurrentRow());
    EXPECT_EQ(asked, 4);
}

TEST_F(Grid, ReplacingTheTableLeavesNoTraceOfTheOld) {
    table_.append(reading(1, 0, "old"));
    {
        ReadingTable other;
        other.append(reading(5, 0, "new"));
        other.append(reading(6, 0, "newer"));
        grid_.setTable(&other);
        EXPECT_EQ(model()->rowCount(), 2);
        EXPECT_EQ(cell(1, 2), "newer");
        table_.append(reading(2, 0, "ignored"));
        EXPECT_EQ(model()->rowCount(), 2);
        grid_.setTable(&table_);
    }
    EXPECT_EQ(model()->rowCount(), 2);
    EXPECT_EQ(cell(1, 2), "ignored");
}

} // namespace

namespace {

// Dark pixels in the row header beside `row`.
int darkPixelsBeside(ReadingGrid& grid, int row) {
    QHeaderView* header = grid.verticalHeader();
    const QImage image = header->viewport()->grab().toImage();
    const int top = header->sectionViewportPosition(row);
    int dark = 0;
    for (int y = std::max(top, 0); y < std::min(top + header->sectionSize(row), image.height());
         ++y)
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 60;
    return dark;
}

TEST_F(Grid, TheRowIndicatorMarksTheCurrentRow) {
    for (int i = 1; i <= 5; ++i)
        table_.append(reading(i, 0, QString::number(i)));
    grid_.setCurrentIndex(model()->index(2, 0));
    EXPECT_GT(darkPixelsBeside(grid_, 2), 4);
    EXPECT_EQ(darkPixelsBeside(grid_, 1), 0);
    grid_.setCurrentIndex(model()->index(1, 3));
    EXPECT_GT(darkPixelsBeside(grid_, 1), 4);
    EXPECT_EQ(darkPixelsBeside(grid_, 2), 0);
}

} // namespace
