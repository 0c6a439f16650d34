// The buttons reach the runs with the window's current texts; a failure that leaves a run is
// shown in a box and the window stays as it was; the cursor is an arrow over every box and
// ordinary again after every run. "(local)" points at a port where nothing listens.

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <optional>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <memory>

#include "QtApp.h"
#include "app/ProgressDisplay.h"
#include "app/RunDispatch.h"
#include "app/frm_Main.h"
#include "runs/DatabaseName.h"
#include "settings/PrivateProfile.h"
#include "support/LoopbackPort.h"
#include "support/ScriptedMsgBox.h"

namespace dsadmin {
namespace {

// Records the cursor the operator sees while each box is up.
class CursorWatchingMsgBox : public MsgBox {
  public:
    explicit CursorWatchingMsgBox(test::ScriptedMsgBox& inner) : inner_(inner) {}
    int show(const BoxLook& look, const std::string& text) override {
        const QCursor* c = QApplication::overrideCursor();
        cursors.push_back(c ? c->shape() : Qt::ArrowCursor);
        return inner_.show(look, text);
    }
    std::vector<Qt::CursorShape> cursors;

  private:
    test::ScriptedMsgBox& inner_;
};

class RunButtons : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        setenv("TDSPORT", std::to_string(testsupport::ClosedLoopbackPort()).c_str(), 1);
    }
    void SetUp() override {
        test::QtApp();
        char pattern[] = "/tmp/dsadmin-buttons-XXXXXX";
        folder = mkdtemp(pattern);
        std::filesystem::create_directory(folder + "/data");
        window = std::make_unique<frm_Main>(
            frm_Main::Environment{&watcher, [this] { return folder + "/data"; }, folder});
    }
    void TearDown() override {
        window.reset();
        std::filesystem::remove_all(folder);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the cursor was not restored";
    }
    void type(QLineEdit* box, const QString& text) {
        box->clear();
        QTest::keyClicks(box, text);
    }
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    std::string setting(const std::string& key) {
        return ReadIniString(folder + "/Setup.ini", "DataBase", key, "<none>");
    }

    std::string folder;
    test::ScriptedMsgBox boxes;
    CursorWatchingMsgBox watcher{boxes};
    std::unique_ptr<frm_Main> window;
};

TEST_F(RunButtons, CreateTakesTheFolderChosenWithTheBrowseButtonAndTheTypedTexts) {
    click(window->Command1);
    EXPECT_EQ(boxes.transcript(), "64|错误提示|数据库文件保存路径不能为空！ -> 1\n");
    click(window->Command4);
    EXPECT_EQ(window->Text5->text().toStdString(), folder + "/data");
    type(window->Text2, " admin ");
    type(window->Text4, "Typed");
    boxes.answer(kAnswerCancel);
    click(window->Command1);
    EXPECT_EQ(boxes.boxes().back().text, "是否真的要创建新的数据库？");
    EXPECT_EQ(setting("UserName"), "admin");
    EXPECT_EQ(setting("DBName"), "Typed");
    EXPECT_EQ(watcher.cursors, (std::vector<Qt::CursorShape>{Qt::ArrowCursor, Qt::ArrowCursor}));
}

TEST_F(RunButtons, ModifyTakesTheTypedTexts) {
    type(window->Text4, "Other");
    boxes.answer(kAnswerCancel);
    click(window->Command2);
    EXPECT_EQ(boxes.transcript(), "1|系统提示|是否真的要修改数据库？ -> 2\n");
    EXPECT_EQ(setting("DBName"), "Other");
}

