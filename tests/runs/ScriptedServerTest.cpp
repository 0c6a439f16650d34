// The runs against a scripted server (support/ScriptedServer.h) for what a real server does not
// do on demand: a refusal deep into a long run, a connection lost between two statements. The
// structure files are real, written by dsfile and read through the Jet provider; only the
// server is scripted. The same runs against the sandbox: RunsOnServerTest.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "db/DbError.h"
#include "runs/CreateDatabaseRun.h"
#include "runs/DeleteDatabaseRun.h"
#include "runs/ModifyDatabaseRun.h"
#include "runs/RunAccount.h"
#include "support/ScriptedMsgBox.h"
#include "support/ScriptedServer.h"

namespace {

using namespace dsadmin;
using runs_test::TempFolder;
using test::ScriptedMsgBox;
using test::ScriptedServer;

const char* const kLostText = "与数据库服务器的连接已断开（服务器可能已停止或网络中断）。";

DbError LostLink() {
    return DbError(kLostText, "08S01");
}

// Hears what the run reports: each statement with its answer, and the failure.
struct Heard : RunWatch {
    void sent(const std::string& statement, const std::exception* failure) override {
        statements.push_back(statement + (failure ? " -> " + std::string(failure->what()) : ""));
    }
    void failed(const std::exception& failure) override { failures.push_back(failure.what()); }
    std::vector<std::string> statements, failures;
};

class RunsOnScriptedServer : public testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directory(app / "data");
        std::FILE* ini = std::fopen((app / "Setup.ini").c_str(), "w");
        ASSERT_NE(ini, nullptr);
        std::fputs("[DataBase]\nDSName=T\n", ini);
        std::fclose(ini);
    }

    // app/T.DS with one Int column x in each of `tables` tables T0001, T0002, ...
    void writeTables(int tables) {
        const std::string command =
            std::string(DSADMIN_BIN_DIR) + "/dsfile write '" + (app / "T.DS") + "' --force";
        std::FILE* pipe = popen(command.c_str(), "w");
        ASSERT_NE(pipe, nullptr);
        std::fputs("ftable\tfname\tflb\tflong\tfauto\tfindex\n", pipe);
        for (int i = 1; i <= tables; ++i) std::fprintf(pipe, "T%04d\tx\tInt\t0\t0\t0\n", i);
        ASSERT_EQ(pclose(pipe), 0) << "dsfile refused the rows";
    }

    RunInput input(ScriptedMsgBox& boxes) {
        RunInput in{texts, app / "Setup.ini", app.path(), boxes};
        in.watch = &heard;
        in.progress = &account;
        return in;
    }

    // Runs `run` and returns the account of its failure, as the window would show it: the
    // failure box's text, or what the run let pass.
    RunAccount::Text failedRun(void (*run)(const RunInput&)) {
        ScriptedMsgBox boxes;
        std::string failure;
        try {
            run(input(boxes));
        } catch (const std::exception& e) {
            failure = kSystemErrorPrefix + std::string(e.what());
        }
        if (failure.empty() && !boxes.boxes().empty()) failure = boxes.boxes().back().text;
        return account.afterFailure(failure);
    }

    TempFolder app;
    RunFields texts{"SQL Server", "(local)", "sa", "pw", "Sales", app / "data"};
    ScriptedServer server;
    Heard heard;
    RunAccount account;
};

TEST_F(RunsOnScriptedServer, CreateStopsWhereTheServerRefusesThe500thTable) {
    writeTables(600);
    const std::string full =
        "Could not allocate space for object 'dbo.T0500' in database 'Sales' because the "
        "'PRIMARY' filegroup is full.";
    server.accept(2 + 499);  // CREATE DATABASE, the switch, 499 tables
    server.refuse(ScriptedServer::ServerError(1105, full, 2));
    ScriptedMsgBox boxes;
    CreateDatabaseRun(input(boxes));
    EXPECT_EQ(boxes.transcript(),
              "1|系统提示|是否真的要创建新的数据库？ -> 1\n"
              "64|错误提示|系统错误：" +
                  full + " -> 1\n");
    const std::vector<std::string> sent = server.sent();
    ASSERT_EQ(sent.size(), 1u + 1 + 1 + 500 + 1) << "open, database, switch, tables, close";
    EXPECT_EQ(sent[1].rfind("CREATE DATABASE Sales on (name=Sales_dat,", 0), 0u) << sent[1];
    EXPECT_EQ(sent[2], "USE Sales");
    EXPECT_EQ(sent[3], "CREATE TABLE T0001 (x Int)");
    EXPECT_EQ(sent[502], "CREATE TABLE T0500 (x Int)");
    EXPECT_EQ(sent.back(), "close") << "the connection is released after the refusal";
    ASSERT_EQ(heard.statements.size(), 501u);
    EXPECT_EQ(heard.statements.back(), "CREATE TABLE T0500 (x Int) -> " + full);
    EXPECT_EQ(heard.failures, std::vector<std::string>{full});
}

