// dsadmin-cli end to end: the executable over unixODBC + FreeTDS against dsadmin-sandbox (or
// the server DSADMIN_TEST_SERVER names), its JSON parsed by node's JSON.parse.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "ServerFixture.h"
#include "base/CaseFolding.h"
#include "db/Recordset.h"
#include "support/SandboxProcess.h"

namespace runs_test {
namespace {

using namespace dsadmin;

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

class Cli : public ServerFixture {
  protected:
    struct Result {
        int code = -1;
        std::string out, err;
        std::map<std::string, std::string> json;  // path -> value, when --json was given
    };

    void SetUp() override {
        ServerFixture::SetUp();
        setenv("CLI_TEST_PW", password.c_str(), 1);
        writeStructure(kModel);
    }

    // "服务器 <address>，数据库 <db>", as the human output names its target.
    std::string target() const { return "服务器 " + address() + "，数据库 " + db; }
    std::string address() const {
        const std::string server = cliServer();
        const auto comma = server.find(',');
        return comma == std::string::npos
                   ? server
                   : server.substr(0, comma) + ":" + server.substr(comma + 1);
    }

    // The sandbox by its port: dsadmin-cli lets no TDSPORT move it off the server it names.
    static std::string cliServer() {
        return onSandbox() ? "127.0.0.1," + std::to_string(sandbox->port()) : serverName;
    }

    // The common options: this test's application folder, server, login, database.
    std::string common() const {
        return " --app-folder " + Quote(app.path()) + " --server " + Quote(cliServer()) +
               " --login " + Quote(login) + " --database " + db;
    }

    // Runs dsadmin-cli with `args` (shell words), the password from CLI_TEST_PW unless the
    // args name a source, stdin from `input`. With --json, stdout must parse.
    Result run(const std::string& args, const std::string& input = "") {
        std::ofstream(app / "stdin") << input;
        const bool password = args.find("--password") != std::string::npos;
        const std::string command = std::string(DSADMIN_BIN_DIR) + "/dsadmin-cli " + args +
                                    (password ? "" : " --password-env CLI_TEST_PW") + " < " +
                                    Quote(app / "stdin") + " > " + Quote(app / "out") + " 2> " +
                                    Quote(app / "err");
        Result r;
        r.code = WEXITSTATUS(std::system(command.c_str()));
        r.out = Read(app / "out");
        r.err = Read(app / "err");
        if (args.find("--json") != std::string::npos) {
            const std::string flatten =
                "node " + Quote(std::string(DSADMIN_SOURCE_DIR) + "/tests/cli/flatten_json.js") +
                " < " + Quote(app / "out") + " > " + Quote(app / "flat");
            EXPECT_EQ(std::system(flatten.c_str()), 0) << "not JSON:\n" << r.out;
            std::istringstream lines(Read(app / "flat"));
            for (std::string line; std::getline(lines, line);) {
                const auto tab = line.find('\t');
                r.json[line.substr(0, tab)] = line.substr(tab + 1);
            }
        }
        return r;
    }

    // Every user table, then every column as "object_id name max_length is_identity".
    std::vector<std::string> catalog() {
        std::vector<std::string> out = tables(db);
        Connection c = admin(db);
        Recordset rows;
        rows.Open("select object_id, name, max_length, is_identity from sys.columns", c,
                  kOpenKeyset, kLockReadOnly);
        for (; !rows.Eof(); rows.MoveNext())
            out.push_back(rows.Fields("object_id").text() + " " + rows.Fields("name").text() + " " +
                          rows.Fields("max_length").text() + " " +
                          rows.Fields("is_identity").text());
        return out;
    }

