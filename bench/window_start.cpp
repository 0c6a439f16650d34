// Starts a window as the program does and prints, when it is first painted, the monotonic
// clock in nanoseconds; then quits. `window_start frm_Main` starts the main window as main.cpp
// does; `window_start bare` a plain QWidget of the same size, the floor any Qt window pays.
// The caller reads the clock before it starts the process: the difference is the start time.
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "app/AppSetup.h"
#include "app/frm_Main.h"

namespace {

class FirstPaint : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::printf("%lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    bool seen_ = false;
};

}  // namespace

int main(int argc, char* argv[]) {
    const bool bare = argc > 1 && std::strcmp(argv[1], "bare") == 0;
    QApplication app(argc, argv);
    FirstPaint firstPaint;
    std::unique_ptr<QWidget> window;
    if (bare) {
        window = std::make_unique<QWidget>();
        window->resize(398, 310);
    } else {
        dsadmin::SetUpApplication(app);
        auto main = std::make_unique<dsadmin::frm_Main>();
        dsadmin::SkipTaskbar(*main);
        window = std::move(main);
    }
    window->installEventFilter(&firstPaint);
    window->show();
    return app.exec();
}
