// The rules the runs apply before any server is involved: which database names are plain
// identifiers, which save paths pass the existence test, and the statement texts.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "TempFolder.h"
#include "db/DbError.h"
#include "db/TableStatements.h"
#include "runs/CreateDatabaseRun.h"
#include "runs/DatabaseName.h"
#include "runs/DeleteDatabaseRun.h"
#include "runs/ModifyDatabaseRun.h"
#include "runs/SavePath.h"

namespace {

using namespace dsadmin;
using runs_test::TempFolder;

std::string Repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

struct NameCase {
    std::string name;
    bool plain;
    friend void PrintTo(const NameCase& c, std::ostream* out) { *out << '"' << c.name << '"'; }
};

class DatabaseNameRule : public testing::TestWithParam<NameCase> {};

TEST_P(DatabaseNameRule, PlainIdentifiersOnly) {
    EXPECT_EQ(IsPlainIdentifier(GetParam().name), GetParam().plain) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, DatabaseNameRule,
    testing::Values(NameCase{"Sales", true}, NameCase{"VK4812", true}, NameCase{"销售库", true},
                    NameCase{"Ünïcødé_Ωμέγα", true}, NameCase{"_x", true}, NameCase{"@a", true},
                    NameCase{"#t", true}, NameCase{"a$b", true}, NameCase{"a١٢", true},
                    NameCase{Repeat("a", 128), true}, NameCase{Repeat("库", 128), true},
                    NameCase{Repeat("a", 129), false}, NameCase{Repeat("库", 129), false},
                    NameCase{"Sales,master", false}, NameCase{"Sales drop database master", false},
                    NameCase{"Sales;drop database master", false}, NameCase{"1abc", false},
                    NameCase{"１abc", false}, NameCase{"$a", false}, NameCase{"a-b", false},
                    NameCase{"a b", false}, NameCase{"a'b", false}, NameCase{"[a]", false},
                    NameCase{"a.b", false}, NameCase{"a\tb", false}, NameCase{"a\nb", false},
                    NameCase{"a--", false}, NameCase{"a/*", false}, NameCase{"\xff\xfe", false},
                    NameCase{"a\xe9", false}, NameCase{std::string("a\0b", 3), false},
                    NameCase{"", false}));

TEST(DatabaseNameRule, RefusalNamesTheNameAndTheRule) {
    try {
        RequirePlainDatabaseName("Sales,master");
        FAIL() << "no refusal";
    } catch (const DbError& e) {
        EXPECT_STREQ(e.what(),
                     "数据库名“Sales,master”无效：只能包含字母、数字、_、@、# 和 $，"
                     "不能以数字或 $ 开头，最长 128 个字符（表情符号等补充平面字符每个算两个）。");
    }
    EXPECT_NO_THROW(RequirePlainDatabaseName(""));  // the server answers the empty name itself
    EXPECT_NO_THROW(RequirePlainDatabaseName("Sales"));
}

// The server counts UTF-16 units, and the log it names "<name>_log" for a created database
// must fit in 128 of them.
TEST(DatabaseNameRule, LengthIsCountedInUtf16UnitsAndCreateLeavesRoomForTheLogName) {
    const std::string emoji = "\U0001F600";  // one character, two units
    EXPECT_TRUE(IsPlainIdentifier(Repeat("库", 127) + "a"));
    EXPECT_TRUE(IsPlainIdentifier(Repeat("𠀀", 64)));  // U+20000: 128 units
    EXPECT_FALSE(IsPlainIdentifier(Repeat("𠀀", 64) + "a"));
    EXPECT_FALSE(IsPlainIdentifier(Repeat("𠀀", 70)));  // 70 characters, 140 units
    EXPECT_FALSE(IsPlainIdentifier("a" + emoji));       // a symbol, not a letter
    EXPECT_TRUE(IsPlainIdentifier(Repeat("a", 123), kMaxCreatedDatabaseNameUnits));
    EXPECT_FALSE(IsPlainIdentifier(Repeat("a", 124), kMaxCreatedDatabaseNameUnits));
    EXPECT_TRUE(IsPlainIdentifier("a" + Repeat("𠀀", 61), kMaxCreatedDatabaseNameUnits));
    EXPECT_FALSE(IsPlainIdentifier(Repeat("𠀀", 62), kMaxCreatedDatabaseNameUnits));
    EXPECT_NE(InvalidDatabaseNameText("x", kMaxCreatedDatabaseNameUnits).find("最长 123 个字符"),
              std::string::npos);
}

class SavePathTest : public testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directory(dir / "data");
        std::ofstream(dir / "file.txt") << "x";
    }
    TempFolder dir;
};

