// Starts a window and prints the monotonic clock in nanoseconds twice: when the window gets
// its first paint event, and when that first paint, the controls' included, is done; then
// quits. `window_start frm_Main` runs the program as main() does (the command line, the
// application set-up, frm_Main); `window_start bare` shows a plain QWidget of the same size,
// the floor any Qt window pays; `window_start text` the same QWidget with one label in the
// window's font ("宋体" 10.5 pt), the floor any window showing Chinese text in that face pays.
// The caller reads the clock before it starts the process: the differences are the start
// times.
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "app/AppSetup.h"
#include "app/WindowProgram.h"

namespace {

void PrintClock() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::printf("%lld\n", static_cast<long long>(
                              std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
    std::fflush(stdout);
}

class FirstPaint : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            PrintClock();
            // The window's own paint event comes first; its controls are painted after it in
            // the same pass, and a zero timer runs once that pass is over.
            QTimer::singleShot(0, qApp, [] {
                PrintClock();
                QApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    bool seen_ = false;
};

}  // namespace

int main(int argc, char* argv[]) {
    FirstPaint firstPaint;
    const bool bare = argc > 1 && std::strcmp(argv[1], "bare") == 0;
    if (bare || (argc > 1 && std::strcmp(argv[1], "text") == 0)) {
        QApplication app(argc, argv);
        QWidget window;
        window.resize(398, 310);
        if (!bare) {
            dsadmin::InstallFontSubstitutions();
            QFont font(QString::fromUtf8(dsadmin::kSongTi));
            font.setPointSizeF(10.5);
            window.setFont(font);
            (new QLabel(QString::fromUtf8("数据库信息:"), &window))->move(8, 0);
        }
        window.installEventFilter(&firstPaint);
        window.show();
        return app.exec();
    }
    // The program itself takes no arguments.
    int programArgc = 1;
    char* programArgv[] = {argv[0], nullptr};
    return dsadmin::RunWindowProgram(programArgc, programArgv, [&firstPaint](QWidget& window) {
        window.installEventFilter(&firstPaint);
    });
}
