// The three runs end to end against dsadmin-sandbox: every box in order, the statements the
// server refused, the settings file, and the databases, tables and files on the server.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ServerFixture.h"
#include "db/ConnectionStrings.h"
#include "db/DbError.h"
#include "db/ReadOnlySession.h"
#include "runs/CreateDatabaseRun.h"
#include "runs/DatabaseName.h"
#include "runs/DeleteDatabaseRun.h"
#include "runs/ModifyDatabaseRun.h"
#include "runs/RunProgress.h"

namespace runs_test {
namespace {

using namespace dsadmin;
using test::ScriptedMsgBox;
namespace fs = std::filesystem;

// Three tables, rows of two of them interleaved; Person is the worked example.
const char* const kThreeTables =
    "Person\tID\tInt\t0\t1\t1\n"
    "Person\tName\tVarChar\t20\t0\t0\n"
    "Stock\tQty\tInt\t\\N\t0\t0\n"
    "Person\tCode\tChar(4)\t4\t0\t0\n"
    "Person\tBirth\tDateTime\t\\N\t0\t0\n"
    "Ware\t名称\tNVarChar(40)\t40\t0\t0\n";

using RunsOnServer = ServerFixture;

TEST_F(RunsOnServer, CreateMakesTheDatabaseFileAndEveryTable) {
    SANDBOX_ONLY();
    writeStructure(kThreeTables);
    ScriptedMsgBox boxes;
    texts.login = " sa ";
    CreateDatabaseRun(input(boxes));
    ExpectGolden("create_three_tables", transcript(boxes));
    EXPECT_EQ(refusals(), "");
    EXPECT_EQ(tables(db), (std::vector<std::string>{"dbo.Person", "dbo.Stock", "dbo.Ware"}));
    EXPECT_TRUE(fs::is_regular_file(app / ("data/" + db + "_dat.mdf")));
    EXPECT_EQ(setting("UserName"), "sa");
    EXPECT_EQ(setting("DBName"), db);
    EXPECT_EQ(setting("DSName"), "T");  // never written by a run
}

TEST_F(RunsOnServer, EmptyStructureTableGivesADatabaseWithoutTables) {
    writeStructure("");
    ScriptedMsgBox create, modify;
    CreateDatabaseRun(input(create));
    ModifyDatabaseRun(input(modify));
    EXPECT_EQ(create.transcript(),
              "1|系统提示|是否真的要创建新的数据库？ -> 1\n64|系统提示|数据库创建完成 -> 1\n");
    EXPECT_EQ(modify.transcript(),
              "1|系统提示|是否真的要修改数据库？ -> 1\n64|系统提示|数据库修改完成 -> 1\n");
    EXPECT_EQ(tables(db), std::vector<std::string>{});
}

struct FolderCase {
    const char* name;
    std::vector<std::string> folders;  // made in the application folder first
    std::string saveFolder;            // relative to the application folder
    std::string dataFolder;            // where the data file must appear
};

class CreateSaveFolder : public ServerFixture, public testing::WithParamInterface<FolderCase> {};

TEST_P(CreateSaveFolder, DataFileGoesToTheTrimmedFolder) {
    SANDBOX_ONLY();
    writeStructure("Stock\tQty\tInt\t0\t0\t0\n");
    for (const auto& f : GetParam().folders) fs::create_directories(app / f);
    texts.saveFolder = app.path() + "/" + GetParam().saveFolder;
    ScriptedMsgBox boxes;
    CreateDatabaseRun(input(boxes));
    ASSERT_EQ(boxes.boxes().size(), 2u) << boxes.transcript();
    EXPECT_EQ(boxes.boxes()[1].text, "数据库创建完成");
    EXPECT_TRUE(fs::exists(app / (GetParam().dataFolder + "/" + db + "_dat.mdf")));
}

INSTANTIATE_TEST_SUITE_P(
    Folders, CreateSaveFolder,
    testing::Values(FolderCase{"Plain", {}, "data", "data"},
                    FolderCase{"TrailingSeparator", {}, "data/", "data"},
                    FolderCase{
                        "OuterBlanksBelongToTheExistenceTestOnly", {"data "}, "data ", "data"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RunsOnServer, SavePathNamingAFilePassesTheTestsAndTheServerRefuses) {
    SANDBOX_ONLY();
    writeStructure("Stock\tQty\tInt\t0\t0\t0\n");
    std::ofstream(app / "file.txt") << "x";
    texts.saveFolder = app / "file.txt";
    ScriptedMsgBox boxes;
    CreateDatabaseRun(input(boxes));
    ExpectGolden("create_path_is_a_file", transcript(boxes));
    EXPECT_FALSE(databaseExists(db));
}

TEST_F(RunsOnServer, CreateOfAnExistingDatabaseSendsNoTable) {
    SANDBOX_ONLY();
    writeStructure(kThreeTables);
    admin().Execute("CREATE DATABASE " + db);
    ScriptedMsgBox boxes;
    CreateDatabaseRun(input(boxes));
    ExpectGolden("create_existing_database", transcript(boxes));
    EXPECT_EQ(tables(db), std::vector<std::string>{});
}

TEST_F(RunsOnServer, FailingSecondTableKeepsTheFirstAndStops) {
    SANDBOX_ONLY();
    writeStructure("A1\tx\tInt\t0\t0\t0\nB2\ty\tNoSuchType\t0\t0\t0\nC3\tz\tInt\t0\t0\t0\n");
    ScriptedMsgBox boxes;
    CreateDatabaseRun(input(boxes));
    ExpectGolden("create_second_table_fails", transcript(boxes));
    EXPECT_EQ(tables(db), std::vector<std::string>{"dbo.A1"});
    EXPECT_EQ(refusals().find("C3"), std::string::npos);

    // Mended, a modify run creates exactly what is still missing, in list order.
    writeStructure("A1\tx\tInt\t0\t0\t0\nB2\ty\tInt\t0\t0\t0\nC3\tz\tInt\t0\t0\t0\n");
    ScriptedMsgBox again;
    ModifyDatabaseRun(input(again));
    ExpectGolden("modify_two_missing", transcript(again));
    EXPECT_EQ(tables(db), (std::vector<std::string>{"dbo.A1", "dbo.B2", "dbo.C3"}));
}

TEST_F(RunsOnServer, ModifyLeavesPresentTablesAloneInAnySchema) {
    SANDBOX_ONLY();
    writeStructure(kThreeTables);
    admin().Execute("CREATE DATABASE " + db);
    {
        Connection c = admin(db);
        c.Execute("CREATE TABLE Person (Other Int)");
        c.Execute("CREATE SCHEMA other");
        c.Execute("CREATE TABLE other.Ware (x Int)");
    }
    ScriptedMsgBox boxes;
    ModifyDatabaseRun(input(boxes));
    ExpectGolden("modify_one_missing", transcript(boxes));
    EXPECT_EQ(tables(db), (std::vector<std::string>{"dbo.Person", "dbo.Stock", "other.Ware"}));

    ScriptedMsgBox second;  // every table present: no preview, still the completion box
    ModifyDatabaseRun(input(second));
    EXPECT_EQ(second.transcript(),
              "1|系统提示|是否真的要修改数据库？ -> 1\n64|系统提示|数据库修改完成 -> 1\n");
}

// Collects the operator's text of every step a run reports.
struct StepLog : RunProgress {
    void report(const RunStep& step) override { steps.push_back(ProgressText(step)); }
    std::vector<std::string> steps;
};

TEST_F(RunsOnServer, ProgressReportsEveryStepAndChangesNoBoxOrStatement) {
    // The connecting step names where "(local)" leads: the sandbox's port, through TDSPORT.
    const std::string connecting =
        "正在连接 " +
        (sandbox ? "127.0.0.1:" + std::to_string(sandbox->port()) : ServerAddressOf(serverName)) +
        "……";
    writeStructure(kThreeTables);
    ScriptedMsgBox boxes;
    StepLog log;
    RunInput with = input(boxes);
    with.progress = &log;
    CreateDatabaseRun(with);
    ExpectGolden("create_three_tables", transcript(boxes));
    EXPECT_EQ(log.steps,
              (std::vector<std::string>{connecting, "正在读取结构文件……", "正在创建数据库……",
                                        "正在创建第 1 个表（共 3 个）：Person",
                                        "正在创建第 2 个表（共 3 个）：Stock",
                                        "正在创建第 3 个表（共 3 个）：Ware"}));

    admin(db).Execute("DROP TABLE Stock");
    ScriptedMsgBox modify;
    StepLog modifyLog;
    RunInput modifyWith = input(modify);
    modifyWith.progress = &modifyLog;
    ModifyDatabaseRun(modifyWith);
    EXPECT_EQ(modify.transcript(),
              "1|系统提示|是否真的要修改数据库？ -> 1\n"
              "0||CREATE TABLE Stock (Qty Int) -> 1\n"
              "64|系统提示|数据库修改完成 -> 1\n");
    EXPECT_EQ(modifyLog.steps,
              (std::vector<std::string>{
                  connecting, "正在读取结构文件……", "正在检查第 1 个表（共 3 个）：Person",
                  "正在检查第 2 个表（共 3 个）：Stock", "正在创建第 2 个表（共 3 个）：Stock",
                  "正在检查第 3 个表（共 3 个）：Ware"}));
}

// The structure file is read before CREATE DATABASE: a missing one used to leave an empty
// database behind, and the next create then failed with "already exists".
TEST_F(RunsOnServer, MissingStructureFileLeavesNoDatabase) {
    ScriptedMsgBox boxes;
    CreateDatabaseRun(input(boxes));
    ASSERT_EQ(boxes.boxes().size(), 2u) << boxes.transcript();
    EXPECT_EQ(boxes.boxes()[1].text.rfind("系统错误：结构文件“", 0), 0u) << boxes.transcript();
    EXPECT_FALSE(databaseExists(db));
}

TEST_F(RunsOnServer, ModifyOfAMissingDatabaseEndsAtTheSwitch) {
    writeStructure(kThreeTables);
    ScriptedMsgBox boxes;
    try {
        ModifyDatabaseRun(input(boxes));
        FAIL() << "no failure";
    } catch (const DbError& e) {
        EXPECT_EQ(generic(e.what()),
                  "Database '{db}' does not exist. Make sure that the name is entered correctly.");
    }
    EXPECT_EQ(boxes.transcript(), "1|系统提示|是否真的要修改数据库？ -> 1\n");
    EXPECT_FALSE(databaseExists(db));
    EXPECT_EQ(setting("DBName"), db);
}

TEST_F(RunsOnServer, WrongPasswordIsReportedAndNothingIsSent) {
    SANDBOX_ONLY();
    writeStructure(kThreeTables);
    texts.password = "wrong-pw";
    ScriptedMsgBox create, remove, modify;
    CreateDatabaseRun(input(create));
    DeleteDatabaseRun(input(remove));
    EXPECT_THROW(ModifyDatabaseRun(input(modify)), DbError);
    ExpectGolden("wrong_password", transcript(create) + transcript(remove));
    EXPECT_EQ(create.transcript().find("wrong-pw"), std::string::npos);
    EXPECT_FALSE(databaseExists(db));
    EXPECT_EQ(refusals(), "");  // logins are refused, no statement reached the server
}

TEST_F(RunsOnServer, DeleteDropsTheNamedDatabaseAndSavesNothing) {
    admin().Execute("CREATE DATABASE " + db);
    texts.databaseName = "  " + db + " ";
    ScriptedMsgBox boxes;
    DeleteDatabaseRun(input(boxes));
    EXPECT_EQ(boxes.transcript(),
              "1|系统提示|是否真的要删除数据库？ -> 1\n64|系统提示|数据库删除操作完成！ -> 1\n");
    EXPECT_FALSE(databaseExists(db));
    EXPECT_EQ(setting("DBName"), "<none>");
}

TEST_F(RunsOnServer, ServerRefusalsOfDeleteAreShown) {
    SANDBOX_ONLY();
    ScriptedMsgBox boxes;
    for (const std::string& name :
         std::vector<std::string>{"master", "", db}) {  // db does not exist
        texts.databaseName = name;
        DeleteDatabaseRun(input(boxes));
    }
    ExpectGolden("delete_refused", transcript(boxes));
    EXPECT_TRUE(databaseExists("master"));
}

TEST_F(RunsOnServer, CreateOfMasterIsRefusedByTheServer) {
    writeStructure(kThreeTables);
    texts.databaseName = "master";
    ScriptedMsgBox boxes;
    CreateDatabaseRun(input(boxes));
    EXPECT_EQ(boxes.transcript(),
              "1|系统提示|是否真的要创建新的数据库？ -> 1\n64|错误提示|系统错误：Database 'master' "
              "already exists. Choose a different database name. -> 1\n");
}

TEST_F(RunsOnServer, NamesCarryingMoreThanOneNameReachNoServer) {
    SANDBOX_ONLY();
    writeStructure(kThreeTables);
    admin().Execute("CREATE DATABASE " + db);
    for (const std::string& name :
         std::vector<std::string>{db + ",master", db + " drop database master",
                                  db + ";drop database master", "x]; drop database " + db}) {
        texts.databaseName = name;
        ScriptedMsgBox remove, create, modify;
        DeleteDatabaseRun(input(remove));
        CreateDatabaseRun(input(create));
        EXPECT_THROW(ModifyDatabaseRun(input(modify)), DbError);
        EXPECT_EQ(remove.boxes().back().text, "删除数据库错误：" + InvalidDatabaseNameText(name));
        EXPECT_EQ(create.boxes().back().text,
                  "系统错误：" + InvalidDatabaseNameText(name, kMaxCreatedDatabaseNameUnits));
    }
    EXPECT_TRUE(databaseExists(db));
    EXPECT_TRUE(databaseExists("master"));
    EXPECT_EQ(tables(db), std::vector<std::string>{});
    EXPECT_EQ(refusals(), "");
}

}  // namespace
}  // namespace runs_test

namespace runs_test {
namespace {

// A plan changes nothing on the server, whether or not a watch is attached to hear what the
// run holds back, and even when a statement reaches the connection unheld: the connection
// itself refuses it.
TEST_F(RunsOnServer, PlansChangeNothingEvenWithoutAWatch) {
    writeStructure(kThreeTables);
    ScriptedMsgBox create;
    RunInput plan = input(create);
    plan.plan = true;
    CreateDatabaseRun(plan);
    EXPECT_EQ(create.transcript(),
              "1|系统提示|是否真的要创建新的数据库？ -> 1\n64|系统提示|数据库创建完成 -> 1\n");
    EXPECT_FALSE(databaseExists(db));

    admin().Execute("CREATE DATABASE " + db);
    admin(db).Execute("CREATE TABLE Stock (Qty Int)");
    ScriptedMsgBox modify, remove;
    plan.msgBox = modify;
    ModifyDatabaseRun(plan);
    plan.msgBox = remove;
    DeleteDatabaseRun(plan);
    EXPECT_EQ(modify.transcript(),
              "1|系统提示|是否真的要修改数据库？ -> 1\n"
              "0||CREATE TABLE Person (ID Int IDENTITY(1,1) PRIMARY KEY,Name VarChar(20),"
              "Code Char(4),Birth DateTime) -> 1\n"
              "0||CREATE TABLE Ware (名称 NVarChar(40)) -> 1\n"
              "64|系统提示|数据库修改完成 -> 1\n");
    EXPECT_EQ(remove.transcript(),
              "1|系统提示|是否真的要删除数据库？ -> 1\n64|系统提示|数据库删除操作完成！ -> 1\n");
    EXPECT_EQ(tables(db), std::vector<std::string>{"dbo.Stock"});

    Connection guarded;
    OpenServerConnection(guarded, plan);
    const std::string drop = "Drop Database " + db;
    try {
        guarded.Execute(drop);
        FAIL() << "sent during a plan";
    } catch (const DbError& e) {
        EXPECT_EQ(std::string(e.what()), kReadOnlyRefusal + drop);
    }
    EXPECT_TRUE(databaseExists(db));
}

// The operator declines a statement's preview (as a terminal can): the run stops there, sends
// nothing more and shows no result.
TEST_F(RunsOnServer, DeclinedPreviewStopsTheModifyRunThere) {
    writeStructure(kThreeTables);
    admin().Execute("CREATE DATABASE " + db);
    ScriptedMsgBox boxes({kAnswerOk, kAnswerCancel});
    ModifyDatabaseRun(input(boxes));
    EXPECT_EQ(boxes.transcript(),
              "1|系统提示|是否真的要修改数据库？ -> 1\n"
              "0||CREATE TABLE Person (ID Int IDENTITY(1,1) PRIMARY KEY,Name VarChar(20),"
              "Code Char(4),Birth DateTime) -> 2\n");
    EXPECT_EQ(boxes.boxes()[1].kind, BoxKind::Preview);
    EXPECT_EQ(tables(db), std::vector<std::string>{});
}

}  // namespace
}  // namespace runs_test
