#pragma once

#include <QColor>
#include <QFont>

// The chart's look, shared by its parts.
namespace chart_style {

inline const QColor kSilver(0xC0, 0xC0, 0xC0);
inline const QColor kVoltBlue(0, 96, 192);

inline QFont arialPx(int px, bool italic = false) {
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(px);
    f.setItalic(italic);
    return f;
}

} // namespace chart_style
