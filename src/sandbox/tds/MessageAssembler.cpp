#include "sandbox/tds/MessageAssembler.h"

#include "sandbox/tds/ProtocolError.h"

namespace sandbox::tds {

std::optional<PacketMessage> MessageAssembler::add(const PacketHeader& header,
                                                   std::string_view payload) {
    if (!started_) {
        current_ = PacketMessage{header.type, header.status, false, {}};
        started_ = true;
    } else if (header.type != current_.type) {
        throw ProtocolError("packet of type " + std::to_string(header.type) +
                            " inside a message of type " + std::to_string(current_.type));
    }
    if (payload.size() > maxBytes_ - current_.payload.size())
        throw ProtocolError("message longer than " + std::to_string(maxBytes_) + " bytes");
    current_.payload.append(payload);
    if (!(header.status & kEndOfMessage)) return std::nullopt;
    current_.ignore = (header.status & kIgnore) != 0;
    started_ = false;
    return std::move(current_);
}

}  // namespace sandbox::tds
