// The Jet provider over structure files written by dsfile.
#include <filesystem>

#include "ExpectDbError.h"
#include "StructureFileFixture.h"
#include "db/Connection.h"
#include "db/ConnectionStrings.h"
#include "db/Recordset.h"
#include "db/jet/JetQuery.h"
#include "db/jet/JetReader.h"
#include "db/jet/JetSession.h"

using namespace dsadmin;

namespace {

class JetProvider : public StructureFileTest {
  protected:
    void open(Connection& cn, const std::string& path) {
        cn.ConnectionString(std::string("Provider=") + kJetProvider + ";Data source=" + path);
        cn.Open();
    }
    static std::vector<std::string> read(Connection& cn, const std::string& sql,
                                         const std::string& field) {
        Recordset rs;
        rs.Open(sql, cn, kOpenKeyset, kLockReadOnly, kUnspecified);
        std::vector<std::string> out;
        if (!rs.Eof()) rs.MoveFirst();
        for (; !rs.Eof(); rs.MoveNext())
            out.push_back(rs.Fields(field).isNull() ? "<null>" : rs.Fields(field).text());
        rs.Close();
        return out;
    }
};

const char* kRows =
    "ftable\tfname\tflb\tflong\tfauto\tfindex\n"
    "stock\ta\tInt\t\\N\t0\t0\n"
    "Person\tb\tInt\t\\N\t0\t0\n"
    "\\N\tc\tInt\t\\N\t0\t0\n"
    "PERSON\td\tInt\t\\N\t0\t0\n"
    "Stock\te\tInt\t\\N\t0\t0\n"
    "person\tf\tInt\t\\N\t0\t0\n";

TEST_F(JetProvider, WhereIgnoresCaseAndKeepsTheFileOrder) {
    Connection cn;
    open(cn, write(kRows));
    EXPECT_EQ(read(cn, "select * from ds where ftable='pErSoN'", "fname"),
              (std::vector<std::string>{"b", "d", "f"}));
    EXPECT_EQ(read(cn, "select * from ds", "fname"),
              (std::vector<std::string>{"a", "b", "c", "d", "e", "f"}));
}

TEST_F(JetProvider, DistinctSortsNullFirstAndKeepsTheFirstCaseVariant) {
    Connection cn;
    open(cn, write(kRows));
    EXPECT_EQ(read(cn, "select distinct ftable from ds", "ftable"),
              (std::vector<std::string>{"<null>", "Person", "stock"}));
}

TEST_F(JetProvider, ReadsEachTableOncePerConnection) {
    std::string path = write(kRows);
    Connection cn;
    open(cn, path);
    read(cn, "select distinct ftable from ds", "ftable");
    std::filesystem::remove(path);  // later queries are answered from the first read
    EXPECT_EQ(read(cn, "select * from DS where ftable='stock'", "fname"),
              (std::vector<std::string>{"a", "e"}));
    cn.Close();
    Connection again;
    EXPECT_DB_ERROR(open(again, path), "结构文件“" + path + "”不存在。");
}

TEST_F(JetProvider, MissingTableOrColumnIsNamed) {
    std::string path = write(kRows);
    Connection cn;
    open(cn, path);
    EXPECT_DB_ERROR(read(cn, "select * from dss", "x"), "结构文件“" + path + "”中找不到表“dss”。");
    EXPECT_DB_ERROR(read(cn, "select fnone from ds", "x"), "表“ds”中找不到列“fnone”。");
    EXPECT_DB_ERROR(cn.Execute("delete from ds"), "查询语法错误：“delete”处应为 SELECT。");
    EXPECT_DB_ERROR(cn.DefaultDatabase("x"), "结构文件中没有可切换的数据库。");
}

// A run reading a file that lost rows fails with the reason; it never builds part of the
// database from part of the table.
TEST_F(JetProvider, TableCutShortFailsTheQuery) {
    std::string path = write(kRows);
    std::string bytes = StructureFileTest::read(path);
    // The one data page of ds (owned by its definition on page 6) is lost.
    for (std::size_t at = 7 * 4096; at < bytes.size(); at += 4096)
        if (bytes[at] == 1 && bytes[at + 4] == 6) std::fill_n(bytes.begin() + at, 4096, '\0');
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    Connection cn;
    open(cn, path);
    EXPECT_DB_ERROR(
        read(cn, "select distinct ftable from ds", "ftable"),
        "“" + path + "”不是有效的结构文件（表“ds”被截断或已损坏：其定义有 6 行，只能读出 0 行）。");
}

// The runs' two queries stream (the distinct column, then each text's rows fetched with those
// that follow it): the answers are those of the whole table read at once, whatever the order
// of the rows in the file, the order of the questions, case variants, Null and numbers.
TEST_F(JetProvider, StreamedQueriesAnswerAsTheWholeTableDoes) {
    std::string tsv = "ftable\tfname\tflb\tflong\tfauto\tfindex\n";
    // 700 tables (more than one fetch ahead), their rows interleaved in threes, a case
    // variant of each tenth, Null names and a table whose name reads as a number.
    for (int round = 0; round < 3; ++round)
        for (int t = 0; t < 700; ++t) {
            std::string name = "Table" + std::to_string(t);
            if (t % 10 == 0 && round == 1) name = "TABLE" + std::to_string(t);
            tsv += name + "\tc" + std::to_string(round) + "\tInt\t" + std::to_string(t % 7) +
                   "\t0\t0\n";
        }
    tsv += "\\N\tnull1\tInt\t1\t0\t0\n42\tnum\tInt\t2\t0\t0\n";
    // Hyphens only break ties; accented letters sort with their base letter.
    for (const char* name : {"Tab-le1", "Table-1", "table1-", "Täble5", "T-able0"})
        tsv += std::string(name) + "\tx\tInt\t3\t0\t0\n";
    const std::string path = write(tsv);
    const JetTable whole = JetReader(path).readTable("ds");
    auto expected = [&](const std::string& sql) {
        RowSet rs = JetSession::Evaluate(JetQuery::Parse(sql), whole);
        std::vector<std::string> out;
        for (const auto& row : rs.rows) out.push_back(row[0].isNull() ? "<null>" : row[0].text());
        return out;
    };
    Connection cn;
    open(cn, path);
    const std::vector<std::string> names = read(cn, "select distinct ftable from ds", "ftable");
    ASSERT_EQ(names, expected("select distinct ftable from ds"));
    ASSERT_EQ(names.size(), 707u);
    // In the order of the list (as the runs ask), then some again and out of order.
    std::vector<std::string> asked;
    for (const auto& n : names)
        if (n != "<null>") asked.push_back(n);
    for (int t : {699, 3, 350, 10, 0, 698}) asked.push_back("table" + std::to_string(t));
    asked.push_back("Missing");
    for (const std::string& n : asked) {
        const std::string sql = "select fname from ds where ftable='" + n + "'";
        ASSERT_EQ(read(cn, sql, "fname"), expected(sql)) << sql;
    }
    // A number column: every row's value is compared here.
    EXPECT_EQ(read(cn, "select fname from ds where flong='2'", "fname"),
              expected("select fname from ds where flong='2'"));
    EXPECT_DB_ERROR(read(cn, "select fname from ds where flong='two'", "fname"),
                    "标准表达式中数据类型不匹配。");
    EXPECT_DB_ERROR(read(cn, "select fname from ds where fnone='x'", "fname"),
                    "表“ds”中找不到列“fnone”。");
    EXPECT_DB_ERROR(read(cn, "select distinct fnone from ds", "fnone"),
                    "表“ds”中找不到列“fnone”。");
    EXPECT_EQ(read(cn, "select distinct flong from ds", "flong"),
              expected("select distinct flong from ds"));
}

}  // namespace
