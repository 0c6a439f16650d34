#include <gtest/gtest.h>

#include "sandbox/tds/Login7.h"
#include "sandbox/tds/ProtocolError.h"
#include "sandbox/tds/SqlBatch.h"
#include "sandbox/tds/TextCodec.h"

using namespace sandbox::tds;

TEST(TdsSqlBatch, SkipsAllHeadersAndDecodesTheText) {
    std::string payload = encodeSqlBatch("SELECT N'数据' -- 😀");
    EXPECT_EQ(payload.substr(0, 4), std::string("\x16\x00\x00\x00", 4));
    EXPECT_EQ(parseSqlBatch(payload, kTds74), "SELECT N'数据' -- 😀");
}

TEST(TdsSqlBatch, Tds71BatchHasNoHeaders) {
    EXPECT_EQ(parseSqlBatch(utf8ToUcs2("USE [x]"), kTds71), "USE [x]");
}

TEST(TdsSqlBatch, SkipsUnknownHeadersByTheirLengths) {
    std::string traceHeader("\x1A\x00\x00\x00\x03\x00", 6);
    traceHeader += std::string(20, '\x01');
    std::string headers = encodeAllHeaders().substr(4) + traceHeader;
    std::string total(4, '\0');
    total[0] = static_cast<char>(headers.size() + 4);
    EXPECT_EQ(parseSqlBatch(total + headers + utf8ToUcs2("select 1"), kTds74), "select 1");
}

TEST(TdsSqlBatch, RefusesLyingLengthsAndOddText) {
    std::string payload = encodeSqlBatch("select 1");
    std::string longTotal = payload;
    longTotal[0] = static_cast<char>(0x7F);
    EXPECT_THROW(parseSqlBatch(longTotal, kTds74), ProtocolError);
    std::string badHeader = payload;
    badHeader[4] = static_cast<char>(0x40);  // header longer than the block
    EXPECT_THROW(parseSqlBatch(badHeader, kTds74), ProtocolError);
    EXPECT_THROW(parseSqlBatch(payload + "x", kTds74), ProtocolError);
    EXPECT_THROW(parseSqlBatch(std::string("\x16\x00", 2), kTds74), ProtocolError);
}
