#include "tests/link/hid/hid_test_util.h"

#include <gtest/gtest.h>

#include <QThread>
#include <QTimer>

#include <chrono>

#include <vector>

namespace {

struct Seen {
    QThread* thread;
    quint8 id;
    QByteArray data;
};

class Reader : public ::testing::Test, public SimFixture {
protected:
    void SetUp() override {
        cable = sim->plug(cableSpec(), false);
        controller = std::make_unique<TJvHidDeviceController>(nullptr, sim);
        ASSERT_TRUE(controller->CheckOutAt(0, dev));
    }
    void TearDown() override {
        delete dev;
        controller.reset();
        EXPECT_EQ(sim->openHandles(), 0);
    }
    TJvHidDataEvent recorder() {
        return [this](TJvHidDevice*, quint8 id, const quint8* data, quint16 size) {
            seen.push_back({QThread::currentThread(), id,
                            QByteArray(reinterpret_cast<const char*>(data), size)});
        };
    }

    std::shared_ptr<SimHidDevice> cable;
    std::unique_ptr<TJvHidDeviceController> controller;
    TJvHidDevice* dev = nullptr;
    std::vector<Seen> seen;
};

TEST_F(Reader, RunsOnlyWithAHandlerOnABorrowedReadWriteDevice) {
    EXPECT_FALSE(dev->ReaderRunning());
    dev->SetDataHandler(recorder());
    EXPECT_TRUE(dev->ReaderRunning());
    const bool wasRunning = dev->ReaderRunning();
    dev->SetDataHandler(recorder()); // another handler: the same thread goes on
    EXPECT_EQ(dev->ReaderRunning(), wasRunning);
    dev->SetDataHandler(nullptr);
    EXPECT_FALSE(dev->ReaderRunning());

    // Not borrowed: the default handler alone starts nothing until check-out.
    sim->plug(cableSpec(), false);
    controller->DeviceChange();
    controller->SetOnDeviceData(recorder());
    TJvHidDevice* second = nullptr;
    EXPECT_FALSE(controller->At(1)->ReaderRunning());
    ASSERT_TRUE(controller->CheckOutAt(1, second));
    EXPECT_TRUE(second->ReaderRunning());
    delete second;

    // Query-only devices never read, whatever the handler.
    SimHidDeviceSpec query = cableSpec();
    query.access = SimHidDeviceSpec::Access::QueryOnly;
    sim->plug(query, false);
    controller->DeviceChange();
    TJvHidDevice* q = nullptr;
    ASSERT_TRUE(controller->CheckOutAt(2, q));
    q->SetDataHandler(recorder());
    EXPECT_FALSE(q->ReaderRunning());
    delete q;
}

TEST_F(Reader, HandsReportsToTheMainThreadInOrder) {
    dev->SetDataHandler(recorder());
    cable->pushReport(report({0, 0xF2, 0x11, 0x22, 0, 0, 0, 0, 0}));
    cable->pushReport(report({0, 0xF0, 0, 0, 0, 0, 0, 0, 0}));
    cable->pushReport(report({7, 1}));
    ASSERT_TRUE(runUntil([&] { return seen.size() == 3; }));
    EXPECT_EQ(seen[0].thread, QThread::currentThread());
    EXPECT_EQ(seen[0].id, 0);
    EXPECT_EQ(seen[0].data.size(), 8) << "a 9-byte report gives Size 8";
    EXPECT_EQ(quint8(seen[0].data[1]), 0x11);
    EXPECT_EQ(quint8(seen[1].data[0]), 0xF0);
    EXPECT_EQ(seen[2].id, 7);
    EXPECT_EQ(seen[2].data, report({1}));
}

TEST_F(Reader, AHandlerSwitchTakesEffectAtTheNextReport) {
    dev->SetDataHandler(recorder());
    cable->pushReport(report({0, 1}));
    ASSERT_TRUE(runUntil([&] { return seen.size() == 1; }));
    int other = 0;
    dev->SetDataHandler([&](TJvHidDevice*, quint8, const quint8*, quint16) { ++other; });
    cable->pushReport(report({0, 2}));
    ASSERT_TRUE(runUntil([&] { return other == 1; }));
    EXPECT_EQ(seen.size(), 1u);
}

TEST_F(Reader, StoppingWhileAHandOffWaitsDeliversItToTheOldHandler) {
    dev->SetDataHandler(recorder());
    cable->pushReport(report({0, 0x42}));
    // Without running the event loop, so the hand-off stays pending.
    QDeadlineTimer deadline(5000);
    while (!dev->HandOffPending() && !deadline.hasExpired())
        QThread::yieldCurrentThread();
    ASSERT_TRUE(dev->HandOffPending());
    dev->SetDataHandler(nullptr);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(quint8(seen[0].data[0]), 0x42);
    EXPECT_FALSE(dev->ReaderRunning());
    // The wake-up the thread gave for it comes in by now and finds nothing left to do.
    QCoreApplication::processEvents();
    EXPECT_EQ(seen.size(), 1u);
}

// A native modal dialog runs a loop of its own that delivers posted events and nothing of Qt's
// wake-up: the reports still get through, one after the other.
TEST_F(Reader, ReportsGetThroughALoopThatOnlyDeliversPostedEvents) {
    dev->SetDataHandler(recorder());
    for (int i = 1; i <= 3; ++i)
        cable->pushReport(report({0, i}));
    QDeadlineTimer deadline(5000);
    while (seen.size() < 3 && !deadline.hasExpired()) {
        QCoreApplication::sendPostedEvents();
        QThread::msleep(1);
    }
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(quint8(seen[2].data[0]), 3);
    // And in Qt's own loop again.
    cable->pushReport(report({0, 4}));
    EXPECT_TRUE(runUntil([&] { return seen.size() == 4; }));
}

// A handler that runs an event loop (a message box, a wait) lets the other readers' reports in
// meanwhile; its own reader's next report comes only once it has returned.
TEST_F(Reader, AHandlerRunningAnEventLoopLetsTheOtherReadersIn) {
    auto second = sim->plug(cableSpec(), false);
    controller->DeviceChange();
    TJvHidDevice* other = nullptr;
    ASSERT_TRUE(controller->CheckOutAt(1, other));
    std::vector<int> order;
    other->SetDataHandler(
        [&](TJvHidDevice*, quint8, const quint8* data, quint16) { order.push_back(data[0]); });
    dev->SetDataHandler([&](TJvHidDevice*, quint8, const quint8* data, quint16) {
        order.push_back(data[0]);
        if (data[0] == 1) {
            second->pushReport(report({0, 10}));
            second->pushReport(report({0, 11}));
            EXPECT_TRUE(runUntil([&] { return order.size() == 3; }));
        }
    });
    cable->pushReport(report({0, 1}));
    cable->pushReport(report({0, 2}));
    ASSERT_TRUE(runUntil([&] { return order.size() == 4; }));
    EXPECT_EQ(order, (std::vector<int>{1, 10, 11, 2}));
    delete other;
}

TEST_F(Reader, AHandlerMayStopItsOwnReaderOrGiveTheDeviceBack) {
    int calls = 0;
    dev->SetDataHandler([&](TJvHidDevice* d, quint8, const quint8*, quint16) {
        ++calls;
        d->SetDataHandler(nullptr); // from inside its own hand-off
    });
    const int whileReading = sim->openHandles();
    cable->pushReport(report({0, 1}));
    cable->pushReport(report({0, 2}));
    ASSERT_TRUE(runUntil([&] { return calls == 1; }));
    EXPECT_FALSE(dev->ReaderRunning());
    // The thread ends by itself once the hand-off has returned, letting its handle go: from then
    // on nothing can read the second report.
    ASSERT_TRUE(runUntil([&] { return sim->openHandles() < whileReading; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(cable->queuedReports(), 1);

    bool gone = false;
    dev->SetDataHandler([&](TJvHidDevice* d, quint8, const quint8*, quint16) {
        delete d;
        gone = true;
    });
    ASSERT_TRUE(runUntil([&] { return gone; }));
    dev = nullptr;
    ASSERT_EQ(controller->Count(), 1);
    EXPECT_FALSE(controller->At(0)->CheckedOut());
    // The abandoned thread lets its handle go once it has ended.
    EXPECT_TRUE(runUntil([&] { return sim->openHandles() == 0; }));
}

TEST_F(Reader, ReadErrorsAreReportedOnceATurnNotInABusyLoop) {
    using Clock = std::chrono::steady_clock;
    std::vector<quint32> errors;
    std::vector<Clock::time_point> told;
    dev->SetOnDataError([&](TJvHidDevice*, quint32 e) {
        errors.push_back(e);
        told.push_back(Clock::now());
    });
    // The next read waits a turn after a failed one, and stopping does not wait the turn out.
    dev->SetSleepTime(10000);
    cable->failReads(5, 3);
    dev->SetDataHandler(recorder());
    ASSERT_TRUE(runUntil([&] { return errors.size() >= 1; }));
    EXPECT_EQ(errors[0], 5u);
    dev->SetDataHandler(nullptr);
    EXPECT_FALSE(dev->ReaderRunning());
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(cable->pendingFailures(), 2) << "no read during the turn";

    // With a short turn the two failures left come a turn apart.
    const auto turn = std::chrono::milliseconds(20);
    dev->SetSleepTime(int(turn.count()));
    dev->SetDataHandler(recorder());
    ASSERT_TRUE(runUntil([&] { return errors.size() >= 3; }));
    EXPECT_GE(told[2] - told[1], turn);

    // Unplugged while reading: each failed read reports the system's code.
    sim->unplug(cable);
    ASSERT_TRUE(runUntil([&] { return errors.size() >= 5; }));
    EXPECT_EQ(errors[3], 19u); // ENODEV
    EXPECT_EQ(errors[4], 19u);
    EXPECT_FALSE(dev->PluggedIn());
    EXPECT_TRUE(dev->ReaderRunning()) << "only the borrower stops it";
}

TEST_F(Reader, AHoldDelaysTheNextReportButNotTheMainThread) {
    dev->SetDataHandler([&](TJvHidDevice* d, quint8 id, const quint8* data, quint16 size) {
        seen.push_back({nullptr, id, QByteArray(reinterpret_cast<const char*>(data), size)});
        d->HoldReader(10000);
    });
    cable->pushReport(report({0, 1}));
    cable->pushReport(report({0, 2}));
    ASSERT_TRUE(runUntil([&] { return seen.size() == 1; }));
    // The event loop goes on during the hold; the reader does not.
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(1);
    ASSERT_TRUE(runUntil([&] { return ticks >= 3; }));
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_EQ(cable->queuedReports(), 1);
    dev->SetDataHandler(nullptr); // a hold does not delay stopping
    EXPECT_FALSE(dev->ReaderRunning());

    // A short hold: the next report is read once it has passed.
    using Clock = std::chrono::steady_clock;
    const auto hold = std::chrono::milliseconds(20);
    std::vector<Clock::time_point> handled;
    dev->SetDataHandler([&](TJvHidDevice* d, quint8, const quint8*, quint16) {
        handled.push_back(Clock::now());
        d->HoldReader(int(hold.count()));
    });
    cable->pushReport(report({0, 3}));
    ASSERT_TRUE(runUntil([&] { return handled.size() >= 2; }));
    EXPECT_GE(handled[1] - handled[0], hold);
}

TEST_F(Reader, FeatureReportsGoToTheDevice) {
    const quint8 feature[] = {0, 0x60, 0x09, 0, 0, 3, 0, 0, 0, 0};
    EXPECT_TRUE(dev->SendFeature(feature, sizeof feature));
    ASSERT_EQ(cable->featureReports().size(), 1u);
    EXPECT_EQ(cable->featureReports()[0], QByteArray(reinterpret_cast<const char*>(feature), 10));
}

} // namespace