TEST_F(RunButtons, ModifyFailureIsShownAndTheWindowKeepsItsTexts) {
    type(window->Text3, "pw");
    type(window->Text4, "Sales,master");
    click(window->Command2);
    ASSERT_EQ(boxes.boxes().size(), 2u);
    EXPECT_EQ(boxes.boxes()[1].text, "系统错误：" + InvalidDatabaseNameText("Sales,master"));
    EXPECT_EQ(boxes.boxes()[1].title, "错误提示");
    EXPECT_EQ(boxes.boxes()[1].style, 64);
    EXPECT_EQ(window->Text4->text(), QStringLiteral("Sales,master"));
    EXPECT_EQ(window->Text3->text(), QStringLiteral("pw"));
    EXPECT_TRUE(window->isEnabled());

    type(window->Text4, "Sales");  // now the server is tried, and nobody answers
    click(window->Command2);
    ASSERT_EQ(boxes.boxes().size(), 4u);
    EXPECT_EQ(boxes.boxes()[3].text.rfind("系统错误：", 0), 0u) << boxes.boxes()[3].text;
    EXPECT_EQ(boxes.boxes()[3].title, "错误提示");
    EXPECT_EQ(watcher.cursors, std::vector<Qt::CursorShape>(4, Qt::ArrowCursor));
}

TEST_F(RunButtons, DeleteTakesTheTypedNameAndSavesNothing) {
    window->Command3->setVisible(true);
    type(window->Text4, "Sales;drop database master");
    click(window->Command3);
    EXPECT_EQ(boxes.transcript(),
              "1|系统提示|是否真的要删除数据库？ -> 1\n64|系统提示|删除数据库错误：" +
                  InvalidDatabaseNameText("Sales;drop database master") + " -> 1\n");
    EXPECT_FALSE(std::filesystem::exists(folder + "/Setup.ini"));
}

// At each box: what the progress label shows, and a try to close the window.
class ProgressWatchingMsgBox : public MsgBox {
  public:
    int show(const BoxLook&, const std::string&) override {
        seen.push_back(window->ProgressLabel->isVisible() ? window->ProgressLabel->text()
                                                          : QStringLiteral("<hidden>"));
        window->close();
        return kAnswerOk;
    }
    frm_Main* window = nullptr;
    std::vector<QString> seen;
};

TEST_F(RunButtons, ProgressShowsOnceARunHasWorkedForTheDelayAndTheWindowStaysOpenMeanwhile) {
    for (const int delay : {1000, 0}) {
        ProgressWatchingMsgBox observer;
        frm_Main shown({&observer, [this] { return folder + "/data"; }, folder,
                        std::chrono::milliseconds(delay)});
        observer.window = &shown;
        shown.show();
        click(shown.Command4);
        click(shown.Command1);  // the question, then the server does not answer
        // A box puts the progress line away, whatever the delay.
        EXPECT_EQ(observer.seen, (std::vector<QString>{"<hidden>", "<hidden>"})) << delay;
        EXPECT_TRUE(shown.isVisible()) << "closed while a run worked";
        EXPECT_FALSE(shown.ProgressLabel->isVisible());
        shown.close();
        EXPECT_FALSE(shown.isVisible()) << "not closed after the run";
    }
}

// What a run's box sees of the progress line, and what it shows between boxes.
TEST(ProgressDisplay, ShowsTheStepAfterTheDelayAndPutsItAwayWhileABoxIsOpen) {
    test::QtApp();
    QLabel label;
    label.resize(345, 22);
    class LabelAtBox : public MsgBox {
      public:
        explicit LabelAtBox(QLabel& label) : label_(label) {}
        int show(const BoxLook&, const std::string&) override {
            visibleAtBox = label_.isVisible();
            return kAnswerOk;
        }
        bool visibleAtBox = true;

      private:
        QLabel& label_;
    } inner(label);
    const RunStep step{RunStep::Kind::CreatingTable, 2, 5, "Person"};
    {
        ProgressDisplay progress(label, std::chrono::milliseconds(0));
        ProgressDisplay::Boxes boxes(inner, progress);
        progress.report(step);
        EXPECT_TRUE(label.isVisible());
        EXPECT_EQ(label.text(), QStringLiteral("正在创建第 2 个表（共 5 个）：Person"));
        boxes.show(kDoneBox, "数据库创建完成");
        EXPECT_FALSE(inner.visibleAtBox);
    }
    EXPECT_FALSE(label.isVisible());
    {
        ProgressDisplay progress(label, std::chrono::hours(1));
        progress.report(step);
        EXPECT_FALSE(label.isVisible()) << "shown before the delay";
    }
}

