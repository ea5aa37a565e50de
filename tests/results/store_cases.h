#pragma once

// The behaviour every results database must show, SQLite or PostgreSQL: a test program names
// the fixture (STORE_CASES, so that each program's tests have names of their own), defines its
// openFresh() and openAgain() for its kind of database, and includes this once.
#ifndef STORE_CASES
#error "define STORE_CASES as the fixture's name"
#endif

#include "results/result_columns.h"
#include "results/result_texts.h"
#include "results/verdict.h"
#include "tests/results/results_fixture.h"
#include "tests/test_app.h"

#include <gtest/gtest.h>

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

class STORE_CASES : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        QString why;
        if (!openFresh(store, &why))
            GTEST_SKIP() << why.toStdString();
    }
    // Opens an empty results database, or says why none can be had.
    bool openFresh(ResultStore& s, QString* why);
    // Opens the same database again, as another program would.
    bool openAgain(ResultStore& s, QString* why);
    // Opens, for reading only, a database of its kind that holds nothing yet; false, with *why,
    // when it refuses to (as it should: it holds no results), and then nothing may be made in it.
    bool openEmptyForReading(ResultStore& s, QString* why);

    TestResult sample(const QString& asset, const QDate& date, double startMohm = 100) {
        ReadingTable table;
        recordTest(table, 600, 5, startMohm, 2.5);
        TestResult r = resultOfLastRun(table);
        r.assetId = asset;
        r.date = date;
        r.objectTempC = 40;
        return r;
    }

    ResultStore store;
};

TEST_F(STORE_CASES, AResultComesBackWholeWithItsReadings) {
    TestResult r = sample(QStringLiteral("Pumpe Süd · 電機 Ω"), QDate(2026, 3, 4));
    r.operatorName = QStringLiteral("Zoë");
    r.notes = QStringLiteral("line one\nline two; 'quoted' \"too\"");
    r.ambientTempC = -5.5;
    r.humidityPct = 65;
    r.meterPi = 2.6;
    r.readings[3].ohms.reset(); // beyond the range
    r.readings[3].text = QStringLiteral("0L");
    QString error;
    ASSERT_TRUE(store.save(r, &error)) << error.toStdString();
    ASSERT_GT(r.id, 0);

    const std::optional<TestResult> back = store.load(r.id, true, &error);
    ASSERT_TRUE(back) << error.toStdString();
    EXPECT_EQ(back->assetId, r.assetId);
    EXPECT_EQ(back->operatorName, r.operatorName);
    EXPECT_EQ(back->notes, r.notes);
    EXPECT_EQ(back->kind, AssetKind::MachineForm);
    EXPECT_EQ(back->insulationClass, QStringLiteral("F"));
    EXPECT_EQ(back->ratedKv, 6.6);
    EXPECT_EQ(back->ambientTempC, -5.5);
    EXPECT_EQ(back->humidityPct, 65);
    EXPECT_EQ(back->date, QDate(2026, 3, 4));
    EXPECT_EQ(back->startTime, r.startTime);
    EXPECT_EQ(back->function, r.function);
    EXPECT_EQ(back->durationMs, r.durationMs);
    EXPECT_EQ(back->r1min.ohms, r.r1min.ohms);
    EXPECT_EQ(back->pi, r.pi);
    EXPECT_EQ(back->meterPi, 2.6);
    EXPECT_FALSE(back->minMohm);
    ASSERT_EQ(back->readings.size(), r.readings.size());
    EXPECT_FALSE(back->readings[3].ohms);
    EXPECT_EQ(back->readings[3].text, QStringLiteral("0L"));
    EXPECT_EQ(back->readings.back().elapsedMs, 600'000);
    EXPECT_EQ(judge(*back).outcome, judge(r).outcome);
    EXPECT_FALSE(store.load(r.id + 1000, false, &error));
    EXPECT_TRUE(error.isEmpty());
}

TEST_F(STORE_CASES, ListsFilterByAssetAndDateAndThePreviousResultGoesByDate) {
    QString error;
    // Saved out of date order: the previous result is the one before by date, not by ID.
    TestResult late = sample(QStringLiteral("M-1"), QDate(2026, 5, 1), 30);
    TestResult early = sample(QStringLiteral("M-1"), QDate(2024, 5, 1), 300);
    TestResult mid = sample(QStringLiteral("M-1"), QDate(2025, 5, 1), 200);
    TestResult other = sample(QStringLiteral("m-10"), QDate(2025, 6, 1));
    for (TestResult* r : {&late, &early, &mid, &other})
        ASSERT_TRUE(store.save(*r, &error)) << error.toStdString();

    ResultStore::Filter f;
    f.asset = QStringLiteral("M-1");
    std::vector<TestResult> list = store.list(f, &error);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].id, early.id);
    EXPECT_EQ(list[2].id, late.id);
    f = {};
    f.assetContains = QStringLiteral("m-1");
    EXPECT_EQ(store.list(f, &error).size(), 4u); // case aside, "M-1" and "m-10"
    f.assetContains = QStringLiteral("%");
    EXPECT_EQ(store.list(f, &error).size(), 0u); // taken literally
    f = {};
    f.from = QDate(2025, 1, 1);
    f.to = QDate(2025, 12, 31);
    EXPECT_EQ(store.list(f, &error).size(), 2u);

    const std::optional<TestResult> before = store.previousOf(late, &error);
    ASSERT_TRUE(before);
    EXPECT_EQ(before->id, mid.id);
    EXPECT_FALSE(store.previousOf(early, &error));
    const std::optional<QString> trend = trendLine(late, *before);
    ASSERT_TRUE(trend); // 30 MΩ after 200 MΩ
    EXPECT_TRUE(trend->contains(u"2025-05-01")) << trend->toStdString();

    EXPECT_EQ(store.assetIds(&error), (QStringList{QStringLiteral("M-1"), QStringLiteral("m-10")}));
    EXPECT_EQ(store.latestOf(QStringLiteral("M-1"), &error)->id, late.id);
}

