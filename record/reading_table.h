#pragma once

#include "core/reading.h"
#include "core/sample_time.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTime>
#include <QVector>

#include <array>
#include <memory>
#include <vector>

// The values of one row of the reading table. An empty text is a null text; `No` and `Time` carry
// their own null flags (rows loaded from files may lack them).
struct ReadingRow {
    qint32 No = 0;
    bool NoNull = true;
    qint32 TimeMs = 0; // milliseconds since midnight, 0..86'399'999
    bool TimeNull = true;
    QString Value;
    QString Unit;
    QString V_Range;
    QString I_Range;
    // When the row was recorded, where that is known (rows recorded here, and restored from
    // the journal); rows loaded from a table file name the file instead (an index into
    // ReadingTable::sourceFile(), 0 for none).
    std::optional<qint64> AtMs;
    int Source = 0;
};

// A row as typed values, read once from its texts when they first came into the table: what the
// chart, the tests and the results read instead of the texts.
struct Sample {
    qint32 no = 0;
    bool noNull = true;
    SampleTime time;
    bool timeNull = true;
    ValueReading value;
    Unit unit = Unit::None;
    quint32 function = 0; // the function's text id: equal ids, equal functions
    std::optional<double> testVolts;
    TestMode mode = TestMode::None;
    bool insulation = false; // an insulation function ("IR:...")

    UnitScale scale() const { return scaleOf(unit); }
    UnitScale::Quantity quantity() const { return scale().quantity; }
    // The reading in ohms or volts, where it is a number of a known unit.
    std::optional<double> si() const {
        const UnitScale s = scale();
        if (value.kind != ValueReading::Number || s.quantity == UnitScale::NoQuantity)
            return std::nullopt;
        return value.number * s.factor;
    }
};

// The in-memory reading table: six fields (No, Time, Value, Unit, V_Range, I_Range), no key, rows
// kept in append order, each with the instant it was recorded where known. Sized for ten million
// rows: a row takes 32 bytes (texts interned, time as milliseconds of the day, null flags folded
// into the time word, the instant or the file it came from in one word), rows live in fixed
// blocks so an append never moves the rows already stored. Each text is read into typed values
// (number, unit, test voltage, test mode) once, when it first comes into the table; sample()
// hands them out per row.
class ReadingTable : public QObject {
    Q_OBJECT
public:
    enum Field { No = 0, Time, Value, Unit, V_Range, I_Range };
    static constexpr int kFieldCount = 6;
    // Texts are cut to this many bytes of the 8-bit code page when stored.
    static constexpr int kTextBytes = 20;

    explicit ReadingTable(QObject* parent = nullptr);
    ~ReadingTable() override;

    // Field names as the table and its files know them.
    static QString fieldName(int field);

    int rowCount() const { return count_; }
    bool isEmpty() const { return count_ == 0; }

    qint32 no(int row) const { return at(row).no; }
    bool isNoNull(int row) const { return at(row).time & kNoNullBit; }
    int timeMs(int row) const { return int(at(row).time & kTimeMask); }
    bool isTimeNull(int row) const { return at(row).time & kTimeNullBit; }
    // The time of day, or a null QTime when the field is null.
    QTime time(int row) const;
    const QString& value(int row) const { return texts_[at(row).text[0]]; }
    const QString& unit(int row) const { return texts_[at(row).text[1]]; }
    const QString& vRange(int row) const { return texts_[at(row).text[2]]; }
    const QString& iRange(int row) const { return texts_[at(row).text[3]]; }
    // A text field's stored text (Value..I_Range); empty when null.
    const QString& text(int row, Field field) const;
    bool isNull(int row, Field field) const;
    ReadingRow row(int row) const;

    // The typed row.
    Sample sample(int row) const {
        const Row& r = at(row);
        Sample s;
        s.no = r.no;
        s.noNull = r.time & kNoNullBit;
        s.timeNull = r.time & kTimeNullBit;
        s.time.msOfDay = int(r.time & kTimeMask);
        if (r.stamp >= 0)
            s.time.epochMs = r.stamp;
        s.value = facts_[r.text[0]].value;
        s.unit = facts_[r.text[1]].unit;
        const TextFacts& function = facts_[r.text[2]];
        s.function = r.text[2];
        s.testVolts = function.testVolts;
        s.insulation = function.insulation;
        s.mode = facts_[r.text[3]].mode;
        return s;
    }
    SampleTime sampleTime(int row) const {
        const Row& r = at(row);
        return r.stamp >= 0 ? SampleTime(int(r.time & kTimeMask), r.stamp)
                            : SampleTime(int(r.time & kTimeMask));
    }
    // The instant the row was recorded, where known.
    std::optional<qint64> recordedAt(int row) const;
    // The table file the row was loaded from (an index for sourceFile()), 0 for none.
    int sourceOf(int row) const;
    const QString& sourceFile(int index) const { return sources_[qsizetype(index)]; }
    // The index of a table file's name, for rows loaded from it.
    int sourceIndex(const QString& file);
    // Rows [first, last] whose instant is not known came from source `source`.
    void setSourceOf(int first, int last, int source);
    // The test voltage an interned function text names.
    std::optional<double> testVoltsOfText(quint32 id) const { return facts_[id].testVolts; }
    // Typed values of one field, by row.
    const ValueReading& valueReading(int row) const { return facts_[at(row).text[0]].value; }
    ::Unit unitKind(int row) const { return facts_[at(row).text[1]].unit; }
    TestMode testMode(int row) const { return facts_[at(row).text[3]].mode; }
    bool isInsulation(int row) const { return facts_[at(row).text[2]].insulation; }

