#pragma once
// The one QApplication of a test process, on the offscreen platform unless one is chosen.

#include <QApplication>
#include <cstdlib>

#include "app/AppSetup.h"

namespace dsadmin::test {

inline QApplication& QtApp() {
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "dsadmin-test";
        static char* argv[] = {name, nullptr};
        auto* created = new QApplication(argc, argv);  // lives until the process ends
        SetUpApplication(*created);
        return created;
    }();
    return *app;
}

}  // namespace dsadmin::test
