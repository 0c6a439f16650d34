#include <gtest/gtest.h>

#include "ExpectDbError.h"
#include "db/jet/JetCollation.h"
#include "db/jet/JetQuery.h"
#include "db/jet/JetSession.h"

using namespace dsadmin;

namespace {

TEST(JetQueryParse, ReadsTheForms) {
    JetQuery q = JetQuery::Parse("select distinct ftable from ds");
    EXPECT_TRUE(q.distinct);
    EXPECT_EQ(q.columns, std::vector<std::string>{"ftable"});
    EXPECT_EQ(q.table, "ds");
    EXPECT_FALSE(q.where);

    q = JetQuery::Parse("select * from ds where ftable='Person'");
    EXPECT_FALSE(q.distinct);
    EXPECT_TRUE(q.columns.empty());
    ASSERT_TRUE(q.where);
    EXPECT_EQ(q.where->column, "ftable");
    EXPECT_EQ(q.where->text, "Person");

    q = JetQuery::Parse("  SELECT [f name], b FROM [my table] WHERE [f name] = 'it''s' ; ");
    EXPECT_EQ(q.columns, (std::vector<std::string>{"f name", "b"}));
    EXPECT_EQ(q.table, "my table");
    EXPECT_EQ(q.where->text, "it's");

    q = JetQuery::Parse("select * from ds where ftable=''");
    EXPECT_EQ(q.where->text, "");
    EXPECT_EQ(JetQuery::Parse("select * from ds where a = \"x\"\"y\"").where->text, "x\"y");
}

TEST(JetQueryParse, RefusesAnythingElse) {
    struct Case {
        const char* sql;
        const char* error;
    };
    const Case cases[] = {
        {"", "查询语法错误：查询末尾应为 SELECT。"},
        {"delete from ds", "查询语法错误：“delete”处应为 SELECT。"},
        {"select from ds", "查询语法错误：“from”处应为列名。"},
        {"select * ds", "查询语法错误：“ds”处应为 FROM。"},
        {"select * from ds order by ftable", "查询语法错误：“order”处应为查询的结尾。"},
        {"select * from ds where ftable='O'Brien'", "查询语法错误：“Brien”处应为查询的结尾。"},
        {"select * from ds where ftable='x", "查询语法错误：文字常量没有结束。"},
        {"select * from ds where ftable=1", "查询语法错误：“1”处应为带引号的文字。"},
        {"select * from ds where ftable like 'x'", "查询语法错误：“like”处应为“=”。"},
        {"select * from [ds", "查询语法错误：方括号中的名称没有结束。"},
        {"select * from ds; drop table ds", "查询语法错误：“drop”处应为查询的结尾。"},
    };
    for (const auto& c : cases) EXPECT_DB_ERROR(JetQuery::Parse(c.sql), c.error);
}

JetTable makeTable(std::vector<Value> ftable) {
    JetTable t;
    t.name = "ds";
    t.columns = {{"ftable", JetType::Text, 100}, {"n", JetType::Long, 4}};
    std::int64_t i = 0;
    for (auto& v : ftable) {
        t.cells.push_back(v);
        t.cells.emplace_back(i++);
    }
    return t;
}

std::vector<std::string> column(const RowSet& rs, std::size_t c) {
    std::vector<std::string> out;
    for (const auto& r : rs.rows) out.push_back(r[c].isNull() ? "<null>" : r[c].text());
    return out;
}

TEST(JetSemantics, WhereComparesTextWithoutRegardToCase) {
    JetTable t = makeTable({"Person", "stock", "PERSON", Value(), "person", "Personal"});
    RowSet rs = JetSession::Evaluate(JetQuery::Parse("select * from ds where ftable='person'"), t);
    EXPECT_EQ(column(rs, 1), (std::vector<std::string>{"0", "2", "4"}));
    EXPECT_EQ(rs.columns, (std::vector<std::string>{"ftable", "n"}));
    rs = JetSession::Evaluate(JetQuery::Parse("select * from ds where ftable=''"), t);
    EXPECT_TRUE(rs.rows.empty());
}

TEST(JetSemantics, DistinctSortsNullFirstAndKeepsTheFirstCaseVariant) {
    JetTable t = makeTable({"stock", "Person", Value(), "b_c", "PERSON", "b1", Value(), "Stock",
                            "a-b", "ab", "Élan", "Zeta", "eve"});
    RowSet rs = JetSession::Evaluate(JetQuery::Parse("select distinct ftable from ds"), t);
    EXPECT_EQ(column(rs, 0), (std::vector<std::string>{"<null>", "ab", "a-b", "b_c", "b1", "Élan",
                                                       "eve", "Person", "stock", "Zeta"}));
}

TEST(JetSemantics, PlainSelectKeepsTheFileOrder) {
    JetTable t = makeTable({"b", "a", "b", "c"});
    RowSet rs = JetSession::Evaluate(JetQuery::Parse("select ftable from ds"), t);
    EXPECT_EQ(column(rs, 0), (std::vector<std::string>{"b", "a", "b", "c"}));
}

TEST(JetSemantics, MissingColumnIsNamed) {
    JetTable t = makeTable({"a"});
    EXPECT_DB_ERROR(JetSession::Evaluate(JetQuery::Parse("select fnone from ds"), t),
                    "表“ds”中找不到列“fnone”。");
    EXPECT_DB_ERROR(JetSession::Evaluate(JetQuery::Parse("select * from ds where x='1'"), t),
                    "表“ds”中找不到列“x”。");
    EXPECT_DB_ERROR(JetSession::Evaluate(JetQuery::Parse("select * from ds where n='one'"), t),
                    "标准表达式中数据类型不匹配。");
}

TEST(JetCollation, FoldsLatinGreekAndCyrillic) {
    EXPECT_EQ(FoldCase("PersON ÉLAN ĀĹ ΣΩ ДЖ Ё 中文"), "person élan āĺ σω дж ё 中文");
}

}  // namespace
