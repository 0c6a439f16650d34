#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

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

}  // namespace

std::optional<int> HandleCommandLine(int argc, char* argv[]) {
    // Nothing to parse: no Qt application to set up and tear down before the window's own.
    if (argc <= 1) return std::nullopt;
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

}  // namespace dsadmin
