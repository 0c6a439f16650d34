// SELECT without FROM, the SET batch clients send, and queries on the catalog views.

#include <cstdio>

#include "SqlEngineFixture.h"

namespace sandbox::test {

TEST_F(SqlEngineTest, SelectWithoutFromAnswersTheServersFacts) {
    const StatementResult r =
        ok("SELECT 1, @@VERSION, @@SPID, @@SERVERNAME, DB_NAME() AS db, N'x' x");
    ASSERT_EQ(r.rows->rows.size(), 1u);
    const auto& row = r.rows->rows[0];
    EXPECT_EQ(text(row[0]), "1");
    EXPECT_EQ(r.rows->columns[0].type, SandboxColumnType::Int);
    EXPECT_EQ(r.rows->columns[0].name, "");
    EXPECT_EQ(text(row[1]).rfind("Microsoft SQL Server", 0), 0u);
    EXPECT_GE(std::get<std::int64_t>(row[2]), 51);
    EXPECT_EQ(text(row[3]), "DSADMIN-SANDBOX");
    EXPECT_EQ(text(row[4]), "master");
    EXPECT_EQ(r.rows->columns[4].name, "db");
    EXPECT_EQ(r.rows->columns[5].name, "x");
    EXPECT_EQ(r.rowCount, 1);
    EXPECT_EQ(rows(ok("select -5, 3000000000, 1.5, NULL, db_id(), db_name(2), db_id('msdb')")),
              std::vector<std::string>{"-5|3000000000|?|NULL|1|tempdb|4"});
}

TEST_F(SqlEngineTest, TwoSessionsHaveTheirOwnSpid) {
    auto other = login();
    EXPECT_NE(rows(ok("select @@spid")), rows(ok("select @@spid", other.get())));
}

TEST_F(SqlEngineTest, TediousStartUpBatchIsAcceptedQuietly) {
    const auto results = session_->execute(
        "set ansi_nulls on\nset ansi_null_dflt_on on\nset ansi_padding on\nset ansi_warnings on\n"
        "set arithabort on\nset concat_null_yields_null on\nset datefirst 7\nset dateformat mdy\n"
        "set implicit_transactions off\nset language us_english\nset numeric_roundabort off\n"
        "set quoted_identifier on\nset textsize 2147483647\n"
        "set transaction isolation level read committed\nset xact_abort off");
    ASSERT_EQ(results.size(), 15u);
    for (const auto& r : results) {
        EXPECT_FALSE(r.error);
        EXPECT_FALSE(r.rows);
    }
    ASSERT_EQ(results[9].infos.size(), 1u);
    EXPECT_EQ(results[9].infos[0].number, 5703);
    EXPECT_EQ(results[9].infos[0].text, "Changed language setting to us_english.");
    for (const auto& r : session_->execute(
             "SET NOCOUNT ON; SET LOCK_TIMEOUT -1; SET ANSI_NULLS, QUOTED_IDENTIFIER ON"))
        EXPECT_FALSE(r.error);
}

TEST_F(SqlEngineTest, SysDatabasesFiltersAndSorts) {
    ok("create database Zeta");
    ok("create database Alpha");
    EXPECT_EQ(rows(ok("select top 3 name from sys.databases order by name desc")),
              (std::vector<std::string>{"Zeta", "tempdb", "msdb"}));
    EXPECT_EQ(rows(ok("select name, database_id from sys.databases where name = 'MASTER' and "
                      "database_id = 1")),
              std::vector<std::string>{"master|1"});
    EXPECT_EQ(rows(ok("select name from sys.databases where database_id <> 1 and name <> 'tempdb' "
                      "order by 1")),
              (std::vector<std::string>{"Alpha", "model", "msdb", "Zeta"}));
    EXPECT_EQ(rows(ok("select state_desc from sys.databases where name = 'alpha'")),
              std::vector<std::string>{"ONLINE"});
}

TEST_F(SqlEngineTest, TypeCompareIgnoresTrailingBlanks) {
    ok("create table T (a int)");
    EXPECT_EQ(rows(ok("select name from sys.tables where type = 'U' and principal_id is null")),
              std::vector<std::string>{"T"});
    EXPECT_TRUE(rows(ok("select name from sys.tables where principal_id is not null")).empty());
}

TEST_F(SqlEngineTest, ExistenceQueryByNameMatchesAsTheFullViewDoes) {
    ok("create table T1 (a int, b int)");
    ok("create table T10 (a int)");
    ok("create table Other (a int)");
    EXPECT_EQ(rows(ok("select name from sys.tables where name = 't1  '")),
              std::vector<std::string>{"T1"});
    EXPECT_EQ(rows(ok("select name from sys.objects where name = N'T10'")),
              std::vector<std::string>{"T10"});
    EXPECT_TRUE(rows(ok("select name from sys.tables where name = 'T'")).empty());
    EXPECT_TRUE(rows(ok("select name from sys.tables where name = ' T1'")).empty());
    // The same row, whether the view is read for one name or whole and then filtered.
    for (const char* view : {"sys.tables", "sys.objects"}) {
        const std::string all = std::string("select * from ") + view + " where name = 'T1'";
        EXPECT_EQ(rows(ok(all)), rows(ok(all + " and type = 'U'"))) << view;
        EXPECT_EQ(rows(ok(all)).size(), 1u) << view;
    }
}

TEST_F(SqlEngineTest, NamesCompareWithoutCaseBeyondAscii) {
    ok("create table [\xC3\x84rger] (a int)");  // Ärger
    ok("create table [O'Brien] (a int)");
    EXPECT_EQ(rows(ok("select name from sys.tables where name = '\xC3\xA4rger'")),
              std::vector<std::string>{"\xC3\x84rger"});
    EXPECT_EQ(rows(ok("select name from sys.objects where name = N'o''BRIEN '")),
              std::vector<std::string>{"O'Brien"});
    EXPECT_EQ(one("create table [\xC3\xA4RGER] (a int)").error->number, 2714);
    EXPECT_EQ(one("drop table [\xC3\xA4rger]").error, std::nullopt);
    EXPECT_EQ(rows(ok("select name from sys.tables where name = N'\xC3\xA4rger'")).size(), 0u);
}

TEST_F(SqlEngineTest, FilesOfEarlierVersionsGainFoldedNames) {
    ok("create database Old");
    ok("create table Old.dbo.[\xC3\x84rger] (a int)");
    session_.reset();
    engine_.reset();
    const std::string file = dataDir() + "/Old.mdf";
    ASSERT_EQ(std::system(("sqlite3 '" + file +
                           "' 'DROP INDEX sandbox_tables_by_key; ALTER TABLE sandbox_tables DROP "
                           "COLUMN name_key; DROP TABLE sandbox_keys'")
                              .c_str()),
              0);
    restart();
    EXPECT_EQ(rows(ok("select name from Old.sys.tables where name = '\xC3\xA4rger'")),
              std::vector<std::string>{"\xC3\x84rger"});
    ok("create table Old.dbo.Next (a int primary key)");
    EXPECT_EQ(rows(ok("select type from Old.sys.objects order by object_id")),
              (std::vector<std::string>{"U ", "U ", "PK"}));
}

namespace {
// The sqlite3 shell's answer to `sql` on `file`, its last newline removed.
std::string sqliteShell(const std::string& file, const std::string& sql) {
    FILE* out = ::popen(("sqlite3 '" + file + "' \"" + sql + "\"").c_str(), "r");
    std::string text;
    char buf[256];
    while (out && std::fgets(buf, sizeof buf, out)) text += buf;
    if (out) ::pclose(out);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}
}  // namespace

// A user table is catalog rows only; a file of an earlier version, which also held an empty
// SQLite table per user table, loses that table with the user table.
TEST_F(SqlEngineTest, UserTablesAreCatalogRowsAndOldDataTablesGoWithTheirTable) {
    ok("create database Old");
    ok("create table Old.dbo.Kept (a int primary key, b varchar(10))");
    ok("create table Old.dbo.Dropped (a int)");
    const std::string id =
        rows(ok("select object_id from Old.sys.tables where name = 'Dropped'")).at(0);
    session_.reset();
    engine_.reset();
    const std::string file = dataDir() + "/Old.mdf";
    const std::string userTables =
        "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sandbox%'";
    EXPECT_EQ(sqliteShell(file, userTables), "0");
    sqliteShell(file, "CREATE TABLE t" + id + " (c1 INTEGER)");
    ASSERT_EQ(sqliteShell(file, userTables), "1");
    restart();
    ok("drop table Old.dbo.Dropped");
    EXPECT_EQ(rows(ok("select name from Old.sys.tables")), std::vector<std::string>{"Kept"});
    session_.reset();
    engine_.reset();
    EXPECT_EQ(sqliteShell(file, userTables), "0");
}

TEST_F(SqlEngineTest, ExpressionsFollowSqlServersRules) {
    EXPECT_EQ(rows(ok("select 1+2*3, (1+2)*3, -7/2, 7%3, 2147483647+1.0, 'a'+N'b', '4'+1, "
                      "1+NULL, 'x'+NULL")),
              std::vector<std::string>{"7|9|-3|1|?|ab|5|NULL|NULL"});
    EXPECT_EQ(rows(ok("select len(N'ab  '), upper('\xC3\xA4"
                      "b'), ltrim('  a'), substring('abcdef', 0, 3), substring('abc', -100, 105), "
                      "substring('abc', 9223372036854775807, 5), "
                      "left('abc', 5), right('abc', 2), replace('aXa', 'x', 'y'), isnull(NULL, 3), "
                      "coalesce(NULL, NULL, 'z'), abs(-4), concat('a', NULL, 1)")),
              std::vector<std::string>{"2|\xC3\x84"
                                       "B|a|ab|abc||abc|bc|aya|3|z|4|a1"});
    ok("create table T (a int)");
    // NULL makes a comparison unknown: neither it nor its negation keeps the row.
    EXPECT_TRUE(rows(ok("select name from sys.tables where principal_id = 1 or not "
                        "principal_id = 1"))
                    .empty());
    EXPECT_EQ(rows(ok("select name from sys.tables where not (name <> 't') and (1 = 0 or "
                      "object_id > 0)")),
              std::vector<std::string>{"T"});
    EXPECT_EQ(rows(ok("select name + '_x' as n, max_column_id_used * 10 from sys.tables")),
              std::vector<std::string>{"T_x|10"});
}

TEST_F(SqlEngineTest, EmptyResultStillCarriesColumns) {
    const StatementResult r = ok("select * from sys.tables where name = 'Nope'");
    ASSERT_TRUE(r.rows);
    EXPECT_GE(r.rows->columns.size(), 12u);
    EXPECT_TRUE(r.rows->rows.empty());
    EXPECT_EQ(r.rowCount, 0);
}

struct QueryError {
    std::string sql;
    int number;
    int severity;
    std::string text;
};

class SqlQueryErrors : public SqlEngineTest, public ::testing::WithParamInterface<QueryError> {};

TEST_P(SqlQueryErrors, AnswersWithTheServersMessage) {
    ok("create table Person (ID int)");
    const QueryError& e = GetParam();
    EXPECT_SQL_ERROR(one(e.sql), e.number, e.severity, e.text);
}

INSTANTIATE_TEST_SUITE_P(
    Select, SqlQueryErrors,
    ::testing::Values(
        QueryError{"select * from sys.tablez", 208, 16, "Invalid object name 'sys.tablez'."},
        QueryError{"select * from tables", 208, 16, "Invalid object name 'tables'."},
        QueryError{"select nam from sys.tables", 207, 16, "Invalid column name 'nam'."},
        QueryError{"select * from sys.tables where nam = 'x'", 207, 16,
                   "Invalid column name 'nam'."},
        QueryError{"select * from sys.tables where name = Person", 207, 16,
                   "Invalid column name 'Person'."},
        QueryError{"select * from sys.tables order by nam", 207, 16, "Invalid column name 'nam'."},
        QueryError{"select * from sys.tables where object_id = 'abc'", 245, 16,
                   "Conversion failed when converting the varchar value 'abc' to data type int."},
        QueryError{
            "select * from sys.tables where name = 5", 245, 16,
            "Conversion failed when converting the nvarchar value 'Person' to data type int."},
        QueryError{"select *", 263, 16, "Must specify table to select from."},
        QueryError{"select * from Nope.sys.tables", 911, 16,
                   "Database 'Nope' does not exist. Make sure that the name is entered correctly."},
        QueryError{"select @@nothing", 137, 15, "Must declare the scalar variable \"@@NOTHING\"."},
        QueryError{"select getdate(1)", 174, 15, "The getdate function requires 0 argument(s)."},
        QueryError{"select 1 = 1", 102, 15, "Incorrect syntax near '='."},
        QueryError{"select 1 where 1", 4145, 15,
                   "An expression of non-boolean type specified in a context where a condition is "
                   "expected, near '1'."},
        QueryError{"select 1/0", 8134, 16, "Divide by zero error encountered."},
        QueryError{"select 2147483647 + 1", 8115, 16,
                   "Arithmetic overflow error converting expression to data type int."},
        QueryError{"select 'a' - 'b'", 402, 16,
                   "The data types varchar and varchar are incompatible in the subtract operator."},
        QueryError{"select 'a' + 1", 245, 16,
                   "Conversion failed when converting the varchar value 'a' to data type int."},
        QueryError{"select -N'a'", 8117, 16,
                   "Operand data type nvarchar is invalid for minus operator."},
        QueryError{"select nosuch(1)", 195, 15,
                   "'nosuch' is not a recognized built-in function name."},
        QueryError{"select count(*) from sys.tables", 50000, 16,
                   "The function 'COUNT' is not supported by the dsadmin sandbox."},
        QueryError{"select name from sys.tables where name in ('a')", 50000, 16,
                   "The comparison 'IN' is not supported by the dsadmin sandbox."},
        QueryError{"select case when 1 = 1 then 1 end", 50000, 16,
                   "CASE is not supported by the dsadmin sandbox."},
        QueryError{"select left('a', -1)", 537, 16,
                   "Invalid length parameter passed to the LEFT or SUBSTRING function."},
        QueryError{"select * from Person", 50000, 16,
                   "Reading the rows of a user table is not supported by the dsadmin sandbox."},
        QueryError{"set language Deutsch", 50000, 16,
                   "The language 'Deutsch' is not supported by the dsadmin sandbox."}));

}  // namespace sandbox::test
