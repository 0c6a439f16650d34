#include "app/DisplayProbe.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <string_view>

namespace dsadmin {

std::string NoDisplayReason() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const std::string_view chosen = platform ? platform : "";
    if (!chosen.empty() && !chosen.starts_with("xcb")) return {};
    const char* display = std::getenv("DISPLAY");
    const bool wayland = std::getenv("WAYLAND_DISPLAY") && *std::getenv("WAYLAND_DISPLAY");
    if (!display || !*display) {
        if (chosen.empty() && wayland) return {};
        return "没有图形显示（未设置 DISPLAY），无法打开窗口；请在桌面会话中运行，或用 ssh -X "
               "登录。";
    }
    xcb_connection_t* connection = xcb_connect(display, nullptr);
    const bool failed = xcb_connection_has_error(connection) != 0;
    xcb_disconnect(connection);
    if (failed) {
        return std::string("无法连接图形显示 ") + display +
               "，无法打开窗口；请检查 DISPLAY 和显示的访问权限（xauth）。";
    }
    return {};
}

}  // namespace dsadmin
