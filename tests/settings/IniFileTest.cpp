#include "settings/IniFile.h"

#include <gtest/gtest.h>

#include <optional>

namespace dsadmin {
namespace {

struct LookupCase {
    const char* name;
    const char* file;
    const char* section;
    const char* key;
    std::optional<std::string> expected;
    friend void PrintTo(const LookupCase& c, std::ostream* os) { *os << c.name; }
};

class IniFileLookup : public testing::TestWithParam<LookupCase> {};

TEST_P(IniFileLookup, FindsTheValueTheWindowsFunctionsWouldReturn) {
    const LookupCase& c = GetParam();
    EXPECT_EQ(IniFile::parse(c.file).value(c.section, c.key), c.expected);
}

// GBK double-byte characters whose second byte is ASCII: 81 41 ('A') and 81 5D (']').
INSTANTIATE_TEST_SUITE_P(
    Rules, IniFileLookup,
    testing::Values(
        LookupCase{"Plain", "[DataBase]\r\nDBName=Sales\r\n", "DataBase", "DBName", "Sales"},
        LookupCase{"KeyIgnoresCase", "[DataBase]\nDSName=Sample\n", "database", "dsname", "Sample"},
        LookupCase{"SectionIgnoresCase", "[DATABASE]\ndsname=Sample\n", "DataBase", "DSName",
                   "Sample"},
        LookupCase{"FirstOfRepeatedKeysWins", "[S]\nK=first\nk=second\n", "S", "K", "first"},
        LookupCase{"FirstOfRepeatedSectionsWins", "[S]\nA=1\n[S]\nK=2\n", "S", "K", std::nullopt},
        LookupCase{"ValueAndNameTrimmed", "[S]\n \t K \t=  \t v a \t \n", "S", "K", "v a"},
        LookupCase{"DoubleQuotesRemoved", "[S]\nK=\" padded \"\n", "S", "K", " padded "},
        LookupCase{"SingleQuotesRemoved", "[S]\nK='x'\n", "S", "K", "x"},
        LookupCase{"UnmatchedQuotesKept", "[S]\nK=\"x'\n", "S", "K", "\"x'"},
        LookupCase{"LoneQuoteKept", "[S]\nK=\"\n", "S", "K", "\""},
        LookupCase{"CommentIsNoKey", "[S]\n;K=1\n", "S", ";K", std::nullopt},
        LookupCase{"IndentedCommentIsNoKey", "[S]\n  ; K=1\nK=2\n", "S", "K", "2"},
        LookupCase{"EmptyValue", "[S]\nK=\n", "S", "K", ""},
        LookupCase{"KeyBeforeAnySectionIgnored", "K=1\n[S]\n", "S", "K", std::nullopt},
        LookupCase{"KeyOnlyInOtherSection", "[A]\nK=1\n[S]\nJ=2\n", "S", "K", std::nullopt},
        LookupCase{"LineWithoutEqualsIgnored", "[S]\nK\nK=2\n", "S", "K", "2"},
        LookupCase{"EqualsInValueKept", "[S]\nK=a=b\n", "S", "K", "a=b"},
        LookupCase{"SectionNameTrimmed", "  [ S ]  \nK=1", "S", "K", "1"},
        LookupCase{"NoLineEndAtAll", "[S]\nK=1", "S", "K", "1"},
        LookupCase{"CrLfNotInValue", "[S]\r\nK=1\r\n", "S", "K", "1"},
        LookupCase{"GbkSecondByteNotCaseFolded", "[S]\n\x81\x41=1\n", "S", "\x81\x61",
                   std::nullopt},
        LookupCase{"GbkSecondByteBracket", "[\x81\x5D]\nK=1\n", "\x81\x5D", "K", "1"},
        LookupCase{"InvalidBytesCostOnlyTheirLine", "[S]\n\xFF\xFF\x80=\x81\nK=1\n", "S", "K",
                   "1"}),
    [](const auto& info) { return std::string(info.param.name); });

struct UpdateCase {
    const char* name;
    const char* before;
    const char* section;
    const char* key;
    const char* value;
    const char* after;
    friend void PrintTo(const UpdateCase& c, std::ostream* os) { *os << c.name; }
};

class IniFileUpdate : public testing::TestWithParam<UpdateCase> {};

TEST_P(IniFileUpdate, ChangesOnlyWhatItMust) {
    const UpdateCase& c = GetParam();
    IniFile file = IniFile::parse(c.before);
    file.setValue(c.section, c.key, c.value);
    EXPECT_EQ(file.bytes(), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, IniFileUpdate,
    testing::Values(
        UpdateCase{"NewFileUsesCrLf", "", "DataBase", "Library", "SQL Server",
                   "[DataBase]\r\nLibrary=SQL Server\r\n"},
        UpdateCase{"ReplacesInPlaceKeepingNameSpelling", "[s]\r\n  dbNAME = old ;x\r\nZ=1\r\n", "S",
                   "DBName", "new", "[s]\r\n  dbNAME =new\r\nZ=1\r\n"},
        UpdateCase{"ReplacesFirstOfRepeatedKeys", "[S]\nK=1\nK=2\n", "S", "K", "3",
                   "[S]\nK=3\nK=2\n"},
        UpdateCase{"NewKeyAtEndOfItsSectionBeforeBlankLines", "[A]\nX=1\n\n[B]\nY=2\n", "A", "K",
                   "v", "[A]\nX=1\nK=v\n\n[B]\nY=2\n"},
        UpdateCase{"NewKeyAfterTrailingComment", "[A]\nX=1\n; end of A\n[B]\n", "A", "K", "v",
                   "[A]\nX=1\n; end of A\nK=v\n[B]\n"},
        UpdateCase{"NewKeyInLastSectionWithoutLineEnd", "[A]\nX=1", "A", "K", "v",
                   "[A]\nX=1\nK=v\n"},
        UpdateCase{"NewSectionAtEndFollowsFileLineEnds", "; top\n[A]\nX=1\n\n", "B", "K", "v",
                   "; top\n[A]\nX=1\n\n[B]\nK=v\n"},
        UpdateCase{"NewSectionAfterLastLineWithoutEnd", "[A]\r\nX=1", "B", "K", "v",
                   "[A]\r\nX=1\r\n[B]\r\nK=v\r\n"},
        UpdateCase{"EmptyValueKeepsTheKey", "[A]\nK=secret\n", "A", "K", "", "[A]\nK=\n"},
        UpdateCase{"InvalidBytesElsewhereUntouched", "\xFF\x80\n[A]\n\x81\n", "A", "K", "v",
                   "\xFF\x80\n[A]\n\x81\nK=v\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IniFile, BytesRoundTripUnchanged) {
    using namespace std::string_literals;
    const std::string original = "\xEF\xBB\xBF; bom\r\n[A]\n\tK = v \r\n\r\n\x81\x5D\x00z"s;
    EXPECT_EQ(IniFile::parse(original).bytes(), original);
}

}  // namespace
}  // namespace dsadmin
