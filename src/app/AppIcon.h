#pragma once
// The window's icon: a database drum with a gold key, drawn here at any size; the window holds
// 48, 32, 24 and 16 pixels.

#include <QIcon>
#include <QImage>

class QPainter;

namespace dsadmin {

// Draws the icon into the square (0, 0, size, size) of `p`: the one drawing behind every
// exported size and the SVG. Small sizes (under 24) drop details and antialiasing.
void DrawAppIcon(QPainter& p, int size);

// The icon image of `size` pixels square (any size; the icon holds 48, 32, 24 and 16).
QImage AppIconImage(int size);

// The four images as one icon, drawn when first asked for (a platform that shows no window
// icons never draws them).
QIcon AppIcon();

}  // namespace dsadmin
