// The window when the machine fails it: a server that takes the connection and never answers
// ends the run at the login time-out (15 s) while the window keeps painting and says where it
// is connecting, and leaving the program meanwhile ends it at once; a structure-file reader
// that hangs ends the run at the reader's time limit, the window painting; a Setup.ini that is
// there but cannot be read (a folder in its place, or another owner's file) is named before
// anything is sent.

#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

#include "QtApp.h"
#include "app/RunDispatch.h"
#include "app/frm_Main.h"
#include "runs/ModifyDatabaseRun.h"
#include "settings/ForkedChild.h"
#include "support/HungJetReader.h"
#include "support/LoopbackPort.h"
#include "support/SandboxProcess.h"
#include "support/ScriptedMsgBox.h"
#include "support/SilentListener.h"

namespace dsadmin {
namespace {

namespace fs = std::filesystem;

class WindowFailSafe : public testing::Test {
  protected:
    void SetUp() override {
        test::QtApp();
        char pattern[] = "/tmp/dsadmin-failsafe-XXXXXX";
        app = mkdtemp(pattern);
        fs::create_directory(app / "data");
    }
    void TearDown() override {
        window.reset();
        fs::remove_all(app);
    }
    void open() {
        window = std::make_unique<frm_Main>(frm_Main::Environment{
            &boxes, [this] { return (app / "data").string(); }, app.string()});
        window->show();
        window->Text2->setText("sa");
        window->Text4->setText(QString::fromStdString(database));
    }
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    // Opens the window on the server at port ("(local)" through TDSPORT) and clicks the
    // modify button while a 100 ms timer calls tick; returns the seconds the run took. Timer
    // events reach the window only while the run lets events through: each tick is a moment
    // at which the window could paint.
    double modifyWhileTicking(std::uint16_t port, const std::function<void()>& tick) {
        setenv("TDSPORT", std::to_string(port).c_str(), 1);
        std::ofstream(app / "Setup.ini") << "[DataBase]\nDSName=T\n";
        open();
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, tick);
        timer.start(100);
        QElapsedTimer clock;
        clock.start();
        click(window->Command2);
        return clock.elapsed() / 1000.0;
    }

