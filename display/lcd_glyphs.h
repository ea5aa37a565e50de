#pragma once

#include "replica/replica_elements.h"

#include <QPainterPath>
#include <QRectF>
#include <QStringView>

// The replica's LCD faces, drawn as filled outlines so that no special font has to be installed:
//
// - the segment face: seven-segment digits "0"-"9", "@" (the L pattern), the minus sign "-", the
//   points ".", the colon ":", the ohm sign "*" (drawn as Ω) and the unit letters "M", "G", "T";
// - the unit face: the "V" sign;
// - the bar face: "!" a bar segment, "|" the left end mark, "{" the right end, "~" infinity.
//
// Metrics follow a character height of `px` pixels, as a font of that size would: every glyph
// has an advance, digits stand on a common baseline, and a label's glyphs are laid out from its
// left edge (or right edge, when right-aligned) and from its top.
namespace lcd {

// Horizontal advance of `text` in `face`.
qreal textWidth(replica::Face face, QStringView text, qreal px);

// The outline of `text` placed in a label box, ready to be filled. Characters the face does not
// have take the width of a digit and draw nothing.
QPainterPath textPath(replica::Face face, QStringView text, qreal px, bool bold, const QRectF& box,
                      replica::Align align);

} // namespace lcd
