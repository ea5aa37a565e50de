#include "replica/replica_state.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {

int id(const char* name) {
    return ReplicaState::idOf(QString::fromLatin1(name));
}

QString nameOf(int i) {
    return QString::fromLatin1(replica::elements()[size_t(i)].name);
}

const char* const kDigits[] = {"LabelA",  "LabelB",  "LabelC",  "LabelD", "H_Time1",
                               "H_Time2", "M_Time1", "M_Time2", "stor2",  "Label3",
                               "Label7",  "Label9",  "Label10"};

TEST(ReplicaTable, NamesAreUniqueAndGroupsComeBeforeTheirChildren) {
    QSet<QString> names;
    const auto all = replica::elements();
    for (int i = 0; i < int(all.size()); ++i) {
        EXPECT_FALSE(names.contains(nameOf(i))) << all[size_t(i)].name;
        names.insert(nameOf(i));
        EXPECT_EQ(ReplicaState::idOf(nameOf(i)), i);
        const int p = replica::parentOf(i);
        if (all[size_t(i)].parent) {
            ASSERT_GE(p, 0) << all[size_t(i)].name;
            EXPECT_LT(p, i);
            EXPECT_EQ(all[size_t(p)].kind, replica::Kind::Group);
        }
    }
    EXPECT_EQ(ReplicaState::idOf(u"NoSuchLabel"), -1);
    // Every bar segment, and the four groups plus the strip.
    for (int n = 2; n <= 30; ++n)
        EXPECT_GE(ReplicaState::idOf(QStringLiteral("bar%1").arg(n)), 0) << n;
    for (const char* g : {"KD", "Panel5", "Panel6", "Panel8"})
        EXPECT_EQ(all[size_t(id(g))].kind, replica::Kind::Group);
    EXPECT_EQ(replica::panelRect(id("bar17")), QRect(10 + 298, 40 + 26, 19, 32));
}

TEST(ReplicaState, StartsWithTheAllSegmentsPattern) {
    ReplicaState r;
    for (int i = 0; i < ReplicaState::count(); ++i)
        EXPECT_EQ(r.shown(i), nameOf(i) != u"CONok") << qPrintable(nameOf(i));
    EXPECT_EQ(r.caption(u"LabelA"), u"8");
    EXPECT_EQ(r.caption(u"M_Time2"), u"8");
    EXPECT_EQ(r.caption(u"stor1"), u"1");
    EXPECT_EQ(r.caption(u"stor2"), u"8");
    EXPECT_EQ(r.caption(u"Label9"), u"0");
    EXPECT_EQ(r.caption(u"Label4"), u"V");
    EXPECT_EQ(r.caption(u"Labgo1"), u" G*");
    EXPECT_EQ(r.caption(u"Labtime"), u" min : sec");
    EXPECT_EQ(r.caption(u"rsUSB"), u"USB");
    EXPECT_FALSE(r.hasChanges());
}

TEST(ReplicaState, DispInitSwitchesExactlyTheAnnunciatorSet) {
    const auto set = replica::annunciatorSet();
    ASSERT_EQ(set.size(), 74u);
    EXPECT_EQ(nameOf(set.front()), u"Bar0");
    EXPECT_EQ(nameOf(set[30]), u"bar30");
    EXPECT_EQ(nameOf(set.back()), u"Label4");
    EXPECT_EQ(QSet<int>(set.begin(), set.end()).size(), 74);

    ReplicaState r;
    r.setCaption(u"LabelB", u"5");
    r.DispInit(false);
    const QSet<int> members(set.begin(), set.end());
    for (int i = 0; i < ReplicaState::count(); ++i) {
        const bool expected = !members.contains(i) && nameOf(i) != u"CONok";
        EXPECT_EQ(r.visible(i), expected) << qPrintable(nameOf(i));
    }
    for (const char* d : kDigits)
        EXPECT_TRUE(r.shown(QString::fromLatin1(d))) << d;
    EXPECT_EQ(r.caption(u"LabelB"), u"5");
    for (const char* scale : {"Shape5", "Shape14", "Shape15", "Label1", "Label17"})
        EXPECT_TRUE(r.shown(QString::fromLatin1(scale))) << scale;
    for (const char* link : {"rsUSB", "CONokN"})
        EXPECT_TRUE(r.shown(QString::fromLatin1(link))) << link;

    r.DispInit(true);
    for (int i : set)
        EXPECT_TRUE(r.visible(i));
}

TEST(ReplicaState, HidingTheStripHidesSegmentsAndScaleTogether) {
    ReplicaState r;
    r.hide(id("bar9"));
    r.hide(id("KD"));
    for (const char* e : {"bar8", "bar9", "Bar0", "Shape5", "Label13", "Shape10"})
        EXPECT_FALSE(r.shown(QString::fromLatin1(e))) << e;
    EXPECT_TRUE(r.visible(u"bar8")); // its own flag survives
    EXPECT_TRUE(r.shown(u"LabelA"));

    r.show(id("KD"));
    EXPECT_TRUE(r.shown(u"bar8"));
    EXPECT_FALSE(r.shown(u"bar9"));
    EXPECT_TRUE(r.shown(u"Label13"));
}

TEST(ReplicaState, CollectsEachChangeOnceAndSignalsOncePerBatch) {
    ReplicaState r;
    int signals = 0;
    QObject::connect(&r, &ReplicaState::changed, [&] { ++signals; });
    r.setCaption(u"LabelA", u"8"); // unchanged
    r.show(id("LabelA"));          // unchanged
    EXPECT_FALSE(r.hasChanges());
    EXPECT_EQ(signals, 0);

    r.setCaption(u"LabelA", u"3");
    r.hide(id("LabelA"));
    r.hide(id("bar2"));
    r.show(id("bar2")); // back to where it was, still repainted once
    EXPECT_EQ(signals, 1);
    auto changes = r.takeChanges();
    std::sort(changes.begin(), changes.end());
    EXPECT_EQ(changes, (std::vector<int>{std::min(id("LabelA"), id("bar2")),
                                         std::max(id("LabelA"), id("bar2"))}));
    EXPECT_FALSE(r.hasChanges());

    r.DispInit(false);
    EXPECT_EQ(signals, 2);
    EXPECT_EQ(r.takeChanges().size(), 74u);

    r.reset();
    EXPECT_TRUE(r.shown(u"bar5"));
    EXPECT_EQ(r.caption(u"LabelA"), u"8");
    EXPECT_FALSE(r.visible(u"CONok"));
}

} // namespace
