// Whole sessions through real clients (FreeTDS tsql and ODBC, tedious) and raw sockets
// against the real dsadmin-sandbox executable, started by SandboxProcess.
#include <gtest/gtest.h>

#include <unistd.h>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "support/SandboxProcess.h"
#include "tds_BrokenPackets.h"
#include "tds_Command.h"
#include "tds_RawClient.h"

using tdstest::runCommand;
using tdstest::shellQuote;
using testsupport::SandboxProcess;

namespace {

const std::string kPassword = "S@nd;b0x pw";

std::string uniqueName(const std::string& prefix) {
    static std::atomic<int> counter{0};
    return prefix + std::to_string(::getpid()) + "_" + std::to_string(counter++);
}

class TdsSession : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        SandboxProcess::Options o;
        o.saPassword = kPassword;
        sandbox_ = new SandboxProcess(o);
    }
    static void TearDownTestSuite() {
        delete sandbox_;
        sandbox_ = nullptr;
    }

    static tdstest::CommandResult tsql(const std::string& input,
                                       const std::string& password = kPassword,
                                       const std::string& extra = "") {
        return runCommand("tsql -H 127.0.0.1 -p " + std::to_string(sandbox_->port()) +
                              " -U sa -P " + shellQuote(password) + " " + extra,
                          input);
    }
    static tdstest::CommandResult isql(const std::string& input, const std::string& connection) {
        return runCommand("isql -v -b -k " + shellQuote(connection), input);
    }

    static SandboxProcess* sandbox_;
};
SandboxProcess* TdsSession::sandbox_ = nullptr;

}  // namespace

TEST_F(TdsSession, TsqlCreatesSwitchesListsAndDrops) {
    std::string db = uniqueName("tsql_");
    auto r =
        tsql("CREATE DATABASE " + db + "\ngo\nUSE " + db +
             "\ngo\nCREATE TABLE Person (ID int IDENTITY(1,1) PRIMARY KEY, Name nvarchar(20))\ngo\n"
             "select name from sys.tables\ngo\nCREATE TABLE Person (ID int)\ngo\n"
             "USE master\ngo\nDROP DATABASE " +
             db + "\ngo\nUSE " + db + "\ngo\nexit\n");
    EXPECT_NE(r.output.find("name\nPerson\n(1 row affected)"), std::string::npos) << r.output;
    EXPECT_NE(
        r.output.find("Msg 2714 (severity 16, state 6) from DSADMIN-SANDBOX Line 1:\n\t\"There is "
                      "already an object named 'Person' in the database.\""),
        std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("Msg 911 (severity 16, state 1)"), std::string::npos) << r.output;
}

