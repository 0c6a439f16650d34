#include "app/CommandLine.h"

#include <unistd.h>
#include <xcb/xcb.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>
#include <vector>

#include "Version.h"
#include "app/AppSetup.h"
#include "settings/DBSet.h"

namespace dsadmin {
namespace {

void PrintLine(FILE* stream, const QString& text) {
    std::fputs(("dsadmin: " + text.toStdString() + "\n").c_str(), stream);
}

QString Description() {
    return QStringLiteral(
               "数据库管理：按结构文件创建、修改或删除 SQL Server 数据库。\n"
               "设置文件 Setup.ini 和结构文件（.DS）放在程序所在的文件夹：%1")
        .arg(QString::fromStdString(AppFolder()));
}

// The context's strings are Qt's own static texts, which outlive the start.
struct HeldMessage {
    QtMsgType type;
    const char* file;
    int line;
    const char* function;
    const char* category;
    QString text;
};
std::vector<HeldMessage>* gHeld = nullptr;
QtMessageHandler gPrevious = nullptr;

void HoldMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        PrintLine(stderr, QStringLiteral("无法打开窗口：") + text.section(QLatin1Char('\n'), 0, 0));
        std::_Exit(1);
    }
    if (gHeld) {
        gHeld->push_back(
            {type, context.file, context.line, context.function, context.category, text});
    }
}

}  // namespace

std::optional<int> HandleCommandLine(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    LoadQtTranslations(app);
    app.setApplicationName(QStringLiteral("dsadmin"));
    app.setApplicationVersion(QString::fromLatin1(kVersion));
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(Description());
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("显示本帮助并退出。"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("显示版本并退出。"));
    parser.addOption(help);
    parser.addOption(version);
    if (!parser.parse(app.arguments())) {
        PrintLine(stderr, parser.errorText());
        return 2;
    }
    if (parser.isSet(help)) {
        std::fputs(parser.helpText().toStdString().c_str(), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("dsadmin %s\n", kVersion);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        PrintLine(stderr, QStringLiteral("多余的参数“%1”：窗口不接受参数（见 dsadmin --help）。")
                              .arg(parser.positionalArguments().first()));
        return 2;
    }
    return std::nullopt;
}

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

void BeginPlatformStart() {
    gHeld = new std::vector<HeldMessage>();
    gPrevious = qInstallMessageHandler(HoldMessage);
}

void EndPlatformStart() {
    qInstallMessageHandler(gPrevious);
    std::vector<HeldMessage> held = std::move(*gHeld);
    delete std::exchange(gHeld, nullptr);
    for (const HeldMessage& m : held) {
        qt_message_output(m.type, QMessageLogContext(m.file, m.line, m.function, m.category),
                          m.text);
    }
}

}  // namespace dsadmin
