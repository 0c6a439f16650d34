#include <gtest/gtest.h>

#include "sandbox/tds/TextCodec.h"

using namespace sandbox::tds;

class TdsTextRoundTrip : public testing::TestWithParam<std::string> {};
TEST_P(TdsTextRoundTrip, Utf8SurvivesUcs2) {
    EXPECT_EQ(ucs2ToUtf8(utf8ToUcs2(GetParam())), GetParam());
}
INSTANTIATE_TEST_SUITE_P(Texts, TdsTextRoundTrip,
                         testing::Values("", "abc", "数据库创建完成", "é ß €", "😀 x"));

TEST(TdsTextCodec, SurrogatePairsAndBadInputBecomeReplacementCharacters) {
    EXPECT_EQ(utf8ToUcs2("😀"), std::string("\x3D\xD8\x00\xDE", 4));
    EXPECT_EQ(ucs2ToUtf8(std::string("\x3D\xD8", 2)), "\xEF\xBF\xBD");      // lone high surrogate
    EXPECT_EQ(utf8ToUcs2("\xC3"), std::string("\xFD\xFF", 2));              // truncated sequence
    EXPECT_EQ(utf8ToUcs2("\xC0\x80"), std::string("\xFD\xFF\xFD\xFF", 4));  // overlong
}

TEST(TdsTextCodec, Windows1252HighBytes) {
    EXPECT_EQ(cp1252ToUtf8("\x80\xE9\x41"), "€éA");
}
