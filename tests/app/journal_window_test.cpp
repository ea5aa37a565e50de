#include "app/main_window.h"
#include "record/journal_recovery.h"
#include "sim/meter_display.h"
#include "tests/app/record_process.h"
#include "tests/test_app.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class JournalWindow : public ::testing::Test {
protected:
    JournalWindow() {
        app();
        QLocale::setDefault(QLocale::c());
    }
    ~JournalWindow() override { QLocale::setDefault(QLocale::system()); }

    QString state() const { return dir_.filePath(QStringLiteral("state")); }
    QString folder() const { return state() + QStringLiteral("/z4072"); }
    QString path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

    // A window as the program starts it, its journal in the test's folder and the recovery
    // question answered by `yes`.
    std::unique_ptr<TFrmTest> window(bool yes = true, const QString& journals = {}) {
        auto w = std::make_unique<TFrmTest>();
        w->chain().setPauseDuration(0);
        w->keepJournal(journals.isEmpty() ? folder() : journals);
        w->setRecoveryPrompt([this, yes](const QString& q) {
            asked_ << q;
            return yes;
        });
        RecordControls::Prompts p;
        p.tell = [this](const TableFileMessage& m) { told_ << m.text; };
        p.confirmDeleteAll = [] { return true; };
        p.saveFileName = [this] { return saveAs_; };
        w->recordControls().setPrompts(p);
        return w;
    }
    static void show(TFrmTest& w, const char* value) {
        const auto d = sim::MeterDisplay::insulation(value, u"G\u03A9", 5000);
        std::vector<QByteArray> reports = sim::cableReports(sim::frameBytes(d));
        reports.push_back(sim::idleReport());
        for (const QByteArray& r : reports)
            w.chain().Read380(0, reinterpret_cast<const quint8*>(r.constData()), quint16(r.size()));
    }
    static QStringList rowsOf(const ReadingTable& t) {
        QStringList out;
        const TimeTextFormatter times;
        for (int r = 0; r < t.rowCount(); ++r) {
            QString line;
            appendTextRow(line, t, r, times);
            out << line;
        }
        return out;
    }
    QStringList files(const char* pattern) const {
        return QDir(folder()).entryList({QString::fromLatin1(pattern)}, QDir::Files);
    }

    QTemporaryDir dir_;
    QStringList asked_, told_;
    QString saveAs_;
};

TEST_F(JournalWindow, AKilledRecordersRowsAreOfferedOnceAndRestoredExactly) {
    QFile cap(path("three.cap"));
    ASSERT_TRUE(cap.open(QIODevice::WriteOnly));
    cap.write(captureOf({"1.111", "2.222", "3.333"}));
    cap.close();
    RecordProcess rec(state(), {path("out.xml"), "--replay", path("three.cap")});
    ASSERT_TRUE(rec.waitForRows(3)) << rec.err().toStdString();
    rec.signal(SIGKILL);
    EXPECT_EQ(rec.finish(), -1);
    ASSERT_EQ(rec.rows().size(), 3);
    EXPECT_FALSE(QFile::exists(path("out.xml"))) << "the journal was its only copy";

    auto w = window();
    w->offerRecovery();
    ASSERT_EQ(asked_.size(), 1);
    const QStringList aside = files("readings-*.txt");
    ASSERT_EQ(aside.size(), 1);
    EXPECT_TRUE(asked_[0].startsWith(u"3 readings were recorded on ")) << asked_[0].toStdString();
    EXPECT_TRUE(asked_[0].contains(QDir(folder()).filePath(aside[0])));
    EXPECT_TRUE(asked_[0].endsWith(u"\n\nRestore them into the table?"));
    EXPECT_EQ(rowsOf(*w->cds1), rec.rows());
    EXPECT_TRUE(told_.isEmpty());
    EXPECT_TRUE(files("journal-*").isEmpty());

    // Recording goes on after the highest restored number, and the restored rows are not saved.
    show(*w, "4.444");
    ASSERT_EQ(w->cds1->rowCount(), 4);
    EXPECT_EQ(w->cds1->no(3), 4);
    EXPECT_EQ(w->unsavedReadings(), 4);

    // Never offered again, neither to this window nor to the next.
    w->offerRecovery();
    w.reset();
    window()->offerRecovery();
    EXPECT_EQ(asked_.size(), 1);
}

