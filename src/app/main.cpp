// Starts the program: the command line, a check for a display, the application set-up, then
// the main window until it is closed.
#include <QApplication>
#include <cstdio>

#include "app/AppSetup.h"
#include "app/CommandLine.h"
#include "app/frm_Main.h"
#include "db/odbc/OdbcSession.h"

int main(int argc, char* argv[]) {
    if (const auto status = dsadmin::HandleCommandLine(argc, argv)) return *status;
    if (const std::string reason = dsadmin::NoDisplayReason(); !reason.empty()) {
        std::fprintf(stderr, "dsadmin: %s\n", reason.c_str());
        return 1;
    }
    // A DBA sees the window's connections under its name; encryption stays the driver's.
    dsadmin::OdbcClientOptions client;
    client.applicationName = "dsadmin";
    dsadmin::OdbcSession::SetClientOptions(client);
    dsadmin::BeginPlatformStart();
    QApplication app(argc, argv);
    dsadmin::EndPlatformStart();
    dsadmin::SetUpApplication(app);
    dsadmin::frm_Main window;
    dsadmin::SkipTaskbar(window);
    window.show();
    return app.exec();
}
