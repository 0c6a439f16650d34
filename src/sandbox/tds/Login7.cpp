#include "sandbox/tds/Login7.h"

#include "sandbox/tds/ByteReader.h"
#include "sandbox/tds/ByteWriter.h"
#include "sandbox/tds/ProtocolError.h"
#include "sandbox/tds/TextCodec.h"

namespace sandbox::tds {
namespace {

constexpr std::size_t kFixedPart70 = 86;
constexpr std::size_t kFixedPart72 = 94;

// Reads the offset/length pair at `fieldOffset` and returns the UCS-2 text it names.
std::string_view stringField(std::string_view payload, std::size_t fieldOffset) {
    ByteReader in(payload);
    in.seek(fieldOffset);
    std::size_t offset = in.u16le();
    std::size_t chars = in.u16le();
    if (chars == 0) return {};
    if (offset + chars * 2 > payload.size())
        throw ProtocolError("LOGIN7 string at offset " + std::to_string(offset) +
                            " lies outside the record");
    return payload.substr(offset, chars * 2);
}

}  // namespace

std::string scramblePassword(std::string_view ucs2) {
    std::string out(ucs2);
    for (auto& c : out) {
        auto b = static_cast<unsigned char>(c);
        b = static_cast<unsigned char>(((b << 4) | (b >> 4)) ^ 0xA5);
        c = static_cast<char>(b);
    }
    return out;
}

std::string unscramblePassword(std::string_view scrambled) {
    std::string out(scrambled);
    for (auto& c : out) {
        auto b = static_cast<unsigned char>(static_cast<unsigned char>(c) ^ 0xA5);
        c = static_cast<char>(static_cast<unsigned char>((b << 4) | (b >> 4)));
    }
    return out;
}

Login7 parseLogin7(std::string_view payload) {
    if (payload.size() < kFixedPart70)
        throw ProtocolError("LOGIN7 record of " + std::to_string(payload.size()) +
                            " bytes is shorter than its fixed part");
    ByteReader in(payload);
    Login7 login;
    std::uint32_t declared = in.u32le();
    if (declared < kFixedPart70 || declared > payload.size())
        throw ProtocolError("LOGIN7 length field says " + std::to_string(declared) +
                            " bytes, the message holds " + std::to_string(payload.size()));
    payload = payload.substr(0, declared);
    login.tdsVersion = in.u32le();
    login.packetSize = in.u32le();
    in.seek(25);
    login.integratedSecurity = (in.u8() & 0x80) != 0;
    login.hostName = ucs2ToUtf8(stringField(payload, 36));
    login.userName = ucs2ToUtf8(stringField(payload, 40));
    login.password = ucs2ToUtf8(unscramblePassword(stringField(payload, 44)));
    login.appName = ucs2ToUtf8(stringField(payload, 48));
    login.serverName = ucs2ToUtf8(stringField(payload, 52));
    login.libraryName = ucs2ToUtf8(stringField(payload, 60));
    login.language = ucs2ToUtf8(stringField(payload, 64));
    login.database = ucs2ToUtf8(stringField(payload, 68));
    return login;
}

std::string encodeLogin7(const Login7& login) {
    const std::string fields[] = {utf8ToUcs2(login.hostName),
                                  utf8ToUcs2(login.userName),
                                  scramblePassword(utf8ToUcs2(login.password)),
                                  utf8ToUcs2(login.appName),
                                  utf8ToUcs2(login.serverName),
                                  utf8ToUcs2(login.libraryName),
                                  utf8ToUcs2(login.language),
                                  utf8ToUcs2(login.database)};
    ByteWriter out;
    out.u32le(0);  // patched below
    out.u32le(login.tdsVersion);
    out.u32le(login.packetSize);
    out.u32le(7);  // client program version
    out.u32le(1234);
    out.u32le(0);
    out.u8(0xE0);
    out.u8(login.integratedSecurity ? 0x83 : 0x03);
    out.u8(0);
    out.u8(0);
    out.u32le(0);
    out.u32le(0x0409);
    std::size_t offset = kFixedPart72;
    std::string data;
    auto pair = [&](const std::string& field) {
        out.u16le(static_cast<std::uint16_t>(offset + data.size()));
        out.u16le(static_cast<std::uint16_t>(field.size() / 2));
        data += field;
    };
    for (int i = 0; i < 5; ++i) pair(fields[i]);  // host, user, password, app, server
    pair({});                                     // extension
    pair(fields[5]);                              // library
    pair(fields[6]);                              // language
    pair(fields[7]);                              // database
    out.bytes(std::string(6, '\0'));              // client id
    for (int i = 0; i < 3; ++i) pair({});         // SSPI, attach file, change password
    out.u32le(0);                                 // long SSPI length
    out.bytes(data);
    std::string payload = out.take();
    auto size = static_cast<std::uint32_t>(payload.size());
    for (int i = 0; i < 4; ++i) payload[i] = static_cast<char>((size >> (8 * i)) & 0xFF);
    return payload;
}

std::uint32_t negotiateVersion(std::uint32_t clientVersion) {
    static constexpr std::uint32_t kKnown[] = {kTds74, kTds73B, kTds73A, kTds72, kTds71};
    for (std::uint32_t v : kKnown)
        if (clientVersion >= v) return v;
    return kTds71;
}

}  // namespace sandbox::tds
