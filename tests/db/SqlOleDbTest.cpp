// The SQLOLEDB provider against dsadmin-sandbox on 127.0.0.1 (label server).
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <memory>

#include "ExpectDbError.h"
#include "db/Connection.h"
#include "db/ConnectionStrings.h"
#include "db/OleDbString.h"
#include "db/Recordset.h"
#include "support/SandboxProcess.h"

using namespace dsadmin;

namespace {

const char* kSaPassword = "a;b\"c";

class SqlOleDb : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        testsupport::SandboxProcess::Options options;
        options.saPassword = kSaPassword;
        sandbox_ = std::make_unique<testsupport::SandboxProcess>(options);
    }
    static void TearDownTestSuite() { sandbox_.reset(); }

    static std::string dataSource() { return "127.0.0.1," + std::to_string(sandbox_->port()); }

    // A server connection opened as the runs open it.
    static void open(Connection& cn, const std::string& password = kSaPassword) {
        cn.Provider(kServerProvider);
        cn.ConnectionString(ServerConnectionString("sa", password, dataSource()));
        cn.Open();
    }

    // A database name no other test uses.
    static std::string uniqueName(const char* stem) {
        static std::atomic<int> n{0};
        return std::string(stem) + std::to_string(getpid()) + "_" + std::to_string(++n);
    }

    static std::unique_ptr<testsupport::SandboxProcess> sandbox_;
};

std::unique_ptr<testsupport::SandboxProcess> SqlOleDb::sandbox_;

// Drops the database before and after the test that names it.
class ScratchDatabase {
  public:
    ScratchDatabase(Connection& cn, std::string name) : cn_(cn), name_(std::move(name)) { drop(); }
    ~ScratchDatabase() { drop(); }
    const std::string& name() const { return name_; }

  private:
    void drop() {
        try {
            cn_.DefaultDatabase("master");
            cn_.Execute("Drop Database " + name_);
        } catch (const DbError&) {  // absent: nothing to drop
        }
    }
    Connection& cn_;
    std::string name_;
};

TEST_F(SqlOleDb, OpensOnMasterWithAPasswordHoldingSemicolonAndQuote) {
    Connection cn;
    open(cn);
    EXPECT_EQ(cn.State(), kStateOpen);
    EXPECT_EQ(cn.DefaultDatabase(), "master");
    cn.Close();
    EXPECT_EQ(cn.State(), kStateClosed);
}

TEST(SqlOleDbPassword, BracesQuotesAndOuterBlanksReachTheServerIntact) {
    testsupport::SandboxProcess::Options options;
    options.saPassword = " x}}y;'z\"{} ";
    testsupport::SandboxProcess sandbox(options);
    Connection cn;
    cn.Provider(kServerProvider);
    // The box's text is trimmed, so the server's password has no outer blanks here.
    cn.ConnectionString(ServerConnectionString("sa", options.saPassword,
                                               "127.0.0.1," + std::to_string(sandbox.port())));
    EXPECT_THROW(cn.Open(), DbError);
    cn.ConnectionString("User Id =sa;pwd=" + OleDbString::QuoteValue(options.saPassword) +
                        ";data source=127.0.0.1," + std::to_string(sandbox.port()));
    cn.Open();
    EXPECT_EQ(cn.State(), kStateOpen);
}

TEST_F(SqlOleDb, RefusedLoginCarriesTheServerTextAndNoPassword) {
    Connection cn;
    try {
        open(cn, "Wrong;Secret'1");
        FAIL() << "a wrong password was accepted";
    } catch (const DbError& e) {
        EXPECT_STREQ(e.what(), "Login failed for user 'sa'.");
        EXPECT_EQ(e.number(), 18456);
        std::string all = e.what();
        for (const auto& m : e.messages()) all += "\n" + m.text;
        EXPECT_EQ(all.find("Secret"), std::string::npos) << all;
        EXPECT_EQ(all.find("[FreeTDS]"), std::string::npos) << all;
    }
    EXPECT_EQ(cn.State(), kStateClosed);
}

