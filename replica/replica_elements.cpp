#include "replica/replica_elements.h"

#include <QHash>
#include <QString>

#include <array>
#include <vector>

namespace replica {

namespace {

constexpr ElementSpec group(const char* name, int l, int t, int w, int h) {
    return {name, Kind::Group, nullptr, l, t, w, h};
}
constexpr ElementSpec block(const char* name, const char* parent, int l, int t, int w, int h) {
    return {name, Kind::Block, parent, l, t, w, h};
}
constexpr ElementSpec picture(const char* name, int l, int t, int w, int h, const char* art,
                              bool transparent = false, bool shown = true) {
    return {name, Kind::Picture, nullptr,     l,           t,   w,    h, nullptr, Face::None,
            0,    false,         Align::Left, transparent, art, shown};
}
constexpr ElementSpec arial(const char* name, const char* parent, int l, int t, int w, int h,
                            const char* caption, int px, bool transparent = false,
                            Align align = Align::Left) {
    return {name,    Kind::Text,  parent, l,    t,     w,          h,
            caption, Face::Arial, px,     true, align, transparent};
}
constexpr ElementSpec lcd(const char* name, const char* parent, int l, int t, int w, int h,
                          const char* caption, int px, bool bold = false, Align align = Align::Left,
                          Face face = Face::Segment) {
    return {name, Kind::Text, parent, l, t, w, h, caption, face, px, bold, align, true};
}

constexpr Align R = Align::Right;

// Painting order follows the panel: its own elements first, then the groups, which lie above
// them, each with its children.
constexpr ElementSpec kElements[] = {
    // On the panel itself.
    picture("IGPower", 4, 4, 51, 25, "battery"),
    block("powerV1", nullptr, 8, 8, 9, 17),
    block("powerv2", nullptr, 22, 8, 9, 17),
    block("powerv3", nullptr, 36, 8, 9, 17),
    picture("IMoff", 62, 6, 33, 29, "circle_lead"),
    arial("rsUSB", nullptr, 452, 11, 43, 24, "USB", 21, true),
    picture("IMmike", 504, 10, 41, 25, "symbol"),
    picture("CONok", 549, 5, 32, 32, "link_alive", false, false),
    picture("CONokN", 549, 5, 32, 32, "link_lost"),
    arial("Labng", nullptr, 112, 109, 30, 24, "NG", 21),
    picture("danger", 198, 108, 27, 37, "bolt", true),
    arial("Labgood", nullptr, 452, 110, 63, 24, "GOOD", 21),
    arial("labt", nullptr, 172, 130, 17, 34, "~", 29),
    block("Shape1", nullptr, 124, 148, 37, 5),
    block("Shape2", nullptr, 124, 156, 9, 5),
    block("Shape3", nullptr, 138, 156, 9, 5),
    block("Shape4", nullptr, 150, 156, 9, 5),
    arial("labdc", nullptr, 126, 158, 34, 29, "DC", 24, true),
    arial("labac", nullptr, 164, 158, 34, 29, "AC", 24, true),
    lcd("Labo", nullptr, 554, 154, 17, 27, "*", 24, true, R),
    lcd("Labv", nullptr, 535, 156, 16, 29, "V", 24, true, R, Face::Unit),
    lcd("Labmo1", nullptr, 537, 178, 38, 27, "M*", 24, true),
    lcd("Labgo1", nullptr, 529, 204, 45, 27, " G*", 24, true),
    lcd("Labto", nullptr, 541, 230, 33, 27, "T*", 24, true),
    picture("power", 6, 254, 27, 29, "timer"),
    arial("labs1", nullptr, 36, 260, 30, 24, "S1 ", 20, true),
    arial("labs2", nullptr, 61, 260, 24, 24, "S2", 20, true, R),
    arial("labs3", nullptr, 90, 260, 24, 24, "S3", 20, true, R),
    arial("labCOMP", nullptr, 124, 258, 72, 29, "COMP", 24),
    arial("labTIME1", nullptr, 206, 258, 69, 29, "Time1", 24),
    arial("labtime2", nullptr, 282, 259, 69, 29, "Time2", 24),
    arial("labsave", nullptr, 364, 259, 63, 29, "SAVE", 24),
    arial("labLoad", nullptr, 444, 259, 67, 29, "LOAD", 24),
    arial("labp1", nullptr, 530, 259, 23, 29, "PI", 24),

    // The bar-graph strip: its fixed scale, then the 31 segments.
    group("KD", 10, 40, 575, 63),
    block("Shape5", "KD", 18, 26, 533, 5),
    block("Shape14", "KD", 17, 18, 6, 11),
    block("Shape6", "KD", 48, 20, 5, 9),
    block("Shape7", "KD", 109, 20, 6, 9),
    block("Shape8", "KD", 173, 20, 6, 11),
    block("Shape9", "KD", 239, 18, 6, 9),
    block("Shape10", "KD", 301, 16, 6, 13),
    block("Shape11", "KD", 368, 18, 6, 11),
    block("Shape12", "KD", 429, 18, 6, 11),
    block("Shape13", "KD", 497, 14, 6, 13),
    block("Shape15", "KD", 550, 18, 5, 13),
    arial("Label1", "KD", 14, 0, 12, 22, "0", 19, true),
    arial("Label2", "KD", 40, 2, 34, 16, "100K", 14, true),
    arial("Label8", "KD", 101, 2, 22, 19, "1M", 16, true),
    arial("Label11", "KD", 161, 0, 31, 19, "10M", 16, true),
    arial("Label12", "KD", 225, 0, 40, 19, "100M", 16, true),
    arial("Label13", "KD", 293, -2, 21, 19, "1G", 16, true),
    arial("Label14", "KD", 353, 0, 30, 19, "10G", 16, true),
    arial("Label15", "KD", 411, 0, 39, 19, "100G", 16, true),
    arial("Label16", "KD", 489, 0, 19, 19, "1T", 16, true),
    lcd("Label17", "KD", 537, -10, 32, 34, "~", 29, true, Align::Left, Face::Bar),
    {"Bar0", Kind::Text, "KD", 6, 14, 32, 49, "|", Face::Bar, 64, true, Align::Left, true},
    {"BAR1", Kind::Text, "KD", 42, 26, 17, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar2", Kind::Text, "KD", 58, 26, 17, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar3", Kind::Text, "KD", 74, 26, 17, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar4", Kind::Text, "KD", 90, 26, 17, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar5", Kind::Text, "KD", 106, 26, 17, 32, "!", Face::Bar, 27, true, Align::Left, false},
    {"bar6", Kind::Text, "KD", 122, 26, 17, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar7", Kind::Text, "KD", 138, 26, 14, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar8", Kind::Text, "KD", 154, 26, 17, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar9", Kind::Text, "KD", 170, 26, 17, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar10", Kind::Text, "KD", 186, 26, 17, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar11", Kind::Text, "KD", 202, 26, 17, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar12", Kind::Text, "KD", 218, 26, 21, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar13", Kind::Text, "KD", 234, 26, 17, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar14", Kind::Text, "KD", 250, 26, 17, 32, "!", Face::Bar, 27, true, Align::Left, false},
    {"bar15", Kind::Text, "KD", 266, 26, 17, 32, "!", Face::Bar, 27, true, Align::Left, false},
    {"bar16", Kind::Text, "KD", 282, 26, 17, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar17", Kind::Text, "KD", 298, 26, 19, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar18", Kind::Text, "KD", 314, 26, 17, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar19", Kind::Text, "KD", 330, 26, 17, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar20", Kind::Text, "KD", 346, 26, 17, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar21", Kind::Text, "KD", 362, 26, 17, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar22", Kind::Text, "KD", 378, 26, 15, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar23", Kind::Text, "KD", 394, 26, 8, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar24", Kind::Text, "KD", 410, 26, 8, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar25", Kind::Text, "KD", 426, 26, 8, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar26", Kind::Text, "KD", 442, 26, 8, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar27", Kind::Text, "KD", 458, 26, 8, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar28", Kind::Text, "KD", 474, 26, 8, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar29", Kind::Text, "KD", 492, 26, 8, 32, "!", Face::Bar, 27, true, Align::Left, true},
    {"bar30", Kind::Text, "KD", 514, 14, 39, 47, "{", Face::Bar, 64, true, Align::Left, true},

    // The test-voltage group.
    group("Panel8", 230, 104, 189, 49),
    lcd("Label3", "Panel8", 18, 0, 18, 53, "0", 48),
    lcd("Label7", "Panel8", 53, 0, 18, 53, "0", 48),
    lcd("Label10", "Panel8", 82, 0, 18, 53, "0", 48),
    lcd("Label9", "Panel8", 116, 0, 18, 53, "0", 48),
    lcd("Label4", "Panel8", 151, 16, 13, 24, "V", 21, true, R, Face::Unit),

    // The memory group.
    group("Panel5", 6, 116, 103, 47),
    lcd("stor1", "Panel5", 8, 0, 18, 53, "1", 48),
    lcd("stor2", "Panel5", 32, 0, 18, 53, "8", 48),
    arial("LabFUL", "Panel5", 68, 8, 32, 19, "FUL", 16),
    arial("Labclr", "Panel5", 66, 26, 34, 19, "CLR", 16),

    // The main digits.
    group("MainDigits", 202, 156, 311, 101),
    lcd("LabelF", "MainDigits", 30, 6, 28, 107, "-", 96),
    lcd("LabelA", "MainDigits", 60, -4, 40, 120, "8", 107),
    lcd("Point1", "MainDigits", 104, 32, 12, 72, ".", 64),
    lcd("LabelB", "MainDigits", 120, -4, 40, 120, "8", 107),
    lcd("Point2", "MainDigits", 166, 30, 12, 72, ".", 64),
    lcd("LabelC", "MainDigits", 184, -6, 40, 120, "8", 107),
    lcd("Point3", "MainDigits", 222, 28, 12, 72, ".", 64),
    lcd("LabelD", "MainDigits", 240, -6, 40, 120, "8", 107),

    // The timer: minutes and seconds, tens first.
    group("Panel6", 4, 182, 187, 71),
    lcd("H_Time1", "Panel6", 26, -6, 21, 63, "8", 56),
    lcd("H_Time2", "Panel6", 51, -6, 21, 63, "8", 56),
    lcd("T_dPoint1", "Panel6", 71, 0, 13, 53, ":", 48),
    lcd("M_Time1", "Panel6", 86, -6, 21, 63, "8", 56),
    lcd("M_Time2", "Panel6", 112, -6, 21, 63, "8", 56),
    arial("Labtime", "Panel6", 35, 48, 89, 22, " min : sec", 19, true),
    lcd("labmo", "Panel6", 153, 8, 31, 21, "M*", 19, true, R),
    lcd("Labgo", "Panel6", 152, 30, 30, 21, "G*", 19, true, R),
};

// The reset's annunciator set, in its order.
constexpr const char* kAnnunciatorNames[] = {
    "Bar0",    "BAR1",    "bar2",      "bar3",   "bar4",    "bar5",     "bar6",     "bar7",
    "bar8",    "bar9",    "bar10",     "bar11",  "bar12",   "bar13",    "bar14",    "bar15",
    "bar16",   "bar17",   "bar18",     "bar19",  "bar20",   "bar21",    "bar22",    "bar23",
    "bar24",   "bar25",   "bar26",     "bar27",  "bar28",   "bar29",    "bar30",    "LabFUL",
    "Labclr",  "Labng",   "Shape1",    "Shape2", "Shape3",  "Shape4",   "labdc",    "labt",
    "labac",   "labmo",   "Labgo",     "Labv",   "Labo",    "Labmo1",   "Labgo1",   "Labto",
    "power",   "labs1",   "labs2",     "labs3",  "labCOMP", "labTIME1", "labtime2", "Labtime",
    "labsave", "labLoad", "labp1",     "danger", "IMoff",   "IMmike",   "IGPower",  "powerV1",
    "powerv2", "powerv3", "T_dPoint1", "Point1", "Point2",  "Point3",   "LabelF",   "Labgood",
    "stor1",   "Label4",
};
static_assert(std::size(kAnnunciatorNames) == 74);

struct Index {
    QHash<QString, int> byName;
    std::vector<int> parents;
    std::vector<QRect> rects;
    std::vector<int> annunciators;

    Index() {
        const int n = int(std::size(kElements));
        parents.resize(size_t(n), -1);
        rects.resize(size_t(n));
        for (int i = 0; i < n; ++i)
            byName.insert(QString::fromLatin1(kElements[i].name), i);
        for (int i = 0; i < n; ++i) {
            const ElementSpec& e = kElements[i];
            QRect r(e.left, e.top, e.width, e.height);
            if (e.parent) {
                const int p = byName.value(QString::fromLatin1(e.parent), -1);
                Q_ASSERT(p >= 0 && p < i && kElements[p].kind == Kind::Group);
                parents[size_t(i)] = p;
                r.translate(rects[size_t(p)].topLeft());
            }
            rects[size_t(i)] = r;
        }
        for (const char* name : kAnnunciatorNames) {
            const int id = byName.value(QString::fromLatin1(name), -1);
            Q_ASSERT(id >= 0);
            annunciators.push_back(id);
        }
    }
};

const Index& index() {
    static const Index i;
    return i;
}

} // namespace

std::span<const ElementSpec> elements() {
    return kElements;
}

int indexOf(QStringView name) {
    const Index& i = index();
    const auto it = i.byName.constFind(name.toString());
    return it == i.byName.cend() ? -1 : it.value();
}

int parentOf(int index) {
    return replica::index().parents[size_t(index)];
}

QRect panelRect(int index) {
    return replica::index().rects[size_t(index)];
}

std::span<const int> annunciatorSet() {
    return replica::index().annunciators;
}

} // namespace replica
