// How far a broken run got, through the real stack: dsadmin-sandbox killed (SIGKILL) under a
// create run after some of its tables, in the window (the real frm_Main, offscreen) and in
// dsadmin-cli; then a modify run completes the database and the check finds it clean. And
// the server's file errors (operating system errors 5 and 3) with the line on what to do,
// from a sandbox that runs as a service user of its own.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "KillingProxy.h"
#include "app/QtApp.h"
#include "app/frm_Main.h"
#include "runs/check/StructureCheck.h"
#include "settings/PrivateProfile.h"
#include "settings/TestFolder.h"
#include "support/SandboxProcess.h"
#include "support/ScriptedMsgBox.h"

namespace faults {
namespace {

using namespace dsadmin;
using dsadmin::test::ScriptedMsgBox;
using dsadmin::test::TestFolder;
using testsupport::SandboxProcess;

const int kTables = 8;
const char* const kStopAt = "CREATE TABLE T5 ";  // the table at which the server dies

const char* const kCreateAccount =
    "创建没有完成：数据库已创建，8 个表中建好了前 4 个，停在第 5 个表“T5”。"
    "按“修改现有库结构”可补建其余的表。";

struct Result {
    int code = -1;
    std::string err;
};

class RunAccountOnSandbox : public testing::Test {
  protected:
    void SetUp() override {
        std::string rows = "ftable\tfname\tflb\tflong\tfauto\tfindex\n";
        for (int i = 1; i <= kTables; ++i) rows += "T" + std::to_string(i) + "\tID\tInt\t0\t1\t1\n";
        TestFolder::write(app.file("rows.tsv"), rows);
        const std::string cmd = std::string(DSADMIN_BIN_DIR) + "/dsfile write '" +
                                app.file("K.DS") + "' < '" + app.file("rows.tsv") + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        WriteIniString(app.file("Setup.ini"), "DataBase", "DSName", "K");
        test::QtApp();
    }

    // The number of the request, counted as KillingProxy counts, that sends kStopAt in a run
    // of `run` (which is given the port to reach the server at).
    int requestOfStopTable(const std::function<void(std::uint16_t)>& run) {
        KillingProxy count(sandbox->port(), 100000, [] {});
        run(count.port());
        const std::vector<std::string> passed = count.passed();
        for (std::size_t i = 0; i < passed.size(); ++i)
            if (passed[i].rfind(kStopAt, 0) == 0) return static_cast<int>(i) + 1;
        ADD_FAILURE() << "no " << kStopAt << " among " << passed.size() << " requests";
        return 100000;
    }

    // dsadmin-cli with `args`, the test's folder as application folder, the server at `port`.
    Result cli(const std::string& args, std::uint16_t port) {
        const std::string err = app.file("cli.err");
        const std::string cmd = std::string(DSADMIN_BIN_DIR) + "/dsadmin-cli " + args +
                                " --yes --login sa --app-folder '" + app.path().string() +
                                "' --server 127.0.0.1," + std::to_string(port) +
                                " < /dev/null > /dev/null 2> '" + err + "'";
        Result r;
        r.code = WEXITSTATUS(std::system(cmd.c_str()));
        r.err = TestFolder::read(err);
        return r;
    }

    // The structure check of `db` on the sandbox: every described table there as described.
    bool checkIsClean(const std::string& db) {
        ScriptedMsgBox boxes;
        RunFields fields{
            "SQL Server", "127.0.0.1," + std::to_string(sandbox->port()), "sa", "", db, ""};
        return StructureCheck::Run({fields, app.file("Setup.ini"), app.path().string(), boxes})
            .clean();
    }