    fs::path app;
    std::string database = "Safe" + std::to_string(getpid());
    test::ScriptedMsgBox boxes;
    std::unique_ptr<frm_Main> window;
};

TEST_F(WindowFailSafe, SilentServerEndsTheRunAtTheLoginTimeOutAndTheWindowKeepsPainting) {
    testsupport::SilentListener silent;
    const std::string address = "127.0.0.1:" + std::to_string(silent.port());
    // One tick also tries to close the window.
    int ticks = 0;
    bool connectingShown = false, stayedOpen = false;
    const double seconds = modifyWhileTicking(silent.port(), [&] {
        if (++ticks == 30) {
            window->close();
            stayedOpen = window->isVisible();
        }
        connectingShown = connectingShown || (window->ProgressLabel->isVisible() &&
                                              window->ProgressLabel->text().toStdString() ==
                                                  "正在连接 " + address + "……");
    });

    ASSERT_EQ(boxes.boxes().size(), 2u) << boxes.transcript();
    EXPECT_EQ(boxes.boxes()[1].text, "系统错误：无法连接到 " + address +
                                         " 上的数据库服务器：等待 15 秒仍没有应答（连接超时）。");
    EXPECT_GE(seconds, 14.0);
    EXPECT_LT(seconds, 60.0);
    EXPECT_GE(ticks, 30) << "the window was frozen during the wait";
    EXPECT_TRUE(connectingShown) << "the progress line did not say where it connects";
    EXPECT_TRUE(stayedOpen) << "closed while the run waited";
    EXPECT_FALSE(window->ProgressLabel->isVisible());
    window->close();
    EXPECT_FALSE(window->isVisible()) << "not closed after the run";
}

// A server that drops the login and then falls silent: why the login failed is asked of it
// on a connection of its own (the encryption probe, which waits 5 s for an answer), and the
// window paints through that wait as through the connect's.
TEST_F(WindowFailSafe, ServerThatDropsTheLoginAndFallsSilentLeavesTheWindowPainting) {
    testsupport::SilentListener server;
    std::thread dropper([&] { server.dropOne(); });
    int ticks = 0;
    const double seconds = modifyWhileTicking(server.port(), [&] { ++ticks; });
    dropper.join();

    ASSERT_EQ(boxes.boxes().size(), 2u) << boxes.transcript();
    EXPECT_EQ(boxes.boxes()[1].text,
              "系统错误：无法连接到 127.0.0.1:" + std::to_string(server.port()) +
                  " 上的数据库服务器：驱动程序报告“Unable to connect to "
                  "data source”。");
    EXPECT_GE(seconds, 4.0) << "the probe did not wait";
    EXPECT_GE(ticks, 20) << "the window was frozen during the probe";
}

// A structure-file reader that hangs (a file on a stalled mount, a stuck helper): the run
// ends at the reader's time limit with the text it has without the window, the window paints
// and says it is reading the structure file meanwhile, and no reader is left behind.
TEST_F(WindowFailSafe, HungStructureFileReaderEndsTheRunAtItsTimeOutAndTheWindowKeepsPainting) {
    testsupport::SandboxProcess sandbox;
    database = "master";
    {
        FILE* dsfile =
            popen((std::string(DSADMIN_BIN_DIR) + "/dsfile write '" + (app / "T.DS").string() + "'")
                      .c_str(),
                  "w");
        std::fputs("ftable\tfname\tflb\tflong\tfauto\tfindex\nStock\ta\tInt\t0\t0\t0\n", dsfile);
        ASSERT_EQ(pclose(dsfile), 0);
    }
    testsupport::HungJetReader hung(std::chrono::milliseconds(3000));
    const std::string timedOut =
        "系统错误：读取结构文件“" + (app / "T.DS").string() + "”超时：3 秒内没有应答。";

    // The same run without the wait hook first.
    setenv("TDSPORT", std::to_string(sandbox.port()).c_str(), 1);
    std::ofstream(app / "Setup.ini") << "[DataBase]\nDSName=T\n";
    test::ScriptedMsgBox plainBoxes;
    RunFields fields;
    fields.server = "(local)";
    fields.login = "sa";
    fields.databaseName = database;
    RunFromWindow(ModifyDatabaseRun,
                  RunInput{fields, (app / "Setup.ini").string(), app.string(), plainBoxes});
    ASSERT_EQ(plainBoxes.boxes().size(), 2u) << plainBoxes.transcript();
    EXPECT_EQ(plainBoxes.boxes()[1].text, timedOut);

    int ticks = 0, ticksReading = 0;
    const double seconds = modifyWhileTicking(sandbox.port(), [&] {
        ++ticks;
        if (window->ProgressLabel->isVisible() &&
            window->ProgressLabel->text().toStdString() == "正在读取结构文件……")
            ++ticksReading;
    });

    ASSERT_EQ(boxes.boxes().size(), 2u) << boxes.transcript();
    EXPECT_EQ(boxes.boxes()[1].text, timedOut);
    EXPECT_GE(seconds, 2.9);
    EXPECT_LT(seconds, 30.0);
    EXPECT_GE(ticks, 10) << "the window was frozen during the wait";
    EXPECT_GE(ticksReading, 3) << "the progress line did not say it reads the structure file";
    EXPECT_TRUE(testsupport::HungJetReader::Readers().empty()) << "a reader was left behind";
}

TEST_F(WindowFailSafe, UnreadableSettingsAreNamedBeforeTheServerIsAsked) {
    // Nothing listens where "(local)" leads: a run that went on would fail to connect instead.
    setenv("TDSPORT", std::to_string(testsupport::ClosedLoopbackPort()).c_str(), 1);
    const std::string setup = (app / "Setup.ini").string();
    fs::create_directory(setup);
    open();
    click(window->Command4);
    const std::string named = "系统错误：无法读取设置文件“" + setup + "”：是文件夹，不是文件。";
    click(window->Command1);
    click(window->Command2);
    ASSERT_EQ(boxes.boxes().size(), 4u) << boxes.transcript();
    EXPECT_EQ(boxes.boxes()[1].text, named);
    EXPECT_EQ(boxes.boxes()[3].text, named);
    EXPECT_TRUE(fs::is_directory(setup));

    // A missing file is no failure: its values are empty and the run goes on to the server.
    fs::remove(setup);
    click(window->Command2);
    ASSERT_EQ(boxes.boxes().size(), 6u) << boxes.transcript();
    EXPECT_EQ(boxes.boxes()[5].text.rfind("系统错误：无法连接到 127.0.0.1:", 0), 0u)
        << boxes.boxes()[5].text;
}

// The case met in the field: Setup.ini of another owner, mode 0600. The window runs in a child
// dropped to nobody (uid 65534), forked before any Qt object exists.
TEST(WindowFailSafeAsNobody, SettingsOfAnotherOwnerAreNamedWithOwnerModeAndUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
    char pattern[] = "/tmp/dsadmin-failsafe-XXXXXX";
    const fs::path app = mkdtemp(pattern);
    const std::string setup = (app / "Setup.ini").string();
    std::ofstream(setup) << "[DataBase]\nDSName=T\n";
    ASSERT_EQ(::chmod(setup.c_str(), 0600), 0);
    ASSERT_EQ(::chmod(app.c_str(), 0755), 0);
    setenv("TDSPORT", std::to_string(testsupport::ClosedLoopbackPort()).c_str(), 1);
    const pid_t child = test::Spawn([&] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) _exit(3);
        test::QtApp();
        test::ScriptedMsgBox boxes;
        frm_Main window(frm_Main::Environment{&boxes, [] { return std::string(); }, app});
        window.Text4->setText("Safe");
        QTest::mouseClick(window.Command2, Qt::LeftButton);
        ASSERT_EQ(boxes.boxes().size(), 2u) << boxes.transcript();
        EXPECT_EQ(boxes.boxes()[1].text, "系统错误：无法读取设置文件“" + setup +
                                             "”：权限不够（文件属于 root，权限 0600，当前用户是 " +
                                             ::getpwuid(65534)->pw_name + "）。");
    });
    const int status = test::WaitFor(child);
    fs::remove_all(app);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Leaving the program while a run waits on a silent server (Qt calls exit() when the X server
// goes; here a timer does): the process ends at once, not after the login time-out, and not
// with an abort over the thread that waits for the server.
TEST(WindowFailSafeAtExit, ExitDuringAWaitOnASilentServerEndsTheProcessAtOnce) {
    // A child forked from a process whose Qt already talks to an X server would share that
    // connection; ctest runs each test in a process of its own, where this never happens.
    if (QCoreApplication::instance() && QGuiApplication::platformName() != "offscreen")
        GTEST_SKIP() << "Qt is up on " << QGuiApplication::platformName().toStdString()
                     << " in this process: run the test alone";
    testsupport::SilentListener silent;
    setenv("TDSPORT", std::to_string(silent.port()).c_str(), 1);
    char pattern[] = "/tmp/dsadmin-failsafe-XXXXXX";
    const fs::path app = mkdtemp(pattern);
    std::ofstream(app / "Setup.ini") << "[DataBase]\nDSName=T\n";
    const pid_t child = test::Spawn([&] {
        test::QtApp();
        test::ScriptedMsgBox boxes;
        frm_Main window(frm_Main::Environment{&boxes, [] { return std::string(); }, app});
        window.Text4->setText("Safe");
        QTimer::singleShot(500, [] { std::exit(7); });
        QTest::mouseClick(window.Command2, Qt::LeftButton);
        _exit(1);  // the run ended before the exit
    });
    QElapsedTimer clock;
    clock.start();
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0 && clock.elapsed() < 12000)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const double seconds = clock.elapsed() / 1000.0;
    if (seconds >= 12) {
        ::kill(child, SIGKILL);
        status = test::WaitFor(child);
    }
    fs::remove_all(app);
    EXPECT_LT(seconds, 12) << "exit waited for the server";
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 7);
}

}  // namespace
}  // namespace dsadmin