// What a user trying the sandbox by hand through tsql sees, statement by statement, checked
// against SQL Server's own answers: file placement, name rules, expressions and messages.
TEST_F(TdsSession, TsqlAnswersAsSqlServerDoes) {
    const std::string db = uniqueName("ans_");
    const std::string save = sandbox_->dataDir() + "/save-" + db;
    std::filesystem::create_directories(save);
    auto msg = [](int number, int severity, int state, const std::string& text) {
        return "Msg " + std::to_string(number) + " (severity " + std::to_string(severity) +
               ", state " + std::to_string(state) + ") from DSADMIN-SANDBOX Line 1:\n\t\"" + text +
               "\"";
    };
    auto r = runCommand(
        "env LC_ALL=C.UTF-8 tsql -H 127.0.0.1 -p " + std::to_string(sandbox_->port()) +
            " -U sa -P " + shellQuote(kPassword),
        "CREATE DATABASE " + db + " on (name=" + db + "_dat,FILENAME ='" + save + "/" + db +
            "_dat.mdf' ,maxsize=unlimited)\ngo\ncreate database " + std::string(124, 'n') +
            "\ngo\nuse " + db +
            "\ngo\ncreate table [\xC3\x84rger] (ID int NOT NULL CONSTRAINT PK_A PRIMARY KEY)\ngo\n"
            "select name from sys.tables where name = N'\xC3\xA4rger'\ngo\n"
            "create table [\xC3\xA4rger] (x int)\ngo\n"
            "select 1+1 AS two, 'abc'+'def' AS s, len('x ') AS l, 7/2 AS q where 1=1 and (2<1 or "
            "3>=3)\ngo\nselect (select 1)\ngo\n"
            "create table T2 (A int NULL PRIMARY KEY)\ngo\n"
            "create database D2 on (name = a, filename = '" +
            save +
            "/a.mdf'), (name = A, "
            "filename = '" +
            save +
            "/b.ndf')\ngo\n"
            "create database D3 on (name = a, filename = '" +
            save +
            "/a.mdf', size = 10MB, "
            "maxsize = 5MB)\ngo\n"
            "create database D4 log on (name = l, filename = '" +
            save +
            "/l.ldf')\ngo\n"
            "select name, type, parent_object_id - object_id AS p from sys.objects where "
            "type_desc <> 'USER_TABLE'\ngo\n"
            "create table T3 (c dbo.FooBar)\ngo\ncreate table T5 (c varchar(0))\ngo\nexit\n");
    const std::vector<std::string> expected = {
        "name\n\xC3\x84rger\n(1 row affected)",  // folded beyond ASCII, N'...' included
        "two\ts\tl\tq\n2\tabcdef\t1\t3\n(1 row affected)",
        "name\ttype\tp\nPK_A\tPK\t-16\n(1 row affected)",
        msg(1819, 10, 1, "Could not create default log file because the name was too long."),
        msg(1802, 16, 4,
            "CREATE DATABASE failed. Some file names listed could not be created. "
            "Check related errors."),
        msg(2714, 16, 6, "There is already an object named '\xC3\xA4rger' in the database."),
        msg(50000, 16, 1, "A subquery is not supported by the dsadmin sandbox."),
        msg(8111, 16, 1, "Cannot define PRIMARY KEY constraint on nullable column in table 'T2'.") +
            "\n" + msg(1750, 16, 0, "Could not create constraint or index. See previous errors."),
        msg(1828, 16, 1, "The logical file name \"A\" is already in use. Choose a different name."),
        msg(5103, 16, 1, "MAXSIZE cannot be less than SIZE for file 'a'."),
        msg(188, 15, 1,
            "Cannot specify a log file in a CREATE DATABASE statement without also "
            "specifying at least one data file."),
        msg(2715, 16, 6, "Column, parameter, or variable #1: Cannot find data type dbo.FooBar."),
        msg(1001, 15, 1, "Line 1: Length or precision specification 0 is invalid.")};
    for (const std::string& e : expected) EXPECT_NE(r.output.find(e), std::string::npos) << e;
    // Without LOG ON the log goes to the default log-file location, not beside the data file.
    EXPECT_TRUE(std::filesystem::exists(sandbox_->dataDir() + "/log/" + db + "_log.ldf"));
    EXPECT_FALSE(std::filesystem::exists(save + "/" + db + "_log.ldf"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(save), {}), 1) << r.output;

    // A database whose file is gone answers 945 with severity 14, as SQL Server really does.
    std::filesystem::remove(save + "/" + db + "_dat.mdf");
    r = tsql("use " + db + "\ngo\nexit\n");
    EXPECT_NE(r.output.find(msg(945, 14, 2,
                                "Database '" + db +
                                    "' cannot be opened due to inaccessible files or "
                                    "insufficient memory or disk space.  See the SQL "
                                    "Server errorlog for details.")),
              std::string::npos)
        << r.output;
}

