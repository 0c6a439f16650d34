#include <gtest/gtest.h>

#include "sandbox/tds/Prelogin.h"
#include "sandbox/tds/ProtocolError.h"

using namespace sandbox::tds;

TEST(TdsPrelogin, ReplyRefusesEncryptionAndMars) {
    // Option table VERSION, ENCRYPTION, INSTOPT, THREADID (empty), MARS, then the data.
    const std::string expected(
        "\x00\x00\x1A\x00\x06"
        "\x01\x00\x20\x00\x01"
        "\x02\x00\x21\x00\x01"
        "\x03\x00\x22\x00\x00"
        "\x04\x00\x22\x00\x01"
        "\xFF"
        "\x10\x00\x03\xE8\x00\x00"
        "\x02"
        "\x00"
        "\x00",
        35);
    EXPECT_EQ(encodePreloginReply(), expected);
    PreloginRequest back = parsePrelogin(expected);
    EXPECT_EQ(back.encryption, Encryption::NotSupported);
    EXPECT_FALSE(back.mars);
}

TEST(TdsPrelogin, ReadsWhatAClientAsks) {
    PreloginRequest r = parsePrelogin(encodePreloginRequest(Encryption::Off, "MSSQLServer"));
    EXPECT_EQ(r.encryption, Encryption::Off);
    EXPECT_EQ(r.instance, "MSSQLServer");
}

TEST(TdsPrelogin, RefusesOptionsOutsideThePacketAndTablesWithoutEnd) {
    EXPECT_THROW(parsePrelogin(std::string("\x01\x00\x06\x00\x05\xFF", 6)), ProtocolError);
    EXPECT_THROW(parsePrelogin(std::string("\x01\x00\x05\x00\x00", 5)), ProtocolError);
    EXPECT_THROW(parsePrelogin(""), ProtocolError);
}
