// The Jet provider over structure files written by dsfile.
#include <filesystem>

#include "ExpectDbError.h"
#include "StructureFileFixture.h"
#include "db/Connection.h"
#include "db/ConnectionStrings.h"
#include "db/Recordset.h"

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

}  // namespace