TEST_F(STORE_CASES, DeletingAResultTakesItsReadingsAndLeavesTheOthers) {
    QString error;
    TestResult a = sample(QStringLiteral("A"), QDate(2026, 1, 1));
    TestResult b = sample(QStringLiteral("B"), QDate(2026, 1, 2));
    ASSERT_TRUE(store.save(a, &error));
    ASSERT_TRUE(store.save(b, &error));
    ASSERT_TRUE(store.remove(a.id, &error)) << error.toStdString();
    EXPECT_FALSE(store.load(a.id, true, &error));
    QSqlQuery q(store.database());
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT COUNT(*) FROM result_readings")));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), int(b.readings.size()));
    EXPECT_EQ(store.load(b.id, true, &error)->readings.size(), b.readings.size());
}

TEST_F(STORE_CASES, BadFieldsAreNotSaved) {
    QString error;
    TestResult r = sample(QString(65, u'x'), QDate(2026, 1, 1));
    EXPECT_FALSE(store.save(r, &error));
    EXPECT_TRUE(error.contains(u"longer than 64")) << error.toStdString();
    r.assetId = QStringLiteral("ok");
    r.objectTempC = 200;
    EXPECT_FALSE(store.save(r, &error));
    EXPECT_TRUE(store.list({}, &error).empty());
}

TEST_F(STORE_CASES, TwoProgramsOnOneDatabaseSeeEachOthersResults) {
    ResultStore other;
    QString error;
    ASSERT_TRUE(openAgain(other, &error)) << error.toStdString();
    TestResult a = sample(QStringLiteral("A"), QDate(2026, 1, 1));
    TestResult b = sample(QStringLiteral("B"), QDate(2026, 1, 2));
    ASSERT_TRUE(store.save(a, &error)) << error.toStdString();
    ASSERT_TRUE(other.save(b, &error)) << error.toStdString();
    EXPECT_EQ(store.list({}, &error).size(), 2u);
    EXPECT_EQ(other.list({}, &error).size(), 2u);
    EXPECT_EQ(other.schemaVersion(), ResultStore::kSchemaVersion);
}

TEST_F(STORE_CASES, TheListQuerySortsByAnyColumn) {
    QString error;
    for (int i = 0; i < 5; ++i) {
        TestResult r = sample(QStringLiteral("A%1").arg(i), QDate(2026, 1, 1 + i), 50 + 40 * i);
        ASSERT_TRUE(store.save(r, &error));
    }
    // Unfiltered, and filtered by a text the asset IDs hold (case aside), which is sorted
    // another way.
    ResultStore::Filter holding;
    holding.assetContains = QStringLiteral("a");
    for (const ResultStore::Filter& f : {ResultStore::Filter{}, holding}) {
        QSqlQuery q(store.database());
        ASSERT_TRUE(store.listQuery(q, f, ResultStore::ColR1min, Qt::DescendingOrder, &error))
            << error.toStdString();
        double last = 1e300;
        int n = 0;
        while (q.next()) {
            EXPECT_LE(q.value(ResultStore::ColR1min).toDouble(), last);
            last = q.value(ResultStore::ColR1min).toDouble();
            ++n;
        }
        EXPECT_EQ(n, 5);
    }
    holding.assetContains = QStringLiteral("A3");
    QSqlQuery q(store.database());
    ASSERT_TRUE(store.listQuery(q, holding, ResultStore::ColDate, Qt::AscendingOrder, &error));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(ResultStore::ColAsset).toString(), QStringLiteral("A3"));
    EXPECT_FALSE(q.next());
}

