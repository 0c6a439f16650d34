#include "sandbox/tds/Prelogin.h"

#include <vector>

#include "sandbox/tds/ByteReader.h"
#include "sandbox/tds/ByteWriter.h"
#include "sandbox/tds/ProtocolError.h"

namespace sandbox::tds {
namespace {

enum Option : std::uint8_t {
    kVersion = 0,
    kEncryption = 1,
    kInstance = 2,
    kThreadId = 3,
    kMars = 4,
    kTerminator = 0xFF
};

struct Entry {
    std::uint8_t token;
    std::string data;
};

std::string encodeTable(const std::vector<Entry>& entries) {
    ByteWriter out;
    std::uint16_t offset = static_cast<std::uint16_t>(entries.size() * 5 + 1);
    for (const auto& e : entries) {
        out.u8(e.token);
        out.u16be(offset);
        out.u16be(static_cast<std::uint16_t>(e.data.size()));
        offset = static_cast<std::uint16_t>(offset + e.data.size());
    }
    out.u8(kTerminator);
    for (const auto& e : entries) out.bytes(e.data);
    return out.take();
}

}  // namespace

PreloginRequest parsePrelogin(std::string_view payload) {
    PreloginRequest request;
    ByteReader table(payload);
    for (int entries = 0;; ++entries) {
        std::uint8_t token = table.u8();
        if (token == kTerminator) break;
        if (entries > 64) throw ProtocolError("PRELOGIN option table without end");
        std::uint16_t offset = table.u16be();
        std::uint16_t length = table.u16be();
        if (std::size_t(offset) + length > payload.size())
            throw ProtocolError("PRELOGIN option points outside the packet");
        std::string_view data = payload.substr(offset, length);
        if (token == kEncryption && length >= 1)
            request.encryption = static_cast<Encryption>(data[0] & 0x03);
        else if (token == kMars && length >= 1)
            request.mars = data[0] != 0;
        else if (token == kInstance)
            request.instance = std::string(data.substr(0, data.find('\0')));
    }
    return request;
}

std::string encodePreloginReply(Encryption encryption) {
    // Version 16.0.1000 as SQL Server 2022 reports it: major, minor, build (BE), sub-build.
    std::string version("\x10\x00\x03\xE8\x00\x00", 6);
    return encodeTable({{kVersion, version},
                        {kEncryption, std::string(1, char(encryption))},
                        {kInstance, std::string(1, '\0')},
                        {kThreadId, {}},
                        {kMars, std::string(1, '\0')}});
}

std::string encodePreloginRequest(Encryption encryption, std::string_view instance) {
    std::string inst(instance);
    inst.push_back('\0');
    return encodeTable({{kVersion, std::string("\x09\x00\x00\x00\x00\x00", 6)},
                        {kEncryption, std::string(1, char(encryption))},
                        {kInstance, inst},
                        {kThreadId, std::string(4, '\0')},
                        {kMars, std::string(1, '\0')}});
}

}  // namespace sandbox::tds
