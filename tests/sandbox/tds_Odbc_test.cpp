// The FreeTDS ODBC driver against the real dsadmin-sandbox through the ODBC API itself:
// parameters (sp_executesql, sp_prepexec/sp_execute), the current catalog (USE + ENVCHANGE),
// diagnostics, the ATTENTION the driver sends when a statement is closed early, and clients
// working at once in their own databases while others come and go.
#include <gtest/gtest.h>

#include <sql.h>
#include <sqlext.h>

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/SandboxProcess.h"

using testsupport::SandboxProcess;

namespace {

// Handles freed in reverse order; tests only.
class Odbc {
  public:
    explicit Odbc(const std::string& connection) {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
        SQLCHAR out[1024];
        SQLSMALLINT outLen = 0;
        connected_ =
            SQL_SUCCEEDED(SQLDriverConnect(dbc_, nullptr, (SQLCHAR*)connection.c_str(), SQL_NTS,
                                           out, sizeof out, &outLen, SQL_DRIVER_NOPROMPT));
        if (!connected_) lastError_ = diagnostics(SQL_HANDLE_DBC, dbc_);
        SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt_);
    }
    ~Odbc() {
        SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
        if (connected_) SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }
    bool connected() const { return connected_; }
    SQLHSTMT stmt() const { return stmt_; }
    SQLHDBC dbc() const { return dbc_; }
    const std::string& lastError() const { return lastError_; }

    // Runs `sql`; returns false and keeps the diagnostics when it fails.
    bool exec(const std::string& sql) {
        SQLFreeStmt(stmt_, SQL_CLOSE);
        SQLRETURN rc = SQLExecDirect(stmt_, (SQLCHAR*)sql.c_str(), SQL_NTS);
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
            lastError_ = diagnostics(SQL_HANDLE_STMT, stmt_);
            return false;
        }
        return true;
    }
    // The first column of every row, as text.
    std::vector<std::string> column() {
        std::vector<std::string> values;
        while (SQL_SUCCEEDED(SQLFetch(stmt_))) {
            char buf[512];
            SQLLEN ind = 0;
            SQLGetData(stmt_, 1, SQL_C_CHAR, buf, sizeof buf, &ind);
            values.push_back(ind == SQL_NULL_DATA ? "NULL" : buf);
        }
        SQLFreeStmt(stmt_, SQL_CLOSE);
        return values;
    }

    static std::string diagnostics(SQLSMALLINT type, SQLHANDLE h) {
        std::string all;
        SQLCHAR state[6], text[1024];
        SQLINTEGER native = 0;
        SQLSMALLINT len = 0;
        for (SQLSMALLINT i = 1;
             SQLGetDiagRec(type, h, i, state, &native, text, sizeof text, &len) == SQL_SUCCESS; ++i)
            all +=
                std::string((char*)state) + " " + std::to_string(native) + " " + (char*)text + "\n";
        return all;
    }

  private:
    SQLHENV env_ = SQL_NULL_HANDLE;
    SQLHDBC dbc_ = SQL_NULL_HANDLE;
    SQLHSTMT stmt_ = SQL_NULL_HANDLE;
    bool connected_ = false;
    std::string lastError_;
};

std::string currentCatalog(SQLHDBC dbc) {
    char buf[256] = {};
    SQLINTEGER len = 0;
    SQLGetConnectAttr(dbc, SQL_ATTR_CURRENT_CATALOG, buf, sizeof buf, &len);
    return buf;
}

class TdsOdbc : public testing::Test {
  protected:
    static void SetUpTestSuite() { sandbox_ = new SandboxProcess(); }
    static void TearDownTestSuite() {
        delete sandbox_;
        sandbox_ = nullptr;
    }
    static SandboxProcess* sandbox_;
};
SandboxProcess* TdsOdbc::sandbox_ = nullptr;

}  // namespace

TEST_F(TdsOdbc, CurrentCatalogFollowsTheServersEnvChange) {
    std::string db = "cat_" + std::to_string(::getpid());
    Odbc c(sandbox_->odbcConnectionString());
    ASSERT_TRUE(c.connected()) << c.lastError();
    EXPECT_EQ(currentCatalog(c.dbc()), "master");
    ASSERT_TRUE(c.exec("CREATE DATABASE " + db)) << c.lastError();
    ASSERT_TRUE(SQL_SUCCEEDED(
        SQLSetConnectAttr(c.dbc(), SQL_ATTR_CURRENT_CATALOG, (SQLPOINTER)db.c_str(), SQL_NTS)));
    EXPECT_EQ(currentCatalog(c.dbc()), db);
    EXPECT_FALSE(SQL_SUCCEEDED(
        SQLSetConnectAttr(c.dbc(), SQL_ATTR_CURRENT_CATALOG, (SQLPOINTER) "no_such_db", SQL_NTS)));
    EXPECT_NE(
        Odbc::diagnostics(SQL_HANDLE_DBC, c.dbc()).find("Database 'no_such_db' does not exist."),
        std::string::npos);
    EXPECT_EQ(currentCatalog(c.dbc()), db);
    ASSERT_TRUE(c.exec("USE master")) << c.lastError();
    ASSERT_TRUE(c.exec("DROP DATABASE " + db)) << c.lastError();
}

