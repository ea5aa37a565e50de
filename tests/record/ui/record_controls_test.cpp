#include "record/ui/reading_grid.h"
#include "record/ui/record_controls.h"
#include "tests/test_app.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

// The controls as the window holds them, with scripted answers in place of dialogs.
class Controls : public WithApp, public ::testing::Test {
protected:
    Controls() {
        QLocale::setDefault(QLocale::c());
        repeat_.setChecked(true);
        for (auto& a : actions_)
            a = std::make_unique<QAction>();
        actions_[2]->setCheckable(true);
        actions_[2]->setChecked(true);
        grid_.setTable(&table_);
        RecordControls::Widgets w;
        w.RepeatSet = &repeat_;
        w.RecordSI = &sampling_;
        w.RecordSITime = &seconds_;
        for (size_t i = 0; i < 6; ++i)
            w.limits[i] = actions_[i].get();
        w.SpeedButton1 = &save_;
        w.SpeedButton2 = &clear_;
        w.SpeedButton3 = &open_;
        w.DBGrid1 = &grid_;
        controls_ = std::make_unique<RecordControls>(table_, w);
        controls_->recorder().setClock([] { return 3'723'000; });
        RecordControls::Prompts p;
        p.saveFileName = [this] { return saveAs_; };
        p.openFileName = [this] { return openName_; };
        p.tell = [this](const TableFileMessage& m) { told_.push_back(m); };
        p.confirmDeleteAll = [this] {
            ++warned_;
            return deleteOk_;
        };
        controls_->setPrompts(p);
    }
    ~Controls() override { QLocale::setDefault(QLocale::system()); }

    void offer(const QString& value) {
        controls_->INDataToTable(1, readingOf(value, QStringLiteral("M\u03A9"),
                                              QStringLiteral("IR:500V 20G\u03A9"),
                                              QStringLiteral("Continuous")));
    }
    void type(Qt::Key key, const QString& text) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(&seconds_, &press);
    }
    QString path(const QString& name) const { return dir_.filePath(name); }

    ReadingTable table_;
    QCheckBox repeat_, sampling_;
    QLineEdit seconds_{QStringLiteral("10")};
    std::unique_ptr<QAction> actions_[6];
    QToolButton save_, clear_, open_;
    ReadingGrid grid_;
    std::unique_ptr<RecordControls> controls_;

    QTemporaryDir dir_;
    QString saveAs_, openName_;
    std::vector<TableFileMessage> told_;
    int warned_ = 0;
    bool deleteOk_ = true;
};

TEST_F(Controls, LimitItemsSetTheLimitAndCheckOnlyThemselves) {
    const qint32 limits[] = {1000, 5000, 10000, 50000, 100000, 10'000'000};
    for (int i = 0; i < 6; ++i) {
        actions_[i]->trigger();
        EXPECT_EQ(controls_->recorder().MaxRecords, limits[i]);
        for (int j = 0; j < 6; ++j)
            EXPECT_EQ(actions_[j]->isChecked(), i == j) << i << " " << j;
    }
    // Triggering the checked item again keeps it checked.
    actions_[5]->trigger();
    EXPECT_TRUE(actions_[5]->isChecked());
}

TEST_F(Controls, LimitOf1000ThenRaisedTo5000ContinuesWithRow1001) {
    controls_->set1kClick();
    for (int i = 0; i < 1001; ++i)
        offer(QString::number(i));
    EXPECT_EQ(table_.rowCount(), 1000);
    controls_->set5kClick();
    offer("next");
    ASSERT_EQ(table_.rowCount(), 1001);
    EXPECT_EQ(table_.no(1000), 1001);
    EXPECT_EQ(grid_.currentIndex().row(), 1000);
}

