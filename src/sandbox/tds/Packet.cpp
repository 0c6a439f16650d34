#include "sandbox/tds/Packet.h"

#include "sandbox/tds/ByteReader.h"
#include "sandbox/tds/ByteWriter.h"
#include "sandbox/tds/ProtocolError.h"

namespace sandbox::tds {

PacketHeader PacketHeader::parse(std::string_view bytes) {
    ByteReader in(bytes.substr(0, kHeaderSize));
    PacketHeader h;
    h.type = in.u8();
    h.status = in.u8();
    h.length = in.u16be();
    h.spid = in.u16be();
    h.packetId = in.u8();
    in.u8();  // window, always 0
    if (h.length < kHeaderSize)
        throw ProtocolError("packet length " + std::to_string(h.length) +
                            " is shorter than its header");
    return h;
}

std::string PacketHeader::encode() const {
    ByteWriter out;
    out.u8(type);
    out.u8(status);
    out.u16be(length);
    out.u16be(spid);
    out.u8(packetId);
    out.u8(0);
    return out.take();
}

}  // namespace sandbox::tds
