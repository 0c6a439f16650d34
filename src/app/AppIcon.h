#pragma once
// The window's icon: a database drum with a gold key, drawn here at 48, 32, 24 and 16 pixels.

#include <QIcon>
#include <QImage>

namespace dsadmin {

// The icon image of `size` pixels square (any size; the icon holds 48, 32, 24 and 16).
QImage AppIconImage(int size);

// The four images as one icon.
QIcon AppIcon();

}  // namespace dsadmin
