#pragma once
// Whether the window can open at all, asked before Qt is: Qt's own answer to a missing or
// refused X display is an abort after several lines. Texts are Simplified Chinese.

#include <string>

namespace dsadmin {

// Why the window cannot open on the display Qt would use, in one line; "" when it can (or
// when Qt's platform is one this cannot judge, such as offscreen or Wayland).
std::string NoDisplayReason();

}  // namespace dsadmin
