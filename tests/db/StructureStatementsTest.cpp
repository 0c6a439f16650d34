// The table statements of structure files written by dsfile, through `dsfile script` (the
// create run's code path: the Jet provider's two queries and GetCreateTableStr).
#include "StructureFileFixture.h"

namespace {

const char* kHeader = "ftable\tfname\tflb\tflong\tfauto\tfindex\n";

struct StatementCase {
    const char* name;
    std::string header;
    std::string rows;
    std::string statements;
};

void PrintTo(const StatementCase& c, std::ostream* os) {
    *os << c.name;
}

class TableStatements : public StructureFileTest,
                        public testing::WithParamInterface<StatementCase> {};

TEST_P(TableStatements, AreBuiltToTheCharacter) {
    const auto& c = GetParam();
    auto run = script(write(c.header + c.rows));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, c.statements);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TableStatements,
    testing::Values(
        StatementCase{"WorkedExample", kHeader,
                      "Person\tID\tInt\t0\t1\t1\n"
                      "Person\tName\tVarChar\t20\t0\t0\n"
                      "Person\tCode\tChar(4)\t4\t0\t0\n"
                      "Person\tBirth\tDateTime\t\\N\t0\t0\n",
                      "CREATE TABLE Person (ID Int IDENTITY(1,1) PRIMARY KEY,Name VarChar(20),"
                      "Code Char(4),Birth DateTime)\n"},
        StatementCase{"NoRows", kHeader, "", ""},
        StatementCase{"SingleRowHasNoComma", kHeader, "Stock\tQty\tInt\t\\N\t0\t0\n",
                      "CREATE TABLE Stock (Qty Int)\n"},
        StatementCase{"NullTableFormsNoStatement", kHeader,
                      "\\N\tLost\tInt\t\\N\t0\t0\nStock\tQty\tInt\t\\N\t0\t0\n",
                      "CREATE TABLE Stock (Qty Int)\n"},
        StatementCase{
            "LowerCaseVarcharTakesNoLength", kHeader,
            "T\ta\tvarchar\t20\t0\t0\nT\tb\tVARCHAR\t20\t0\t0\nT\tc\tNVarChar\t20\t0\t0\n",
            "CREATE TABLE T (a varchar,b VARCHAR,c NVarChar)\n"},
        StatementCase{"VarCharWithoutLength", kHeader, "T\ta\tVarChar\t\\N\t0\t0\n",
                      "CREATE TABLE T (a VarChar())\n"},
        StatementCase{"FlagsOfMinusOneSetNothing", kHeader, "T\ta\tInt\t\\N\t-1\t-1\n",
                      "CREATE TABLE T (a Int)\n"},
        StatementCase{
            "YesNoFlagsSetNothing", "ftable\tfname\tflb\tflong\tfauto:yesno\tfindex:yesno\n",
            "T\ta\tInt\t\\N\tyes\tyes\nT\tb\tInt\t\\N\tno\tno\n", "CREATE TABLE T (a Int,b Int)\n"},
        StatementCase{"TextFlagCountsByItsNumber",
                      "ftable\tfname\tflb\tflong\tfauto:text(10)\tfindex:text(10)\n",
                      "T\ta\tInt\t\\N\t1\t 1.0\nT\tb\tInt\t\\N\t2\t\\N\n",
                      "CREATE TABLE T (a Int IDENTITY(1,1) PRIMARY KEY,b Int)\n"},
        StatementCase{
            "QuotesInATableNameStayVerbatim", kHeader,
            "O'Brien\ta\tInt\t\\N\t0\t0\n'\tb\tInt\t\\N\t0\t0\nO'Brien\tc\tInt\t\\N\t0\t0\n",
            "CREATE TABLE ' (b Int)\nCREATE TABLE O'Brien (a Int,c Int)\n"},
        StatementCase{"TwoPrimaryKeys", kHeader, "T\ta\tInt\t\\N\t0\t1\nT\tb\tInt\t\\N\t0\t1\n",
                      "CREATE TABLE T (a Int PRIMARY KEY,b Int PRIMARY KEY)\n"},
        StatementCase{"InterleavedTables", kHeader,
                      "Stock\tQty\tInt\t\\N\t0\t0\nPerson\tID\tInt\t\\N\t1\t1\n"
                      "Stock\tItem\tVarChar\t30\t0\t0\nPerson\tName\tVarChar\t20\t0\t0\n",
                      "CREATE TABLE Person (ID Int IDENTITY(1,1) PRIMARY KEY,Name VarChar(20))\n"
                      "CREATE TABLE Stock (Qty Int,Item VarChar(30))\n"},
        StatementCase{"CaseVariantsOfATableNameAreOneTable", kHeader,
                      "Person\tID\tInt\t\\N\t0\t0\nPERSON\tName\tVarChar\t20\t0\t0\n",
                      "CREATE TABLE Person (ID Int,Name VarChar(20))\n"},
        StatementCase{"MissingFlongColumnIsNotReadForOtherTypes",
                      "ftable\tfname\tflb\tfauto\tfindex\n", "T\ta\tInt\t0\t1\n",
                      "CREATE TABLE T (a Int PRIMARY KEY)\n"},
        StatementCase{"OtherColumnsAreIgnored",
                      "fnote:text(20)\tftable\tfname\tflb\tflong\tfauto\tfindex\n",
                      "x\tT\ta\tInt\t\\N\t0\t0\n", "CREATE TABLE T (a Int)\n"}),
    [](const auto& info) { return std::string(info.param.name); });

