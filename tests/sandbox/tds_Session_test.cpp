// Whole sessions through real clients (FreeTDS tsql and ODBC, tedious) and raw sockets
// against the real dsadmin-sandbox executable, started by SandboxProcess.
#include <gtest/gtest.h>

#include <unistd.h>
#include <atomic>
#include <chrono>
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
    // The session of the isql that just ended may hold the database for a moment (3702).
    tdstest::CommandResult drop;
    for (int attempt = 0; attempt < 40; ++attempt) {
        drop = isql("DROP DATABASE " + db + "\n", sandbox_->odbcConnectionString());
        if (drop.output.find("currently in use") == std::string::npos) break;
        ::usleep(50000);
    }
    EXPECT_EQ(drop.output.find("ERROR"), std::string::npos) << drop.output;
}

TEST_F(TdsSession, OdbcLoginRefusedAndUnknownDatabase) {
    auto bad = isql("select 1\n",
                    "Driver=FreeTDS;Server=127.0.0.1;Port=" + std::to_string(sandbox_->port()) +
                        ";UID=sa;PWD=nope;TDS_Version=7.4;Encryption=off");
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
                                         "versions"));

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
