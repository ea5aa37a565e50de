#include "core/reading.h"
#include "core/sample_time.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace {

TEST(SampleTime, ElapsedTimeIsTheInstantsDifferenceElseCountsOnPastMidnight) {
    EXPECT_EQ(elapsedMs(SampleTime(86'390'000), SampleTime(10'000)), 20'000);
    EXPECT_EQ(elapsedMs(SampleTime(10'000), SampleTime(10'000)), 0);
    // Known instants: a day and more, and a clock set back, as they are.
    const SampleTime a(0, 1'000'000), b(0, 1'000'000 + 31 * 3'600'000LL), c(0, 999'000);
    EXPECT_EQ(elapsedMs(a, b), 31 * 3'600'000LL);
    EXPECT_EQ(elapsedMs(a, c), -1000);
    // One side without its day: the times of day.
    EXPECT_EQ(elapsedMs(SampleTime(5000, 1'000'000), SampleTime(4000)), 86'399'000);
    EXPECT_EQ(timeOfDayAfter(86'390'000, 20'000), 10'000);
    EXPECT_EQ(timeOfDayAfter(0, 3 * 86'400'000LL + 5), 5);
}

TEST(SampleTime, TheJournalsInstantReadsBackExactlyInAnyZone) {
    const qint64 at = QDateTime(QDate(2026, 12, 10), QTime(10, 26, 55, 123)).toMSecsSinceEpoch();
    const QString text = instantText(at);
    EXPECT_TRUE(text.startsWith(u"2026-12-10T10:26:55.123")) << text.toStdString();
    const std::optional<SampleTime> back = sampleTimeOf(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->epochMs, at);
    EXPECT_EQ(back->msOfDay, (10 * 3600 + 26 * 60 + 55) * 1000 + 123);
    // Written in another zone, read by its own offset.
    const auto east = sampleTimeOf(u"2026-07-01T02:00:00.500+09:30");
    ASSERT_TRUE(east);
    EXPECT_EQ(*east->epochMs,
              QDateTime(QDate(2026, 6, 30), QTime(16, 30, 0, 500), Qt::UTC).toMSecsSinceEpoch());
    EXPECT_EQ(east->msOfDay, 2 * 3'600'000 + 500);
    EXPECT_EQ(sampleTimeOf(u"2026-12-10T00:00:00.000Z")->epochMs,
              QDateTime(QDate(2026, 12, 10), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch());
    for (const char16_t* bad :
         {u"", u"yesterday", u"2026-13-10T00:00:00.000Z", u"2026-12-10T24:00:00.000Z",
          u"2026-12-10 10:00:00.000Z", u"2026-12-10T10:00:00.000+1:00", u"2026-12-10T10:00:00Z"})
        EXPECT_FALSE(sampleTimeOf(bad)) << QString::fromUtf16(bad).toStdString();
}

TEST(Reading, FunctionsAndModesAreReadOnce) {
    EXPECT_EQ(testVoltsOf(u"IR:1000V 40G\u03A9"), 1000);
    EXPECT_EQ(testVoltsOf(u"IR:2.5kV 100G\u03A9"), 2500);
    EXPECT_FALSE(testVoltsOf(u"DCV  600V"));
    EXPECT_FALSE(testVoltsOf(u"IR:"));
    EXPECT_EQ(testModeOf(u"Timed"), TestMode::Timed);
    EXPECT_EQ(testModeOf(u"PI"), TestMode::PI);
    EXPECT_EQ(testModeOf(u"NULL"), TestMode::None);
    EXPECT_EQ(testModeOf(u"COMP:GOOD"), TestMode::CompGood);
    EXPECT_EQ(testModeOf(u"40.0A"), TestMode::Other);
    // The display's count: digits without the separator, sign kept.
    EXPECT_EQ(valueOf(u"-0,52").counts, -52);
    EXPECT_EQ(valueOf(u"1.234").counts, 1234);
    EXPECT_EQ(valueOf(u"1.234").decimals, 3);
    EXPECT_EQ(valueOf(u"0L").kind, ValueReading::BeyondRange);
}

} // namespace
