#include "sandbox/tds/PacketWriter.h"

#include <algorithm>

#include "sandbox/tds/Packet.h"

namespace sandbox::tds {

std::string frameMessage(std::uint8_t type, std::string_view payload, std::size_t packetSize,
                         std::uint16_t spid) {
    packetSize = std::clamp<std::size_t>(packetSize, 512, 65535);
    const std::size_t room = packetSize - kHeaderSize;
    std::string out;
    out.reserve(payload.size() + (payload.size() / room + 1) * kHeaderSize);
    std::size_t offset = 0;
    std::uint8_t id = 1;
    do {
        std::size_t chunk = std::min(room, payload.size() - offset);
        PacketHeader h;
        h.type = type;
        h.status = offset + chunk == payload.size() ? kEndOfMessage : 0;
        h.length = static_cast<std::uint16_t>(chunk + kHeaderSize);
        h.spid = spid;
        h.packetId = id++;
        out += h.encode();
        out.append(payload.substr(offset, chunk));
        offset += chunk;
    } while (offset < payload.size());
    return out;
}

}  // namespace sandbox::tds
