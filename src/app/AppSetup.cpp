#include "app/AppSetup.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

#include <QApplication>
#include <QFont>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QWidget>

#include "Version.h"
#include "app/AppIcon.h"
#include "runs/MsgBox.h"

namespace dsadmin {
namespace {

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    const auto cookie = xcb_intern_atom(connection, 0, static_cast<uint16_t>(strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    free(reply);
    return atom;
}

}  // namespace

void InstallFontSubstitutions() {
    const QString family = QString::fromUtf8(kSongTi);
    if (!QFont::substitutes(family).isEmpty()) return;
    QFont::insertSubstitutions(
        family, {QString::fromLatin1(kSongTiFace), QStringLiteral("AR PL UMing CN"),
                 QStringLiteral("AR PL UMing TW"), QStringLiteral("WenQuanYi Zen Hei"),
                 QStringLiteral("WenQuanYi Micro Hei")});
}

void LoadQtTranslations(QCoreApplication& app) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* name : {"qtbase_zh_CN", "qt_zh_CN"}) {
        auto* translator = new QTranslator(&app);
        if (translator->load(QString::fromLatin1(name), folder)) {
            app.installTranslator(translator);
        } else {
            delete translator;
        }
    }
}

void SetUpApplication(QApplication& app) {
    LoadQtTranslations(app);
    InstallFontSubstitutions();
    app.setApplicationName(QStringLiteral("dsadmin"));
    app.setApplicationVersion(QString::fromLatin1(kVersion));
    app.setDesktopFileName(QStringLiteral("org.dsadmin.dsadmin"));
    app.setWindowIcon(AppIcon());
}

void SkipTaskbar(QWidget& window) {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11) return;
    // The offscreen platform offers the X11 interface without an X connection.
    xcb_connection_t* connection = x11->connection();
    if (!connection) return;
    const xcb_atom_t state = Atom(connection, "_NET_WM_STATE");
    const xcb_atom_t skip = Atom(connection, "_NET_WM_STATE_SKIP_TASKBAR");
    if (state == XCB_ATOM_NONE || skip == XCB_ATOM_NONE) return;
    // Qt keeps the states it does not manage itself when it maps the window.
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, static_cast<xcb_window_t>(window.winId()),
                        state, XCB_ATOM_ATOM, 32, 1, &skip);
    xcb_flush(connection);
}

}  // namespace dsadmin
