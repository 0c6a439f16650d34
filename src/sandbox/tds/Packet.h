#pragma once
// The 8-byte TDS packet header (MS-TDS 2.2.3.1) and the packet types the sandbox knows.

#include <cstdint>
#include <string>
#include <string_view>

namespace sandbox::tds {

enum PacketType : std::uint8_t {
    kSqlBatch = 0x01,
    kPreTds7Login = 0x02,
    kRpc = 0x03,
    kTabularResult = 0x04,
    kAttention = 0x06,
    kBulkLoad = 0x07,
    kTransactionManager = 0x0E,
    kLogin7 = 0x10,
    kSspi = 0x11,
    kPrelogin = 0x12,
};

enum PacketStatus : std::uint8_t {
    kEndOfMessage = 0x01,
    kIgnore = 0x02,
    kResetConnection = 0x08,
    kResetConnectionSkipTran = 0x10,
};

constexpr std::size_t kHeaderSize = 8;

struct PacketHeader {
    std::uint8_t type = 0;
    std::uint8_t status = 0;
    std::uint16_t length = 0;  // whole packet, header included
    std::uint16_t spid = 0;
    std::uint8_t packetId = 0;

    // Decodes 8 bytes. Throws ProtocolError when the length is below the header's own size.
    static PacketHeader parse(std::string_view bytes);
    std::string encode() const;
};

}  // namespace sandbox::tds