struct FailureCase {
    const char* name;
    std::string header;
    std::string rows;
    std::string table;
    std::string out;
    std::string err;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class TableStatementFailures : public StructureFileTest,
                               public testing::WithParamInterface<FailureCase> {};

TEST_P(TableStatementFailures, GoToStandardErrorWithStatusOne) {
    const auto& c = GetParam();
    auto run = script(write(c.header + c.rows, "t.DS", c.table));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, "dsfile: " + c.err + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TableStatementFailures,
    testing::Values(FailureCase{"TextFlagThatIsNoNumber",
                                "ftable\tfname\tflb\tflong\tfauto:text(10)\tfindex\n",
                                "A\ta\tInt\t\\N\t0\t0\nB\tb\tInt\t\\N\tyes\t0\n", "ds",
                                "CREATE TABLE A (a Int)\n", "类型不匹配"},
                    FailureCase{"MissingFlongColumnForVarChar",
                                "ftable\tfname\tflb\tfauto\tfindex\n", "T\ta\tVarChar\t0\t0\n",
                                "ds", "", "在对应所需名称或序数的集合中，未找到项目“flong”。"},
                    FailureCase{"MissingFtableColumn", "fname\tflb\tflong\tfauto\tfindex\n",
                                "a\tInt\t\\N\t0\t0\n", "ds", "", "表“ds”中找不到列“ftable”。"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StructureFileTest, MissingDsTableIsNamed) {
    std::string path = write(kHeader, "t.DS", "other");
    auto run = script(path);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "dsfile: 结构文件“" + path + "”中找不到表“ds”。\n");
}

TEST_F(StructureFileTest, MissingOrForeignFileIsNamed) {
    auto run = script(dir_ + "/none.DS");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "dsfile: 结构文件“" + dir_ + "/none.DS”不存在。\n");
    std::ofstream(dir_ + "/text.DS") << "not a database at all\n";
    run = script(dir_ + "/text.DS");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("dsfile: “" + dir_ + "/text.DS”不是有效的结构文件（", 0), 0u)
        << run.err;
}

}  // namespace

namespace {

TEST_F(StructureFileTest, SampleStructurePrintsTheStatementsACreateRunSends) {
    auto run = script(SAMPLE_DS);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, read(SAMPLE_SQL));
}

}  // namespace