TEST_F(Controls, CheckBoxesSteerRepeatAndSampling) {
    repeat_.setChecked(false);
    for (const char* v : {"5", "5", "6", "5"})
        offer(v);
    EXPECT_EQ(table_.rowCount(), 3);

    // Recorded rows loaded the countdown with 10; switching sampling on waits for it.
    sampling_.setChecked(true);
    offer("7");
    EXPECT_EQ(table_.rowCount(), 3);
    for (int i = 0; i < 9; ++i)
        controls_->SampInterTimeTimer();
    offer("8");
    EXPECT_EQ(table_.rowCount(), 3);
    controls_->SampInterTimeTimer();
    offer("9");
    EXPECT_EQ(table_.rowCount(), 4);
}

TEST_F(Controls, TheSecondsBoxTakesDigitsAndBackspaceOnly) {
    seconds_.setFocus();
    seconds_.setText("");
    type(Qt::Key_1, "1");
    type(Qt::Key_A, "a");
    type(Qt::Key_Minus, "-");
    type(Qt::Key_Period, ".");
    type(Qt::Key_Space, " ");
    type(Qt::Key_2, "2");
    EXPECT_EQ(seconds_.text(), "12");
    EXPECT_EQ(controls_->recorder().SampleCountdown, 12);
    type(Qt::Key_Backspace, "\b");
    EXPECT_EQ(seconds_.text(), "1");
    EXPECT_EQ(controls_->recorder().SampleCountdown, 1);
    type(Qt::Key_Left, "");
    type(Qt::Key_Delete, "\x7f");
    EXPECT_EQ(seconds_.text(), "");
    EXPECT_EQ(controls_->recorder().SampleCountdown, 0);
}

// A pasted or dropped text is held to the same rule as typed keys: all of it digits, or nothing
// of it taken.
TEST_F(Controls, TheSecondsBoxTakesAPasteOfDigitsOnly) {
    seconds_.setText(QStringLiteral("1"));
    seconds_.end(false);
    for (const char16_t* refused : {u"5a", u"-3", u" 4", u"1.5", u"\u0661\u0662", u"\t7"}) {
        QGuiApplication::clipboard()->setText(QString::fromUtf16(refused));
        seconds_.paste();
        EXPECT_EQ(seconds_.text(), u"1") << QString::fromUtf16(refused).toStdString();
    }
    EXPECT_EQ(controls_->recorder().SampleCountdown, 1); // the refused pastes changed nothing
    QGuiApplication::clipboard()->setText(QStringLiteral("25"));
    seconds_.paste();
    EXPECT_EQ(seconds_.text(), u"125");
    EXPECT_EQ(controls_->recorder().SampleCountdown, 125);
    seconds_.selectAll();
    seconds_.del(); // emptied: as before, every reading is recorded
    EXPECT_EQ(seconds_.text(), u"");
    EXPECT_EQ(controls_->recorder().SampleCountdown, 0);
}

TEST_F(Controls, TextsSetByTheProgramGiveACountdownThatRunsDown) {
    sampling_.setChecked(true);
    struct Case {
        const char* text;
        qint32 countdown;
    } cases[] = {{"", 0},    {"-", 0},   {"+", 0},
                 {"-5", 0},  {"abc", 0}, {"1.5", 0},
                 {" 3 ", 3}, {"+4", 4},  {"99999999999", 2147483647}};
    for (const Case& c : cases) {
        seconds_.setText(QString::fromLatin1(c.text)); // set by the program: not validated
        EXPECT_EQ(controls_->recorder().SampleCountdown, c.countdown) << c.text;
        // Recording reloads from the same text.
        controls_->recorder().SampleCountdown = 0;
        offer(QStringLiteral("v") + QString::fromLatin1(c.text));
        EXPECT_EQ(controls_->recorder().SampleCountdown, c.countdown) << c.text;
        EXPECT_GE(controls_->recorder().SampleCountdown, 0);
    }
    // Box empty, "0", "-" or "+": every reading is recorded.
    for (const char* t : {"", "0", "-", "+"}) {
        seconds_.setText(QString::fromLatin1(t));
        const int before = table_.rowCount();
        offer("a");
        offer("b");
        EXPECT_EQ(table_.rowCount(), before + 2) << t;
    }
}

