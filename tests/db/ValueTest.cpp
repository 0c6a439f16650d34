#include <gtest/gtest.h>

#include "ExpectDbError.h"
#include "db/Value.h"

using dsadmin::Date;
using dsadmin::Value;

TEST(Value, AppendingGivesPlainText) {
    struct Case {
        Value value;
        const char* text;
    };
    const Case cases[] = {
        {Value(), ""},
        {Value(50), "50"},
        {Value(-3), "-3"},
        {Value(20.0), "20"},
        {Value(1.5), "1.5"},
        {Value("VarChar"), "VarChar"},
        {Value(true), "True"},
        {Value(false), "False"},
        {Value(Date{45000.0}), "2023-03-15"},
        {Value(Date{45000.5}), "2023-03-15 12:00:00"},
        {Value(std::int64_t{1} << 40), "1099511627776"},
    };
    for (const auto& c : cases) {
        std::string out = "x";
        c.value.appendTo(out);
        EXPECT_EQ(out, std::string("x") + c.text);
    }
}

TEST(Value, ComparesWithANumber) {
    struct Case {
        Value value;
        bool equalsOne;
    };
    const Case cases[] = {
        {Value(), false},     {Value(1), true},     {Value(0), false},     {Value(-1), false},
        {Value(1.0), true},   {Value(true), false}, {Value(false), false}, {Value("1"), true},
        {Value(" 1 "), true}, {Value("1.0"), true}, {Value("+1"), true},   {Value("1e0"), true},
        {Value("2"), false},  {Value("-1"), false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.value.equalsNumber(1), c.equalsOne) << c.value.text();
    EXPECT_TRUE(Value(true).equalsNumber(-1));
    EXPECT_TRUE(Value(false).equalsNumber(0));
}

TEST(Value, TextThatIsNoNumberIsATypeMismatch) {
    for (const char* text : {"yes", "", " ", "1x", "inf", "nan", "1,0", "++1"})
        EXPECT_DB_ERROR(Value(text).equalsNumber(1), "类型不匹配");
}