TEST_F(STORE_CASES, ANewerSchemaIsRefusedWithItsResultsKept) {
    QString error;
    TestResult r = sample(QStringLiteral("A"), QDate(2026, 1, 1));
    ASSERT_TRUE(store.save(r, &error));
    ASSERT_TRUE(
        QSqlQuery(store.database()).exec(QStringLiteral("UPDATE results_schema SET version = 99")));
    ResultStore newer;
    EXPECT_FALSE(openAgain(newer, &error));
    EXPECT_TRUE(error.contains(u"newer version")) << error.toStdString();
    QSqlQuery q(store.database());
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT version FROM results_schema")) && q.next());
    EXPECT_EQ(q.value(0).toInt(), 99);
    EXPECT_EQ(store.list({}, &error).size(), 1u);
}

// What a result is saved and read by is the database's table: a column the list names but no
// schema step made (or the other way round) would fail every save, or lose a field.
TEST_F(STORE_CASES, TheSchemaHoldsTheColumnsResultsAreSavedBy) {
    const QSqlRecord table = store.database().record(QStringLiteral("test_results"));
    QStringList made;
    for (int i = 0; i < table.count(); ++i)
        made << table.fieldName(i);
    QStringList listed;
    for (const ResultColumn& c : resultColumns())
        listed << QLatin1String(c.name);
    made.sort();
    listed.sort();
    EXPECT_EQ(made, listed);
}

TEST_F(STORE_CASES, TheInstrumentIsKeptWithTheResult) {
    TestResult r = sample(QStringLiteral("A"), QDate(2026, 1, 1));
    r.instrument = {QStringLiteral("KR740"), QStringLiteral("0815/Ω"), QDate(2025, 12, 31)};
    QString error;
    ASSERT_TRUE(store.save(r, &error)) << error.toStdString();
    const std::optional<TestResult> back = store.load(r.id, false, &error);
    ASSERT_TRUE(back) << error.toStdString();
    EXPECT_EQ(back->instrument, r.instrument);
    EXPECT_TRUE(calibrationWarning(*back));
}

// The list shows the TREND: flag of each result, kept right as results come and go out of
// date order: the flag is against the asset's result before by date, whatever the IDs.
TEST_F(STORE_CASES, TheTrendFlagFollowsTheAssetsResultsAsTheyComeAndGo) {
    QString error;
    TestResult high = sample(QStringLiteral("M"), QDate(2024, 1, 1), 400);
    TestResult low = sample(QStringLiteral("M"), QDate(2026, 1, 1), 100);
    TestResult other = sample(QStringLiteral("N"), QDate(2025, 1, 1), 50);
    for (TestResult* r : {&low, &other, &high})
        ASSERT_TRUE(store.save(*r, &error)) << error.toStdString();
    EXPECT_EQ(high.trendFallPct, std::nullopt);
    auto flagOf = [&](qint64 id) { return store.load(id, false, &error)->trendFallPct; };
    EXPECT_EQ(flagOf(low.id), 75) << "saved before the result it falls against";
    EXPECT_EQ(store.load(low.id, false, &error)->trendPreviousId, high.id);
    EXPECT_EQ(flagOf(other.id), std::nullopt) << "another asset's fall is not this one's";

    // One between them that holds the level: the fall is now against it.
    TestResult mid = sample(QStringLiteral("M"), QDate(2025, 1, 1), 150);
    ASSERT_TRUE(store.save(mid, &error));
    EXPECT_EQ(flagOf(mid.id), 63);
    EXPECT_EQ(flagOf(low.id), std::nullopt);
    ASSERT_TRUE(store.remove(mid.id, &error)) << error.toStdString();
    EXPECT_EQ(flagOf(low.id), 75);

    QSqlQuery q(store.database());
    ASSERT_TRUE(store.listQuery(q, {}, ResultStore::ColTrend, Qt::DescendingOrder, &error))
        << error.toStdString();
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(ResultStore::ColId).toLongLong(), low.id);
    EXPECT_EQ(q.value(ResultStore::ColTrend).toInt(), 75);
}

TEST_F(STORE_CASES, ReadingNeverPreparesADatabaseThatHoldsNoResults) {
    QString error;
    const auto [none, alsoNone] = store.dateRange(&error);
    EXPECT_FALSE(none.isValid());
    TestResult a = sample(QStringLiteral("A"), QDate(2025, 3, 1));
    TestResult b = sample(QStringLiteral("B"), QDate(2026, 4, 2));
    ASSERT_TRUE(store.save(a, &error));
    ASSERT_TRUE(store.save(b, &error));
    EXPECT_EQ(store.dateRange(&error), std::make_pair(QDate(2025, 3, 1), QDate(2026, 4, 2)));
    // The same database, for reading: it is ours, so it opens.
    ResultStore reader;
    ASSERT_TRUE(openAgain(reader, &error)) << error.toStdString();
    reader.close();
    QString why;
    ResultStore empty;
    EXPECT_FALSE(openEmptyForReading(empty, &why));
    EXPECT_TRUE(why.contains(u"holds no test results yet")) << why.toStdString();
    EXPECT_FALSE(empty.isOpen());
}
