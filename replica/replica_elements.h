#pragma once

#include <QRect>
#include <QStringView>

#include <span>

// The elements of the meter replica: every symbol the meter's LCD can light is one element,
// shown or hidden, placed on the replica panel or on one of its five groups. The table is the
// single description of the replica; the state and the painting both read it.
namespace replica {

enum class Kind : quint8 {
    Group,   // a borderless white panel holding other elements
    Text,    // a caption in one face
    Block,   // a filled black rectangle
    Picture, // artwork stretched to the element's size
};

enum class Face : quint8 {
    None,
    Arial,   // plain words
    Segment, // LCD digits, minus, points, colon; "*" is the ohm sign
    Unit,    // the "V" signs
    Bar,     // bar graph: "!" segment, "|" left end, "{" right end, "~" infinity
};

enum class Align : quint8 { Left, Right };

struct ElementSpec {
    const char* name;
    Kind kind;
    const char* parent; // a group's name, or nullptr for the panel itself
    int left, top, width, height;
    const char* caption = nullptr; // UTF-8, for text elements
    Face face = Face::None;
    int px = 0; // character height in pixels
    bool bold = false;
    Align align = Align::Left;
    bool transparent = false;      // paints no background of its own
    const char* picture = nullptr; // artwork name, for pictures
    bool initiallyShown = true;
};

// Size of the replica panel; group and element places are relative to their parent.
inline constexpr QSize kPanelSize(615, 289);

// All elements, in painting order (a group comes before its children).
std::span<const ElementSpec> elements();

// The index of the element called `name`, or -1.
int indexOf(QStringView name);

// The index of the element's group, or -1 for elements placed on the panel itself.
int parentOf(int index);

// The element's place in panel coordinates.
QRect panelRect(int index);

// The annunciator set that the reset switches, in its order (74 elements).
std::span<const int> annunciatorSet();

} // namespace replica
