#include "app/main_window.h"
#include "chart/trend_chart.h"
#include "record/reading_table.h"
#include "record/table_files.h"
#include "reports/report_export.h"
#include "reports/report_preview.h"
#include "results/result_texts.h"
#include "results/ui/result_report.h"
#include "results/ui/results_actions.h"
#include "results/ui/results_window.h"
#include "results/ui/save_result_dialog.h"
#include "tests/results/results_fixture.h"
#include "tests/test_app.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QComboBox>
#include <QCompleter>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QStringListModel>
#include <QTableView>
#include <QTemporaryDir>

namespace {

// The tests' files; settings are the test program's own (app()).
QTemporaryDir& scratch() {
    app();
    static QTemporaryDir dir;
    return dir;
}

int files = 0;

struct Fixture : WithApp, ::testing::Test {
    Fixture() {
        path = scratch().filePath(QStringLiteral("ui%1.sqlite").arg(++files));
        QString error;
        EXPECT_TRUE(store.open(path, &error)) << error.toStdString();
        QSettings().remove(QStringLiteral("results"));
    }
    TestResult run(double startMohm = 200) {
        ReadingTable table;
        recordTest(table, 600, 10, startMohm, 2.5);
        TestResult r = resultOfLastRun(table);
        r.date = QDate(2026, 12, 1);
        return r;
    }
    void saveAs(const QString& asset, const QDate& date, double startMohm) {
        TestResult r = run(startMohm);
        r.assetId = asset;
        r.date = date;
        QString error;
        ASSERT_TRUE(store.save(r, &error)) << error.toStdString();
    }
    QString path;
    ResultStore store;
};

} // namespace

TEST_F(Fixture, TheDialogJudgesAsTypedSavesAndRemembersTheAsset) {
    SaveResultDialog d(store, run(), false);
    d.asset->setText(QStringLiteral("G-2"));
    d.kind->setCurrentIndex(int(AssetKind::MachineForm));
    d.ratedKv->setText(QStringLiteral("6,6")); // either decimal separator
    d.insulationClass->setCurrentIndex(d.insulationClass->findData(QStringLiteral("F")));
    d.objectTemp->setText(QStringLiteral("20"));
    EXPECT_TRUE(d.verdict->text().contains(u"FAIL")) << d.verdict->text().toStdString();

    d.objectTemp->setText(QStringLiteral("151"));
    EXPECT_FALSE(d.save());
    EXPECT_TRUE(d.problem->text().contains(u"Nothing was saved"))
        << d.problem->text().toStdString();
    QString error;
    EXPECT_TRUE(store.list({}, &error).empty());

    d.objectTemp->setText(QStringLiteral("45"));
    d.notes->setPlainText(QStringLiteral("after cleaning"));
    ASSERT_TRUE(d.save()) << d.problem->text().toStdString();
    const std::optional<TestResult> saved = store.load(d.saved().id, true, &error);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->ratedKv, 6.6);
    EXPECT_EQ(saved->notes, QStringLiteral("after cleaning"));
    EXPECT_EQ(saved->readings.size(), 61u);

    // The next dialog offers the asset just saved without filling it in, and completes the
    // IDs kept; taken, it brings what the asset is.
    SaveResultDialog next(store, run(), false);
    EXPECT_EQ(next.asset->text(), QString());
    EXPECT_TRUE(next.asset->placeholderText().contains(u"G-2"));
    EXPECT_EQ(next.kind->currentIndex(), int(AssetKind::Other));
    ASSERT_TRUE(next.lastAsset);
    next.lastAsset->click();
    EXPECT_EQ(next.asset->text(), QStringLiteral("G-2"));
    EXPECT_EQ(next.kind->currentIndex(), int(AssetKind::MachineForm));
    EXPECT_EQ(next.insulationClass->currentText(), QStringLiteral("F"));
    EXPECT_EQ(next.objectTemp->text(), QString()); // conditions are each test's own
    auto* ids = qobject_cast<QStringListModel*>(next.asset->completer()->model());
    ASSERT_TRUE(ids);
    EXPECT_EQ(ids->stringList(), QStringList{QStringLiteral("G-2")});
}