TEST_F(TdsSession, TsqlLoginRefusedShowsError18456) {
    auto r = tsql("select 1\ngo\nexit\n", "wrong");
    EXPECT_NE(r.output.find("Msg 18456 (severity 14, state 1)"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("\"Login failed for user 'sa'.\""), std::string::npos) << r.output;
    EXPECT_NE(r.exitCode, 0);
}

TEST_F(TdsSession, TsqlSpeaksEveryTdsVersion) {
    for (const char* version : {"7.1", "7.2", "7.3", "7.4"}) {
        auto r =
            runCommand("env TDSVER=" + std::string(version) + " tsql -H 127.0.0.1 -p " +
                           std::to_string(sandbox_->port()) + " -U sa -P " + shellQuote(kPassword),
                       "select name from sys.databases where name = 'master'\ngo\nexit\n");
        EXPECT_NE(r.output.find("name\nmaster\n(1 row affected)"), std::string::npos)
            << version << "\n"
            << r.output;
    }
}

TEST_F(TdsSession, BsqldbRunsAFileAndStopsAtTheFirstError) {
    auto r = runCommand("bsqldb -S 127.0.0.1:" + std::to_string(sandbox_->port()) + " -U sa -P " +
                            shellQuote(kPassword),
                        "select name from sys.databases where name = 'master'\ngo\n"
                        "select * from NoSuchTable\ngo\nselect 1\ngo\n");
    EXPECT_NE(r.output.find("master"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("Msg 208, Level 16, State 1\nServer 'DSADMIN-SANDBOX', Line 1\n\t"
                            "Invalid object name 'NoSuchTable'."),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.exitCode, 0);
}

TEST_F(TdsSession, OdbcIsqlCreatesListsAndReportsServerErrors) {
    std::string db = uniqueName("odbc_");
    auto master = isql("CREATE DATABASE " + db + "\n", sandbox_->odbcConnectionString());
    EXPECT_EQ(master.output.find("ERROR"), std::string::npos) << master.output;
    auto r = isql(
        "CREATE TABLE Item (ID int, Name nvarchar(30))\n"
        "select name from sys.tables\nCREATE TABLE Item (ID int)\n",
        sandbox_->odbcConnectionString(db));
    EXPECT_NE(r.output.find("| Item"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("[FreeTDS][SQL Server]There is already an object named 'Item' in the "
                            "database."),
              std::string::npos)
        << r.output;
    // The session of the isql that just ended may still hold the database: the drop waits.
    auto drop = isql("DROP DATABASE " + db + "\n", sandbox_->odbcConnectionString());
    EXPECT_EQ(drop.output.find("ERROR"), std::string::npos) << drop.output;
}

TEST_F(TdsSession, OdbcLoginRefusedAndUnknownDatabase) {
    auto bad = isql("select 1\n",
                    "Driver=FreeTDS;Server=127.0.0.1;Port=" + std::to_string(sandbox_->port()) +
                        ";UID=sa;PWD=nope;TDS_Version=7.4");
    EXPECT_NE(bad.output.find("[FreeTDS][SQL Server]Login failed for user 'sa'."),
              std::string::npos)
        << bad.output;
    auto missing = isql("select 1\n", sandbox_->odbcConnectionString("no_such_db"));
    EXPECT_NE(missing.output.find("Cannot open database \"no_such_db\" requested by the login. The "
                                  "login failed."),
              std::string::npos)
        << missing.output;
}

// FreeTDS does not go below 4096-byte packets; a 14 KB statement still spans four of them.
TEST_F(TdsSession, OdbcStatementSpanningSeveralPackets) {
    std::string db = uniqueName("pk_");
    std::string columns;
    for (int i = 0; i < 200; ++i)
        columns += (i ? ", " : "") + std::string("Column_with_long_name_") + std::to_string(i) +
                   " nvarchar(40)";
    auto r = isql("CREATE DATABASE " + db + "\n", sandbox_->odbcConnectionString());
    EXPECT_EQ(r.output.find("ERROR"), std::string::npos) << r.output;
    r = isql("CREATE TABLE Wide (" + columns + ")\nselect name from sys.tables\n",
             sandbox_->odbcConnectionString(db));
    EXPECT_NE(r.output.find("| Wide"), std::string::npos) << r.output;
}

TEST_F(TdsSession, LogNamesConnectionsButNeverThePassword) {
    tsql("select 1\ngo\nexit\n");
    tsql("select 1\ngo\nexit\n", "wrong-" + kPassword);
    // The server logs the refusal after answering it, so the client may be gone first.
    std::string log = sandbox_->log();
    for (int i = 0; i < 100 && log.find("login 'sa' refused") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        log = sandbox_->log();
    }
    EXPECT_NE(log.find("login 'sa' to 'master' accepted"), std::string::npos) << log;
    EXPECT_NE(log.find("login 'sa' refused"), std::string::npos) << log;
    EXPECT_EQ(log.find(kPassword), std::string::npos) << log;
}

class TdsTedious : public TdsSession, public testing::WithParamInterface<const char*> {};
TEST_P(TdsTedious, Scenario) {
    std::string script = std::string(DSADMIN_SOURCE_DIR) + "/tests/sandbox/node/tedious_session.js";
    auto r = runCommand("node " + shellQuote(script) + " " + GetParam() + " " +
                        std::to_string(sandbox_->port()) + " " + shellQuote(kPassword) + " " +
                        uniqueName("n"));
    EXPECT_EQ(r.exitCode, 0) << r.output;
}
INSTANTIATE_TEST_SUITE_P(Node, TdsTedious,
                         testing::Values("loginRefused", "lifecycleBatch", "lifecycleExecSql",
                                         "keyAndTypeViews", "smallPackets", "twoClients", "cancel",
                                         "versions", "answersAsServer", "appLocks"));

class TdsBrokenPacketsAgainstServer : public TdsSession,
                                      public testing::WithParamInterface<tdstest::BrokenCase> {};
TEST_P(TdsBrokenPacketsAgainstServer, LeaveTheServerServingOthers) {
    tdstest::RawClient bad("127.0.0.1", sandbox_->port());
    if (GetParam().afterLogin) bad.login(kPassword);
    try {
        bad.sendRaw(GetParam().bytes);
    } catch (const std::exception&) {
    }
    // While the broken connection is still open (or waiting for its timeout), others work.
    tdstest::RawClient good("127.0.0.1", sandbox_->port());
    auto login = good.login(kPassword);
    ASSERT_FALSE(login.empty());
    EXPECT_EQ(login.back().status, 0);
    auto rows = good.batch("select name from sys.databases where name = 'master'");
    ASSERT_EQ(tdstest::tokenNames(rows), "COLMETADATA ROW DONE");
    EXPECT_TRUE(sandbox_->running());
    EXPECT_EQ(::kill(sandbox_->pid(), 0), 0);
}
INSTANTIATE_TEST_SUITE_P(Cases, TdsBrokenPacketsAgainstServer,
                         testing::ValuesIn(tdstest::brokenCases()),
                         [](const auto& info) { return info.param.name; });

TEST(TdsSandboxProcess, TediousLogsInWithAChinesePasswordAndNamesAChineseLogin) {
    SandboxProcess::Options o;
    o.saPassword = "中文密码";
    SandboxProcess sandbox(o);
    std::string script = std::string(DSADMIN_SOURCE_DIR) + "/tests/sandbox/node/tedious_session.js";
    auto r = runCommand("node " + shellQuote(script) + " unicodeLogin " +
                        std::to_string(sandbox.port()) + " " + shellQuote(o.saPassword) + " " +
                        uniqueName("u"));
    EXPECT_EQ(r.exitCode, 0) << r.output;
}

TEST(TdsSandboxProcess, RestartKeepsDatabases) {
    SandboxProcess sandbox;
    std::string db = uniqueName("keep_");
    auto run = [&](const std::string& input) {
        return runCommand("tsql -H 127.0.0.1 -p " + std::to_string(sandbox.port()) + " -U sa -P ''",
                          input);
    };
    run("CREATE DATABASE " + db + "\ngo\nUSE " + db +
        "\ngo\nCREATE TABLE Kept (x int)\ngo\nexit\n");
    EXPECT_EQ(sandbox.stop(), 0);
    sandbox.restart();
    auto r = run("USE " + db + "\ngo\nselect name from sys.tables\ngo\nexit\n");
    EXPECT_NE(r.output.find("name\nKept\n(1 row affected)"), std::string::npos) << r.output;
}

TEST(TdsSandboxProcess, StopsCleanlyOnSigtermWithClientsConnected) {
    SandboxProcess sandbox;
    tdstest::RawClient idle("127.0.0.1", sandbox.port());
    idle.login("");
    int status = sandbox.stop();
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(sandbox.log().find("stopped"), std::string::npos);
}

TEST(TdsSandboxProcess, UsageErrorsExitWith2) {
    for (const char* args : {"--bogus", "--listen", "--listen 1433", "--read-timeout 0"}) {
        auto r = runCommand(SandboxProcess::executable() + " " + args);
        EXPECT_EQ(r.exitCode, 2) << args << "\n" << r.output;
        // One line naming the fault and where the usage is.
        EXPECT_EQ(r.output.rfind("dsadmin-sandbox: ", 0), 0u) << r.output;
        EXPECT_EQ(r.output.find("(see dsadmin-sandbox --help)\n"), r.output.size() - 29)
            << r.output;
    }
}
