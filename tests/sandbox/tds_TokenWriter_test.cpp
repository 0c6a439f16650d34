#include <gtest/gtest.h>

#include "sandbox/tds/Login7.h"
#include "sandbox/tds/TokenWriter.h"
#include "tds_TokenReader.h"

using namespace sandbox::tds;
using sandbox::Cell;
using sandbox::Column;
using sandbox::SandboxColumnType;

TEST(TdsTokenWriter, LoginAckIsExactForTds74) {
    TokenWriter w(kTds74, "S");
    w.loginAck();
    std::string bytes = w.take();
    ASSERT_EQ(bytes.size(), 53u);
    EXPECT_EQ(bytes.substr(0, 9), std::string("\xAD\x32\x00\x01\x74\x00\x00\x04\x14", 9));
    EXPECT_EQ(bytes.substr(49), std::string("\x10\x00\x03\xE8", 4));
}

TEST(TdsTokenWriter, EnvChangeDatabaseAndCollationBytes) {
    TokenWriter w(kTds74, "S");
    w.envChange(kEnvDatabase, "master", "master");
    w.envChangeCollation();
    std::string bytes = w.take();
    EXPECT_EQ(bytes.substr(0, 5), std::string("\xE3\x1B\x00\x01\x06", 5));
    EXPECT_EQ(bytes.size(), 30u + 11u);
    EXPECT_EQ(bytes.substr(30), std::string("\xE3\x08\x00\x07\x05\x09\x04\xD0\x00\x34\x00", 11));
}

TEST(TdsTokenWriter, ErrorAndDoneWidthsFollowTheVersion) {
    for (auto version : {kTds74, kTds71}) {
        TokenWriter w(version, "DSADMIN-SANDBOX");
        w.message({2714, 6, 16, "There is already an object named 't' in the database.", 3});
        w.message({5701, 1, 0, "Changed database context to 'x'.", 1});
        w.done(kTokenDone, kDoneError | kDoneMore, 0, 7);
        bool modern = version >= kTds72;
        auto tokens = tdstest::readTokens(w.take(), modern);
        ASSERT_EQ(tdstest::tokenNames(tokens), "ERROR INFO DONE");
        EXPECT_EQ(tokens[0].number, 2714);
        EXPECT_EQ(tokens[0].state, 6);
        EXPECT_EQ(tokens[0].severity, 16);
        EXPECT_EQ(tokens[0].line, 3);
        EXPECT_EQ(tokens[0].serverName, "DSADMIN-SANDBOX");
        EXPECT_EQ(tokens[1].severity, 0);
        EXPECT_EQ(tokens[2].status, kDoneError | kDoneMore);
        EXPECT_EQ(tokens[2].rowCount, 7u);
    }
}

TEST(TdsTokenWriter, ColumnsUseFixedTypesWhenNotNullAndNullableTypesOtherwise) {
    std::vector<Column> cols = {{"i", SandboxColumnType::Int, 0, false},
                                {"n", SandboxColumnType::Int, 0, true},
                                {"b", SandboxColumnType::BigInt, 0, true},
                                {"s", SandboxColumnType::SmallInt, 0, false},
                                {"t", SandboxColumnType::TinyInt, 0, true},
                                {"bit", SandboxColumnType::Bit, 0, false},
                                {"f", SandboxColumnType::Float, 0, true},
                                {"d", SandboxColumnType::DateTime, 0, false},
                                {"name", SandboxColumnType::NVarChar, 128, false},
                                {"memo", SandboxColumnType::NVarChar, 0, true}};
    std::vector<Cell> row = {std::int64_t{-5},
                             Cell{},
                             std::int64_t{1LL << 40},
                             std::int64_t{-300},
                             std::int64_t{200},
                             std::int64_t{1},
                             2.5,
                             sandbox::DateTimeValue{36524, 300},
                             std::string("表"),
                             Cell{}};
    TokenWriter w(kTds74, "S");
    w.colMetadata(cols);
    w.row(cols, row);
    auto tokens = tdstest::readTokens(w.take());
    ASSERT_EQ(tdstest::tokenNames(tokens), "COLMETADATA ROW");
    EXPECT_EQ(tokens[0].wireTypes, (std::vector<std::uint8_t>{0x38, 0x26, 0x26, 0x34, 0x26, 0x32,
                                                              0x6D, 0x3D, 0xE7, 0xE7}));
    EXPECT_EQ(tokens[0].names[8], "name");
    EXPECT_EQ(tokens[1].cells,
              (std::vector<std::string>{"-5", "NULL", "1099511627776", "-300", "200", "1",
                                        "2.500000", "36524/300", "表", "NULL"}));
}