    static constexpr const char* kModel =
        "Person\tID\tInt\t0\t1\t1\n"
        "Person\tName\tVarChar\t20\t0\t0\n"
        "Stock\tQty\tInt\t\\N\t0\t0\n"
        "Person\tCode\tChar(4)\t4\t0\t0\n"
        "Ware\t名称\tNVarChar(40)\t40\t0\t0\n"
        "Ware\tPrice\tDecimal(10,2)\t0\t0\t0\n";
    static constexpr const char* kPersonStatement =
        "CREATE TABLE Person (ID Int IDENTITY(1,1) PRIMARY KEY,Name VarChar(20),Code Char(4))";
};

TEST_F(Cli, CreateChecksCleanAndPlanModifyListsOnlyWhatWasDroppedByHand) {
    const std::string save = " --save-folder " + Quote(texts.saveFolder);
    const std::string setup = Read(app / "Setup.ini");

    Result plan = run("plan create" + common() + save);
    EXPECT_EQ(plan.code, 0) << plan.err;
    EXPECT_EQ(plan.out, "CREATE DATABASE " + db + " on (name=" + db + "_dat,FILENAME ='" +
                            texts.saveFolder + "/" + db + "_dat.mdf' ,maxsize=unlimited)\n" +
                            kPersonStatement + "\nCREATE TABLE Stock (Qty Int)\n" +
                            "CREATE TABLE Ware (名称 NVarChar(40),Price Decimal(10,2))\n");
    EXPECT_FALSE(databaseExists(db));

    Result create = run("create --yes --json" + common() + save);
    EXPECT_EQ(create.code, 0) << create.err;
    EXPECT_EQ(create.json["command"], "create");
    EXPECT_EQ(create.json["statements.1.text"], kPersonStatement);
    EXPECT_EQ(create.json["statements.3.outcome"], "accepted");
    EXPECT_EQ(create.json.count("statements.4.text"), 0u);
    EXPECT_EQ(create.json["tablesCreated.2"], "Ware");
    EXPECT_EQ(create.json["messages.0"], "数据库创建完成");
    EXPECT_EQ(create.json["error"], "null");
    EXPECT_EQ(create.json["exitCode"], "0");
    EXPECT_EQ(tables(db), (std::vector<std::string>{"dbo.Person", "dbo.Stock", "dbo.Ware"}));

    Result check = run("check" + common());
    EXPECT_EQ(check.code, 0) << check.out << check.err;
    EXPECT_EQ(check.out, "检查完成：结构文件描述 3 个表，数据库缺少 0 个，有差异 0 个。\n");

    admin(db).Execute("DROP TABLE Stock");
    const std::vector<std::string> before = catalog();
    Result planModify = run("plan modify --json" + common());
    EXPECT_EQ(planModify.code, 0) << planModify.err;
    EXPECT_EQ(planModify.json["statements.0.text"],
              "select * from sys.tables where name = N'Person'");
    EXPECT_EQ(planModify.json["statements.2.text"], "CREATE TABLE Stock (Qty Int)");
    EXPECT_EQ(planModify.json["statements.2.outcome"], "planned");
    EXPECT_EQ(planModify.json["tablesPlanned.0"], "Stock");
    EXPECT_EQ(planModify.json["tablesPresent.1"], "Ware");
    EXPECT_EQ(run("plan modify" + common()).out, "CREATE TABLE Stock (Qty Int)\n");
    EXPECT_EQ(catalog(), before);

    Result modify = run("modify --yes" + common());
    EXPECT_EQ(modify.code, 0) << modify.err;
    EXPECT_EQ(modify.out, target() +
                              "\n是否真的要修改数据库？ 确定（--yes）\n"
                              "CREATE TABLE Stock (Qty Int)\n数据库修改完成\n（" +
                              target() + "）\n");
    EXPECT_EQ(run("check" + common()).code, 0);
    EXPECT_EQ(Read(app / "Setup.ini"), setup);  // the command line never writes it
}

TEST_F(Cli, EveryTypeACreateMakesChecksClean) {
    writeStructure(
        "T\ta\tVarChar\t8000\t0\t0\nT\tb\tChar\t\\N\t0\t0\nT\tc\tNChar(10)\t0\t0\t0\n"
        "T\td\tNVarChar(max)\t0\t0\t0\nT\te\tVarBinary(16)\t0\t0\t0\nT\tf\tBinary\t0\t0\t0\n"
        "T\tg\tDecimal\t0\t0\t0\nT\th\tNumeric(5)\t0\t0\t0\nT\ti\tFloat(10)\t0\t0\t0\n"
        "T\tj\tReal\t0\t0\t0\nT\tk\tDateTime2(3)\t0\t0\t0\nT\tl\tTime\t0\t0\t0\n"
        "T\tm\tMoney\t0\t0\t0\nT\tn\tBit\t0\t0\t0\nT\to\tBigInt\t0\t1\t1\n"
        "T\tp\tInt\t0\t0\t0\nT\tq\tDecimal(8,3)\t0\t0\t0\nT\tr\tUniqueIdentifier\t0\t0\t0\n"
        "T\ts\tText\t0\t0\t0\nT\tt\tFloat\t0\t0\t0\nT\tu\tDateTimeOffset\t0\t0\t0\n"
        "T\tv\tvarchar\t20\t0\t0\n");
    Result create = run("create --yes --save-folder " + Quote(texts.saveFolder) + common());
    ASSERT_EQ(create.code, 0) << create.err;
    Result check = run("check" + common());
    EXPECT_EQ(check.code, 0) << check.out;
}

TEST_F(Cli, CheckReportsMissingExtraAndChangedColumns) {
    admin().Execute("CREATE DATABASE " + db);
    admin(db).Execute("CREATE TABLE Person (ID Int PRIMARY KEY, Name VarChar(30), Extra Int)");
    admin(db).Execute("CREATE TABLE Ware (名称 NVarChar(40), Price Decimal(10,2))");
    admin(db).Execute("CREATE TABLE Note (x int)");  // described nowhere: listed, no difference
    Result check = run("check --json" + common());
    EXPECT_EQ(check.code, 3) << check.err;
    EXPECT_EQ(check.json["tables.0.name"], "Person");
    EXPECT_EQ(check.json["tables.0.missingColumns.0.definition"], "Code Char(4)");
    EXPECT_EQ(check.json["tables.0.extraColumns.0.name"], "Extra");
    EXPECT_EQ(check.json["tables.0.extraColumns.0.definition"], "int");
    EXPECT_EQ(check.json["tables.0.changedColumns.0.name"], "ID");
    EXPECT_EQ(check.json["tables.0.changedColumns.0.differences.0"], "identity");
    EXPECT_EQ(check.json["tables.0.changedColumns.1.model"], "VarChar(20)");
    EXPECT_EQ(check.json["tables.0.changedColumns.1.database"], "varchar(30)");
    EXPECT_EQ(check.json["tables.0.changedColumns.1.differences.0"], "length");
    EXPECT_EQ(check.json.count("tables.0.changedColumns.2.name"), 0u);
    EXPECT_EQ(check.json["tables.1.present"], "false");
    EXPECT_EQ(check.json["tables.2.extraColumns"], "[]");
    EXPECT_EQ(check.json["tables.2.changedColumns"], "[]");
    EXPECT_EQ(check.json["exitCode"], "3");
    EXPECT_EQ(check.json["extraTables.0.schema"], "dbo");
    EXPECT_EQ(check.json["extraTables.0.name"], "Note");
    EXPECT_EQ(check.json.count("extraTables.1.name"), 0u);

    Result people = run("check" + common());
    EXPECT_EQ(people.out,
              "表 Person（dbo）：\n"
              "  缺少列 Code Char(4)\n"
              "  多出列 Extra int\n"
              "  列 ID 不同：结构文件为 Int IDENTITY(1,1) PRIMARY KEY，数据库为 int PRIMARY KEY\n"
              "  列 Name 不同：结构文件为 VarChar(20)，数据库为 varchar(30)\n"
              "表 Stock：数据库中没有\n"
              "检查完成：结构文件描述 3 个表，数据库缺少 1 个，有差异 1 个。\n"
              "另有表 dbo.Note：结构文件没有描述（仅供参考）\n");
}

TEST_F(Cli, ExitCodesForUsageRefusalsAndFailures) {
    EXPECT_EQ(run("check --password=secret" + common()).code, 2);
    Result unknown = run("check --frobnicate=s3cret" + common());
    EXPECT_EQ(unknown.err, "dsadmin-cli: 未知选项：--frobnicate（--help 显示用法）\n");
    EXPECT_EQ(run("create" + common()).code, 2);  // no --save-folder
    Result noTerminal = run("delete" + common());
    EXPECT_EQ(noTerminal.code, 2);
    EXPECT_EQ(noTerminal.err, "dsadmin-cli: 没有终端可以回答问题：请加 --yes（--help 显示用法）\n");
    EXPECT_EQ(run("check --password-env NO_SUCH_VARIABLE_HERE" + common()).code, 2);

    Result missing = run("modify --yes --json" + common());  // no such database
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.json["error.kind"], "server");
    EXPECT_EQ(missing.json["error.number"], "null");
    EXPECT_EQ(missing.err, "数据库 " + db + " 不存在\n");
    EXPECT_EQ(missing.json["statements"], "[]");  // found before the run's first statement

