#include "db/odbc/EncryptionFailure.h"

#include "db/odbc/PreloginProbe.h"

namespace dsadmin {
namespace {

bool mentions(const std::vector<ServerMessage>& messages, const std::string& text) {
    for (const auto& m : messages)
        if (m.text.find(text) != std::string::npos) return true;
    return false;
}

bool serverAnswered(const std::vector<ServerMessage>& messages) {
    for (const auto& m : messages)
        if (m.number != 0 && m.number < 20000) return true;  // FreeTDS's own errors are 20000+
    return false;
}

}  // namespace

std::string CertificateUntrustedText(const std::string& caFile) {
    const std::string issuer =
        caFile == "system" ? "本机信任的证书颁发机构" : "CA 文件 " + caFile + " 中的证书";
    return "服务器证书不受信任：它不是由" + issuer +
           "签发的。请指定签发该证书的 CA 证书（dsadmin-cli 的 --ca-file，或 odbcinst.ini 中 "
           "FreeTDS 的 CAFile；自签名证书则指定证书本身）；只在可信的网络中才使用 "
           "--trust-server-certificate。";
}

std::string CertificateNameMismatchText(const std::string& host) {
    return "服务器证书上的名称与所连接的主机 " + host +
           " 不符。请用证书上的名称（或地址）连接服务器，或为服务器换一张包含该名称的证书。";
}

EncryptionFailure DiagnoseEncryptionFailure(const ServerAddress& address,
                                            const OdbcClientOptions& client,
                                            const std::vector<ServerMessage>& messages) {
    if (serverAnswered(messages)) return EncryptionFailure::None;
    if (client.encryption == OdbcEncryption::Strict &&
        mentions(messages, "Local configuration error"))
        return EncryptionFailure::StrictUnsupported;
    if (!mentions(messages, "Adaptive Server connection failed")) return EncryptionFailure::None;
    const bool demanded = client.encryption == OdbcEncryption::Mandatory ||
                          client.encryption == OdbcEncryption::Strict;
    const auto answer = ProbePreloginEncryption(address, FreetdsPreloginByte(client.encryption));
    if (!answer) return EncryptionFailure::None;  // gone, or no SQL Server
    if (demanded && *answer == PreloginEncryption::NotSupported)
        return EncryptionFailure::ServerCannotEncrypt;
    if (client.checksCertificate() && *answer != PreloginEncryption::NotSupported)
        return EncryptionFailure::CertificateRejected;
    // A client that sends ENCRYPT_NOT_SUP (encryption = off) and a server that requires TLS.
    if ((client.encryption == OdbcEncryption::DriverDefault ||
         client.encryption == OdbcEncryption::Off) &&
        ProbePreloginEncryption(address, PreloginEncryption::NotSupported) ==
            PreloginEncryption::Required)
        return EncryptionFailure::ServerRequiresEncryption;
    return EncryptionFailure::None;
}

}  // namespace dsadmin