// The link goes after a statement the server accepted and before the next: each run reports
// the lost link, not what failed after it (the close on release), and sends nothing more.
TEST_F(RunsOnScriptedServer, ConnectionLostBetweenTwoStatementsEndsEachRunThere) {
    writeTables(2);
    {
        ScriptedMsgBox boxes;
        server.accept(1);  // CREATE DATABASE; the link is gone before the switch
        server.loseConnectionAfterQueue(LostLink());
        CreateDatabaseRun(input(boxes));
        EXPECT_EQ(boxes.transcript(),
                  "1|系统提示|是否真的要创建新的数据库？ -> 1\n"
                  "64|错误提示|系统错误：" +
                      std::string(kLostText) + " -> 1\n");
        const std::vector<std::string> sent = server.sent();
        ASSERT_EQ(sent.size(), 4u);
        EXPECT_EQ(sent[2], "USE Sales");
        EXPECT_EQ(sent[3], "close");
    }
    {
        ScriptedServer modifyServer;        // a fresh script in place of the first
        modifyServer.accept(1);             // the switch
        modifyServer.rows({{"name"}, {}});  // T0001 is missing; the link goes after the query
        modifyServer.loseConnectionAfterQueue(LostLink());
        ScriptedMsgBox boxes;
        try {
            ModifyDatabaseRun(input(boxes));
            ADD_FAILURE() << "no failure";
        } catch (const DbError& e) {
            EXPECT_EQ(std::string(e.what()), kLostText);
            EXPECT_EQ(e.sqlState(), "08S01");
        }
        EXPECT_EQ(boxes.transcript(),
                  "1|系统提示|是否真的要修改数据库？ -> 1\n"
                  "0||CREATE TABLE T0001 (x Int) -> 1\n");
        EXPECT_EQ(modifyServer.sent(),
                  (std::vector<std::string>{"open", "USE Sales",
                                            "select * from sys.tables where name = N'T0001'",
                                            "CREATE TABLE T0001 (x Int)", "close"}));
    }
    {
        ScriptedServer deleteServer;
        deleteServer.loseConnectionAfterQueue(LostLink());
        ScriptedMsgBox boxes;
        DeleteDatabaseRun(input(boxes));
        EXPECT_EQ(boxes.transcript(),
                  "1|系统提示|是否真的要删除数据库？ -> 1\n"
                  "64|系统提示|删除数据库错误：" +
                      std::string(kLostText) + " -> 1\n");
        EXPECT_EQ(deleteServer.sent(),
                  (std::vector<std::string>{"open", "Drop Database Sales", "close"}));
    }
}

// A plan reaches the scripted server like any other: only the switch and the reads arrive.
TEST_F(RunsOnScriptedServer, PlanSendsOnlyReads) {
    writeTables(3);
    server.accept(1);                             // the switch
    server.rows({{"name"}, {}});                  // T0001 missing
    server.rows({{"name"}, {{Value("T0002")}}});  // T0002 present
    server.rows({{"name"}, {}});                  // T0003 missing
    ScriptedMsgBox boxes;
    RunInput plan = input(boxes);
    plan.plan = true;
    ModifyDatabaseRun(plan);
    EXPECT_EQ(boxes.boxes().back().text, "数据库修改完成");
    EXPECT_EQ(server.sent(),
              (std::vector<std::string>{
                  "open", "USE Sales", "select * from sys.tables where name = N'T0001'",
                  "select * from sys.tables where name = N'T0002'",
                  "select * from sys.tables where name = N'T0003'", "close"}));
}

// How far a run got, after the link went at a table: the tables before it are counted as made
// (or found), the one it stopped at is named, and the modify button is what completes the job.
TEST_F(RunsOnScriptedServer, AccountOfARunCutOffAtATable) {
    writeTables(5);
    server.accept(2 + 2);  // CREATE DATABASE, the switch, T0001, T0002; T0003 meets no server
    server.loseConnectionAfterQueue(LostLink());
    RunAccount::Text made = failedRun(CreateDatabaseRun);
    EXPECT_EQ(made.line, "按“修改现有库结构”补全：已建 2/5 个表，停在 T0003");
    EXPECT_EQ(made.full,
              "创建没有完成：数据库已创建，5 个表中建好了前 2 个，停在第 3 个表“T0003”。"
              "按“修改现有库结构”可补建其余的表。");

    ScriptedServer modifyServer;
    account = RunAccount();
    modifyServer.accept(1);                             // the switch
    modifyServer.rows({{"name"}, {{Value("T0001")}}});  // present
    modifyServer.rows({{"name"}, {}});                  // T0002 missing: created
    modifyServer.accept(1);
    modifyServer.rows({{"name"}, {{Value("T0003")}}});  // present
    modifyServer.rows({{"name"}, {}});                  // T0004 missing; its statement is cut off
    modifyServer.loseConnectionAfterQueue(LostLink());
    made = failedRun(ModifyDatabaseRun);
    EXPECT_EQ(made.line, "再按“修改现有库结构”补全：已有 3/5 个表（新建 1 个），停在 T0004");
    EXPECT_EQ(made.full,
              "修改没有完成：5 个表中前 3 个已在库中（这次新建了 1 个），停在第 4 个表“T0004”。"
              "再按“修改现有库结构”可补建其余的表。");
}

