#include "app/WindowProgram.h"

#include <QApplication>
#include <cstdio>

#include "app/AppSetup.h"
#include "app/CommandLine.h"
#include "app/DisplayProbe.h"
#include "app/PlatformStart.h"
#include "app/frm_Main.h"
#include "db/odbc/OdbcSession.h"

namespace dsadmin {

int RunWindowProgram(int argc, char* argv[], const std::function<void(QWidget&)>& beforeShow) {
    if (const auto status = HandleCommandLine(argc, argv)) return *status;
    if (const std::string reason = NoDisplayReason(); !reason.empty()) {
        std::fprintf(stderr, "dsadmin: %s\n", reason.c_str());
        return 1;
    }
    // A DBA sees the window's connections under its name; encryption stays the driver's.
    OdbcClientOptions client;
    client.applicationName = "dsadmin";
    OdbcSession::SetClientOptions(client);
    BeginPlatformStart();
    QApplication app(argc, argv);
    EndPlatformStart();
    SetUpApplication(app);
    frm_Main window;
    SkipTaskbar(window);
    if (beforeShow) beforeShow(window);
    window.show();
    return app.exec();
}

}  // namespace dsadmin