// While the server is waited for no step comes: the wait shows the last one once it is due.
TEST(ProgressDisplay, WaitShowsTheLastStepOnceTheDelayHasPassed) {
    test::QtApp();
    QLabel label;
    label.resize(345, 22);
    ProgressDisplay progress(label, std::chrono::milliseconds(200));
    progress.waiting();  // before any step: nothing to show
    EXPECT_FALSE(label.isVisible());
    progress.report({RunStep::Kind::Connecting, 0, 0, {}, "127.0.0.1:1433"});
    EXPECT_FALSE(label.isVisible());
    QElapsedTimer clock;
    clock.start();
    while (!label.isVisible() && clock.elapsed() < 10'000) {
        QTest::qWait(20);
        progress.waiting();
    }
    EXPECT_TRUE(label.isVisible());
    EXPECT_EQ(label.text(), QStringLiteral("正在连接 127.0.0.1:1433……"));
}

Qt::CursorShape gCursorDuringRun = Qt::ArrowCursor;

void NoteCursorThenFail(const RunInput& input) {
    gCursorDuringRun = QApplication::overrideCursor()->shape();
    input.msgBox.get().show({BoxKind::Done, "t", 0}, "before");
    throw std::runtime_error("server gone");
}

void ThrowSomethingElse(const RunInput&) {
    throw 42;
}

TEST(RunFromWindow, WaitCursorWhileTheRunWorksAndEveryFailureIsShown) {
    test::QtApp();
    test::ScriptedMsgBox boxes;
    CursorWatchingMsgBox watcher(boxes);
    RunFromWindow(NoteCursorThenFail, {{}, "", "", watcher});
    RunFromWindow(ThrowSomethingElse, {{}, "", "", watcher});
    EXPECT_EQ(gCursorDuringRun, Qt::WaitCursor);
    EXPECT_EQ(boxes.transcript(),
              "0|t|before -> 1\n64|错误提示|系统错误：server gone -> 1\n"
              "64|错误提示|系统错误：未知错误 -> 1\n");
    EXPECT_EQ(watcher.cursors, std::vector<Qt::CursorShape>(3, Qt::ArrowCursor));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

std::optional<RunInput> gSeenInput;

void KeepInput(const RunInput& input) {
    gSeenInput = input;
    ShowBox(input, kDoneBox, "done");
}

// The window's dispatch changes only the boxes (to put the arrow over them): what a caller set
// besides reaches the run as it was.
TEST(RunFromWindow, PassesEveryOtherPartOfTheInputOn) {
    test::QtApp();
    test::ScriptedMsgBox boxes;
    struct Quiet : RunWatch {
    } watch;
    struct Steps : RunProgress {
        void report(const RunStep&) override {}
    } steps;
    RunInput input{{"SQL Server", "(local)", "sa", "pw", "Sales", "/data"},
                   "/app/Setup.ini",
                   "/app",
                   boxes,
                   &steps};
    input.saveSettings = false;
    input.structureFile = "/files/T.DS";
    input.watch = &watch;
    input.plan = true;
    RunFromWindow(KeepInput, input);
    ASSERT_TRUE(gSeenInput);
    EXPECT_EQ(gSeenInput->fields.databaseName, "Sales");
    EXPECT_EQ(gSeenInput->fields.saveFolder, "/data");
    EXPECT_EQ(gSeenInput->setupPath, "/app/Setup.ini");
    EXPECT_EQ(gSeenInput->appFolder, "/app");
    EXPECT_EQ(gSeenInput->progress, &steps);
    EXPECT_FALSE(gSeenInput->saveSettings);
    EXPECT_EQ(gSeenInput->structureFile, "/files/T.DS");
    EXPECT_EQ(gSeenInput->watch, &watch);
    EXPECT_TRUE(gSeenInput->plan);
    EXPECT_NE(&gSeenInput->msgBox.get(), &boxes) << "the boxes are not under the arrow";
    EXPECT_EQ(boxes.transcript(), "64|系统提示|done -> 1\n");
}

}  // namespace
}  // namespace dsadmin