TEST_F(Fixture, AKnownAssetBringsWhatItIs) {
    TestResult r = run();
    r.assetId = QStringLiteral("Cable 9");
    r.kind = AssetKind::Cable;
    r.insulationClass.clear();
    r.location = QStringLiteral("Substation B");
    r.minMohm = 50;
    QString error;
    ASSERT_TRUE(store.save(r, &error));
    SaveResultDialog d(store, run(), false);
    d.asset->setText(QStringLiteral("Cable 9"));
    Q_EMIT d.asset->editingFinished();
    EXPECT_EQ(d.kind->currentIndex(), int(AssetKind::Cable));
    EXPECT_EQ(d.location->text(), QStringLiteral("Substation B"));
    EXPECT_EQ(d.minMohm->text(), QStringLiteral("50"));
    EXPECT_FALSE(d.insulationClass->isEnabled());
}

TEST_F(Fixture, TheWindowFiltersSortsShowsAndAsksBeforeDeleting) {
    saveAs(QStringLiteral("P-1"), QDate(2024, 1, 10), 400);
    saveAs(QStringLiteral("P-1"), QDate(2025, 1, 10), 100); // a fall of more than half
    saveAs(QStringLiteral("Q-7"), QDate(2025, 6, 1), 900);
    ResultsWindow w(store);
    ASSERT_TRUE(w.model->lastError().isEmpty()) << w.model->lastError().toStdString();
    EXPECT_EQ(w.model->rowCount(), 3);
    // Newest first; then by R(1 min), lowest first.
    EXPECT_EQ(w.model->index(0, ResultStore::ColAsset).data().toString(), QStringLiteral("Q-7"));
    w.list->sortByColumn(ResultStore::ColR1min, Qt::AscendingOrder);
    EXPECT_EQ(w.model->idAt(0), 2);
    EXPECT_EQ(w.model->index(0, ResultStore::ColR1min).data().toString(),
              QStringLiteral("100.0 MΩ"));

    w.assetFilter->setText(QStringLiteral("p-"));
    EXPECT_EQ(w.model->rowCount(), 2);
    w.fromDate->setDate(QDate(2025, 1, 1));
    EXPECT_EQ(w.model->rowCount(), 1);

    w.list->selectRow(0);
    EXPECT_EQ(w.shownId(), 2);
    EXPECT_TRUE(w.details->text().contains(u"TREND:")) << w.details->text().toStdString();
    EXPECT_TRUE(w.details->text().contains(u"2024-01-10"));

    QString asked;
    w.setConfirm([&](const QString& q) {
        asked = q;
        return false;
    });
    w.deleteChosen();
    EXPECT_TRUE(asked.contains(u"P-1"));
    QString error;
    EXPECT_TRUE(store.load(2, false, &error)) << "kept when the answer is no";
    w.setConfirm([](const QString&) { return true; });
    w.deleteChosen();
    EXPECT_FALSE(store.load(2, false, &error));
    EXPECT_EQ(w.model->rowCount(), 0);
}

TEST_F(Fixture, TheReportHasOnePageToSignPerResultInThePreview) {
    saveAs(QStringLiteral("R-1"), QDate(2026, 2, 1), 300);
    saveAs(QStringLiteral("R-2"), QDate(2026, 2, 2), 3);
    ResultsWindow w(store);
    w.list->selectAll();
    int pages = 0;
    QString texts;
    w.setPreviewRunner([&](ReportPreview& p) {
        pages = p.pageView()->pagePicture().isNull() ? -1 : 0;
        p.lastPage();
        pages = p.page();
        QBuffer pdf;
        pdf.open(QIODevice::WriteOnly);
        QString error;
        EXPECT_TRUE(p.saveTo(scratch().filePath(QStringLiteral("w.pdf"))));
    });
    w.reportChosen();
    EXPECT_EQ(pages, 2);

    std::vector<ResultPage> list;
    for (qint64 id : {1, 2}) {
        QString error;
        TestResult r = *store.load(id, true, &error);
        list.push_back({r, judge(r), std::nullopt});
    }
    const ResultReport report(list);
    for (const ReportText& t : report.pageTexts(2))
        texts += t.text + u'\n';
    EXPECT_TRUE(texts.contains(u"R-2"));
    EXPECT_TRUE(texts.contains(u"Signature"));
    EXPECT_TRUE(texts.contains(u"FAIL")) << texts.toStdString(); // 3 MΩ, a form-wound machine
    EXPECT_TRUE(texts.contains(u"under the minimum 100.0 MΩ"));
    EXPECT_TRUE(texts.contains(u"Rule"));
}