    // Appends a row; texts are cut to kTextBytes at a character boundary. O(1).
    int append(const ReadingRow& row);
    void removeRow(int row);
    // Puts other values into a row, and removes many rows at once (ascending, no repeats); both
    // announce a reset unless updates are suspended.
    void replaceRow(int row, const ReadingRow& values);
    void removeRows(const std::vector<int>& rows);

    // The interned texts, for files that read and write the same few texts a million times:
    // an id stands for one text (cut to kTextBytes), 0 for the empty (null) text. Ids stay
    // valid for the table's life, also across clear().
    quint32 internText(const QString& text);
    quint32 textCount() const { return quint32(texts_.size()); }
    const QString& textById(quint32 id) const { return texts_[qsizetype(id)]; }
    quint32 textId(int row, Field field) const { return at(row).text[size_t(field - Value)]; }
    // Appends a row whose texts are given by id.
    int appendInterned(qint32 no, bool noNull, int timeMs, bool timeNull,
                       const std::array<quint32, 4>& texts, std::optional<qint64> atMs = {},
                       int source = 0);
    // Removes every row (interned texts are kept for the rows to come).
    void clear();
    // Replaces this table's rows with those of `other`, which is left empty: a load made into a
    // table of its own comes in whole, or the rows here stay as they were. Texts and sources are
    // taken over under this table's ids. One reset unless updates are suspended.
    void takeRowsOf(ReadingTable& other);

    // Bracket bulk changes (loading a file): the outermost suspend emits aboutToReset, the
    // outermost resume tableReset, and nothing is emitted in between.
    void suspendUpdates();
    void resumeUpdates();
    bool updatesSuspended() const { return suspend_ > 0; }

    // Bytes of memory that the rows and their interned texts take (approximate for the texts).
    qint64 memoryBytes() const;

    // Cuts a text to at most `bytes` bytes of the 8-bit code page (GBK: one byte for ASCII, two
    // for other characters), never splitting a character.
    static QString cutToBytes(const QString& text, int bytes = kTextBytes);

Q_SIGNALS:
    // Rows first..last (inclusive) have been appended.
    void rowsAppended(int first, int last);
    void rowsAboutToBeRemoved(int first, int last);
    void rowsRemoved(int first, int last);
    // The whole table is about to change / has changed (cleared, or a bulk change while
    // suspended). Follow up by reading rowCount() afresh.
    void aboutToReset();
    void tableReset();

private:
    struct Row {
        qint32 no;
        quint32 time; // ms of day, bit 30: Time null, bit 31: No null
        std::array<quint32, 4> text;
        qint64 stamp; // >= 0: the instant (ms since the epoch); else -1 - the source's index
    };
    static_assert(sizeof(Row) == 32);
    // What a text says in each field, read when it is interned.
    struct TextFacts {
        ValueReading value;
        std::optional<double> testVolts;
        ::Unit unit = ::Unit::None;
        TestMode mode = TestMode::None;
        bool insulation = false;
    };
    static constexpr quint32 kTimeMask = 0x07FFFFFF;
    static constexpr quint32 kTimeNullBit = 0x40000000;
    static constexpr quint32 kNoNullBit = 0x80000000;
    static constexpr int kBlockShift = 16;
    static constexpr int kBlockRows = 1 << kBlockShift;

    const Row& at(int row) const {
        Q_ASSERT(row >= 0 && row < count_);
        return blocks_[size_t(row) >> kBlockShift][size_t(row) & (kBlockRows - 1)];
    }
    Row& at(int row) { return blocks_[size_t(row) >> kBlockShift][size_t(row) & (kBlockRows - 1)]; }
    quint32 intern(int column, const QString& text);
    Row packed(const ReadingRow& in);
    static Row pack(qint32 no, bool noNull, int timeMs, bool timeNull,
                    const std::array<quint32, 4>& texts, std::optional<qint64> atMs, int source);
    int appendPacked(const Row& r);

    std::vector<std::unique_ptr<Row[]>> blocks_;
    int count_ = 0;
    QVector<QString> texts_;       // texts_[0] is the empty (null) text
    std::vector<TextFacts> facts_; // one per text
    QStringList sources_{QString()};
    QHash<QString, quint32> ids_;
    qint64 textBytes_ = 0;
    // The last few texts seen in each text column: consecutive readings mostly repeat them,
    // and comparing is cheaper than hashing.
    static constexpr int kRecent = 4;
    struct Recent {
        std::array<QString, kRecent> text;
        std::array<quint32, kRecent> id{};
        int next = 0;
    };
    std::array<Recent, 4> recent_;

    int suspend_ = 0;
};
