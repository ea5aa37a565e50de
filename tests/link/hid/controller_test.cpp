#include "tests/link/hid/hid_test_util.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

SimHidDeviceSpec tagged(char16_t name) {
    SimHidDeviceSpec s = cableSpec(QString(QChar(name)));
    s.productId = name;
    return s;
}

class Controller : public ::testing::Test, public SimFixture {
protected:
    // Records the controller's events as text, in order.
    void attachLog(TJvHidDeviceController& c) {
        // Named by product ID: a string is only read while the device is accessible, and a
        // removed device no longer is.
        auto name = [](TJvHidDevice* d) { return QString(QChar(d->ProductID())); };
        c.SetOnArrival([this, name](TJvHidDevice* d) { log << u"arrival " + name(d); });
        c.SetOnRemoval([this, name](TJvHidDevice* d) { log << u"removal " + name(d); });
        c.SetOnDeviceChange([this](QObject*) { log << QStringLiteral("change"); });
    }
    QStringList log;
};

TEST_F(Controller, ListsPresentDevicesInDiscoveryOrderAndSkipsUnusableOnes) {
    sim->plug(tagged(u'A'), false);
    SimHidDeviceSpec query = tagged(u'B');
    query.access = SimHidDeviceSpec::Access::QueryOnly;
    sim->plug(query, false);
    SimHidDeviceSpec closed = tagged(u'C');
    closed.access = SimHidDeviceSpec::Access::None;
    sim->plug(closed, false);
    SimHidDeviceSpec anonymous = tagged(u'D');
    anonymous.identifiable = false;
    sim->plug(anonymous, false);
    sim->plug(cableSpec(u"E"_qs), false);

    TJvHidDeviceController c(nullptr, sim);
    ASSERT_EQ(c.Count(), 3);
    EXPECT_TRUE(c.At(0)->CanReadWrite());
    EXPECT_FALSE(c.At(1)->CanReadWrite());
    EXPECT_EQ(c.At(1)->OpenError(), 13u);
    EXPECT_EQ(c.At(2)->VendorID(), 0x1A86);
    EXPECT_EQ(c.At(2)->ProductID(), 0xE008);
    EXPECT_EQ(c.Version(), u"1.0.22");
    EXPECT_EQ(c.DevThreadSleepTime(), 100);
    // Making the objects opened nothing that stays open.
    EXPECT_EQ(sim->openHandles(), 0);
}

TEST_F(Controller, WithoutTheHidLibraryNothingIsListed) {
    sim->plug(cableSpec(), false);
    sim->setAvailable(false);
    TJvHidDeviceController c(nullptr, sim);
    EXPECT_EQ(c.Count(), 0);
}

TEST_F(Controller, OnlyOneControllerAtATime) {
    {
        TJvHidDeviceController first(nullptr, sim);
        try {
            TJvHidDeviceController second(nullptr, sim);
            FAIL() << "a second controller was made";
        } catch (const EControllerError& e) {
            EXPECT_EQ(e.message(), u"Only one TJvHidDeviceController allowed per program");
        }
    }
    EXPECT_NO_THROW(TJvHidDeviceController again(nullptr, sim));
}

TEST_F(Controller, DeviceChangePassesReportRemovalsThenArrivalsThenOneChange) {
    auto a = sim->plug(tagged(u'A'), false);
    auto b = sim->plug(tagged(u'B'), false);
    TJvHidDeviceController c(nullptr, sim);
    attachLog(c);
    // Attaching the change handler runs a pass that reports even without a change.
    EXPECT_EQ(log, QStringList{u"change"_qs});

    log.clear();
    sim->notifyChange();
    EXPECT_TRUE(log.isEmpty()) << "no change, no event";

    log.clear();
    sim->plug(tagged(u'C'));
    EXPECT_EQ(log, (QStringList{u"arrival C"_qs, u"change"_qs}));

    log.clear();
    sim->unplug(a, false);
    sim->unplug(b, false);
    sim->plug(tagged(u'D'), false);
    sim->notifyChange();
    // Removals last to first, then arrivals; the removed objects were still readable.
    EXPECT_EQ(log, (QStringList{u"removal B"_qs, u"removal A"_qs, u"arrival D"_qs, u"change"_qs}));
    ASSERT_EQ(c.Count(), 2);
    EXPECT_EQ(c.At(0)->ProductText(), QString()); // not accessible outside events
}