TEST_F(Fixture, TheMainWindowSavesTheLastRunRecordedTodayAndTheRunOnTheChart) {
    TFrmTest window;
    ResultsActions* actions = window.results;
    ASSERT_TRUE(actions);
    actions->setDatabaseUrl(path);
    QStringList told;
    actions->setMessageSink([&](const QString& text) { told << text; });
    EXPECT_EQ(actions->menu->title(), QStringLiteral("Results"));

    actions->saveLastRunClick();
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains(u"no insulation test run"));

    recordTest(*window.cds1, 120, 5, 50, 2.0);                   // first test
    recordTest(*window.cds1, 600, 10, 500, 2.5, 11 * 3'600'000); // second one, later
    int dialogs = 0;
    actions->setDialogRunner([&](SaveResultDialog& d) {
        ++dialogs;
        EXPECT_EQ(d.date->date(), QDate::currentDate()); // recorded today
        EXPECT_FALSE(d.findChild<QLabel*>(QStringLiteral("dateAsked")));
        d.asset->setText(QStringLiteral("Live %1").arg(dialogs));
        d.accept();
    });
    actions->saveLastRunClick();
    QString error;
    std::vector<TestResult> kept = store.list({}, &error);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].startTime, QTime(11, 0));
    EXPECT_EQ(kept[0].date, QDate::currentDate());
    EXPECT_TRUE(kept[0].source.isEmpty());

    window.Chtshow->refresh();
    ASSERT_GE(window.Chtshow->runOnView(), 0);
    actions->saveChartRunClick();
    EXPECT_EQ(store.list({}, &error).size(), 2u);

    actions->testResultsClick();
    ASSERT_TRUE(actions->resultsWindow);
    EXPECT_EQ(actions->resultsWindow->model->rowCount(), 2);
    actions->resultsWindow->close();
}

TEST_F(Fixture, RowsFromAFileAskForTheDateAndPrintingDoesNotMakeLiveRowsLoaded) {
    ReadingTable recorded;
    recordTest(recorded, 120);
    const QString file = scratch().filePath(QStringLiteral("old.txt"));
    ASSERT_TRUE(SaveTableFile(recorded, file, [](const TableFileMessage&) {}));
    TFrmTest window;
    window.results->setDatabaseUrl(path);
    bool asked = false;
    QDate offered;
    window.results->setDialogRunner([&](SaveResultDialog& d) {
        asked = d.findChild<QLabel*>(QStringLiteral("dateAsked")) != nullptr;
        offered = d.date->date();
    });
    // Live rows, then the data report printed: still live.
    recordTest(*window.cds1, 120);
    window.cds1->suspendUpdates();
    window.cds1->resumeUpdates();
    window.results->saveLastRunClick();
    EXPECT_FALSE(asked);
    EXPECT_EQ(offered, QDate::currentDate());
    // Rows loaded from a file: the date is asked.
    window.cds1->clear();
    ASSERT_TRUE(window.recordControls().restoreRowsOf(file));
    window.results->saveLastRunClick();
    EXPECT_TRUE(asked);
}

TEST_F(Fixture, ADatabaseThatCannotBeUsedIsSaidAndTheTableStays) {
    const QString junk = scratch().filePath(QStringLiteral("junk.sqlite"));
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a database");
    f.close();
    TFrmTest window;
    window.results->setDatabaseUrl(junk);
    QStringList told;
    window.results->setMessageSink([&](const QString& text) { told << text; });
    recordTest(*window.cds1, 120);
    const int rows = window.cds1->rowCount();
    window.results->saveLastRunClick();
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains(u"damaged or not a database")) << told[0].toStdString();
    EXPECT_EQ(window.cds1->rowCount(), rows);
}

