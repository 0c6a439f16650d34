// The shared pieces at the edges where a slip would corrupt text or dates everywhere.

#include <gtest/gtest.h>

#include "base/AsciiText.h"
#include "base/CivilDate.h"
#include "base/TsqlKeywords.h"
#include "base/Utf16.h"

namespace dsadmin {
namespace {

TEST(AsciiText, FoldsOnlyAsciiLetters) {
    EXPECT_TRUE(EqualsIgnoringAsciiCase("Provider", "PROVIDER"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("Provider", "Provide"));
    // Bytes of multi-byte characters stay as they are: "É" (C3 89) is not "é" (C3 A9), and a
    // Latin-1 case pair of bytes (C3 / E3) is no pair here.
    EXPECT_FALSE(EqualsIgnoringAsciiCase("\xC3\x89", "\xC3\xA9"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("\xC3", "\xE3"));
    EXPECT_EQ(AsciiLower("TCP:\xC3\x89"), "tcp:\xC3\x89");
    EXPECT_EQ(TrimAny("\t a b \r\n", " \t\r\n"), "a b");
    EXPECT_EQ(TrimAny(" \t", " \t"), "");
}

// One list serves dsadmin-cli's checks and the sandbox's parser: any ASCII case matches, a
// prefix, a longer word or a non-ASCII look-alike does not (SQL Server keywords are ASCII).
TEST(TsqlKeywords, MatchesWholeWordsInAnyAsciiCase) {
    for (const char* w : {"select", "SELECT", "Writetext", "add", "percent", "TRAN"})
        EXPECT_TRUE(IsTsqlReservedWord(w)) << w;
    for (const char* w : {"", "selec", "selects", "sa", "\u017Felect", "\u0131nsert", "dbo"})
        EXPECT_FALSE(IsTsqlReservedWord(w)) << w;
}

TEST(CivilDate, RoundTripsEveryDayOfTenThousandYears) {
    for (std::int64_t days = -2'500'000; days <= 1'200'000; ++days) {
        const CivilDate d = CivilFromDays(days);
        ASSERT_EQ(DaysFromCivil(d.year, d.month, d.day), days) << days;
    }
    const CivilDate leap = CivilFromDays(DaysFromCivil(2000, 2, 29));
    EXPECT_EQ(leap.year * 10000 + leap.month * 100 + leap.day, 20000229);
    EXPECT_EQ(DaysFromCivil(1899, 12, 30), -kDays1899To1970);
    EXPECT_EQ(DaysFromCivil(1900, 3, 0), DaysFromCivil(1900, 2, 28));  // 1900 has no leap day
}

TEST(Utf16, StrictDecodingRefusesWhatLenientDecodingReplaces) {
    for (const char* bad : {"\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE4\xB8", "\x80"}) {
        EXPECT_FALSE(StrictUtf8ToUtf16(bad)) << bad;
        EXPECT_EQ(Utf8ToUtf16(bad).find(u'\uFFFD'), 0u) << bad;
    }
    EXPECT_EQ(StrictUtf8ToUtf16("中😀"), std::u16string(u"中😀"));
    EXPECT_EQ(Utf16ToUtf8(u"中😀"), "中😀");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace dsadmin