TEST_F(Controls, DeleteDataWarnsThenEmptiesAndRestartsTheNumbers) {
    repeat_.setChecked(false);
    offer("1");
    offer("2");
    // Called off: nothing goes, the numbering goes on.
    deleteOk_ = false;
    clear_.click();
    EXPECT_EQ(warned_, 1);
    EXPECT_EQ(table_.rowCount(), 2);
    EXPECT_EQ(controls_->recorder().RecordNo, 3);

    deleteOk_ = true;
    clear_.click();
    EXPECT_EQ(warned_, 2);
    EXPECT_EQ(table_.rowCount(), 0);
    EXPECT_EQ(controls_->recorder().RecordNo, 1);
    EXPECT_EQ(controls_->recorder().LastRecordedValue, "2");
    // The last value before the clear still counts as a repeat.
    offer("2");
    EXPECT_EQ(table_.rowCount(), 0);
    offer("3");
    ASSERT_EQ(table_.rowCount(), 1);
    EXPECT_EQ(table_.no(0), 1);
    // On an empty table too.
    controls_->ClearRClick();
    controls_->ClearRClick();
    EXPECT_EQ(warned_, 4);
    EXPECT_EQ(controls_->recorder().RecordNo, 1);
}

TEST_F(Controls, SaveAndOpenGoThroughTheDialogsAndTellTheOutcome) {
    for (const char* v : {"1.5", "2.5"})
        offer(v);

    saveAs_.clear(); // cancelled
    save_.click();
    EXPECT_TRUE(told_.empty());

    saveAs_ = path("rows.xls");
    save_.click();
    ASSERT_EQ(told_.size(), 1u);
    EXPECT_EQ(told_[0].kind, TableFileMessage::Information);
    EXPECT_EQ(told_[0].text, "Save table to specified file: " + saveAs_ + " Scuss!");
    EXPECT_TRUE(QFile::exists(saveAs_));

    // Opening a text file adds its rows; the numbering of new rows goes on from RecordNo.
    openName_ = saveAs_;
    open_.click();
    EXPECT_EQ(told_.size(), 1u); // a good load says nothing
    ASSERT_EQ(table_.rowCount(), 4);
    EXPECT_EQ(table_.no(2), 1);
    EXPECT_EQ(timeText(table_.timeMs(3)), "01:02:03");
    EXPECT_EQ(grid_.currentIndex().row(), 3);
    offer("3.5");
    EXPECT_EQ(table_.no(4), 3);

    // A broken file: the rows before the bad line stay, the user is told.
    QFile bad(path("bad.txt"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("No\tTime\tValue\tUnit\tFunction\tRemark\r\n9\t01:00:00\tok\r\nx\t01:00:00\tno\r\n");
    bad.close();
    openName_ = bad.fileName();
    controls_->OpenClick();
    ASSERT_EQ(told_.size(), 2u);
    EXPECT_EQ(told_[1].kind, TableFileMessage::Error);
    EXPECT_EQ(told_[1].text, "Failed to Load File!");
    ASSERT_EQ(table_.rowCount(), 6);
    EXPECT_EQ(table_.value(5), "ok");
    EXPECT_EQ(grid_.model()->rowCount(), 6);

    openName_.clear(); // cancelled
    controls_->OpenClick();
    EXPECT_EQ(told_.size(), 2u);
    EXPECT_EQ(table_.rowCount(), 6);

    // A packet whose rows were changed and deleted: the grid shows what its table showed.
    openName_ = QStringLiteral(Z4072_FIXTURES "/changed.xml");
    controls_->OpenClick();
    EXPECT_EQ(told_.size(), 2u);
    ASSERT_EQ(grid_.model()->rowCount(), 3);
    EXPECT_EQ(grid_.model()->index(0, ReadingTable::Value).data().toString(), "2.22");
    EXPECT_EQ(grid_.model()->index(1, ReadingTable::Value).data().toString(), "3.24");
    EXPECT_EQ(grid_.model()->index(2, ReadingTable::I_Range).data().toString(), "Continuous");
}

// Open Data of a packet replaces the rows: readings not saved are asked about first, and no
// answer, no failed save and no failed load costs a row.
TEST_F(Controls, OpeningAPacketOverUnsavedReadingsAsksFirstAndLosesNothing) {
    std::vector<std::pair<int, QString>> asked;
    RecordControls::ReplaceAnswer answer = RecordControls::ReplaceAnswer::Cancel;
    RecordControls::Prompts p;
    p.saveFileName = [this] { return saveAs_; };
    p.openFileName = [this] { return openName_; };
    p.tell = [this](const TableFileMessage& m) { told_.push_back(m); };
    p.replaceUnsaved = [&](int count, const QString& file) {
        asked.emplace_back(count, file);
        return answer;
    };
    controls_->setPrompts(p);
    auto record = [this](const char* value) {
        offer(value);
        controls_->rowRecorded();
    };
    auto values = [this] {
        QStringList v;
        for (int row = 0; row < table_.rowCount(); ++row)
            v << table_.value(row);
        return v.join(u' ').toStdString();
    };
    for (const char* v : {"1.1", "2.2", "3.3"})
        record(v);
    const QString packet = QStringLiteral(Z4072_FIXTURES "/changed.xml");
    openName_ = packet;

    // Cancel; Save with its dialog cancelled; Save that fails: nothing is opened.
    EXPECT_FALSE(controls_->OpenClick());
    saveAs_.clear();
    answer = RecordControls::ReplaceAnswer::Save;
    EXPECT_FALSE(controls_->OpenClick());
    saveAs_ = path("no/such/folder/kept.xls");
    open_.click();
    ASSERT_EQ(asked.size(), 3u);
    for (const auto& [count, file] : asked) {
        EXPECT_EQ(count, 3);
        EXPECT_EQ(file, packet);
    }
    EXPECT_EQ(values(), "1.1 2.2 3.3");
    EXPECT_EQ(controls_->unsavedRows(), 3);
    ASSERT_EQ(told_.size(), 1u);
    EXPECT_EQ(told_[0].text, "Could not save table to specified file: " + saveAs_);

    // Save, then the packet's rows in place of the saved ones.
    saveAs_ = path("kept.xls");
    EXPECT_TRUE(controls_->OpenClick());
    EXPECT_TRUE(QFile::exists(saveAs_));
    EXPECT_EQ(values(), "2.22 3.24 1.25");
    EXPECT_EQ(grid_.model()->rowCount(), 3);
    EXPECT_EQ(controls_->unsavedRows(), 0);

    // Nothing unsaved: no question. Replace: the readings go unsaved, on the user's word.
    EXPECT_TRUE(controls_->OpenClick());
    EXPECT_EQ(asked.size(), 4u);
    record("9.9");
    answer = RecordControls::ReplaceAnswer::Replace;
    saveAs_ = path("not-written.xls");
    EXPECT_TRUE(controls_->OpenClick());
    ASSERT_EQ(asked.size(), 5u);
    EXPECT_EQ(asked.back().first, 1);
    EXPECT_FALSE(QFile::exists(saveAs_));
    EXPECT_EQ(values(), "2.22 3.24 1.25");

    // A text file adds its rows and asks nothing; the readings not saved stay counted.
    record("7.7");
    openName_ = path("kept.xls");
    EXPECT_TRUE(controls_->OpenClick());
    EXPECT_EQ(asked.size(), 5u);
    EXPECT_EQ(values(), "2.22 3.24 1.25 7.7 1.1 2.2 3.3");
    EXPECT_EQ(controls_->unsavedRows(), 1);

    // A packet that fails to load, after Replace: the table is as it was, and still unsaved.
    QFile broken(path("broken.xml"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("<?xml version=\"1.0\" standalone=\"yes\"?><DATAPACKET Version=\"2.0\">");
    broken.close();
    for (const QString& bad : {broken.fileName(), path("missing.xml")}) {
        openName_ = bad;
        told_.clear();
        EXPECT_FALSE(controls_->OpenClick());
        EXPECT_EQ(values(), "2.22 3.24 1.25 7.7 1.1 2.2 3.3");
        EXPECT_EQ(grid_.model()->rowCount(), 7);
        EXPECT_EQ(controls_->unsavedRows(), 1);
        ASSERT_EQ(told_.size(), 1u);
        EXPECT_EQ(told_[0].text, "Failed to Load File!");
    }
    EXPECT_EQ(asked.size(), 7u);
}

TEST_F(Controls, UnsavedReadingsAreCountedAndToldAsTheyChange) {
    std::vector<int> counts;
    QObject::connect(controls_.get(), &RecordControls::unsavedChanged,
                     [&](int count) { counts.push_back(count); });
    for (const char* v : {"1", "2", "3"}) {
        offer(v);
        controls_->rowRecorded();
    }
    // Rows deleted in the grid: no more unsaved readings than rows.
    table_.removeRow(0);
    table_.removeRow(0);
    EXPECT_EQ(controls_->unsavedRows(), 1);
    saveAs_ = path("r.xls");
    QString savedTo;
    QObject::connect(controls_.get(), &RecordControls::tableSaved,
                     [&](const QString& file, int rows) {
                         savedTo = file;
                         EXPECT_EQ(rows, 1);
                     });
    EXPECT_TRUE(controls_->Save_asClick());
    EXPECT_EQ(savedTo, saveAs_);
    EXPECT_EQ(counts, (std::vector<int>{1, 2, 3, 2, 1, 0}));
    EXPECT_EQ(RecordControls::replaceQuestion(2, QStringLiteral("/x/day.xml")),
              "Opening day.xml replaces the table: 2 readings are not saved and will be lost.\n"
              "Do you want to save them first?");
}

// The boxes that the user really sees: their titles, icons and texts, answered with OK.
TEST_F(Controls, MessageBoxesCarryTheirTitles) {
    RecordControls::Prompts p;
    p.saveFileName = [this] { return saveAs_; };
    p.openFileName = [this] { return openName_; };
    controls_->setPrompts(p);
    struct Box {
        QString title, text;
        QMessageBox::Icon icon;
    };
    std::vector<Box> shown;
    // Each box is answered as soon as it is up; the check runs again until it is.
    std::function<void()> answer = [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown.push_back({box->windowTitle(), box->text(), box->icon()});
            box->button(QMessageBox::Ok)->click();
        } else {
            QTimer::singleShot(0, answer);
        }
    };
    auto withAnswer = [&](QToolButton& button) {
        QTimer::singleShot(0, answer);
        button.click();
    };

    withAnswer(clear_);
    saveAs_ = path("t.xml");
    withAnswer(save_);
    saveAs_ = path("missing/t.xls");
    withAnswer(save_);
    openName_ = path("missing.xml");
    withAnswer(open_);
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].title, "Information");
    EXPECT_EQ(shown[0].text, RecordControls::deleteAllWarning());
    EXPECT_EQ(shown[0].icon, QMessageBox::Information);
    EXPECT_EQ(shown[1].title, "Z4072");
    EXPECT_EQ(shown[1].text, "Save table to specified file: " + path("t.xml") + " Scuss!");
    EXPECT_EQ(shown[2].title, "Z4072");
    EXPECT_EQ(shown[2].text, "Could not save table to specified file: " + saveAs_);
    EXPECT_EQ(shown[3].title, "Error");
    EXPECT_EQ(shown[3].text, "Failed to Load File!");
    EXPECT_EQ(shown[3].icon, QMessageBox::Critical);
}

} // namespace