TEST_F(SqlOleDb, RunsDdlThroughExecuteAndThroughAStatementRecordset) {
    Connection cn;
    open(cn);
    ScratchDatabase db(cn, uniqueName("DaDdl"));
    cn.Execute("CREATE DATABASE " + db.name());
    cn.DefaultDatabase(db.name());
    EXPECT_EQ(cn.DefaultDatabase(), db.name());

    Recordset statement;
    statement.Open("CREATE TABLE Person (ID Int IDENTITY(1,1) PRIMARY KEY,Name VarChar(20))", cn,
                   kUnspecified, kUnspecified, kUnspecified);
    EXPECT_EQ(statement.State(), kStateClosed);  // no rows: it stays closed and serves again
    statement.Open("CREATE TABLE Stock (Qty Int)", cn, kUnspecified, kUnspecified, kUnspecified);
    EXPECT_EQ(statement.State(), kStateClosed);

    Recordset found;
    found.Open("select * from sys.tables where name = 'person'", cn, kOpenKeyset, kLockReadOnly,
               kUnspecified);
    ASSERT_FALSE(found.Eof());
    EXPECT_EQ(found.Fields("name").text(), "Person");
    found.MoveNext();
    EXPECT_TRUE(found.Eof());
    found.Close();
    found.Open("select * from sys.tables where name = 'Nothing'", cn, kOpenKeyset, kLockReadOnly,
               kUnspecified);
    EXPECT_TRUE(found.Eof());

    EXPECT_DB_ERROR(statement.Open("CREATE TABLE Stock (Qty Int)", cn, kUnspecified, kUnspecified,
                                   kUnspecified),
                    "There is already an object named 'Stock' in the database.");
    EXPECT_DB_ERROR(
        cn.Execute("CREATE DATABASE " + db.name()),
        "Database '" + db.name() + "' already exists. Choose a different database name.");
}

TEST_F(SqlOleDb, DefaultDatabaseToAMissingDatabaseGivesTheServerText) {
    Connection cn;
    open(cn);
    std::string name = uniqueName("DaMissing");
    EXPECT_DB_ERROR(
        cn.DefaultDatabase(name),
        "Database '" + name + "' does not exist. Make sure that the name is entered correctly.");
    EXPECT_EQ(cn.DefaultDatabase(), "master");
}

TEST_F(SqlOleDb, AnErrorInALaterResultOfABatchIsReported) {
    Connection cn;
    open(cn);
    ScratchDatabase db(cn, uniqueName("DaBatch"));
    cn.Execute("CREATE DATABASE " + db.name());
    cn.DefaultDatabase(db.name());
    EXPECT_DB_ERROR(cn.Execute("CREATE TABLE T1 (a Int); CREATE TABLE T1 (a Int)"),
                    "There is already an object named 'T1' in the database.");
    EXPECT_DB_ERROR(cn.Execute("select 1; select * from NoSuchTable"),
                    "Invalid object name 'NoSuchTable'.");
    // The connection stays usable.
    Recordset rs;
    rs.Open("select * from sys.tables where name = 'T1'", cn, kOpenKeyset, kLockReadOnly);
    EXPECT_FALSE(rs.Eof());
}

TEST_F(SqlOleDb, ReleasingAnOpenConnectionClosesIt) {
    auto cn = std::make_unique<Connection>();
    open(*cn);
    Recordset rs;
    rs.Open("select * from sys.tables", *cn, kOpenKeyset, kLockReadOnly);
    cn.reset();                 // released open, on an error path for example
    EXPECT_NO_THROW(rs.Eof());  // the rows stay on the client
}

// With the window's hook each call goes to the connection's own thread and back: a long run of
// short calls gets each its own rows or its own error, in order, as without the hook.
TEST_F(SqlOleDb, HookedCallsInARowGetTheirOwnRowsAndErrors) {
    Connection cn;
    cn.WhileWaiting([] {});
    open(cn);
    for (int i = 0; i < 300; ++i) {
        const std::string n = std::to_string(i);
        if (i % 25 == 7) {
            EXPECT_DB_ERROR(cn.Execute("select * from Missing" + n),
                            "Invalid object name 'Missing" + n + "'.");
            continue;
        }
        Recordset rs;
        rs.Open("select " + n + " as n", cn, kOpenKeyset, kLockReadOnly);
        ASSERT_FALSE(rs.Eof());
        ASSERT_EQ(rs.Fields("n").text(), n);
    }
    EXPECT_EQ(cn.DefaultDatabase(), "master");
}

}  // namespace