TEST_F(Fixture, TheListOpensReadableWithVerdictAndTrendInViewAndSaysHowToAddOne) {
    {
        ResultsWindow empty(store);
        EXPECT_EQ(empty.listPages->currentWidget(), empty.emptyHint);
        EXPECT_TRUE(empty.emptyHint->text().contains(u"Save Test Result"));
        EXPECT_TRUE(empty.emptyHint->text().contains(u"z4072 results add"));
    }
    saveAs(QStringLiteral("P-1"), QDate(2024, 1, 10), 400);
    saveAs(QStringLiteral("P-1"), QDate(2025, 1, 10), 100);
    ResultsWindow w(store);
    EXPECT_EQ(w.listPages->currentWidget(), w.list);
    const QHeaderView* header = w.list->horizontalHeader();
    EXPECT_EQ(header->visualIndex(ResultStore::ColVerdict), ResultStore::ColAsset + 1);
    EXPECT_EQ(header->visualIndex(ResultStore::ColTrend), ResultStore::ColAsset + 2);
    // Every text whole in its column, bold ones too.
    for (int c = 0; c < ResultStore::ColumnCount; ++c)
        for (int row = 0; row < w.model->rowCount(); ++row) {
            const QModelIndex i = w.model->index(row, c);
            QFont f = w.list->font();
            if (i.data(Qt::FontRole).isValid())
                f = i.data(Qt::FontRole).value<QFont>();
            EXPECT_GT(header->sectionSize(c),
                      QFontMetrics(f).horizontalAdvance(i.data().toString()))
                << "column " << c;
        }
    // Newest first: the fall of 75 % is flagged, in red.
    const QModelIndex flag = w.model->index(0, ResultStore::ColTrend);
    EXPECT_EQ(flag.data().toString(), QStringLiteral("TREND: 75 % below"));
    EXPECT_EQ(flag.data(Qt::ForegroundRole).value<QColor>(), QColor(0xB0, 0x00, 0x00));
    EXPECT_EQ(w.model->index(1, ResultStore::ColTrend).data().toString(), QString());
    EXPECT_TRUE(w.model->index(0, ResultStore::ColVerdict).data(Qt::BackgroundRole).isValid());
    const QString all = w.model->index(0, ResultStore::ColR1min).data().toString();
    EXPECT_TRUE(all.endsWith(u"MΩ")) << all.toStdString();

    // The dates start at the first and last result's; left there, they follow new results.
    EXPECT_EQ(w.fromDate->date(), QDate(2024, 1, 10));
    EXPECT_EQ(w.toDate->date(), QDate(2025, 1, 10));
    EXPECT_FALSE(w.filter().from.isValid()) << "the whole range asks no date of the database";
    saveAs(QStringLiteral("Q-1"), QDate(2026, 5, 5), 400);
    w.noteSaved(3);
    EXPECT_EQ(w.toDate->date(), QDate(2026, 5, 5));
    EXPECT_EQ(w.model->rowCount(), 3);
    EXPECT_TRUE(w.status->text().contains(u"Test result 3 saved"));
    // Narrowed by hand, a date stays where it was put.
    w.toDate->setDate(QDate(2025, 6, 1));
    EXPECT_EQ(w.model->rowCount(), 2);
    saveAs(QStringLiteral("Q-1"), QDate(2026, 6, 6), 400);
    w.noteSaved(4);
    EXPECT_EQ(w.toDate->date(), QDate(2025, 6, 1));
    w.assetFilter->setText(QStringLiteral("no such asset"));
    EXPECT_EQ(w.listPages->currentWidget(), w.emptyHint);
    EXPECT_TRUE(w.emptyHint->text().contains(u"matches the filter"));
}

TEST_F(Fixture, TheDialogsErrorGoesOnceTheFieldIsRightAndThePastDueIsShown) {
    TestResult r = run();
    r.instrument.serial = QStringLiteral("77");
    r.instrument.calibrationDue = QDate(2026, 11, 30); // the run is of 2026-12-01
    SaveResultDialog d(store, r, false);
    EXPECT_TRUE(d.instrument->text().contains(u"serial number 77"));
    EXPECT_TRUE(d.instrument->text().contains(u"CALIBRATION PAST DUE"));
    d.date->setDate(QDate(2026, 11, 30));
    EXPECT_FALSE(d.instrument->text().contains(u"PAST DUE"));

    d.asset->setText(QStringLiteral("G-3"));
    d.humidity->setText(QStringLiteral("120"));
    EXPECT_FALSE(d.save());
    EXPECT_TRUE(d.problem->text().contains(u"humidity")) << d.problem->text().toStdString();
    d.humidity->setText(QStringLiteral("-4"));
    EXPECT_TRUE(d.problem->text().contains(u"humidity")) << "still wrong, still said";
    d.humidity->setText(QStringLiteral("40"));
    EXPECT_EQ(d.problem->text(), QString());
    ASSERT_TRUE(d.save());
    QString error;
    EXPECT_EQ(store.load(d.saved().id, false, &error)->instrument, r.instrument);
}