TEST_F(Controller, EnumerateWalksPluggedInDevicesUntilTheHandlerSaysStop) {
    for (const char* name : {"A", "B", "C"})
        sim->plug(cableSpec(QString::fromLatin1(name)), false);
    TJvHidDeviceController c(nullptr, sim);
    QStringList seen;
    c.SetOnEnumerate([&](TJvHidDevice* d, int idx) {
        seen << d->ProductText() + QString::number(idx);
        return idx < 1;
    });
    EXPECT_EQ(c.EnumerateDevices(), 2);
    EXPECT_EQ(seen, (QStringList{u"A0"_qs, u"B1"_qs}));
    EXPECT_EQ(sim->openHandles(), 0) << "handles of devices not checked out are closed";

    c.SetOnEnumerate(nullptr);
    EXPECT_EQ(c.EnumerateDevices(), 1) << "without a handler the first device ends the walk";
}

TEST_F(Controller, StringsAreReadOnlyWhileAccessibleAndSerialFollowsStringZero) {
    auto desc = [](QString serial, bool s0Readable, std::u16string s0, bool terminated) {
        SimHidDeviceSpec s = cableSpec();
        s.serial = std::move(serial);
        s.string0Readable = s0Readable;
        s.string0 = std::move(s0);
        s.string0Terminated = terminated;
        return s;
    };
    sim->plug(desc(u"123"_qs, true, u"\u0409", true), false);      // a real serial
    sim->plug(desc(u"\u0409"_qs, true, u"\u0409", true), false);   // serial = language list
    sim->plug(desc(u"123"_qs, false, u"", true), false);           // string 0 unreadable
    sim->plug(desc(u"\u0409X"_qs, true, u"\u0409", false), false); // no terminator, same start
    sim->plug(desc(u"AB"_qs, true, u"AC", false), false);          // no terminator, differs
    TJvHidDeviceController c(nullptr, sim);
    QStringList serials;
    c.SetOnEnumerate([&](TJvHidDevice* d, int) {
        serials << d->SerialText();
        return true;
    });
    c.EnumerateDevices();
    EXPECT_EQ(serials, (QStringList{u"123"_qs, u""_qs, u""_qs, u""_qs, u"AB"_qs}));
}

TEST_F(Controller, CheckOutLendsOnceAndCheckInLeavesAFreshObject) {
    sim->plug(tagged(u'A'), false);
    sim->plug(tagged(u'B'), false);
    TJvHidDeviceController c(nullptr, sim);
    TJvHidDevice* d = reinterpret_cast<TJvHidDevice*>(1);
    EXPECT_FALSE(c.CheckOutAt(2, d));
    EXPECT_EQ(d, nullptr);
    EXPECT_FALSE(c.CheckOutAt(-1, d));

    ASSERT_TRUE(c.CheckOutAt(1, d));
    EXPECT_TRUE(d->CheckedOut());
    EXPECT_EQ(d->ProductText(), u"B") << "a checked-out device can be asked";
    TJvHidDevice* again = nullptr;
    EXPECT_FALSE(c.CheckOutAt(1, again));
    EXPECT_EQ(again, nullptr);

    d->SetSleepTime(250);
    const auto handler = TJvHidDataErrorEvent([](TJvHidDevice*, quint32) {});
    d->SetOnDataError(handler);
    delete d;
    ASSERT_EQ(c.Count(), 2);
    TJvHidDevice* fresh = c.At(1);
    EXPECT_NE(fresh, d);
    EXPECT_FALSE(fresh->CheckedOut());
    EXPECT_EQ(fresh->SleepTime(), 250);
    EXPECT_TRUE(fresh->OnDataError() == handler);
    EXPECT_TRUE(c.CheckOutAt(1, again));
    delete again;
}

