#include "app/PlatformStart.h"

#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace dsadmin {
namespace {

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
        const QString line = QStringLiteral("dsadmin: 无法打开窗口：") +
                             text.section(QLatin1Char('\n'), 0, 0) + QLatin1Char('\n');
        std::fputs(line.toStdString().c_str(), stderr);
        std::_Exit(1);
    }
    if (gHeld) {
        gHeld->push_back(
            {type, context.file, context.line, context.function, context.category, text});
    }
}

}  // namespace

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
