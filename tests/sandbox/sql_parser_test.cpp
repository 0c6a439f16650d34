// The lexer and the parser, through the engine: what a batch that cannot be parsed answers,
// and that such a batch runs nothing.

#include <filesystem>

#include "SqlEngineFixture.h"
#include "sandbox/sql/Lexer.h"

namespace sandbox::test {

using sql::Lexer;
using sql::TokenKind;

TEST(SqlLexer, SplitsNamesStringsNumbersAndSkipsComments) {
    const auto t = Lexer::tokenize(
        "select [a]]b], \"q\"\"x\", 'it''s', N'\xE4\xB8\xAD', 1.5e3 -- tail\n"
        "/* outer /* inner */ still */ from @@spid",
        {});
    ASSERT_EQ(t.size(), 13u);
    EXPECT_EQ(t[0].kind, TokenKind::Word);
    EXPECT_TRUE(t[0].reserved);
    EXPECT_EQ(t[1].kind, TokenKind::QuotedName);
    EXPECT_EQ(t[1].text, "a]b");
    EXPECT_EQ(t[3].text, "q\"x");
    EXPECT_EQ(t[5].kind, TokenKind::String);
    EXPECT_EQ(t[5].text, "it's");
    EXPECT_FALSE(t[5].unicode);
    EXPECT_TRUE(t[7].unicode);
    EXPECT_EQ(t[7].text, "\xE4\xB8\xAD");
    EXPECT_EQ(t[9].kind, TokenKind::Number);
    EXPECT_EQ(t[9].text, "1.5e3");
    EXPECT_EQ(t[10].text, "from");
    EXPECT_EQ(t[10].line, 2);
    EXPECT_EQ(t[11].kind, TokenKind::Variable);
    EXPECT_EQ(t[11].text, "@@spid");
    EXPECT_EQ(t[12].kind, TokenKind::End);
}

TEST(SqlLexer, ParametersBecomeLiteralTokensNotText) {
    const std::vector<Param> params = {{"@Name", std::string("x' or 1=1 --")},
                                       {"@n", std::int64_t{42}},
                                       {"@none", std::monostate{}}};
    const auto t = Lexer::tokenize("select @name, @N, @none, @other", params);
    EXPECT_EQ(t[1].kind, TokenKind::String);
    EXPECT_EQ(t[1].text, "x' or 1=1 --");
    EXPECT_EQ(t[3].kind, TokenKind::Number);
    EXPECT_EQ(t[3].text, "42");
    EXPECT_EQ(t[5].text, "NULL");
    EXPECT_TRUE(t[5].reserved);
    EXPECT_EQ(t[7].kind, TokenKind::Variable);
}

struct BatchError {
    std::string sql;
    int number;
    int severity;
    std::string text;
};

class SqlBatchErrors : public SqlEngineTest, public ::testing::WithParamInterface<BatchError> {};

TEST_P(SqlBatchErrors, AnswersWithTheServersMessage) {
    const BatchError& e = GetParam();
    EXPECT_SQL_ERROR(one(e.sql), e.number, e.severity, e.text);
}

INSTANTIATE_TEST_SUITE_P(
    Parser, SqlBatchErrors,
    ::testing::Values(
        BatchError{"CREATE TABLE T (A VarChar())", 102, 15, "Incorrect syntax near ')'."},
        BatchError{"CREATE TABLE Key (A int)", 156, 15, "Incorrect syntax near the keyword 'Key'."},
        BatchError{"CREATE TABLE T (A int, select int)", 156, 15,
                   "Incorrect syntax near the keyword 'select'."},
        BatchError{"Drop Database ", 156, 15, "Incorrect syntax near the keyword 'Database'."},
        BatchError{"Drop Database My Db", 102, 15, "Incorrect syntax near 'Db'."},
        BatchError{"create table T (a int)\nGO", 102, 15, "Incorrect syntax near 'GO'."},
        BatchError{"CREATE TABLE (A int)", 102, 15, "Incorrect syntax near '('."},
        BatchError{"select 'abc", 102, 15, "Incorrect syntax near 'abc'."},
        BatchError{"select 1 /* open /* nested */", 113, 15, "Missing end comment mark '*/'."},
        BatchError{"select [" + std::string(129, 'a') + "]", 103, 15,
                   "The identifier that starts with '" + std::string(128, 'a') +
                       "' is too long. Maximum length is 128."},
        BatchError{"use " + std::string(200, 'b'), 103, 15,
                   "The identifier that starts with '" + std::string(128, 'b') +
                       "' is too long. Maximum length is 128."},
        BatchError{"select 1 as []", 1038, 15,
                   "An object or column name is missing or empty. For SELECT INTO statements, "
                   "verify each column has a name. For other statements, look for empty alias "
                   "names. Aliases defined as \"\" or [] are not allowed. Change the alias to a "
                   "valid name."},
        BatchError{"select @x", 137, 15, "Must declare the scalar variable \"@x\"."},
        BatchError{"exec @r = sp_getapplock 'x', 'Shared'", 137, 15,
                   "Must declare the scalar variable \"@r\"."},
        BatchError{"declare @r int; select @R; select @s", 137, 15,
                   "Must declare the scalar variable \"@s\"."},
        BatchError{"declare @t varchar(10)", 50000, 16,
                   "The statement 'DECLARE of a variable of type varchar' is not supported by the "
                   "dsadmin sandbox."},
        BatchError{"select frobnicate()", 195, 15,
                   "'frobnicate' is not a recognized built-in function name."},
        BatchError{"select \xFF\xFE", 102, 15, "Incorrect syntax near '\xEF\xBF\xBD'."},
        // F5 to FF start no UTF-8 character, not even followed by continuation bytes.
        BatchError{"select '\xF8\x80\x80'", 102, 15, "Incorrect syntax near '\xEF\xBF\xBD'."},
        BatchError{std::string("select 1\0 2", 11), 102, 15,
                   "Incorrect syntax near '\xEF\xBF\xBD'."},
        BatchError{"insert into T values (1)", 50000, 16,
                   "The statement 'INSERT' is not supported by the dsadmin sandbox."},
        BatchError{"create view V as select 1", 50000, 16,
                   "The statement 'CREATE VIEW' is not supported by the dsadmin sandbox."},
        BatchError{"select " + std::string(5000, '(') + "1" + std::string(5000, ')'), 191, 15,
                   "Some part of your SQL statement is nested too deeply. Rewrite the query or "
                   "break it up into smaller queries."},
        // A long chain parses flat but would build a tree too deep to evaluate safely.
        BatchError{[] {
                       std::string s = "select 1";
                       for (int i = 0; i < 200000; ++i) s += "+1";
                       return s;
                   }(),
                   191, 15,
                   "Some part of your SQL statement is nested too deeply. Rewrite the query or "
                   "break it up into smaller queries."}));

TEST_F(SqlEngineTest, UnclosedQuoteSends105Before102) {
    const StatementResult r = one("select 1\nselect 'abc");
    ASSERT_EQ(r.precedingErrors.size(), 1u);
    EXPECT_EQ(r.precedingErrors[0].number, 105);
    EXPECT_EQ(r.precedingErrors[0].text,
              "Unclosed quotation mark after the character string 'abc'.");
    EXPECT_EQ(r.precedingErrors[0].line, 2);
    EXPECT_EQ(r.error->number, 102);
}

TEST_F(SqlEngineTest, SyntaxErrorRejectsTheWholeBatch) {
    const std::string db = saveDir() + "/A_dat.mdf";
    const auto results = session_->execute("CREATE DATABASE A ON (NAME=a, FILENAME='" + db +
                                           "')\nCREATE TABLE T (X int,)");
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].error->number, 102);
    EXPECT_EQ(results[0].error->line, 2);
    EXPECT_FALSE(std::filesystem::exists(db));
    EXPECT_SQL_ERROR(one("USE A"), 911, 16,
                     "Database 'A' does not exist. Make sure that the name is entered correctly.");
}