TEST_F(Controller, AnUnpluggedBorrowedObjectStaysListedUntilItIsGivenBack) {
    auto cable = sim->plug(tagged(u'A'), false);
    TJvHidDeviceController c(nullptr, sim);
    attachLog(c);
    TJvHidDevice* d = nullptr;
    ASSERT_TRUE(c.CheckOutAt(0, d));
    int unplugged = 0;
    d->SetOnUnplug([&](TJvHidDevice*) { ++unplugged; });

    log.clear();
    sim->unplug(cable);
    EXPECT_EQ(log, (QStringList{u"removal A"_qs, u"change"_qs}));
    EXPECT_EQ(unplugged, 1);
    EXPECT_FALSE(d->PluggedIn());
    EXPECT_FALSE(d->OnUnplug()) << "the unplug handler is cleared once called";
    EXPECT_EQ(c.Count(), 1);
    EXPECT_FALSE(d->SendFeature(reinterpret_cast<const quint8*>("\0"), 1));

    // Gone again at every pass while it is still lent out.
    log.clear();
    sim->plug(tagged(u'B'));
    EXPECT_EQ(log, (QStringList{u"removal A"_qs, u"arrival B"_qs, u"change"_qs}));

    delete d;
    ASSERT_EQ(c.Count(), 1);
    EXPECT_EQ(c.At(0)->PnPInfo().DeviceInstance(), sim->list().at(0).instance);
}

TEST_F(Controller, SettersHandDefaultsOnAndKeepSleepTimeInRange) {
    sim->plug(tagged(u'A'), false);
    sim->plug(tagged(u'B'), false);
    TJvHidDeviceController c(nullptr, sim);
    c.At(1)->SetSleepTime(500);
    c.SetDevThreadSleepTime(40);
    EXPECT_EQ(c.At(0)->SleepTime(), 40);
    EXPECT_EQ(c.At(1)->SleepTime(), 500) << "a device's own setting is kept";
    c.At(0)->SetSleepTime(5);
    c.At(0)->SetSleepTime(20000);
    EXPECT_EQ(c.At(0)->SleepTime(), 40);

    const TJvHidPlugEvent first([](TJvHidDevice*) {});
    const TJvHidPlugEvent own([](TJvHidDevice*) {});
    const TJvHidPlugEvent second([](TJvHidDevice*) {});
    c.SetOnDeviceUnplug(first);
    c.At(1)->SetOnUnplug(own);
    c.SetOnDeviceUnplug(second);
    EXPECT_TRUE(c.At(0)->OnUnplug() == second);
    EXPECT_TRUE(c.At(1)->OnUnplug() == own);

    // New objects start with the defaults.
    sim->plug(tagged(u'C'));
    c.SetOnDeviceChange([](QObject*) {});
    ASSERT_EQ(c.Count(), 3);
    EXPECT_TRUE(c.At(2)->OnUnplug() == second);
    EXPECT_EQ(c.At(2)->SleepTime(), 100) << "made objects start at 100";
}

TEST_F(Controller, DestructionUnplugsBorrowedObjectsAndStopsTheirReaders) {
    sim->plug(cableSpec(), false);
    TJvHidDevice* d = nullptr;
    int unplugged = 0;
    {
        TJvHidDeviceController c(nullptr, sim);
        ASSERT_TRUE(c.CheckOutAt(0, d));
        d->SetOnUnplug([&](TJvHidDevice*) { ++unplugged; });
        d->SetDataHandler([](TJvHidDevice*, quint8, const quint8*, quint16) {});
        ASSERT_TRUE(d->ReaderRunning());
    }
    EXPECT_EQ(unplugged, 1);
    EXPECT_FALSE(d->PluggedIn());
    EXPECT_FALSE(d->ReaderRunning());
    EXPECT_EQ(d->Controller(), nullptr);
    delete d;
    EXPECT_EQ(sim->openHandles(), 0);
}

} // namespace