// Where the create run stops at CREATE DATABASE, the account says whether the database can
// be there, and for the server's file errors what the operator can do about them.
TEST_F(RunsOnScriptedServer, AccountOfACreateRunStoppedAtItsDatabase) {
    writeTables(2);
    const std::string path = "'" + app / "data" + "/Sales_dat.mdf'";
    const std::string denied =
        "CREATE FILE encountered operating system error 5(Access is denied.) while attempting "
        "to open or create the physical file " +
        path + ".";
    const std::string missing =
        "CREATE FILE encountered operating system error 3(The system cannot find the path "
        "specified.) while attempting to open or create the physical file " +
        path + ".";
    const struct {
        std::optional<DbError> refusal;  // none: the link goes instead
        std::string line, hint;
    } cases[] = {
        {ScriptedServer::ServerError(5123, denied), "数据库没有创建：服务器账户不能写入该文件夹",
         "提示：操作系统错误 5 表示数据库服务器自己的账户（在 Linux 上是服务器的服务用户，例如 "
         "mssql，而不是操作员）无法写入所选的文件夹：请让该账户可以写入这个文件夹，或另选一个"
         "它能写入的文件夹。"},
        {ScriptedServer::ServerError(5123, missing), "数据库没有创建：该文件夹在服务器上不存在",
         "提示：操作系统错误 3 表示所选的文件夹在数据库服务器所在的机器上不存在（服务器运行在容器"
         "中时，是指容器内部）：请选择服务器上存在的文件夹。"},
        {ScriptedServer::ServerError(1801, "Database 'Sales' already exists."),
         "数据库没有创建，服务器上没有任何改动", ""},
        {std::nullopt, "若数据库已创建，按“修改现有库结构”补全", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        ScriptedServer script;
        account = RunAccount();
        if (c.refusal)
            script.refuse(*c.refusal);
        else
            script.loseConnectionAfterQueue(LostLink());
        const RunAccount::Text made = failedRun(CreateDatabaseRun);
        EXPECT_EQ(made.line, c.line);
        if (c.refusal)
            EXPECT_EQ(made.full, "创建没有完成：数据库没有创建，服务器上没有任何改动。" +
                                     (c.hint.empty() ? "" : "\n" + c.hint));
        else
            EXPECT_EQ(made.full,
                      "创建没有完成：连接在创建数据库时中断，不能确定数据库是否已创建。若已创建，"
                      "按“修改现有库结构”可补建所有的表；若没有，再按“创建新数据库”。");
    }
}

// Nothing to account for when the run stopped before it read the structure file: the box
// says all there is. A structure file that cannot be read stops the run before any change.
TEST_F(RunsOnScriptedServer, AccountOfRunsThatChangedNothing) {
    server.refuseOpen(DbError("无法连接到 127.0.0.1:1433 上的数据库服务器：…", "08001"));
    EXPECT_EQ(failedRun(ModifyDatabaseRun).full, "");
    EXPECT_EQ(failedRun(CreateDatabaseRun).full, "");
    EXPECT_EQ(failedRun(DeleteDatabaseRun).full, "");

    ScriptedServer script;  // answers the switch; the structure file T.DS is missing
    script.accept(1);
    account = RunAccount();
    const RunAccount::Text made = failedRun(ModifyDatabaseRun);
    EXPECT_EQ(made.line, "服务器上没有任何改动");
    EXPECT_EQ(made.full, "运行没有完成：服务器上没有任何改动。");
}

// A step told twice in a row (a caller that repeats itself) counts once.
TEST(RunAccount, AStepToldAgainCountsOnce) {
    RunAccount account;
    using Kind = RunStep::Kind;
    for (const RunStep& step :
         {RunStep{Kind::Connecting}, RunStep{Kind::ReadingStructure},
          RunStep{Kind::CheckingTable, 1, 3, "A"}, RunStep{Kind::CreatingTable, 1, 3, "A"},
          RunStep{Kind::CreatingTable, 1, 3, "A"}, RunStep{Kind::CheckingTable, 2, 3, "B"},
          RunStep{Kind::CreatingTable, 2, 3, "B"}, RunStep{Kind::CreatingTable, 2, 3, "B"}})
        account.report(step);
    EXPECT_EQ(account.afterFailure("").line,
              "再按“修改现有库结构”补全：已有 1/3 个表（新建 1 个），停在 B");
}

}  // namespace
