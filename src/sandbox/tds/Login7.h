#pragma once
// LOGIN7 (MS-TDS 2.2.6.4): the client's login record. Strings are located through their
// offset/length pairs, never by assuming the fixed part's size (86 bytes for TDS 7.0/7.1,
// 94 bytes for 7.2 and later).

#include <cstdint>
#include <string>
#include <string_view>

namespace sandbox::tds {

// TDS version numbers as LOGIN7 carries them (read little-endian) and LOGINACK sends them
// (written big-endian).
enum TdsVersion : std::uint32_t {
    kTds70 = 0x70000000,
    kTds71 = 0x71000001,
    kTds72 = 0x72090002,
    kTds73A = 0x730A0003,
    kTds73B = 0x730B0003,
    kTds74 = 0x74000004,
};

struct Login7 {
    std::uint32_t tdsVersion = kTds74;
    std::uint32_t packetSize = 4096;
    bool integratedSecurity = false;  // OptionFlags2 bit 0x80: SSPI instead of a SQL login
    std::string hostName;
    std::string userName;
    std::string password;  // unscrambled, UTF-8; never log it
    std::string appName;
    std::string serverName;
    std::string libraryName;
    std::string language;
    std::string database;
};

// Decodes a LOGIN7 payload. Throws ProtocolError when the record is shorter than its fixed
// part or a string lies outside it.
Login7 parseLogin7(std::string_view payload);

// Encodes a LOGIN7 payload for TDS 7.2+ (tests and tools; scrambles the password).
std::string encodeLogin7(const Login7& login);

// The password obfuscation of MS-TDS 2.2.6.4: each byte of the UCS-2LE password has its
// nibbles swapped and is XORed with 0xA5. Unscrambling undoes it.
std::string scramblePassword(std::string_view ucs2);
std::string unscramblePassword(std::string_view scrambled);

// The highest known version not above the client's, at least 7.1 (a 7.0 client gets 7.1).
std::uint32_t negotiateVersion(std::uint32_t clientVersion);

}  // namespace sandbox::tds
