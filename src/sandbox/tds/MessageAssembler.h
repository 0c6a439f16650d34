#pragma once
// Joins the payloads of consecutive packets into one message (MS-TDS 2.2.3: a message ends
// with the packet whose status has the EOM bit). Pure: the caller reads the bytes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sandbox/tds/Packet.h"

namespace sandbox::tds {

struct PacketMessage {
    std::uint8_t type = 0;
    std::uint8_t status = 0;  // status of the first packet (RESETCONNECTION lives there)
    bool ignore = false;      // the client cancelled it while sending (IGNORE bit on the EOM)
    std::string payload;
};

class MessageAssembler {
  public:
    explicit MessageAssembler(std::size_t maxMessageBytes) : maxBytes_(maxMessageBytes) {}

    // Adds one packet. Returns the message when this packet ends it. Throws ProtocolError
    // when the packet's type differs from the message it continues, or when the message
    // would grow beyond the limit.
    std::optional<PacketMessage> add(const PacketHeader& header, std::string_view payload);

    // True while a message is partly received.
    bool inMessage() const { return started_; }

  private:
    std::size_t maxBytes_;
    bool started_ = false;
    PacketMessage current_;
};

}  // namespace sandbox::tds
