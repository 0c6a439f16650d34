// The check's type rules: a structure file's type text against what the catalog reports for
// the column the server made of it.

#include <gtest/gtest.h>

#include "runs/check/ColumnType.h"

namespace {

using dsadmin::ColumnType;

struct TypeCase {
    const char* model;
    const char* server;
    long maxLength;  // bytes, as sys.columns reports them
    int precision, scale;
    std::vector<std::string> differences;
};

class CheckTypes : public testing::TestWithParam<TypeCase> {};

TEST_P(CheckTypes, ModelAgainstCatalog) {
    const TypeCase& c = GetParam();
    const ColumnType server = ColumnType::FromServer(c.server, c.maxLength, c.precision, c.scale);
    EXPECT_EQ(ColumnType::FromModel(c.model).differencesFrom(server), c.differences)
        << c.model << " against " << server.text();
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CheckTypes,
    testing::Values(
        TypeCase{"VarChar(20)", "varchar", 20, 0, 0, {}},
        TypeCase{"VarChar(20)", "varchar", 30, 0, 0, {"length"}},
        TypeCase{"Char", "char", 1, 0, 0, {}},               // the server's default length
        TypeCase{"NVarChar(40)", "nvarchar", 80, 0, 0, {}},  // bytes, not chars
        TypeCase{"nvarchar(MAX)", "nvarchar", -1, 0, 0, {}},
        TypeCase{"VarChar(max)", "varchar", 8000, 0, 0, {"length"}},
        TypeCase{"Decimal", "decimal", 9, 18, 0, {}},
        TypeCase{"Dec(10, 2)", "decimal", 9, 10, 3, {"scale"}},
        TypeCase{"Numeric(5)", "numeric", 5, 5, 0, {}}, TypeCase{"float(10)", "real", 4, 24, 0, {}},
        TypeCase{"Float", "float", 8, 53, 0, {}}, TypeCase{"DateTime2", "datetime2", 8, 27, 7, {}},
        TypeCase{"datetime2(3)", "datetime2", 7, 23, 7, {"scale"}},
        TypeCase{"Integer", "int", 4, 10, 0, {}}, TypeCase{"Int NOT NULL", "int", 4, 10, 0, {}},
        TypeCase{"Int", "bigint", 8, 19, 0, {"type"}},
        TypeCase{"RowVersion", "timestamp", 8, 0, 0, {}}));

TEST(CheckTypes, ServerTextFollowsSqlServerSpelling) {
    EXPECT_EQ(ColumnType::FromServer("nvarchar", 80, 0, 0).text(), "nvarchar(40)");
    EXPECT_EQ(ColumnType::FromServer("varbinary", -1, 0, 0).text(), "varbinary(max)");
    EXPECT_EQ(ColumnType::FromServer("decimal", 9, 10, 2).text(), "decimal(10,2)");
    EXPECT_EQ(ColumnType::FromServer("int", 4, 10, 0).text(), "int");
}

}  // namespace