TEST_F(TdsOdbc, ParametersTravelThroughSpExecuteSqlAndPreparedStatements) {
    std::string db = "par_" + std::to_string(::getpid());
    Odbc setup(sandbox_->odbcConnectionString());
    ASSERT_TRUE(setup.exec("CREATE DATABASE " + db)) << setup.lastError();
    {
        Odbc c(sandbox_->odbcConnectionString(db));
        ASSERT_TRUE(c.exec("CREATE TABLE Item (ID int, Name nvarchar(30))")) << c.lastError();
        // SQLExecDirect with a bound parameter: sp_executesql.
        char name[] = "Item";
        SQLLEN nameLen = SQL_NTS;
        SQLBindParameter(c.stmt(), 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_WVARCHAR, 30, 0, name, 0,
                         &nameLen);
        ASSERT_TRUE(c.exec("select name from sys.tables where name = ?")) << c.lastError();
        EXPECT_EQ(c.column(), std::vector<std::string>{"Item"});
        // SQLPrepare + SQLExecute twice: sp_prepexec, then sp_execute.
        SQLFreeStmt(c.stmt(), SQL_RESET_PARAMS);
        SQLINTEGER number = 41;
        SQLLEN numberLen = 0;
        SQLBindParameter(c.stmt(), 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &number, 0,
                         &numberLen);
        ASSERT_TRUE(SQL_SUCCEEDED(SQLPrepare(c.stmt(), (SQLCHAR*)"select ?", SQL_NTS)));
        ASSERT_TRUE(SQL_SUCCEEDED(SQLExecute(c.stmt())))
            << Odbc::diagnostics(SQL_HANDLE_STMT, c.stmt());
        EXPECT_EQ(c.column(), std::vector<std::string>{"41"});
        number = -7;
        ASSERT_TRUE(SQL_SUCCEEDED(SQLExecute(c.stmt())))
            << Odbc::diagnostics(SQL_HANDLE_STMT, c.stmt());
        EXPECT_EQ(c.column(), std::vector<std::string>{"-7"});
    }
    EXPECT_TRUE(setup.exec("DROP DATABASE " + db));  // waits for the closed session to leave
}

TEST_F(TdsOdbc, ServerErrorsKeepNumberStateAndText) {
    Odbc c(sandbox_->odbcConnectionString());
    EXPECT_FALSE(c.exec("select * from NoSuchTable"));
    EXPECT_NE(
        c.lastError().find("42S02 208 [FreeTDS][SQL Server]Invalid object name 'NoSuchTable'."),
        std::string::npos)
        << c.lastError();
    Odbc bad(sandbox_->odbcConnectionString() + ";PWD=wrong");
    EXPECT_FALSE(bad.connected());
    // FreeTDS picks the SQLSTATE of a login failure (42000) before it knows the server.
    EXPECT_NE(bad.lastError().find(" 18456 [FreeTDS][SQL Server]Login failed for user 'sa'."),
              std::string::npos)
        << bad.lastError();
}

TEST_F(TdsOdbc, ClosingAStatementEarlySendsAttentionAndTheConnectionGoesOn) {
    Odbc c(sandbox_->odbcConnectionString());
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(c.exec("select name from sys.databases; select name from sys.databases"));
        ASSERT_TRUE(SQL_SUCCEEDED(SQLFetch(c.stmt())));
        SQLFreeStmt(c.stmt(), SQL_CLOSE);  // results left unread
    }
    ASSERT_TRUE(c.exec("select name from sys.databases where name = 'master'")) << c.lastError();
    EXPECT_EQ(c.column(), std::vector<std::string>{"master"});
}

