#pragma once

#include <QIcon>
#include <QPixmap>

namespace orv {

// Where the program's artwork lives among the built-in resources.
inline constexpr const char* logoResource = ":/icons/orv-converter.svg";

// The program's own artwork, drawn from its SVG at the size asked for.
QPixmap logoPixmap(int size);
// The window icon, at the sizes window managers and task bars ask for.
QIcon programIcon();

} // namespace orv
