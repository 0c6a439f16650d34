// Starts the program: the application set-up, then the main window until it is closed.
#include <QApplication>

#include "app/AppSetup.h"
#include "app/frm_Main.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    dsadmin::SetUpApplication(app);
    dsadmin::frm_Main window;
    dsadmin::SkipTaskbar(window);
    window.show();
    return app.exec();
}
