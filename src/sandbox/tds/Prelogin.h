#pragma once
// PRELOGIN (MS-TDS 2.2.6.5): the client's option table and the sandbox's answer.
// The ENCRYPTION option decides whether a TLS handshake follows (ClientConnection chooses the
// answer); MARS is always answered off.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sandbox::tds {

enum class Encryption : std::uint8_t { Off = 0, On = 1, NotSupported = 2, Required = 3 };

struct PreloginRequest {
    std::optional<Encryption> encryption;  // absent when the client sent no ENCRYPTION option
    bool mars = false;
    std::string instance;  // INSTOPT without its NUL
};

// Decodes the option table. Throws ProtocolError when an option points outside the payload
// or the table has no terminator.
PreloginRequest parsePrelogin(std::string_view payload);

// The reply payload (without packet header): VERSION 16.0.1000, ENCRYPTION `encryption`,
// INSTOPT 0, THREADID empty, MARS 0.
std::string encodePreloginReply(Encryption encryption = Encryption::NotSupported);

// The request a client sends (used by tests and the fuzzing corpus).
std::string encodePreloginRequest(Encryption encryption, std::string_view instance);

}  // namespace sandbox::tds
