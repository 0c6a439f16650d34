// progress_shot APPFOLDER OUT.png: opens the window over APPFOLDER (whose Setup.ini names a
// structure file with many tables), starts a create run against a dsadmin-sandbox of its own
// with every question answered OK, and takes OUT.png of the window from the screen as soon as
// its progress shows (a second into the run). For scripts/screenshot --progress under Xvfb.
#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/AppSetup.h"
#include "app/frm_Main.h"
#include "support/SandboxProcess.h"

namespace {

class AnswerOk : public dsadmin::MsgBox {
  public:
    int show(const dsadmin::BoxLook&, const std::string&) override { return dsadmin::kAnswerOk; }
};

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fputs("usage: progress_shot APPFOLDER OUT.png\n", stderr);
        return 2;
    }
    testsupport::SandboxProcess sandbox;
    setenv("TDSPORT", std::to_string(sandbox.port()).c_str(), 1);
    QApplication app(argc, argv);
    dsadmin::SetUpApplication(app);
    const std::string folder = argv[1];
    std::filesystem::create_directories(folder + "/data");
    AnswerOk boxes;
    dsadmin::frm_Main window({&boxes, [&] { return folder + "/data"; }, folder});
    window.show();
    bool saved = false;
    QTimer poll;  // fires while the run paints; the shot is taken once the progress shows
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (saved || !window.ProgressLabel->isVisible()) return;
        const QPixmap shot = window.screen()->grabWindow(
            0, window.frameGeometry().x(), window.frameGeometry().y(),
            window.frameGeometry().width(), window.frameGeometry().height());
        saved = shot.save(QString::fromLocal8Bit(argv[2]));
    });
    poll.start(100);
    QTimer::singleShot(500, [&] {
        window.Command4_Click();
        window.Command1_Click();  // timers still fire while the run paints its progress
        app.quit();
    });
    app.exec();
    if (!saved) std::fputs("progress_shot: the progress did not show\n", stderr);
    return saved ? 0 : 1;
}
