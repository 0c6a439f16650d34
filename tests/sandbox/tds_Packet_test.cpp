#include <gtest/gtest.h>

#include "sandbox/tds/MessageAssembler.h"
#include "sandbox/tds/Packet.h"
#include "sandbox/tds/PacketWriter.h"
#include "sandbox/tds/ProtocolError.h"

using namespace sandbox::tds;

TEST(TdsPacket, HeaderRoundTripsBigEndianLengthAndSpid) {
    PacketHeader h{kTabularResult, kEndOfMessage, 0x0123, 51, 7};
    std::string bytes = h.encode();
    EXPECT_EQ(bytes, std::string("\x04\x01\x01\x23\x00\x33\x07\x00", 8));
    PacketHeader back = PacketHeader::parse(bytes);
    EXPECT_EQ(back.length, 0x0123);
    EXPECT_EQ(back.spid, 51);
    EXPECT_EQ(back.packetId, 7);
}

TEST(TdsPacket, HeaderShorterThanItselfIsRefused) {
    EXPECT_THROW(PacketHeader::parse(std::string("\x01\x01\x00\x07\x00\x00\x01\x00", 8)),
                 ProtocolError);
    EXPECT_THROW(PacketHeader::parse(std::string("\x01\x01\x00", 3)), ProtocolError);
}

TEST(TdsPacket, ResponseIsSplitAtPacketSizeWithEomOnLastOnly) {
    std::string payload(1200, 'x');
    std::string framed = frameMessage(kTabularResult, payload, 512, 52);
    // 504 payload bytes per packet: 504 + 504 + 192.
    ASSERT_EQ(framed.size(), 1200u + 3 * 8);
    PacketHeader p1 = PacketHeader::parse(framed.substr(0, 8));
    PacketHeader p2 = PacketHeader::parse(framed.substr(512, 8));
    PacketHeader p3 = PacketHeader::parse(framed.substr(1024, 8));
    EXPECT_EQ(p1.status, 0);
    EXPECT_EQ(p2.status, 0);
    EXPECT_EQ(p3.status, kEndOfMessage);
    EXPECT_EQ(p1.length, 512);
    EXPECT_EQ(p3.length, 200);
    EXPECT_EQ(p1.packetId, 1);
    EXPECT_EQ(p3.packetId, 3);
    EXPECT_EQ(p3.spid, 52);
}

TEST(TdsPacket, EmptyResponseIsOneBareHeaderWithEom) {
    std::string framed = frameMessage(kTabularResult, "", 4096, 51);
    ASSERT_EQ(framed.size(), 8u);
    EXPECT_EQ(PacketHeader::parse(framed).status, kEndOfMessage);
}

TEST(TdsMessageAssembler, JoinsPacketsUntilEom) {
    MessageAssembler a(1000);
    EXPECT_FALSE(a.add({kSqlBatch, kResetConnection, 10, 0, 1}, "ab"));
    EXPECT_TRUE(a.inMessage());
    auto m = a.add({kSqlBatch, kEndOfMessage, 10, 0, 2}, "cd");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->payload, "abcd");
    EXPECT_EQ(m->status & kResetConnection, kResetConnection);
    EXPECT_FALSE(m->ignore);
    EXPECT_FALSE(a.inMessage());
}

TEST(TdsMessageAssembler, IgnoreBitMarksACancelledMessage) {
    MessageAssembler a(1000);
    auto m = a.add({kRpc, kEndOfMessage | kIgnore, 9, 0, 1}, "x");
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->ignore);
}

TEST(TdsMessageAssembler, RefusesTypeChangeAndOversizedMessages) {
    MessageAssembler a(5);
    a.add({kSqlBatch, 0, 10, 0, 1}, "ab");
    EXPECT_THROW(a.add({kRpc, kEndOfMessage, 10, 0, 2}, "cd"), ProtocolError);
    MessageAssembler b(5);
    b.add({kSqlBatch, 0, 12, 0, 1}, "abcd");
    EXPECT_THROW(b.add({kSqlBatch, kEndOfMessage, 10, 0, 2}, "ef"), ProtocolError);
}