TEST_F(Fixture, ASaveIsSaidWithItsIdAndACalibrationPastDueAsWell) {
    TFrmTest window;
    ResultsActions* actions = window.results;
    actions->setDatabaseUrl(path);
    QStringList told;
    actions->setMessageSink([&](const QString& text) { told << text; });
    actions->setDialogRunner([&](SaveResultDialog& d) {
        d.asset->setText(QStringLiteral("S-1"));
        d.accept();
    });
    QSettings().setValue(QStringLiteral("instrument/serial"), QStringLiteral("SN-1"));
    recordTest(*window.cds1, 120);
    // Nobody listens (the window's status bar is taken off): a message says it.
    ASSERT_TRUE(QObject::disconnect(actions, &ResultsActions::resultSaved, &window, nullptr));
    actions->saveLastRunClick();
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].startsWith(u"Test result 1 of asset \"S-1\" saved in "))
        << told[0].toStdString();
    QString error;
    EXPECT_EQ(store.load(1, false, &error)->instrument.serial, QStringLiteral("SN-1"));
    // The status bar listens: the signal says it, and only a past due needs a message.
    QList<std::pair<qint64, QString>> heard;
    QObject::connect(actions, &ResultsActions::resultSaved, [&](qint64 id, const QString& where) {
        heard.append({id, where});
    });
    actions->saveLastRunClick();
    ASSERT_EQ(heard.size(), 1);
    EXPECT_EQ(heard[0].first, 2);
    EXPECT_EQ(heard[0].second, store.name());
    EXPECT_EQ(told.size(), 1);
    QSettings().setValue(QStringLiteral("instrument/calibrationDue"), QStringLiteral("2000-01-01"));
    actions->saveLastRunClick();
    ASSERT_EQ(told.size(), 2);
    EXPECT_TRUE(told[1].contains(u"CALIBRATION PAST DUE")) << told[1].toStdString();
    QSettings().remove(QStringLiteral("instrument"));
}

// A value too long for its column takes the lines it needs: nothing on the page overlaps.
TEST_F(Fixture, LongValuesWrapWithoutRunningIntoTheNextLine) {
    TestResult r = run();
    r.assetId = QStringLiteral("T-1");
    r.instrument = {QStringLiteral("KR740"), QStringLiteral("4711"), QDate(2026, 1, 1)};
    r.location =
        QStringLiteral("Substation North, bay 14, cubicle B, cable trench to the pump house");
    r.source = QStringLiteral("/home/technician/Documents/insulation tests/2026/december/"
                              "substation north bay 14 feeder cable.txt");
    const ResultReport report({{r, judge(r), std::nullopt}});
    const QList<ReportText> texts = report.pageTexts(1);
    for (qsizetype i = 0; i < texts.size(); ++i)
        for (qsizetype j = i + 1; j < texts.size(); ++j)
            EXPECT_FALSE(texts[i].box.intersects(texts[j].box))
                << texts[i].text.toStdString() << " / " << texts[j].text.toStdString();
    for (const ReportText& t : texts)
        EXPECT_FALSE(t.box.intersects(report.curveBox(1))) << t.text.toStdString();
}

TEST_F(Fixture, ThePageNamesTheInstrumentAndThePdfHasThePagesTitle) {
    TestResult r = run();
    r.assetId = QStringLiteral("T-1");
    r.instrument = {QStringLiteral("KR740"), QStringLiteral("4711"), QDate(2026, 1, 1)};
    r.minMohm = 5000;
    const ResultReport report({{r, judge(r), std::nullopt}});
    QString texts;
    for (const ReportText& t : report.pageTexts(1))
        texts += t.text + u'\n';
    EXPECT_TRUE(texts.contains(u"KR740, serial number 4711")) << texts.toStdString();
    EXPECT_TRUE(texts.contains(u"2026-01-01 (PAST DUE on the test date)"));
    EXPECT_TRUE(texts.contains(u"CALIBRATION PAST DUE"));
    EXPECT_TRUE(texts.contains(u"5000 MΩ"));
    EXPECT_FALSE(texts.contains(u"Î"));
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    QString error;
    ASSERT_TRUE(writeReportPdf(report, &pdf, &error));
    // The title as the PDF keeps it: UTF-16, big-endian.
    QByteArray title;
    for (QChar c : report.title())
        title += char(c.unicode() >> 8), title += char(c.unicode() & 0xFF);
    EXPECT_EQ(report.title(), QStringLiteral("Insulation Test Result"));
    EXPECT_TRUE(pdf.data().contains(title) || pdf.data().contains(report.title().toLatin1()));
    EXPECT_FALSE(pdf.data().contains("TEST DATA REPORT"));
}