    admin().Execute("CREATE DATABASE " + db);
    Result exists = run("create --yes --json --save-folder " + Quote(texts.saveFolder) + common());
    EXPECT_EQ(exists.code, 1);
    EXPECT_EQ(exists.json["statements"], "[]");
    EXPECT_EQ(exists.json["error.kind"], "server");
    EXPECT_EQ(exists.json["error.text"], "数据库 " + db + " 已存在");
    EXPECT_EQ(exists.json["checks.0.kind"], "server");

    std::ofstream(app / "Bad.DS") << "not a Jet file";
    Result bad = run("check --structure " + Quote(app / "Bad.DS") + common());
    EXPECT_EQ(bad.code, 1);

    EXPECT_EQ(run("delete --yes" + common()).out,
              target() + "\n是否真的要删除数据库？ 确定（--yes）\n数据库删除操作完成！\n（" +
                  target() + "）\n");
    Result again = run("delete --yes --json" + common());
    EXPECT_EQ(again.code, 1);
    EXPECT_EQ(again.json["messages"], "[]");
    EXPECT_EQ(again.err.rfind("删除数据库错误：", 0), 0u) << again.err;
    EXPECT_EQ(again.json["error.number"], "3701");
    EXPECT_EQ(again.json["error.kind"], "server");