namespace {

// The return code of an application-lock procedure sent as one batch, the way a deploy
// script sends it; the driver's results are walked to the row, the diagnostics of a failed
// call kept in `errors`.
std::string AppLock(Odbc& c, const std::string& procedure, const std::string& arguments,
                    std::string* errors = nullptr) {
    SQLFreeStmt(c.stmt(), SQL_CLOSE);
    const std::string sql =
        "declare @r int; exec @r = " + procedure + " " + arguments + "; select @r";
    SQLRETURN rc = SQLExecDirect(c.stmt(), (SQLCHAR*)sql.c_str(), SQL_NTS);
    // The first statement has no result: the driver may answer SQL_NO_DATA for it.
    for (int i = 0; i < 5 && (rc != SQL_NO_DATA || i == 0); ++i) {
        if (rc == SQL_ERROR && errors) *errors += Odbc::diagnostics(SQL_HANDLE_STMT, c.stmt());
        SQLSMALLINT columns = 0;
        if (rc != SQL_ERROR && SQLNumResultCols(c.stmt(), &columns) == SQL_SUCCESS && columns > 0) {
            const std::vector<std::string> values = c.column();
            return values.size() == 1 ? values[0] : "rows: " + std::to_string(values.size());
        }
        rc = SQLMoreResults(c.stmt());
    }
    return "no row";
}

}  // namespace

TEST_F(TdsOdbc, ApplicationLocksAreOwnedBySessionsAndFreedWhenTheyEnd) {
    const std::string lock = "N'deploy_" + std::to_string(::getpid()) + "'";
    const std::string exclusive = "@Resource = " + lock +
                                  ", @LockMode = 'Exclusive', @LockOwner = 'Session', "
                                  "@LockTimeout = ";
    Odbc other(sandbox_->odbcConnectionString());
    {
        Odbc holder(sandbox_->odbcConnectionString());
        ASSERT_EQ(AppLock(holder, "sp_getapplock", exclusive + "0"), "0");
        EXPECT_EQ(AppLock(other, "sp_getapplock", exclusive + "0"), "-1");
        EXPECT_EQ(AppLock(other, "sp_getapplock", exclusive + "300"), "-1");
        // The driver reports the refusal and, after an error, leaves the batch's later results
        // unread.
        std::string errors;
        AppLock(other, "sp_releaseapplock", "@Resource = " + lock + ", @LockOwner = 'Session'",
                &errors);
        EXPECT_NE(errors.find(" 1223 [FreeTDS][SQL Server]Cannot release the application lock "
                              "(Database Principal: 'public', Resource: 'deploy_"),
                  std::string::npos)
            << errors;
    }  // the holder disconnects without releasing
    const std::string after = AppLock(other, "sp_getapplock", exclusive + "10000");
    EXPECT_TRUE(after == "0" || after == "1") << after;
    EXPECT_EQ(
        AppLock(other, "sp_releaseapplock", "@Resource = " + lock + ", @LockOwner = 'Session'"),
        "0");
    EXPECT_FALSE(other.exec("select @undeclared"));
    EXPECT_NE(other.lastError().find("Must declare the scalar variable \"@undeclared\""),
              std::string::npos)
        << other.lastError();
}

namespace {

std::set<std::string> TablesOf(Odbc& c, const std::string& db) {
    std::set<std::string> names;
    if (!c.exec("SELECT name FROM " + db + ".sys.tables")) return {"(failed) " + c.lastError()};
    for (const std::string& n : c.column()) names.insert(n);
    return names;
}

}  // namespace