TEST_F(SqlEngineTest, RuntimeErrorDoesNotStopLaterStatements) {
    const auto results = session_->execute("USE Nowhere; select 1 select 2\n;;select 3");
    ASSERT_EQ(results.size(), 4u);
    EXPECT_EQ(results[0].error->number, 911);
    EXPECT_EQ(rows(results[1]), std::vector<std::string>{"1"});
    EXPECT_EQ(rows(results[3]), std::vector<std::string>{"3"});
    EXPECT_EQ(results[3].rowCount, 1);
}

TEST_F(SqlEngineTest, RuntimeErrorCarriesTheLineOfItsStatement) {
    const auto results = session_->execute("select 1\n\n  USE Nowhere");
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[1].error->line, 3);
}

TEST_F(SqlEngineTest, EmptyBatchAndCommentOnlyBatchRunNothing) {
    EXPECT_TRUE(session_->execute("").empty());
    EXPECT_TRUE(session_->execute("  -- nothing\n/* at all */ ;").empty());
}

TEST_F(SqlEngineTest, KeywordsIgnoreCaseAndBracketsQuoteNames) {
    ok("cReAtE tAbLe [select] ([from] InT, [a]]b] NVARCHAR(MAX) not NULL)");
    EXPECT_EQ(rows(ok("SELECT name FROM SYS.COLUMNS ORDER BY column_id")),
              (std::vector<std::string>{"from", "a]b"}));
}

TEST_F(SqlEngineTest, ParametersAreSubstitutedAsValues) {
    ok("CREATE TABLE Person (ID int)");
    const auto found = session_->execute("select name from sys.tables where name = @P1",
                                         {{"@P1", std::string("person")}});
    EXPECT_EQ(rows(found[0]), std::vector<std::string>{"Person"});
    const auto injected = session_->execute("select name from sys.tables where name = @P1",
                                            {{"@P1", std::string("x' or name <> '")}});
    ASSERT_EQ(injected.size(), 1u);
    EXPECT_FALSE(injected[0].error);
    EXPECT_TRUE(rows(injected[0]).empty());
}

TEST_F(SqlEngineTest, HugeBatchIsRefusedWithoutRunning) {
    const std::string huge = "select 1 " + std::string(Lexer::kMaxBatchBytes, ' ');
    EXPECT_EQ(one(huge).error->number, 50000);
}

TEST_F(SqlEngineTest, GarbageNeverCrashes) {
    std::string garbage;
    unsigned seed = 12345;
    for (int round = 0; round < 300; ++round) {
        garbage.clear();
        for (int i = 0; i < 200; ++i) {
            seed = seed * 1103515245u + 12345u;
            garbage += "(['\")*;,.@N-/x1 \n\xC3\xA9"[(seed >> 16) % 19];
        }
        for (const auto& r : session_->execute(garbage)) (void)r;
    }
    EXPECT_FALSE(ok("select 1").error);
}

}  // namespace sandbox::test
