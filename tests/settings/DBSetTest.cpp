#include "settings/DBSet.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "TestFolder.h"
#include "base/AsciiText.h"

namespace dsadmin {
namespace {

using test::TestFolder;

class DBSet : public testing::Test {
  protected:
    TestFolder folder;
    std::string ini = MakeSetupPath(folder.path().string());
};

TEST(SetupPath, IsTheSettingsFileInTheApplicationFolder) {
    EXPECT_EQ(MakeSetupPath("/opt/tools"), "/opt/tools/Setup.ini");
    EXPECT_EQ(MakeSetupPath("/"), "/Setup.ini");
}

TEST(SetupPath, AppFolderIsTheFolderOfTheExecutable) {
    const auto exe = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(AppFolder(), exe.parent_path().string());
}

TEST(Trim, RemovesOnlyOuterBlanks) {
    EXPECT_EQ(Trim("  a b  "), "a b");
    EXPECT_EQ(Trim("\ta\t"), "\ta\t");
    EXPECT_EQ(Trim("   "), "");
}

TEST_F(DBSet, NoFileGivesTheDefaultsAndWritesNothing) {
    const LoadedDBSet set = LoadDBSet(ini);
    EXPECT_EQ(set.databaseType, "SQL Server");
    EXPECT_EQ(set.server, "(local)");
    EXPECT_EQ(set.login, "sa");
    EXPECT_EQ(set.password, "");
    EXPECT_EQ(set.databaseName, "VK4812");
    EXPECT_FALSE(set.superUser);
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST_F(DBSet, StoredValuesAreTrimmedAndOtherServersIgnored) {
    TestFolder::write(ini,
                      "[DataBase]\r\nLibrary=Oracle\r\nDataSource=far\r\nUserName=  \r\n"
                      "DBName=  Sales  \r\nPassWord= p w \r\n");
    const auto before = std::filesystem::last_write_time(ini);
    const LoadedDBSet set = LoadDBSet(ini);
    EXPECT_EQ(set.databaseType, "SQL Server");
    EXPECT_EQ(set.server, "(local)");
    EXPECT_EQ(set.login, "sa");
    EXPECT_EQ(set.password, "p w");
    EXPECT_EQ(set.databaseName, "Sales");
    EXPECT_EQ(std::filesystem::last_write_time(ini), before);
}

struct SwitchCase {
    const char* stored;
    bool shown;
    friend void PrintTo(const SwitchCase& c, std::ostream* os) { *os << '"' << c.stored << '"'; }
};

class DBSetSupperUser : public DBSet, public testing::WithParamInterface<SwitchCase> {};

TEST_P(DBSetSupperUser, ShowsTheDeleteButtonOnlyForANumberOfExactlyOne) {
    TestFolder::write(ini, std::string("[Setup]\nSupperUser=") + GetParam().stored + "\n");
    EXPECT_EQ(LoadDBSet(ini).superUser, GetParam().shown) << GetParam().stored;
}

INSTANTIATE_TEST_SUITE_P(Values, DBSetSupperUser,
                         testing::Values(SwitchCase{"1", true}, SwitchCase{"1.0", true},
                                         SwitchCase{" 1", true}, SwitchCase{"1x", true},
                                         SwitchCase{"&H1", true}, SwitchCase{"\"1\"", true},
                                         SwitchCase{"", false}, SwitchCase{"0", false},
                                         SwitchCase{"2", false}, SwitchCase{"10", false},
                                         SwitchCase{"0.5", false}, SwitchCase{"yes", false},
                                         SwitchCase{"1.0001", false}));

const SavedDBSet kDefaults{"SQL Server", "(local)", "sa", "", "VK4812"};

TEST_F(DBSet, SaveIntoNoFileWritesTheSixKeysInOrder) {
    SaveDBSet(kDefaults, ini);
    EXPECT_EQ(TestFolder::read(ini),
              "[DataBase]\r\nLibrary=SQL Server\r\nDataSource=(local)\r\nUserName=sa\r\n"
              "PassWord=\r\nLongTime=10\r\nDBName=VK4812\r\n");
    struct stat st {};
    ASSERT_EQ(stat(ini.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(DBSet, SaveTrimsTheBoxesAndReadsBack) {
    SaveDBSet({" SQL Server ", "(local)", "  admin ", " pw  ", " 销售 "}, ini);
    const LoadedDBSet set = LoadDBSet(ini);
    EXPECT_EQ(set.login, "admin");
    EXPECT_EQ(set.password, "pw");
    EXPECT_EQ(set.databaseName, "销售");
}

TEST_F(DBSet, SaveChangesOnlyTheSixKeysByteForByte) {
    const std::string before =
        "; installed by hand\r\n[Setup]\r\nSupperUser=1\r\n\r\n[database]\r\n"
        "dsname = Sample \r\nPassWord=old\r\nlibrary=x\r\n\r\n[Other]\r\n\xFF\x81=\xCA\r\n";
    TestFolder::write(ini, before);
    SaveDBSet({"SQL Server", "(local)", "sa", "new", "Sales"}, ini);
    EXPECT_EQ(TestFolder::read(ini),
              "; installed by hand\r\n[Setup]\r\nSupperUser=1\r\n\r\n[database]\r\n"
              "dsname = Sample \r\nPassWord=new\r\nlibrary=SQL Server\r\n"
              "DataSource=(local)\r\nUserName=sa\r\nLongTime=10\r\nDBName=Sales\r\n\r\n"
              "[Other]\r\n\xFF\x81=\xCA\r\n");
}

}  // namespace
}  // namespace dsadmin