// CREATE TABLE and DROP TABLE in different databases run at once (each database's file has its
// own lock); meanwhile another session creates, fills, reads and drops databases. Every table a
// client saw created and not dropped is there afterwards, and nothing else.
TEST_F(TdsOdbc, ClientsCreatingTablesInTheirOwnDatabasesWhileOthersComeAndGo) {
    const std::string tag = std::to_string(::getpid());
    constexpr int kClients = 4, kTables = 60;
    Odbc setup(sandbox_->odbcConnectionString());
    for (int i = 0; i < kClients; ++i)
        ASSERT_TRUE(setup.exec("CREATE DATABASE own" + tag + "_" + std::to_string(i)))
            << setup.lastError();
    std::vector<std::set<std::string>> acknowledged(kClients);
    std::vector<std::string> failures(kClients + 1);
    std::atomic<bool> churning{true};
    std::vector<std::thread> threads;
    for (int i = 0; i < kClients; ++i)
        threads.emplace_back([&, i] {
            Odbc c(sandbox_->odbcConnectionString("own" + tag + "_" + std::to_string(i)));
            for (int t = 0; c.connected() && (t < kTables || churning); ++t) {
                const std::string name = "T" + std::to_string(t);
                if (c.exec("CREATE TABLE " + name + " (ID int IDENTITY(1,1) PRIMARY KEY, N int)"))
                    acknowledged[i].insert(name);
                else
                    failures[i] += c.lastError();
                if (t % 3 == 2 && c.exec("DROP TABLE T" + std::to_string(t - 1)))
                    acknowledged[i].erase("T" + std::to_string(t - 1));
            }
            if (!c.connected()) failures[i] = c.lastError();
        });
    threads.emplace_back([&] {
        Odbc c(sandbox_->odbcConnectionString());
        std::string& failed = failures[kClients];
        // Every other database stays until the end: past the server's 32 open files, older
        // ones are closed (never one a client is using) and opened again when read.
        for (int round = 0; round < 70; ++round) {
            const std::string db = "churn" + tag + "_" + std::to_string(round);
            const std::string earlier = "churn" + tag + "_" + std::to_string(round / 4 * 2);
            const std::string own = "own" + tag + "_" + std::to_string(round % kClients);
            if (!c.exec("CREATE DATABASE " + db) ||
                !c.exec("CREATE TABLE " + db + ".dbo.Kept (ID int)"))
                failed += c.lastError();
            if (TablesOf(c, db) != std::set<std::string>{"Kept"}) failed += db + " lost Kept\n";
            if (!c.exec("SELECT name FROM sys.databases") || c.column().size() < kClients + 5)
                failed += "sys.databases: " + c.lastError();
            if (!c.exec("SELECT name FROM " + own + ".sys.tables")) failed += c.lastError();
            c.column();
            if (TablesOf(c, earlier) != std::set<std::string>{"Kept"}) failed += earlier + "\n";
            if (round % 2 == 1 && !c.exec("DROP DATABASE " + db)) failed += c.lastError();
        }
        churning = false;
    });
    for (auto& t : threads) t.join();
    for (const std::string& f : failures) EXPECT_EQ(f, "");
    ASSERT_TRUE(setup.exec("SELECT name FROM sys.databases")) << setup.lastError();
    for (const std::string& name : setup.column()) {
        if (name.find("churn" + tag) == 0) {
            EXPECT_TRUE(setup.exec("DROP DATABASE " + name));
        }
    }
    for (int i = 0; i < kClients; ++i) {
        const std::string db = "own" + tag + "_" + std::to_string(i);
        EXPECT_GE(acknowledged[i].size(), static_cast<std::size_t>(kTables - kTables / 3));
        EXPECT_EQ(TablesOf(setup, db), acknowledged[i]) << db;
        ASSERT_TRUE(setup.exec("DROP DATABASE " + db)) << setup.lastError();
    }
    ASSERT_TRUE(setup.exec("SELECT name FROM sys.databases")) << setup.lastError();
    for (const std::string& name : setup.column())
        EXPECT_EQ(name.find("churn" + tag), std::string::npos) << name;
}

// A CREATE TABLE naming another database (three-part name) while that database is dropped: the
// table is made before the drop, or the statement answers 2702. Never a crash, never a table in
// a file that is gone or in the database made again under the same name.
TEST_F(TdsOdbc, CreateTableInADatabaseBeingDroppedIsCleanlyBeforeOrAfterTheDrop) {
    const std::string tag = std::to_string(::getpid());
    Odbc creator(sandbox_->odbcConnectionString());
    Odbc dropper(sandbox_->odbcConnectionString());
    constexpr int kRounds = 150;
    int before = 0, after = 0;
    for (int round = 0; round < kRounds; ++round) {
        const std::string db = "race" + tag + "_" + std::to_string(round % 4);
        ASSERT_TRUE(dropper.exec("CREATE DATABASE " + db)) << dropper.lastError();
        std::atomic<bool> go{false};
        bool created = false;
        std::thread t([&] {
            while (!go) std::this_thread::yield();
            created = creator.exec("CREATE TABLE " + db + ".dbo.Late (ID int PRIMARY KEY)");
        });
        go = true;
        const bool dropped = dropper.exec("DROP DATABASE " + db);
        t.join();
        ASSERT_TRUE(dropped) << dropper.lastError();
        if (created) {
            ++before;
        } else {
            ++after;
            ASSERT_NE(creator.lastError().find(" 2702 "), std::string::npos) << creator.lastError();
            EXPECT_NE(creator.lastError().find("Database '" + db + "' does not exist."),
                      std::string::npos)
                << creator.lastError();
        }
        ASSERT_TRUE(dropper.exec("CREATE DATABASE " + db)) << dropper.lastError();
        EXPECT_EQ(TablesOf(dropper, db), std::set<std::string>{}) << db;
        ASSERT_TRUE(dropper.exec("DROP DATABASE " + db)) << dropper.lastError();
    }
    EXPECT_EQ(before + after, kRounds);
    std::printf("CREATE TABLE before the drop %d times, refused after it %d times\n", before,
                after);
    for (const auto& e : std::filesystem::recursive_directory_iterator(sandbox_->dataDir()))
        EXPECT_EQ(e.path().filename().string().find("race" + tag), std::string::npos) << e.path();
    ASSERT_TRUE(creator.exec("SELECT 1"));
}
