#pragma once
// Why a connection that FreeTDS could not open failed, when encryption is the reason. FreeTDS
// says only "Adaptive Server connection failed" (or "Local configuration error"); the server's
// own PRELOGIN answer, asked again on a connection of its own, tells what happened.

#include <string>
#include <vector>

#include "db/DbError.h"
#include "db/odbc/OdbcConnectionString.h"

namespace dsadmin {

enum class EncryptionFailure {
    None,                      // not encryption: the driver's own text stands
    ServerRequiresEncryption,  // the server forces TLS, the site set Encryption = off
    ServerCannotEncrypt,       // the connection demands TLS, the server offers none
    StrictUnsupported,         // --encrypt strict with a FreeTDS that lacks TDS 8.0
    CertificateRejected,       // TLS offered, the certificate check failed
};

// The texts the operator reads (after "系统错误：" in a run's box).
inline constexpr const char* kServerRequiresEncryptionText =
    "服务器要求加密连接（强制加密），而本机设置为不加密（odbcinst.ini 中 FreeTDS 的 "
    "Encryption = off）。请把它改为 request 或 require，或删去这一行。";
inline constexpr const char* kServerCannotEncryptText =
    "服务器不支持加密连接，而本次连接要求加密（dsadmin-cli 的 --encrypt mandatory 或 strict，"
    "或 odbcinst.ini 中 FreeTDS 的 Encryption = require）。请在服务器上配置证书、启用加密，"
    "或改为只在服务器支持时加密（--encrypt optional，或 Encryption = request）。";
inline constexpr const char* kStrictUnsupportedText =
    "本机的 FreeTDS 驱动不支持 TDS 8.0 严格加密（--encrypt strict 需要 FreeTDS 1.4 "
    "或更新的版本）。请改用 --encrypt mandatory。";

// A certificate not signed by the CA in caFile ("system": the machine's trusted CAs).
std::string CertificateUntrustedText(const std::string& caFile);
// A trusted certificate that is not made out to host.
std::string CertificateNameMismatchText(const std::string& host);

// What failed, from the driver's records of a failed connect. The server is asked only when
// they carry no server error (a refused login has one).
EncryptionFailure DiagnoseEncryptionFailure(const ServerAddress& address,
                                            const OdbcClientOptions& client,
                                            const std::vector<ServerMessage>& messages);

}  // namespace dsadmin
