#include <gtest/gtest.h>

#include "sandbox/tds/Login7.h"
#include "sandbox/tds/ProtocolError.h"
#include "sandbox/tds/TextCodec.h"

using namespace sandbox::tds;

TEST(TdsLogin7, PasswordScramblingSwapsNibblesThenXorsA5) {
    EXPECT_EQ(scramblePassword(std::string("a\0", 2)), std::string("\xB3\xA5", 2));
    std::string ucs2 = utf8ToUcs2("Pa55 wörd密码");
    EXPECT_EQ(unscramblePassword(scramblePassword(ucs2)), ucs2);
}

TEST(TdsLogin7, RoundTripsEveryField) {
    Login7 in;
    in.tdsVersion = kTds74;
    in.packetSize = 512;
    in.hostName = "host";
    in.userName = "sa";
    in.password = "s3cret;=}";
    in.appName = "TSQL";
    in.serverName = "127.0.0.1";
    in.libraryName = "TDS-Library";
    in.language = "us_english";
    in.database = "销售";
    Login7 out = parseLogin7(encodeLogin7(in));
    EXPECT_EQ(out.tdsVersion, kTds74);
    EXPECT_EQ(out.packetSize, 512u);
    EXPECT_EQ(out.userName, "sa");
    EXPECT_EQ(out.password, "s3cret;=}");
    EXPECT_EQ(out.appName, "TSQL");
    EXPECT_EQ(out.libraryName, "TDS-Library");
    EXPECT_EQ(out.language, "us_english");
    EXPECT_EQ(out.database, "销售");
    EXPECT_FALSE(out.integratedSecurity);
}

TEST(TdsLogin7, ReadsTheShorterFixedPartOfTds71) {
    // A 7.1 record: 86-byte fixed part, strings right after it.
    Login7 in;
    in.tdsVersion = kTds71;
    in.userName = "sa";
    std::string bytes = encodeLogin7(in);
    // Move the strings 8 bytes down and fix their offsets, as a 7.1 client lays them out.
    std::string strings = bytes.substr(94);
    std::string fixed = bytes.substr(0, 86);
    for (int field : {36, 40, 44, 48, 52, 56, 60, 64, 68, 78, 82}) {
        unsigned offset = static_cast<unsigned char>(fixed[field]) |
                          static_cast<unsigned char>(fixed[field + 1]) << 8;
        if (offset >= 94) offset -= 8;
        fixed[field] = static_cast<char>(offset & 0xFF);
        fixed[field + 1] = static_cast<char>(offset >> 8);
    }
    std::string record = fixed + strings;
    record[0] = static_cast<char>(record.size());
    Login7 out = parseLogin7(record);
    EXPECT_EQ(out.tdsVersion, kTds71);
    EXPECT_EQ(out.userName, "sa");
}

TEST(TdsLogin7, RefusesShortRecordsLyingLengthsAndStringsOutside) {
    Login7 in;
    in.userName = "sa";
    std::string good = encodeLogin7(in);
    EXPECT_THROW(parseLogin7(good.substr(0, 80)), ProtocolError);
    std::string lying = good;
    lying[0] = static_cast<char>(0xFF);
    lying[1] = static_cast<char>(0xFF);
    EXPECT_THROW(parseLogin7(lying), ProtocolError);
    std::string outside = good;
    outside[42] = static_cast<char>(0x7F);  // user name length in characters
    EXPECT_THROW(parseLogin7(outside), ProtocolError);
}

struct VersionCase {
    std::uint32_t client;
    std::uint32_t answered;
};
class TdsVersionNegotiation : public testing::TestWithParam<VersionCase> {};
TEST_P(TdsVersionNegotiation, AnswersTheHighestKnownVersionNotAboveTheClients) {
    EXPECT_EQ(negotiateVersion(GetParam().client), GetParam().answered);
}
INSTANTIATE_TEST_SUITE_P(Versions, TdsVersionNegotiation,
                         testing::Values(VersionCase{kTds74, kTds74},
                                         VersionCase{0x75000000, kTds74},
                                         VersionCase{kTds73B, kTds73B},
                                         VersionCase{kTds73A, kTds73A}, VersionCase{kTds72, kTds72},
                                         VersionCase{kTds71, kTds71}, VersionCase{kTds70, kTds71}));