    // Every exit writes its JSON, a usage mistake's included.
    Result usage = run("modify --json --frobnicate" + common());
    EXPECT_EQ(usage.code, 2);
    EXPECT_EQ(usage.json["schemaVersion"], "2");
    EXPECT_EQ(usage.json["command"], "modify");
    EXPECT_EQ(usage.json["error.kind"], "usage");
    EXPECT_EQ(usage.json["error.text"], "未知选项：--frobnicate");
    EXPECT_EQ(usage.json["exitCode"], "2");
}

TEST_F(Cli, PasswordSourcesAndThePasswordNeverShown) {
    SANDBOX_ONLY();  // logs in with a password of its own choosing
    std::ofstream(app / "pw") << password << "\n";
    EXPECT_EQ(run("plan modify --password-file " + Quote(app / "pw") + common()).code, 1);  // no db
    admin().Execute("CREATE DATABASE " + db);
    EXPECT_EQ(run("check --password-file " + Quote(app / "pw") + common()).code, 3);
    EXPECT_EQ(run("check --password-stdin" + common(), password + "\n").code, 3);
    EXPECT_EQ(run("check --password-stdin" + common(), "").code, 2);  // no line: no password

    setenv("CLI_WRONG_PW", "Wr0ng;Secret\"pw", 1);
    Result wrong = run("check --json --password-env CLI_WRONG_PW" + common());
    EXPECT_EQ(wrong.code, 1);
    EXPECT_EQ(wrong.json["error.number"], "18456");
    for (const std::string& text : {wrong.out, wrong.err, sandbox->log()})
        EXPECT_EQ(text.find("Wr0ng"), std::string::npos) << text;
}

TEST_F(Cli, AnsweringNoOnATerminalSendsNothing) {
    admin().Execute("CREATE DATABASE " + db);
    // script(1) gives the program a terminal; the answers come through it.
    auto onTerminal = [&](const std::string& args, const std::string& answers) {
        const std::string inner =
            std::string(DSADMIN_BIN_DIR) + "/dsadmin-cli " + args + " --password-env CLI_TEST_PW";
        std::ofstream(app / "answers") << answers;
        const std::string command = "script -qec " + Quote(inner) + " /dev/null < " +
                                    Quote(app / "answers") + " > " + Quote(app / "out");
        return WEXITSTATUS(std::system(command.c_str()));
    };
    EXPECT_EQ(onTerminal("delete" + common(), "n\n"), 4);
    EXPECT_TRUE(databaseExists(db));
    EXPECT_EQ(onTerminal("modify" + common(), "y\nn\n"), 4);  // yes to the run, no to Person
    EXPECT_EQ(tables(db), std::vector<std::string>{});
    EXPECT_EQ(onTerminal("modify" + common(), "y\ny\ny\ny\n"), 0);
    EXPECT_EQ(tables(db), (std::vector<std::string>{"dbo.Person", "dbo.Stock", "dbo.Ware"}));
}

TEST_F(Cli, TheServerNamedIsTheServerReachedWhateverFreeTdsVariablesSay) {
    SANDBOX_ONLY();  // starts a second sandbox beside the suite's
    testsupport::SandboxProcess::Options options;
    options.saPassword = password;
    testsupport::SandboxProcess other(options);
    const std::string otherServer = "127.0.0.1," + std::to_string(other.port());
    const std::string save = " --save-folder " + Quote(texts.saveFolder);
    // The same database on both servers.
    ASSERT_EQ(run("create --yes" + common() + save).code, 0);
    std::filesystem::create_directories(app / "other");
    ASSERT_EQ(run("create --yes --save-folder " + Quote(app / "other") + common() + " --server " +
                  otherServer)
                  .code,
              0);
    // FreeTDS would take these over the port the command line names.
    setenv("TDSPORT", std::to_string(other.port()).c_str(), 1);
    setenv("TDSHOST", "127.0.0.1", 1);
    Result deleted = run("delete --yes --json" + common());
    unsetenv("TDSHOST");
    setenv("TDSPORT", std::to_string(sandbox->port()).c_str(), 1);  // as the fixture has it
    EXPECT_EQ(deleted.code, 0) << deleted.err;
    EXPECT_EQ(deleted.json["serverAddress.host"], "127.0.0.1");
    EXPECT_EQ(deleted.json["serverAddress.port"], std::to_string(sandbox->port()));
    EXPECT_EQ(deleted.json["environmentCleared.0"], "TDSHOST");
    EXPECT_EQ(deleted.json["environmentCleared.1"], "TDSPORT");
    EXPECT_FALSE(databaseExists(db));
    // The other server keeps its database: its plan modify finds every table present.
    Result still = run("plan modify --json" + common() + " --server " + otherServer);
    EXPECT_EQ(still.code, 0) << still.err;
    EXPECT_EQ(still.json["tablesPresent.2"], "Ware");
}

TEST_F(Cli, TwoModifyRunsAtOnceWaitForEachOtherAndBothSucceed) {
    // Enough tables for two runs to overlap for certain without the lock.
    std::string model;
    for (int t = 0; t < 40; ++t) model += "T" + std::to_string(1000 + t) + "\tID\tInt\t0\t0\t0\n";
    writeStructure(model);
    int failures = 0;
    for (int round = 0; round < 20; ++round) {
        dropIfExists(db);
        admin().Execute("CREATE DATABASE " + db);
        const std::string cli = std::string(DSADMIN_BIN_DIR) + "/dsadmin-cli modify --yes --json" +
                                common() + " --password-env CLI_TEST_PW";
        const std::string both = "(" + cli + " > " + Quote(app / "a") + " 2>&1; echo $? > " +
                                 Quote(app / "a.rc") + ") & (" + cli + " > " + Quote(app / "b") +
                                 " 2>&1; echo $? > " + Quote(app / "b.rc") + ") & wait";
        EXPECT_EQ(std::system(both.c_str()), 0);
        for (const char* which : {"a", "b"}) {
            if (Read(app / (std::string(which) + ".rc")) == "0\n") continue;
            ++failures;
            ADD_FAILURE() << "round " << round << " run " << which << ":\n" << Read(app / which);
        }
        EXPECT_EQ(run("check" + common()).code, 0) << "round " << round;
        if (failures > 2) break;
    }
    EXPECT_EQ(failures, 0);
}

TEST_F(Cli, ALockHeldElsewhereEndsTheRunAfterItsTimeOutNamingTheHolder) {
    admin().Execute("CREATE DATABASE " + db);
    Connection holder = admin();
    Recordset granted;
    granted.Open(
        "declare @r int; exec @r = sp_getapplock @Resource = N'dsadmin:" + dsadmin::FoldCase(db) +
            "', @LockMode = 'Exclusive', @LockOwner = 'Session', @LockTimeout = 0; "
            "select @r as r",
        holder);
    ASSERT_EQ(granted.Fields("r").text(), "0");
    granted.Close();
    Result waited = run("modify --yes --json --lock-timeout 1" + common());
    EXPECT_EQ(waited.code, 1) << waited.err;
    EXPECT_EQ(waited.json["error.kind"], "lock");
    EXPECT_EQ(waited.json["lock.acquired"], "false");
    EXPECT_EQ(waited.json["statements"], "[]");
    EXPECT_NE(waited.err.find("已被另一次运行持有"), std::string::npos) << waited.err;
    EXPECT_NE(waited.err.find("等待 1 秒后放弃"), std::string::npos) << waited.err;
    if (onSandbox()) {  // a real server names the holder only to VIEW SERVER STATE
        EXPECT_NE(waited.err.find("（会话 "), std::string::npos) << waited.err;
        EXPECT_NE(waited.err.find("，登录 " + login), std::string::npos) << waited.err;
    }
    EXPECT_EQ(tables(db), std::vector<std::string>{});
    Result atOnce = run("delete --yes --lock-timeout 0" + common());
    EXPECT_EQ(atOnce.code, 1);
    EXPECT_TRUE(databaseExists(db));
    holder.Close();  // the server frees a session's locks when it ends
    Result after = run("modify --yes --json --lock-timeout 10" + common());
    EXPECT_EQ(after.code, 0) << after.err;
    EXPECT_EQ(after.json["lock.acquired"], "true");
    EXPECT_EQ(after.json["lock.name"], "dsadmin:" + dsadmin::FoldCase(db));
}

TEST_F(Cli, PlansAndRunsRefuseWhatWouldFailHalfWayAndChangeNothing) {
    const std::string save = " --save-folder " + Quote(texts.saveFolder);
    writeStructure(
        "Person\tID\tInt\t0\t0\t0\nStock\tQty\tFooType\t0\t0\t0\n"
        "Order\tID\tInt\t0\t0\t0\n");
    Result plan = run("plan create --json" + common() + save);
    EXPECT_EQ(plan.code, 1);
    // In the table list's order (Order, Person, Stock).
    EXPECT_EQ(plan.json["checks.0.kind"], "name");
    EXPECT_EQ(plan.json["checks.0.text"], "表名 Order 是 T-SQL 的保留字");
    EXPECT_EQ(plan.json["checks.1.kind"], "model");
    EXPECT_EQ(plan.json["checks.1.text"],
              "表 Stock 的列 Qty 的类型 FooType 不在服务器的类型目录中（model 的 sys.types）");
    EXPECT_EQ(plan.json["error.kind"], "name");
    Result create = run("create --yes --json" + common() + save);
    EXPECT_EQ(create.code, 1);
    EXPECT_EQ(create.json["statements"], "[]");
    EXPECT_FALSE(databaseExists(db));  // nothing was sent

    writeStructure(kModel);
    admin().Execute("CREATE DATABASE " + db);
    Result exists = run("plan create" + common() + save);
    EXPECT_EQ(exists.code, 1);
    EXPECT_EQ(exists.err, "数据库 " + db + " 已存在\n");
    EXPECT_EQ(exists.out, "");
    // A modify looks the types up in the database itself.
    writeStructure("Person\tID\tInt\t0\t0\t0\nStock\tQty\tFooType\t0\t0\t0\n");
    Result unknown = run("modify --yes --json" + common());
    EXPECT_EQ(unknown.code, 1);
    EXPECT_EQ(unknown.json["checks.0.text"],
              "表 Stock 的列 Qty 的类型 FooType 不在服务器的类型目录中（" + db + " 的 sys.types）");
    EXPECT_EQ(tables(db), std::vector<std::string>{});
}

TEST_F(Cli, DeleteNeedsASuperUserAsTheWindowDoes) {
    admin().Execute("CREATE DATABASE " + db);
    std::ofstream(app / "Setup.ini") << "[DataBase]\nDSName=T\n[Setup]\nSupperUser=0\n";
    Result refused = run("delete --yes --json" + common());
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(refused.json["error.kind"], "permission");
    EXPECT_EQ(refused.err,
              "删除数据库需要超级用户：程序目录的 Setup.ini 中 [Setup] 的 SupperUser 应为 1\n");
    EXPECT_TRUE(databaseExists(db));
}

TEST_F(Cli, APasswordGoesToTheServerExactlyAsWritten) {
    SANDBOX_ONLY();  // a server of its own with a password that has blanks at both ends
    const std::string blanks = "  Pw with blanks ";
    testsupport::SandboxProcess::Options options;
    options.saPassword = blanks;
    testsupport::SandboxProcess own(options);
    const std::string server = " --server 127.0.0.1," + std::to_string(own.port());
    // Logged in, the delete of a database that is not there is the server's 3701.
    const auto loggedIn = [](const Result& r) {
        const auto it = r.json.find("error.number");
        return it != r.json.end() && it->second == "3701";
    };
    std::ofstream(app / "pw", std::ios::binary) << blanks << "\r\n";
    Result file =
        run("delete --yes --json --password-file " + Quote(app / "pw") + common() + server);
    EXPECT_TRUE(loggedIn(file)) << file.out;
    Result in = run("delete --yes --json --password-stdin" + common() + server, blanks + "\n");
    EXPECT_TRUE(loggedIn(in)) << in.out;
    setenv("CLI_BLANK_PW", blanks.c_str(), 1);
    Result env = run("delete --yes --json --password-env CLI_BLANK_PW" + common() + server);
    EXPECT_TRUE(loggedIn(env)) << env.out;
    setenv("CLI_BLANK_PW", "Pw with blanks", 1);  // the same without its blanks is refused
    Result trimmed = run("delete --yes --json --password-env CLI_BLANK_PW" + common() + server);
    EXPECT_EQ(trimmed.json["error.number"], "18456") << trimmed.out;
    EXPECT_EQ(trimmed.json["error.kind"], "connect");
}

// A local IPv4 address that is not a loopback one, or "" when the machine has none.
std::string OtherLocalAddress() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return {};
    std::string found;
    for (ifaddrs* i = list; i && found.empty(); i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
        const auto* a = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
        if ((ntohl(a->sin_addr.s_addr) >> 24) == 127) continue;
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &a->sin_addr, text, sizeof text);
        found = text;
    }
    freeifaddrs(list);
    return found;
}

