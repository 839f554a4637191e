#pragma once

#include <QColor>

namespace orv {

// The contrast between two colours, from 1 (none) to 21 (black on white),
// from their relative luminance as the web's accessibility guidelines
// define it.
double contrastRatio(const QColor& a, const QColor& b);

// The contrast below which small text is hard to read.
inline constexpr double legibleContrast = 4.5;

// wanted itself when it reads well on background; otherwise wanted moved
// towards black or white, whichever stands out more, just far enough to.
QColor legibleOn(const QColor& wanted, const QColor& background);

} // namespace orv
