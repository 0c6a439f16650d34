// The create run as the window makes it: `window_run APP_FOLDER SAVE_FOLDER DATABASE` opens
// frm_Main over APP_FOLDER (its Setup.ini names the structure file; the server is "(local)",
// TDSPORT gives the port), picks SAVE_FOLDER, types sa and DATABASE, clicks the create button
// with every box answered OK, and prints the seconds from the click to the run's end. Exits 1
// when the run did not end with "数据库创建完成".
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <chrono>
#include <cstdio>
#include <string>

#include "app/AppSetup.h"
#include "app/frm_Main.h"
#include "runs/CreateDatabaseRun.h"
#include "runs/MsgBox.h"

namespace {

class OkMsgBox : public dsadmin::MsgBox {
  public:
    int show(const dsadmin::BoxLook&, const std::string& text) override {
        last = text;
        return dsadmin::kAnswerOk;
    }
    std::string last;
};

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 4) return 2;
    QApplication app(argc, argv);
    dsadmin::SetUpApplication(app);
    const std::string saveFolder = argv[2];
    OkMsgBox box;
    dsadmin::frm_Main window(
        dsadmin::frm_Main::Environment{&box, [&] { return saveFolder; }, argv[1]});
    window.show();
    window.Command4->click();
    window.Text2->setText("sa");
    window.Text3->clear();
    window.Text4->setText(QString::fromLocal8Bit(argv[3]));
    const auto start = std::chrono::steady_clock::now();
    window.Command1->click();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("%.6f\n", took.count());
    if (box.last != dsadmin::kCreateDoneText) {
        std::fprintf(stderr, "window_run: %s\n", box.last.c_str());
        return 1;
    }
    return 0;
}
