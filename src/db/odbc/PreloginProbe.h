#pragma once
// Asks a SQL Server how it encrypts, on a connection of its own: one PRELOGIN (MS-TDS
// 2.2.6.5) with the ENCRYPTION byte a client would send, and the server's answer. FreeTDS
// reports every TLS failure as "Adaptive Server connection failed"; this answer tells why,
// and after a login it tells what encryption the session got. Sends no login.

#include <optional>
#include <string>

#include "db/odbc/OdbcConnectionString.h"

namespace dsadmin {

// The ENCRYPTION values of PRELOGIN.
enum class PreloginEncryption { Off = 0, On = 1, NotSupported = 2, Required = 3 };

// The server's ENCRYPTION answer to a PRELOGIN carrying `client`. nullopt when the server
// cannot be reached within timeoutMs, answers no PRELOGIN, or is a named instance without a
// port (its port would have to be looked up first). TDSPORT, when set, gives the port, as
// FreeTDS takes it.
std::optional<PreloginEncryption> ProbePreloginEncryption(const ServerAddress& address,
                                                          PreloginEncryption client,
                                                          int timeoutMs = 5000);

// What FreeTDS sends for a setting: request (its default) ENCRYPT_OFF, require ENCRYPT_ON.
PreloginEncryption FreetdsPreloginByte(OdbcEncryption encryption);

// What a FreeTDS session with `client` got from a server answering `server`: "session" (all
// of it inside TLS), "login" (only the login packet) or "none". TDS 8.0 is always "session".
std::string SessionEncryption(OdbcEncryption client, PreloginEncryption server);

}  // namespace dsadmin