TEST_F(JournalWindow, NoKeepsTheRowsAsideAndARunningProgramsJournalIsNeverOffered) {
    // `a` plays one reading and no more, so that the rows it printed are all it recorded.
    QFile cap(path("one.cap"));
    ASSERT_TRUE(cap.open(QIODevice::WriteOnly));
    cap.write(captureOf({"4.444"}));
    cap.close();
    RecordProcess a(state(), {path("a.txt"), "--replay", path("one.cap")});
    RecordProcess b(state(), {path("b.txt"), "--simulate"});
    ASSERT_TRUE(a.waitForRows(1)) << a.err().toStdString();
    ASSERT_TRUE(b.waitForRows(1)) << b.err().toStdString();
    EXPECT_EQ(files("journal-*").size(), 2) << "each program its own journal";

    auto w = window(false);
    w->offerRecovery();
    EXPECT_TRUE(asked_.isEmpty()) << asked_.join(u'\n').toStdString();

    a.signal(SIGKILL);
    a.finish();
    w->offerRecovery();
    ASSERT_EQ(asked_.size(), 1);
    EXPECT_TRUE(asked_[0].startsWith(u"1 reading was recorded on ")) << asked_[0].toStdString();
    EXPECT_TRUE(asked_[0].contains(u"\nIt is kept in ")) << asked_[0].toStdString();
    EXPECT_EQ(w->cds1->rowCount(), 0) << "the answer was No";
    const QStringList aside = files("readings-*.txt");
    ASSERT_EQ(aside.size(), 1);
    EXPECT_TRUE(asked_[0].contains(aside[0]));
    EXPECT_EQ(files("journal-*").size(), 1) << "b still runs";

    b.signal(SIGINT);
    EXPECT_EQ(b.finish(), 0);
    EXPECT_TRUE(files("journal-*").isEmpty());
    EXPECT_EQ(files("readings-*.txt"), aside);
}

TEST_F(JournalWindow, TheWindowKeepsItsRowsUntilItClosesAndGoesOnWithoutAWritableFolder) {
    QString journal;
    {
        auto w = window();
        show(*w, "1.5");
        show(*w, "2.5");
        journal = w->journal()->path();
        EXPECT_EQ(w->journal()->rows(), 2);
        w->SpeedButton2->click(); // Delete Data: the journal stays as it was
        EXPECT_EQ(w->journal()->rows(), 2);
        EXPECT_TRUE(QFile::exists(journal));
    }
    EXPECT_FALSE(QFile::exists(journal)) << "closing the window is a normal exit";

    QFile blocker(path("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    auto w = window(true, path("blocker") + QStringLiteral("/z4072"));
    const int historyBefore = w->cable().HistoryListBox.Count();
    show(*w, "1.5");
    show(*w, "2.5");
    EXPECT_EQ(w->cds1->rowCount(), 2);
    ASSERT_EQ(w->cable().HistoryListBox.Count(), historyBefore + 1);
    EXPECT_TRUE(w->cable().HistoryListBox.Items.last().startsWith(u"JOURNAL ERROR: "));
}

TEST_F(JournalWindow, LeavingWithUnsavedReadingsAsks) {
    std::vector<int> asked;
    TFrmTest::LeaveAnswer answer = TFrmTest::LeaveAnswer::Cancel;
    auto w = window();
    w->setLeavePrompt([&](int count) {
        asked.push_back(count);
        return answer;
    });
    EXPECT_TRUE(w->mayLeave()) << "nothing recorded, nothing to ask";
    EXPECT_TRUE(asked.empty());

    show(*w, "1.5");
    show(*w, "2.5");
    const QString journal = w->journal()->path();
    w->show();
    EXPECT_FALSE(w->close()) << "Cancel";
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(asked, std::vector<int>{2});
    EXPECT_EQ(TFrmTest::unsavedQuestion(2),
              u"2 readings are not saved.\nDo you want to save them before leaving?");

    // Save, but the dialog is cancelled or the save fails: the window stays.
    answer = TFrmTest::LeaveAnswer::Save;
    saveAs_.clear();
    EXPECT_FALSE(w->mayLeave());
    saveAs_ = path("no-such-folder/rows.xls");
    EXPECT_FALSE(w->mayLeave());
    EXPECT_EQ(w->unsavedReadings(), 2);
    saveAs_ = path("rows.xls");
    EXPECT_TRUE(w->mayLeave());
    EXPECT_TRUE(QFile::exists(saveAs_));
    EXPECT_EQ(w->unsavedReadings(), 0);
    EXPECT_EQ(asked.size(), 4u);
    EXPECT_TRUE(w->mayLeave()) << "all saved: no question";
    EXPECT_EQ(asked.size(), 4u);

    // Delete Data leaves nothing to save; a new reading does.
    show(*w, "3.5");
    EXPECT_EQ(w->unsavedReadings(), 1);
    answer = TFrmTest::LeaveAnswer::Discard;
    w->Panel3Click(); // EXIT
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(asked.back(), 1);
    w.reset();
    EXPECT_FALSE(QFile::exists(journal)) << "discarded: the journal goes";

    // The desktop ends the session: nobody is asked, the journal stays for the next start.
    asked.clear();
    auto ended = window();
    ended->setLeavePrompt([&](int count) {
        asked.push_back(count);
        return TFrmTest::LeaveAnswer::Cancel;
    });
    show(*ended, "1.5");
    const QString kept = ended->journal()->path();
    ended->sessionEnding();
    EXPECT_TRUE(ended->mayLeave());
    ended.reset();
    EXPECT_TRUE(asked.empty());
    EXPECT_TRUE(QFile::exists(kept));
}

} // namespace
