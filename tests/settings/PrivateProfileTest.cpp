#include "settings/PrivateProfile.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>

#include "ForkedChild.h"
#include "TestFolder.h"

namespace dsadmin {
namespace {

using test::TestFolder;

class PrivateProfile : public testing::Test {
  protected:
    TestFolder folder;
    std::string ini = folder.file("Setup.ini");
};

struct RoundTripCase {
    const char* name;
    std::string written;
    std::string readBack;
    friend void PrintTo(const RoundTripCase& c, std::ostream* os) { *os << c.name; }
};

class PrivateProfileRoundTrip : public PrivateProfile,
                                public testing::WithParamInterface<RoundTripCase> {};

TEST_P(PrivateProfileRoundTrip, ValueReadsBackAsTheWindowsFunctionsReturnIt) {
    WriteIniString(ini, "DataBase", "DBName", GetParam().written);
    EXPECT_EQ(ReadIniString(ini, "DataBase", "DBName", "default"), GetParam().readBack);
}

const std::string k300Ascii(300, 'x');
std::string Repeat(const std::string& s, int n) {
    std::string out;
    while (n-- > 0) out += s;
    return out;
}

// A 254-byte cut that would split a double-byte character keeps the character out: 253 bytes.
INSTANTIATE_TEST_SUITE_P(
    Values, PrivateProfileRoundTrip,
    testing::Values(
        RoundTripCase{"Chinese", "销售数据库", "销售数据库"}, RoundTripCase{"Empty", "", ""},
        RoundTripCase{"LineBreaksBecomeBlanks", "a\r\nb\rc\nd", "a  b c d"},
        RoundTripCase{"OuterBlanksTrimmedOnRead", "  x y  ", "x y"},
        RoundTripCase{"Ascii300CutTo254", k300Ascii, k300Ascii.substr(0, 254)},
        RoundTripCase{"Chinese150CutTo127Characters", Repeat("数", 150), Repeat("数", 127)},
        RoundTripCase{"CutNeverSplitsACharacter", "a" + Repeat("数", 150), "a" + Repeat("数", 126)},
        RoundTripCase{"UnencodableBecomesQuestionMark", "a😀b", "a?b"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PrivateProfile, ChineseIsStoredAsGbkWithNothingAfterIt) {
    WriteIniString(ini, "DataBase", "DBName", "数据");
    EXPECT_EQ(TestFolder::read(ini), "[DataBase]\r\nDBName=\xCA\xFD\xBE\xDD\r\n");
}

TEST_F(PrivateProfile, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(ReadIniString(ini, "DataBase", "DBName", "d"), "d");
    TestFolder::write(ini, "[Setup]\nSupperUser=1\n");
    EXPECT_EQ(ReadIniString(ini, "DataBase", "DBName", "d"), "d");
    EXPECT_EQ(ReadIniString(ini, "Setup", "DBName", ""), "");
}

TEST_F(PrivateProfile, InvalidGbkNeverCostsTheRestOfTheFile) {
    TestFolder::write(ini, "[DataBase]\nUserName=\xFF\x81\n\x80\x80\nDBName=\xCA\xFD x\n");
    EXPECT_EQ(ReadIniString(ini, "DataBase", "UserName", ""), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(ReadIniString(ini, "DataBase", "DBName", ""), "数 x");
}

// An editor's "UTF-8 with BOM": the first section is found and the file stays UTF-8 with its
// mark; a UTF-8 ']' after a three-byte character still closes a section header.
TEST_F(PrivateProfile, Utf8FileWithByteOrderMarkIsReadAndSavedAsUtf8) {
    const std::string bom = "\xEF\xBB\xBF";
    TestFolder::write(ini, bom + "[DataBase]\r\nDBName=销售\r\n[数]\r\nK=1\r\n");
    EXPECT_EQ(ReadIniString(ini, "DataBase", "DBName", "d"), "销售");
    EXPECT_EQ(ReadIniString(ini, "数", "K", "d"), "1");
    WriteIniStrings(ini, "DataBase", {{"DBName", "数据"}, {"UserName", "用户😀"}});
    EXPECT_EQ(TestFolder::read(ini),
              bom + "[DataBase]\r\nDBName=数据\r\nUserName=用户😀\r\n[数]\r\nK=1\r\n");
    TestFolder::write(ini, bom + "[A]\nK=" + std::string(253, 'x') + "数\xFF\n");
    EXPECT_EQ(ReadIniString(ini, "A", "K", ""), std::string(253, 'x'));
    TestFolder::write(ini, bom + "[A]\nK=a\xFF\n");
    EXPECT_EQ(ReadIniString(ini, "A", "K", ""), "a\xEF\xBF\xBD");
}

TEST_F(PrivateProfile, NewFileIsReadableByItsOwnerOnly) {
    WriteIniString(ini, "DataBase", "PassWord", "secret");
    struct stat st {};
    ASSERT_EQ(stat(ini.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(PrivateProfile, ExistingFileKeepsItsMode) {
    TestFolder::write(ini, "[A]\n");
    chmod(ini.c_str(), 0640);
    WriteIniString(ini, "A", "K", "v");
    struct stat st {};
    ASSERT_EQ(stat(ini.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(TestFolder::read(ini), "[A]\nK=v\n");
}

TEST_F(PrivateProfile, ReadOnlyFileIsLeftAloneSilently) {
    TestFolder::write(ini, "[A]\nK=old\n");
    chmod(ini.c_str(), 0444);
    WriteIniString(ini, "A", "K", "new");
    EXPECT_EQ(TestFolder::read(ini), "[A]\nK=old\n");
}

TEST_F(PrivateProfile, FolderThatIsMissingIsPassedOverSilently) {
    const std::string nowhere = folder.file("missing/Setup.ini");
    WriteIniString(nowhere, "A", "K", "v");
    EXPECT_FALSE(std::filesystem::exists(nowhere));
    EXPECT_EQ(ReadIniString(nowhere, "A", "K", ""), "");
}

TEST_F(PrivateProfile, DirectoryInPlaceOfTheFileReadsAsMissingAndIsNotReplaced) {
    std::filesystem::create_directory(ini);
    WriteIniString(ini, "A", "K", "v");
    EXPECT_TRUE(std::filesystem::is_directory(ini));
    EXPECT_EQ(ReadIniString(ini, "A", "K", "d"), "d");
}

TEST_F(PrivateProfile, FifoInPlaceOfTheFileNeitherHangsNorIsReplaced) {
    ASSERT_EQ(mkfifo(ini.c_str(), 0600), 0);
    EXPECT_EQ(ReadIniString(ini, "A", "K", "d"), "d");
    WriteIniString(ini, "A", "K", "v");
    struct stat st {};
    ASSERT_EQ(lstat(ini.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// What reads as missing is still told apart for the callers that must not go on with empty
// settings: only a file that is really absent gives no text.
TEST_F(PrivateProfile, UnreadableFileIsNamedWithTheReason) {
    EXPECT_EQ(UnreadableSettingsText(ini), std::nullopt);  // missing: empty defaults
    TestFolder::write(ini, "[DataBase]\nDSName=Sales\n");
    EXPECT_EQ(UnreadableSettingsText(ini), std::nullopt);
    std::filesystem::remove(ini);
    std::filesystem::create_directory(ini);
    EXPECT_EQ(UnreadableSettingsText(ini), "无法读取设置文件“" + ini + "”：是文件夹，不是文件。");
    std::filesystem::remove(ini);
    ASSERT_EQ(mkfifo(ini.c_str(), 0600), 0);
    EXPECT_EQ(UnreadableSettingsText(ini), "无法读取设置文件“" + ini + "”：不是普通文件。");
}

// Setup.ini of mode 0600 belonging to another user, read by an operator who is not root (here
// the child drops to nobody; as a plain user the file is made unreadable to its owner).
TEST_F(PrivateProfile, FileOfAnotherUserIsNamedWithOwnerAndMode) {
    TestFolder::write(ini, "[DataBase]\nDSName=Sales\n");
    const bool root = ::geteuid() == 0;
    ASSERT_EQ(chmod(ini.c_str(), root ? 0600 : 0), 0);
    ASSERT_EQ(chmod(folder.path().c_str(), 0755), 0);
    const pid_t child = test::Spawn([&] {
        if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0)) _exit(3);
        const std::string owner = root ? "root" : ::getpwuid(::geteuid())->pw_name;
        const std::string me = ::getpwuid(::geteuid())->pw_name;
        EXPECT_EQ(ReadIniString(ini, "DataBase", "DSName", ""), "");
        EXPECT_EQ(UnreadableSettingsText(ini),
                  "无法读取设置文件“" + ini + "”：权限不够（文件属于 " + owner + "，权限 " +
                      (root ? "0600" : "0000") + "，当前用户是 " + me + "）。");
    });
    const int status = test::WaitFor(child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(PrivateProfile, ValueEndsAtItsFirstNul) {
    WriteIniString(ini, "A", "K", std::string("ab\0cd", 5));
    EXPECT_EQ(TestFolder::read(ini), "[A]\r\nK=ab\r\n");
}

TEST_F(PrivateProfile, SymbolicLinkIsFollowedNotReplaced) {
    const std::string real = folder.file("real.ini");
    TestFolder::write(real, "[A]\n");
    std::filesystem::create_symlink(real, ini);
    WriteIniString(ini, "A", "K", "v");
    EXPECT_TRUE(std::filesystem::is_symlink(ini));
    EXPECT_EQ(TestFolder::read(real), "[A]\nK=v\n");
}

TEST_F(PrivateProfile, SectionAndKeyPassedAsTheyAreValueOnOneLine) {
    WriteIniString(ini, "A", "K", "1\r\n[B]\r\nX=2");
    EXPECT_EQ(ReadIniString(ini, "B", "X", "none"), "none");
    EXPECT_EQ(ReadIniString(ini, "A", "K", ""), "1  [B]  X=2");
}

}  // namespace
}  // namespace dsadmin
