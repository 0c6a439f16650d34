// CREATE TABLE, DROP TABLE, CREATE SCHEMA and what the catalog views then show.

#include "SqlEngineFixture.h"

namespace sandbox::test {

class SqlTableTest : public SqlEngineTest {
  protected:
    void SetUp() override {
        SqlEngineTest::SetUp();
        ok("CREATE DATABASE Sales on (name=Sales_dat,FILENAME ='" + saveDir() +
           "/Sales_dat.mdf' ,maxsize=unlimited)");
        ASSERT_FALSE(session_->useDatabase("Sales").error);
    }
    const std::string person_ =
        "CREATE TABLE Person (ID Int IDENTITY(1,1) PRIMARY KEY,Name VarChar(20),Code Char(4),Birth "
        "DateTime)";
};

TEST_F(SqlTableTest, ToolStatementsCreateAndFindTheTable) {
    EXPECT_TRUE(rows(ok("select * from sys.tables where name = 'Person'")).empty());
    ok(person_);
    const StatementResult r = ok("select * from sys.tables where name = 'Person'");
    ASSERT_EQ(r.rows->rows.size(), 1u);
    EXPECT_EQ(r.rowCount, 1);
    const std::vector<std::string> names = {
        "name",         "object_id",          "principal_id", "schema_id",   "parent_object_id",
        "type",         "type_desc",          "create_date",  "modify_date", "is_ms_shipped",
        "is_published", "is_schema_published"};
    for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(r.rows->columns[i].name, names[i]);
    const auto& row = r.rows->rows[0];
    EXPECT_EQ(text(row[0]), "Person");
    EXPECT_GT(std::get<std::int64_t>(row[1]), 0);
    EXPECT_EQ(text(row[2]), "NULL");
    EXPECT_EQ(text(row[3]), "1");
    EXPECT_EQ(text(row[5]), "U ");
    EXPECT_EQ(text(row[6]), "USER_TABLE");
    EXPECT_GT(std::get<DateTimeValue>(row[7]).days, 45000);  // after 2023
}

TEST_F(SqlTableTest, NamesCompareWithoutRegardToCase) {
    ok(person_);
    EXPECT_EQ(rows(ok("select name from sys.tables where name = 'PERSON'")),
              std::vector<std::string>{"Person"});
    EXPECT_EQ(rows(ok("select name from sys.tables where NAME = N'person  '")).size(), 1u);
    EXPECT_SQL_ERROR(one("create table PERSON (x int)"), 2714, 16,
                     "There is already an object named 'PERSON' in the database.");
}

TEST_F(SqlTableTest, ColumnsShowTheirTypes) {
    ok(person_);
    EXPECT_EQ(rows(ok("select name, system_type_id, max_length, [precision], scale, is_nullable, "
                      "is_identity from sys.columns order by column_id")),
              (std::vector<std::string>{"ID|56|4|10|0|0|1", "Name|167|20|0|0|1|0",
                                        "Code|175|4|0|0|1|0", "Birth|61|8|23|3|1|0"}));
    EXPECT_EQ(
        rows(
            ok("select COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, IS_NULLABLE from "
               "INFORMATION_SCHEMA.COLUMNS where TABLE_NAME = 'person' order by ORDINAL_POSITION")),
        (std::vector<std::string>{"ID|int|NULL|NO", "Name|varchar|20|YES", "Code|char|4|YES",
                                  "Birth|datetime|NULL|YES"}));
    EXPECT_EQ(rows(ok("select TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE from "
                      "INFORMATION_SCHEMA.TABLES")),
              std::vector<std::string>{"Sales|dbo|Person|BASE TABLE"});
}

TEST_F(SqlTableTest, EveryTypeNameIsKnown) {
    ok("create table dbo.AllTypes (a int, b BIGINT, c smallint, d tinyint, e bit, f decimal(10,2), "
       "g numeric, h money, i smallmoney, j float, k real, l datetime, m smalldatetime, n date, "
       "o time(3), p datetime2, q char(10), r varchar(max), s nchar(5), t nvarchar(4000), u text, "
       "v ntext, w binary(8), x varbinary(max), y image, z uniqueidentifier, aa float(10), "
       "ab datetimeoffset(0), ac sysname, ad decimal(38, 38))");
    EXPECT_EQ(
        rows(ok("select c.max_length, c.precision, c.scale from sys.columns c where c.name = 'f'")),
        std::vector<std::string>{"9|10|2"});
    EXPECT_EQ(rows(ok("select system_type_id, max_length from sys.columns where name = 'aa'")),
              std::vector<std::string>{"59|4"});
    EXPECT_EQ(rows(ok("select max_length from sys.columns where name = 'r'")),
              std::vector<std::string>{"-1"});
    EXPECT_EQ(rows(ok("select max_length from sys.columns where name = 't'")),
              std::vector<std::string>{"8000"});

    // Synonyms are stored as the type they stand for.
    ok("create table Synonyms (sa INTEGER, sb Dec(5,2), sc character(3))");
    EXPECT_EQ(
        rows(ok("select name, system_type_id, [precision], scale, max_length from sys.columns "
                "where name = 'sa' or name = 'sb' or name = 'sc' order by column_id")),
        (std::vector<std::string>{"sa|56|10|0|4", "sb|106|5|2|5", "sc|175|0|0|3"}));
}

struct TableError {
    std::string sql;
    int number;
    int severity;
    std::string text;
    int first = 0;  // the error sent before it, if any
    std::string firstText = {};
};

const char* const kSeePrevious = "Could not create constraint or index. See previous errors.";

class SqlTableErrors : public SqlTableTest, public ::testing::WithParamInterface<TableError> {};

TEST_P(SqlTableErrors, AnswersWithTheServersMessageAndCreatesNothing) {
    const TableError& e = GetParam();
    const StatementResult r = one(e.sql);
    EXPECT_SQL_ERROR(r, e.number, e.severity, e.text);
    ASSERT_EQ(r.precedingErrors.size(), e.first ? 1u : 0u);
    if (e.first) {
        EXPECT_EQ(r.precedingErrors[0].number, e.first);
        EXPECT_EQ(r.precedingErrors[0].text, e.firstText);
    }
    EXPECT_TRUE(rows(ok("select name from sys.tables")).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Create, SqlTableErrors,
    ::testing::Values(
        TableError{"CREATE TABLE Stock (Qty Int,Note Txt)", 2715, 16,
                   "Column, parameter, or variable #2: Cannot find data type Txt."},
        TableError{"CREATE TABLE T (A Int PRIMARY KEY,B Int PRIMARY KEY)", 8110, 16,
                   "Cannot add multiple PRIMARY KEY constraints to table 'T'."},
        TableError{"CREATE TABLE T (A Int PRIMARY KEY, B int, primary key (B))", 8110, 16,
                   "Cannot add multiple PRIMARY KEY constraints to table 'T'."},
        TableError{"CREATE TABLE T (A VarChar(20) IDENTITY(1,1))", 2749, 16,
                   "Identity column 'A' must be of data type int, bigint, smallint, tinyint, or "
                   "decimal or numeric with a scale of 0, and constrained to be nonnullable."},
        TableError{"CREATE TABLE T (A decimal(9,2) IDENTITY)", 2749, 16,
                   "Identity column 'A' must be of data type int, bigint, smallint, tinyint, or "
                   "decimal or numeric with a scale of 0, and constrained to be nonnullable."},
        TableError{"CREATE TABLE T (A int IDENTITY, B bigint IDENTITY)", 2744, 16,
                   "Multiple identity columns specified for table 'T'. Only one identity column "
                   "per table is allowed."},
        TableError{"CREATE TABLE T (A int, a int)", 2705, 16,
                   "Column names in each table must be unique. Column name 'a' in table 'T' is "
                   "specified more than once."},
        TableError{
            "CREATE TABLE T (A int(4))", 2716, 16,
            "Column, parameter, or variable #1: Cannot specify a column width on data type int."},
        TableError{"CREATE TABLE T (A varchar(9000))", 131, 15,
                   "The size (9000) given to the column 'A' exceeds the maximum allowed for any "
                   "data type (8000)."},
        TableError{"CREATE TABLE T (A nvarchar(4001))", 2717, 15,
                   "The size (4001) given to the column 'A' exceeds the maximum allowed (4000)."},
        TableError{"CREATE TABLE T (A varchar(0))", 1001, 15,
                   "Line 1: Length or precision specification 0 is invalid."},
        TableError{"CREATE TABLE T (A decimal(39))", 2750, 16,
                   "Column or parameter #1: Specified column precision 39 is greater than the "
                   "maximum precision of 38."},
        TableError{"CREATE TABLE T (A int NULL PRIMARY KEY)", 1750, 16, kSeePrevious, 8111,
                   "Cannot define PRIMARY KEY constraint on nullable column in table 'T'."},
        TableError{"CREATE TABLE T (A int, primary key (B))", 1750, 16, kSeePrevious, 1911,
                   "Column name 'B' does not exist in the target table or view."},
        TableError{"CREATE TABLE T (A int CONSTRAINT T PRIMARY KEY)", 1750, 16, kSeePrevious, 2714,
                   "There is already an object named 'T' in the database."},
        TableError{"CREATE TABLE T (A dbo.FooBar)", 2715, 16,
                   "Column, parameter, or variable #1: Cannot find data type dbo.FooBar."},
        TableError{"CREATE TABLE hr.T (A int)", 2760, 16,
                   "The specified schema name \"hr\" either does not exist or you do not have "
                   "permission to use it."},
        TableError{"CREATE TABLE sys.T (A int)", 2760, 16,
                   "The specified schema name \"sys\" either does not exist or you do not have "
                   "permission to use it."},
        TableError{"CREATE TABLE Nope.dbo.T (A int)", 2702, 16, "Database 'Nope' does not exist."},
        TableError{"DROP TABLE dbo.Missing", 3701, 11,
                   "Cannot drop the table 'dbo.Missing', because it does not exist or you do not "
                   "have permission."}));

TEST_F(SqlTableTest, TooManyColumnsIs1702) {
    std::string sql = "create table Wide (";
    for (int i = 1; i <= 1025; ++i) sql += (i > 1 ? ", c" : "c") + std::to_string(i) + " int";
    EXPECT_SQL_ERROR(one(sql + ")"), 1702, 16,
                     "CREATE TABLE failed because column 'c1025' in table 'Wide' exceeds the "
                     "maximum of 1024 columns.");
}

TEST_F(SqlTableTest, TableInAnotherSchemaIsFoundBySysTables) {
    ok("create schema hr");
    ok("create table hr.Person (ID int)");
    EXPECT_EQ(rows(ok("select name, schema_id from sys.tables where name = 'Person'")),
              std::vector<std::string>{"Person|5"});
    ok(person_);  // dbo.Person may exist beside hr.Person
    EXPECT_EQ(rows(ok("select s.name from sys.schemas s where s.schema_id = 5")),
              std::vector<std::string>{"hr"});
    EXPECT_EQ(rows(ok("select name from sys.tables where name = 'Person'")).size(), 2u);
    EXPECT_SQL_ERROR(one("create schema HR"), 2714, 16,
                     "There is already an object named 'HR' in the database.");
}

TEST_F(SqlTableTest, DropTableRemovesItAndItsColumns) {
    ok(person_);
    ok("drop table [dbo].[person]");
    EXPECT_TRUE(rows(ok("select * from sys.tables")).empty());
    EXPECT_TRUE(rows(ok("select * from sys.columns")).empty());
    ok("drop table if exists Person");
    ok(person_);
}

TEST_F(SqlTableTest, TablesBelongToTheirOwnDatabase) {
    ok(person_);
    ok("use master");
    EXPECT_TRUE(rows(ok("select * from sys.tables where name = 'Person'")).empty());
    EXPECT_EQ(rows(ok("select name from Sales.sys.tables")), std::vector<std::string>{"Person"});
    ok("create table Sales.dbo.Other (x int)");
    ok("create table Sales..Third (x int)");
    EXPECT_EQ(
        rows(ok("select TABLE_NAME from Sales.INFORMATION_SCHEMA.TABLES order by TABLE_NAME")),
        (std::vector<std::string>{"Other", "Person", "Third"}));
}

TEST_F(SqlTableTest, LaterStatementsRunAfterAFailedCreateTable) {
    const auto results = session_->execute(
        "CREATE TABLE A (x int)\nCREATE TABLE B (x Nope)\nCREATE TABLE C (x int)");
    ASSERT_EQ(results.size(), 3u);
    EXPECT_FALSE(results[0].error);
    EXPECT_EQ(results[1].error->number, 2715);
    EXPECT_EQ(results[1].error->line, 2);
    EXPECT_FALSE(results[2].error);
    EXPECT_EQ(rows(ok("select name from sys.tables order by name")),
              (std::vector<std::string>{"A", "C"}));
}

}  // namespace sandbox::test
