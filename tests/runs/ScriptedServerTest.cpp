// The runs against a scripted server (support/ScriptedServer.h) for what a real server does not
// do on demand: a refusal deep into a long run, a connection lost between two statements. The
// structure files are real, written by dsfile and read through the Jet provider; only the
// server is scripted. The same runs against the sandbox: RunsOnServerTest.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "db/DbError.h"
#include "runs/CreateDatabaseRun.h"
#include "runs/DeleteDatabaseRun.h"
#include "runs/ModifyDatabaseRun.h"
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
        return in;
    }

    TempFolder app;
    RunFields texts{"SQL Server", "(local)", "sa", "pw", "Sales", app / "data"};
    ScriptedServer server;
    Heard heard;
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

}  // namespace