TEST_F(SavePathTest, ExistingFoldersAndFilesPassAsWritten) {
    EXPECT_TRUE(SavePathExists(dir / "data"));
    EXPECT_TRUE(SavePathExists(dir / "data/"));
    EXPECT_TRUE(SavePathExists(dir / "file.txt"));
    EXPECT_FALSE(SavePathExists(dir / "file.txt/"));  // a file is no folder
    EXPECT_FALSE(SavePathExists(dir / "missing"));
    EXPECT_FALSE(SavePathExists(dir / "missing/data"));
    EXPECT_FALSE(SavePathExists(" " + (dir / "data")));  // outer blanks stay in the test
    EXPECT_FALSE(SavePathExists((dir / "data") + " "));
    EXPECT_FALSE(SavePathExists(dir / "d*"));  // no wildcard expansion
    EXPECT_FALSE(SavePathExists(""));
}

TEST_F(SavePathTest, PathsThatCannotBeExaminedDoNotPass) {
    EXPECT_FALSE(SavePathExists(dir / std::string("data\0/etc", 9)));  // embedded NUL
    EXPECT_FALSE(SavePathExists(dir / Repeat("a", 300)));              // ENAMETOOLONG
    EXPECT_FALSE(SavePathExists(Repeat("/" + dir.path(), 200)));       // path too long
    ASSERT_EQ(symlink((dir / "loop").c_str(), (dir / "loop").c_str()), 0);
    EXPECT_FALSE(SavePathExists(dir / "loop"));  // ELOOP
    if (geteuid() != 0) {                        // root examines any folder
        std::filesystem::create_directory(dir / "closed");
        std::filesystem::create_directory(dir / "closed/inner");
        chmod((dir / "closed").c_str(), 0);
        EXPECT_FALSE(SavePathExists(dir / "closed/inner"));  // EACCES
        chmod((dir / "closed").c_str(), 0700);
    }
}

TEST(RunStatements, TextsToTheCharacter) {
    EXPECT_EQ(DataFilePath("/srv/data", "Sales"), "/srv/data/Sales_dat.mdf");
    EXPECT_EQ(DataFilePath("/srv/data/", "Sales"), "/srv/data/Sales_dat.mdf");
    EXPECT_EQ(DataFilePath("/", "Sales"), "/Sales_dat.mdf");
    EXPECT_EQ(CreateDatabaseStatement("Sales", "/srv/data/Sales_dat.mdf"),
              "CREATE DATABASE Sales on (name=Sales_dat,FILENAME ='/srv/data/Sales_dat.mdf' "
              ",maxsize=unlimited)");
    EXPECT_EQ(TableExistsQuery(Value("Person")), "select * from sys.tables where name = N'Person'");
    EXPECT_EQ(TableExistsQuery(Value()), "select * from sys.tables where name = N''");
    EXPECT_EQ(DropDatabaseStatement("Sales"), "Drop Database Sales");
}

// A quote ends a literal in T-SQL: doubled, the text stays one value whatever follows it.
TEST(RunStatements, QuotesInsideLiteralsAreDoubled) {
    EXPECT_EQ(CreateDatabaseStatement("X", "/tmp/pick') DROP DATABASE V --/X_dat.mdf"),
              "CREATE DATABASE X on (name=X_dat,FILENAME ='/tmp/pick'') DROP DATABASE V "
              "--/X_dat.mdf' ,maxsize=unlimited)");
    EXPECT_EQ(TableExistsQuery(Value("x' drop database V --")),
              "select * from sys.tables where name = N'x'' drop database V --'");
    EXPECT_EQ(TableExistsQuery(Value("''")), "select * from sys.tables where name = N''''''");
    EXPECT_EQ(DropDatabaseStatement("Sales"), "Drop Database Sales");
}

}  // namespace