TEST_F(Cli, ASaveFolderOnAnotherMachineIsTheServersToJudge) {
    SANDBOX_ONLY();  // a server reached by an address that does not name this machine
    const std::string address = OtherLocalAddress();
    if (address.empty()) GTEST_SKIP() << "no network address besides loopback";
    testsupport::SandboxProcess::Options options;
    options.saPassword = password;
    options.extraArgs = {"--listen", address + ":0"};
    testsupport::SandboxProcess other(options);
    const std::string server = " --server " + address + "," + std::to_string(other.port());
    // Not looked for here: the server answers for its own file system.
    Result windows = run("create --yes --json --save-folder 'D:\\Data'" + common() + server);
    EXPECT_EQ(windows.code, 1);
    EXPECT_EQ(windows.json["error.kind"], "server") << windows.out;
    EXPECT_NE(windows.json["statements.0.text"].find("D:\\Data"), std::string::npos);
    EXPECT_NE(windows.json["error.text"], "数据库文件保存路径无效！");
    // A folder the server has is taken, though this machine's check would not be asked.
    Result fine = run("create --yes --save-folder " + Quote(texts.saveFolder) + common() + server);
    EXPECT_EQ(fine.code, 0) << fine.err;
    // This machine by loopback: the folder is looked for here, as the window does.
    Result local = run("create --yes --json --save-folder /no/such/folder" + common());
    EXPECT_EQ(local.json["error.kind"], "savePath");
    EXPECT_EQ(local.json["error.text"], "数据库文件保存路径无效！");
}
}  // namespace
}  // namespace runs_test