    TestFolder app;
    std::unique_ptr<SandboxProcess> sandbox = std::make_unique<SandboxProcess>();
};

TEST_F(RunAccountOnSandbox, WindowShowsHowFarTheKilledCreateGotAndModifyCompletesIt) {
    const std::string db = "WinKill" + std::to_string(getpid());
    ScriptedMsgBox boxes;
    frm_Main window(
        frm_Main::Environment{&boxes, [&] { return app.path().string(); }, app.path().string()});
    window.show();
    window.Text2->setText("sa");
    window.Text3->clear();
    QTest::mouseClick(window.Command4, Qt::LeftButton);
    const auto create = [&](const std::string& name, std::uint16_t port) {
        setenv("TDSPORT", std::to_string(port).c_str(), 1);
        window.Text4->setText(QString::fromStdString(name));
        QTest::mouseClick(window.Command1, Qt::LeftButton);
    };
    const int k = requestOfStopTable([&](std::uint16_t port) { create(db + "C", port); });
    ASSERT_EQ(boxes.boxes().back().text, "数据库创建完成") << boxes.transcript();
    EXPECT_TRUE(window.ProgressLabel->isHidden()) << "a run that went through leaves no line";

    {
        KillingProxy proxy(sandbox->port(), k, [&] { kill(sandbox->pid(), SIGKILL); });
        create(db, proxy.port());
        EXPECT_TRUE(proxy.killed());
    }
    EXPECT_EQ(boxes.boxes().back().text.rfind("系统错误：与数据库服务器的连接已断开", 0), 0u)
        << boxes.transcript();
    // The line stays after the run, with the events processed; whole, not cut off at its end.
    QTest::qWait(50);
    EXPECT_FALSE(window.ProgressLabel->isHidden());
    EXPECT_EQ(window.ProgressLabel->text().toStdString(),
              "按“修改现有库结构”补全：已建 4/8 个表，停在 T5");
    EXPECT_EQ(window.ProgressLabel->toolTip().toStdString(), kCreateAccount);

    sandbox->restart();
    setenv("TDSPORT", std::to_string(sandbox->port()).c_str(), 1);
    const std::size_t before = boxes.boxes().size();
    QTest::mouseClick(window.Command2, Qt::LeftButton);
    EXPECT_EQ(boxes.boxes().back().text, "数据库修改完成") << boxes.transcript();
    EXPECT_EQ(boxes.boxes().size() - before, 1u + 4 + 1) << "question, T5..T8 previewed, done";
    EXPECT_TRUE(window.ProgressLabel->isHidden()) << "the next run puts the account away";
    EXPECT_TRUE(window.ProgressLabel->toolTip().isEmpty());
    EXPECT_TRUE(checkIsClean(db));
}

TEST_F(RunAccountOnSandbox, CliTellsHowFarTheKilledCreateGotAndModifyCompletesIt) {
    const std::string db = "CliKill" + std::to_string(getpid());
    const std::string create = "create --save-folder '" + app.path().string() + "' --database ";
    const int k = requestOfStopTable(
        [&](std::uint16_t port) { EXPECT_EQ(cli(create + db + "C", port).code, 0); });
    Result r;
    {
        KillingProxy proxy(sandbox->port(), k, [&] { kill(sandbox->pid(), SIGKILL); });
        r = cli(create + db, proxy.port());
        EXPECT_TRUE(proxy.killed());
    }
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_NE(r.err.find("系统错误：与数据库服务器的连接已断开"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(std::string(kCreateAccount) + "\n"), std::string::npos) << r.err;

    sandbox->restart();
    r = cli("modify --database " + db, sandbox->port());
    EXPECT_EQ(r.code, 0) << r.err;
    r = cli("check --database " + db, sandbox->port());
    EXPECT_EQ(r.code, 0) << r.err;
}

// The sandbox as its own service user (nobody), as SQL Server runs as mssql: a folder of
// root's that it may not write gives error 5, a file where the folder should be error 3.
TEST_F(RunAccountOnSandbox, ServerFileErrorsGetALineOnWhatToDo) {
    if (!SandboxProcess::canRunAsAnotherUser())
        GTEST_SKIP() << "the server can run as another user only when the test runs as root";
    SandboxProcess::Options service;
    service.runAs = 65534;
    sandbox = std::make_unique<SandboxProcess>(service);
    const std::string closed = app.file("closed"), file = app.file("rows.tsv");
    ASSERT_EQ(mkdir(closed.c_str(), 0755), 0);
    chmod(app.path().c_str(), 0755);  // the server may look, not write

    std::string picked;
    ScriptedMsgBox boxes;
    frm_Main window(frm_Main::Environment{&boxes, [&] { return picked; }, app.path().string()});
    window.Text2->setText("sa");
    window.Text3->clear();
    window.Text4->setText(QStringLiteral("Closed"));
    setenv("TDSPORT", std::to_string(sandbox->port()).c_str(), 1);
    const struct {
        const std::string& folder;
        const char* error;
        const char* line;
        const char* hint;
    } cases[] = {
        {closed, "operating system error 5(Access is denied.)",
         "数据库没有创建：服务器账户不能写入该文件夹", "提示：操作系统错误 5 表示"},
        {file, "operating system error 3(The system cannot find the path specified.)",
         "数据库没有创建：该文件夹在服务器上不存在", "提示：操作系统错误 3 表示"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        picked = c.folder;
        QTest::mouseClick(window.Command4, Qt::LeftButton);
        QTest::mouseClick(window.Command1, Qt::LeftButton);
        EXPECT_NE(boxes.boxes().back().text.find(c.error), std::string::npos) << boxes.transcript();
        EXPECT_EQ(window.ProgressLabel->text().toStdString(), c.line);
        const std::string tip = window.ProgressLabel->toolTip().toStdString();
        EXPECT_EQ(tip.rfind("创建没有完成：数据库没有创建，服务器上没有任何改动。\n", 0), 0u)
            << tip;
        EXPECT_NE(tip.find(c.hint), std::string::npos) << tip;

        const Result r =
            cli("create --database Closed --save-folder '" + c.folder + "'", sandbox->port());
        EXPECT_EQ(r.code, 1) << r.err;
        EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(std::string("\n") + c.hint), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace faults
