#include "record/recorder.h"

#include <gtest/gtest.h>

namespace {

class Recording : public ::testing::Test {
protected:
    Recording() : rec_(table_) {
        rec_.setClock([this] { return now_; });
    }

    // What the interpretation leaves for one frame, then the offer to the table.
    void offer(const QString& value) {
        reading_.text = value;
        rec_.INDataToTable(1, reading_);
    }
    void ticks(int n) {
        for (int i = 0; i < n; ++i)
            rec_.SampInterTimeTimer();
    }
    QStringList values() const {
        QStringList out;
        for (int r = 0; r < table_.rowCount(); ++r)
            out << table_.value(r);
        return out;
    }

    Reading reading_ = readingOf({}, QStringLiteral("M\u03A9"), QStringLiteral("IR:500V 20G\u03A9"),
                                 QStringLiteral("Continuous"));
    ReadingTable table_;
    Recorder rec_;
    int now_ = 0;
};

TEST_F(Recording, CopiesTheReadingWithNumberAndTime) {
    reading_ = readingOf({}, "G\u03A9", "IR:5000V 1000G\u03A9", "COMP:GOOD");
    now_ = (14 * 3600 + 3 * 60 + 27) * 1000 + 123;
    offer("12.34");
    rec_.INDataToTable(0, reading_); // only kind 1 records
    rec_.INDataToTable(2, reading_);
    ASSERT_EQ(table_.rowCount(), 1);
    const ReadingRow r = table_.row(0);
    EXPECT_EQ(r.No, 1);
    EXPECT_EQ(r.TimeMs, now_);
    EXPECT_EQ(r.Value, "12.34");
    EXPECT_EQ(r.Unit, "G\u03A9");
    EXPECT_EQ(r.V_Range, "IR:5000V 1000G\u03A9");
    EXPECT_EQ(r.I_Range, "COMP:GOOD");
    EXPECT_EQ(rec_.RecordNo, 2);
    EXPECT_EQ(rec_.LastRecordedValue, "12.34");
    // Recorded with sampling off, the countdown is still loaded from the box.
    EXPECT_EQ(rec_.SampleCountdown, 10);
}

TEST_F(Recording, LimitStopsRecordingAndARaisedLimitResumesIt) {
    rec_.setMaxRecords(Recorder::kLimits[0]);
    for (int i = 0; i < 1001; ++i)
        offer(QString::number(i));
    ASSERT_EQ(table_.rowCount(), 1000);
    EXPECT_EQ(rec_.LastRecordedValue, "999");
    const int countdown = rec_.SampleCountdown;
    rec_.RecordSITimeChange("3");
    rec_.SampleCountdown = countdown;

    rec_.setMaxRecords(Recorder::kLimits[1]);
    offer("x");
    ASSERT_EQ(table_.rowCount(), 1001);
    EXPECT_EQ(table_.no(1000), 1001);

    // Lowering the limit below RecordNo deletes nothing; it only stops recording.
    rec_.setMaxRecords(1000);
    offer("y");
    EXPECT_EQ(table_.rowCount(), 1001);
    EXPECT_EQ(Recorder::kLimits[5], 10'000'000);
}

TEST_F(Recording, WithoutRepeatOnlyTheLastRecordedValueCounts) {
    rec_.setRepeat(false);
    for (const char* v : {"5", "5", "6", "5"})
        offer(v);
    EXPECT_EQ(values(), QStringList({"5", "6", "5"}));

    // The last value survives a clear: the same value again is still a repeat.
    rec_.clearRecords();
    EXPECT_EQ(rec_.RecordNo, 1);
    offer("5");
    EXPECT_EQ(table_.rowCount(), 0);
    offer("7");
    ASSERT_EQ(table_.rowCount(), 1);
    EXPECT_EQ(table_.no(0), 1);

    rec_.setRepeat(true);
    offer("7");
    EXPECT_EQ(table_.rowCount(), 2);
}

TEST_F(Recording, SamplingSwitchedOnAtStartRecordsTheNextReadingAtOnce) {
    rec_.setSampling(true);
    offer("1");
    EXPECT_EQ(table_.rowCount(), 1);
    offer("2");
    ticks(9);
    offer("3");
    EXPECT_EQ(table_.rowCount(), 1);
    ticks(1);
    offer("4");
    EXPECT_EQ(values(), QStringList({"1", "4"}));
}

TEST_F(Recording, SamplingSwitchedOnLaterWaitsForTheReloadedCountdown) {
    offer("1");
    offer("2");
    ticks(30); // sampling off: the countdown keeps its value
    EXPECT_EQ(rec_.SampleCountdown, 10);
    rec_.setSampling(true);
    ticks(9);
    offer("3");
    EXPECT_EQ(table_.rowCount(), 2);
    ticks(1);
    offer("4");
    EXPECT_EQ(values(), QStringList({"1", "2", "4"}));
}

TEST_F(Recording, ARepeatPassedOverDoesNotReloadTheCountdown) {
    rec_.setSampling(true);
    rec_.setRepeat(false);
    offer("1");
    ticks(10);
    offer("1"); // passed over by the repeat rule
    EXPECT_EQ(rec_.SampleCountdown, 0);
    offer("2");
    EXPECT_EQ(values(), QStringList({"1", "2"}));
}

TEST_F(Recording, EditingTheBoxRestartsTheWait) {
    rec_.setSampling(true);
    offer("1");
    rec_.RecordSITimeChange("2");
    EXPECT_EQ(rec_.SampleCountdown, 2);
    ticks(2);
    offer("2");
    EXPECT_EQ(table_.rowCount(), 2);
    EXPECT_EQ(rec_.SampleCountdown, 2); // reloaded from the edited box
}

TEST_F(Recording, BoxTextsThatAreNoCountRecordEveryReading) {
    rec_.setSampling(true);
    for (const char* text : {"", "0", "-", "+", "-5", "abc", "1e3", "3.5", "--2"}) {
        SCOPED_TRACE(text);
        rec_.RecordSITimeChange(text);
        EXPECT_EQ(rec_.SampleCountdown, 0);
        const int before = table_.rowCount();
        offer("a");
        offer("b");
        EXPECT_EQ(table_.rowCount(), before + 2);
    }
}

TEST(SecondsBox, TextsConvertToACountTheTickRunsDown) {
    EXPECT_EQ(Recorder::secondsOf("10"), 10);
    EXPECT_EQ(Recorder::secondsOf(" 7 "), 7);
    EXPECT_EQ(Recorder::secondsOf("+8"), 8);
    EXPECT_EQ(Recorder::secondsOf("007"), 7);
    EXPECT_EQ(Recorder::secondsOf("2147483647"), 2147483647);
    EXPECT_EQ(Recorder::secondsOf("2147483648"), 2147483647);
    EXPECT_EQ(Recorder::secondsOf("99999999999999999999999"), 2147483647);
    EXPECT_EQ(Recorder::secondsOf("-2147483648"), 0);
    EXPECT_EQ(Recorder::secondsOf("12a"), 0);
    EXPECT_EQ(Recorder::secondsOf("\u0661\u0662"), 0); // digits of another script
}

} // namespace
