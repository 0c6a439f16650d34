// The sandbox's packet layer and request decoders, as a connection meets them: the input is
// a stream of packets; each is cut by its header, joined into messages, and every whole
// message goes to the decoder of its type. Any bytes end in a decoded request or a
// ProtocolError/UnsupportedRequest, never in a crash, a hang or an allocation beyond the
// message limit.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sandbox/tds/Login7.h"
#include "sandbox/tds/MessageAssembler.h"
#include "sandbox/tds/Packet.h"
#include "sandbox/tds/Prelogin.h"
#include "sandbox/tds/ProtocolError.h"
#include "sandbox/tds/RpcRequest.h"
#include "sandbox/tds/SqlBatch.h"

namespace tds = sandbox::tds;

namespace {

void decode(const tds::PacketMessage& m, std::uint32_t& version) {
    switch (m.type) {
        case tds::kPrelogin:
            (void)tds::parsePrelogin(m.payload);
            break;
        case tds::kLogin7:
            version = tds::negotiateVersion(tds::parseLogin7(m.payload).tdsVersion);
            break;
        case tds::kSqlBatch:
            (void)tds::parseSqlBatch(m.payload, version);
            break;
        case tds::kRpc: {
            const tds::RpcRequest request = tds::parseRpcRequest(m.payload, version);
            if (request.isExecuteSql()) (void)tds::toExecuteSql(request);
            break;
        }
        default:
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view stream(reinterpret_cast<const char*>(data), size);
    tds::MessageAssembler assembler(64u << 10);
    std::uint32_t version = tds::kTds74;
    try {
        while (stream.size() >= tds::kHeaderSize) {
            const tds::PacketHeader header = tds::PacketHeader::parse(stream.substr(0, 8));
            const std::size_t length = std::min<std::size_t>(header.length, stream.size());
            const std::string_view payload = stream.substr(8, length - 8);
            stream.remove_prefix(length);
            const std::optional<tds::PacketMessage> m = assembler.add(header, payload);
            if (!m || m->ignore) continue;
            try {
                decode(*m, version);
            } catch (const tds::UnsupportedRequest&) {
                // answered with an ERROR token; the connection goes on
            }
        }
    } catch (const tds::ProtocolError&) {
        // the connection is closed
    }
    return 0;
}
