// Saving through a link into the operators' shared settings folder, laid out as the package
// lays it out: <app>/Setup.ini links to <etc>/Setup.ini, and <etc> is setgid, writable by its
// group and by nobody else.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "ForkedChild.h"
#include "TestFolder.h"
#include "settings/PrivateProfile.h"

namespace dsadmin {
namespace {

namespace fs = std::filesystem;
using test::TestFolder;

// Ids no account on the machine uses: an operator and the operators' group.
constexpr uid_t kOperator = 64123;
constexpr gid_t kOperatorOwnGroup = 64123;
constexpr gid_t kOperators = 64124;

struct stat Stat(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

class SharedFolder : public testing::Test {
  protected:
    void SetUp() override {
        fs::create_directory(app);
        fs::create_directory(etc);
        // The test folder itself is 0700; the operator below must reach into it.
        fs::permissions(folder.path(), fs::perms(0755));
        if (::geteuid() == 0) {
            ASSERT_EQ(::chown(etc.c_str(), 0, kOperators), 0);
        }
        ASSERT_EQ(::chmod(etc.c_str(), 02770), 0);
        fs::create_symlink(etc + "/Setup.ini", link);
        oldMask = ::umask(022);  // root's usual umask, which would make a new file 0640
    }
    void TearDown() override { ::umask(oldMask); }

    TestFolder folder;
    std::string app = folder.file("app");
    std::string etc = folder.file("etc");
    std::string link = app + "/Setup.ini";
    mode_t oldMask = 0;
};

TEST_F(SharedFolder, FirstSaveCreatesTheLinksTargetAndTheLinkStaysALink) {
    WriteIniStrings(link, "DataBase", {{"UserName", "sa"}, {"PassWord", "pw"}});
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(TestFolder::read(etc + "/Setup.ini"), "[DataBase]\r\nUserName=sa\r\nPassWord=pw\r\n");
    // The temporary file and the lock belong in the target's folder, not beside the link.
    EXPECT_EQ(std::distance(fs::directory_iterator(app), fs::directory_iterator()), 1);
    EXPECT_TRUE(fs::exists(etc + "/Setup.ini.lock"));
    EXPECT_FALSE(fs::exists(etc + "/Setup.ini.tmp"));
}

TEST_F(SharedFolder, NewFileAndLockAreReadableAndWritableByTheFoldersGroup) {
    WriteIniString(link, "DataBase", "PassWord", "pw");
    for (const std::string name : {"/Setup.ini", "/Setup.ini.lock"}) {
        const struct stat st = Stat(etc + name);
        EXPECT_EQ(st.st_mode & 07777, 0660u) << name;
        EXPECT_EQ(st.st_gid, Stat(etc).st_gid) << name;
    }
}

TEST_F(SharedFolder, FolderWithoutSetgidOrGroupWriteGetsAnOwnerOnlyFile) {
    for (const mode_t mode : {0770, 02750}) {
        fs::remove(etc + "/Setup.ini");
        ASSERT_EQ(::chmod(etc.c_str(), mode), 0);
        WriteIniString(link, "DataBase", "PassWord", "pw");
        EXPECT_EQ(Stat(etc + "/Setup.ini").st_mode & 07777, 0600u) << std::oct << mode;
    }
}

TEST_F(SharedFolder, RelativeLinksAreFollowedFromTheirOwnFolder) {
    // app/Setup.ini -> ../etc/mid.ini -> Setup.ini (in etc), run from an unrelated folder.
    fs::remove(link);
    fs::create_symlink("../etc/mid.ini", link);
    fs::create_symlink("Setup.ini", etc + "/mid.ini");
    WriteIniString(link, "A", "K", "v");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::is_symlink(etc + "/mid.ini"));
    EXPECT_EQ(TestFolder::read(etc + "/Setup.ini"), "[A]\r\nK=v\r\n");
}

TEST_F(SharedFolder, LinkLoopIsPassedOverSilently) {
    fs::remove(link);
    fs::create_symlink("Setup.ini", link);
    WriteIniString(link, "A", "K", "v");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadIniString(link, "A", "K", "d"), "d");
}

// Root's file, saved by an operator of the group: the group and mode stay, so the other
// operators still read it and everyone else still cannot; the file becomes the operator's.
TEST_F(SharedFolder, OperatorsSaveKeepsTheGroupAndMode) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    WriteIniString(link, "DataBase", "UserName", "root");
    const pid_t child = test::Spawn([&] {
        const gid_t groups[] = {kOperators};
        ASSERT_EQ(::setgroups(1, groups), 0);
        ASSERT_EQ(::setgid(kOperatorOwnGroup), 0);
        ASSERT_EQ(::setuid(kOperator), 0);
        WriteIniString(link, "DataBase", "UserName", "op");
        EXPECT_EQ(ReadIniString(link, "DataBase", "UserName", ""), "op");
    });
    EXPECT_EQ(test::WaitFor(child), 0);
    const struct stat st = Stat(etc + "/Setup.ini");
    EXPECT_EQ(st.st_uid, kOperator);
    EXPECT_EQ(st.st_gid, kOperators);
    EXPECT_EQ(st.st_mode & 07777, 0660u);
    EXPECT_TRUE(fs::is_symlink(link));
}

}  // namespace
}  // namespace dsadmin
