#include <gtest/gtest.h>

#include "ExpectDbError.h"
#include "db/ConnectionStrings.h"
#include "db/OleDbString.h"

using namespace dsadmin;

namespace {

struct GrammarCase {
    const char* text;
    const char* keyword;
    const char* value;  // nullptr: keyword absent
};

void PrintTo(const GrammarCase& c, std::ostream* os) {
    *os << c.text << " [" << c.keyword << "]";
}

class OleDbGrammar : public testing::TestWithParam<GrammarCase> {};

TEST_P(OleDbGrammar, ReadsTheValue) {
    const auto& c = GetParam();
    auto v = OleDbString::Parse(c.text).get(c.keyword);
    if (!c.value) {
        EXPECT_FALSE(v.has_value());
    } else {
        ASSERT_TRUE(v.has_value());
        EXPECT_EQ(*v, c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OleDbGrammar,
    testing::Values(
        GrammarCase{"User Id =sa;pwd=;data source=(local)", "user id", "sa"},
        GrammarCase{"User Id =sa;pwd=;data source=(local)", "PWD", ""},
        GrammarCase{"  Data Source  =  x y  ;", "data source", "x y"},
        GrammarCase{"pwd=\"a;b\"\"c\";uid=u", "pwd", "a;b\"c"},
        GrammarCase{"pwd='it''s';uid=u", "pwd", "it's"}, GrammarCase{"pwd= 'x' ;uid=u", "uid", "u"},
        GrammarCase{"pwd=a\"b", "pwd", "a\"b"},
        GrammarCase{"pwd=first;PWD=second", "pwd", "second"}, GrammarCase{"a==b=c", "a=b", "c"},
        GrammarCase{";;pwd=x;;", "pwd", "x"}, GrammarCase{"pwd=a;b;uid=u", "pwd", "a"},
        GrammarCase{"pwd=a;b;uid=u", "uid", "u"}, GrammarCase{"uid=u", "pwd", nullptr}));

TEST(OleDbGrammarErrors, UnclosedQuoteIsRefusedWithoutRepeatingTheText) {
    const char* text = "连接字符串格式不正确：带引号的值没有结束，或结束引号后还有文字。";
    EXPECT_DB_ERROR(OleDbString::Parse("pwd=\"secret"), text);
    EXPECT_DB_ERROR(OleDbString::Parse("pwd=\"secret\"x;uid=u"), text);
}

TEST(OleDbGrammarQuote, QuotesOnlyWhenTheGrammarNeedsIt) {
    struct Case {
        const char* value;
        const char* quoted;
    };
    const Case cases[] = {{"sa", "sa"},       {"", ""},
                          {"a b", "a b"},     {"it's", "it's"},
                          {"a\"b", "a\"b"},   {"(local)", "(local)"},
                          {"a;b", "\"a;b\""}, {"a;b\"c", "'a;b\"c'"},
                          {"'x", "\"'x\""},   {"\"x", "'\"x'"},
                          {"\tx", "\"\tx\""}, {"a;b\"c'd", "\"a;b\"\"c'd\""},
                          {"=x", "\"=x\""},   {"a=b", "a=b"}};
    for (const auto& c : cases) {
        EXPECT_EQ(OleDbString::QuoteValue(c.value), c.quoted);
        std::string s = std::string("pwd=") + OleDbString::QuoteValue(c.value) + ";uid=u";
        EXPECT_EQ(OleDbString::Parse(s).get("pwd").value(), c.value);
    }
}

TEST(ServerConnectionString, IsBuiltFromTheTrimmedBoxes) {
    EXPECT_EQ(ServerConnectionString("sa", "", "(local)"),
              "User Id =sa;pwd=;data source=(local);initial Catalog=master");
    EXPECT_EQ(ServerConnectionString("  sa  ", " pw ", " (local) "),
              "User Id =sa;pwd=pw;data source=(local);initial Catalog=master");
    EXPECT_EQ(ServerConnectionString("sa", "\tpw", "(local)"),
              "User Id =sa;pwd=\"\tpw\";data source=(local);initial Catalog=master");
}

TEST(ServerConnectionString, KeepsTheBlanksOfAPasswordGivenAsWritten) {
    const std::string s = ServerConnectionStringKeepingPassword(" sa ", "  pw ", "(local)");
    EXPECT_EQ(s, "User Id =sa;pwd=\"  pw \";data source=(local);initial Catalog=master");
    EXPECT_EQ(OleDbString::Parse(s).get("pwd").value(), "  pw ");
}

TEST(ServerConnectionString, PasswordWithSemicolonReadsBackWhole) {
    std::string s = ServerConnectionString("sa", "a;b\"c", "(local)");
    EXPECT_EQ(s, "User Id =sa;pwd='a;b\"c';data source=(local);initial Catalog=master");
    auto parsed = OleDbString::Parse(s);
    EXPECT_EQ(parsed.get("pwd").value(), "a;b\"c");
    EXPECT_EQ(parsed.get("data source").value(), "(local)");
    EXPECT_EQ(parsed.get("Initial Catalog").value(), "master");
}

struct PathCase {
    const char* folder;
    const char* dsName;
    const char* path;
};

void PrintTo(const PathCase& c, std::ostream* os) {
    *os << c.folder << " + " << c.dsName;
}

class StructureFile : public testing::TestWithParam<PathCase> {};

TEST_P(StructureFile, PathFollowsTheNameRules) {
    const auto& c = GetParam();
    auto ini = [&](const std::string& file, const std::string& section, const std::string& key,
                   const std::string& def) {
        EXPECT_EQ(file, "/opt/tools/Setup.ini");
        EXPECT_EQ(section, "DataBase");
        EXPECT_EQ(key, "DSName");
        EXPECT_EQ(def, "");
        return std::string(c.dsName);
    };
    EXPECT_EQ(GetCnnStr(c.folder, "/opt/tools/Setup.ini", ini),
              std::string("Provider=Microsoft.Jet.OLEDB.4.0;Data source=") + c.path);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StructureFile,
    testing::Values(PathCase{"/opt/tools", "Tables", "/opt/tools/Tables.DS"},
                    PathCase{"/", "Tables", "/Tables.DS"},
                    PathCase{"/opt/tools", "Tables.DS", "/opt/tools/Tables.DS"},
                    PathCase{"/opt/tools", "Tables.ds", "/opt/tools/Tables.ds.DS"},
                    PathCase{"/opt/tools", "  Tables  ", "/opt/tools/Tables.DS"},
                    PathCase{"/opt/tools", "X", "/opt/tools/X.DS"},
                    PathCase{"/opt/tools", "DS", "/opt/tools/DS.DS"},
                    PathCase{"/opt/tools", ".DS", "/opt/tools/.DS"},
                    PathCase{"/opt/tools", "", "/opt/tools/.DS"},
                    PathCase{"/opt/a;b", "T", "\"/opt/a;b/T.DS\""}));

}  // namespace
