#pragma once
// The sandbox's TLS identity: a certificate with its private key (GnuTLS credentials) and the
// protocol versions it offers. Either the operator's own PEM files or a self-signed
// certificate the sandbox makes on its first start and keeps in its data folder.

#include <gnutls/gnutls.h>

#include <string>

namespace sandbox::tds {

// The newest TLS version the sandbox offers. A TDS 7.x handshake (carried in PRELOGIN) stops
// at TLS 1.2, as SQL Server's does; TDS 8.0 may use 1.3. Below 1.2 the sandbox offers only
// the old versions, as an old server does (TLS 1.0 and 1.1, or 1.0 alone).
enum class TlsMaxVersion { Tls10, Tls11, Tls12, Tls13 };

// Reads "1.0", "1.1", "1.2" or "1.3". Throws std::invalid_argument for anything else.
TlsMaxVersion parseTlsMaxVersion(const std::string& text);

class TlsCredentials {
  public:
    // Loads a PEM certificate (chain) and its PEM private key. Throws std::runtime_error
    // naming the file when either cannot be read or they do not belong together.
    static TlsCredentials fromFiles(const std::string& certFile, const std::string& keyFile,
                                    TlsMaxVersion maxVersion);

    // The data folder's own certificate, <dataDir>/sandbox-cert.pem with its key
    // <dataDir>/sandbox-key.pem (mode 0600). When neither exists, makes a self-signed ECDSA
    // P-256 certificate for "localhost", 127.0.0.1, ::1 and this machine's host name, valid
    // for ten years. One without the other, or files that cannot be read, throw
    // std::runtime_error (nothing is overwritten).
    static TlsCredentials ownCertificate(const std::string& dataDir, TlsMaxVersion maxVersion);

    TlsCredentials(TlsCredentials&& other) noexcept;
    TlsCredentials& operator=(TlsCredentials&& other) noexcept;
    TlsCredentials(const TlsCredentials&) = delete;
    TlsCredentials& operator=(const TlsCredentials&) = delete;
    ~TlsCredentials();

    // The certificate's SHA-256 fingerprint as "AB:CD:...", as openssl x509 -fingerprint shows.
    const std::string& fingerprint() const { return fingerprint_; }
    // The certificate file in use.
    const std::string& certFile() const { return certFile_; }

    gnutls_certificate_credentials_t credentials() const { return credentials_; }
    // The priorities for a TDS 7.x handshake (at most TLS 1.2) or a TDS 8.0 one.
    gnutls_priority_t priorities(bool tds8) const { return tds8 ? tds8_ : tds7_; }

  private:
    TlsCredentials() = default;
    void loadPem(const std::string& cert, const std::string& key, const std::string& certFile,
                 TlsMaxVersion maxVersion);

    gnutls_certificate_credentials_t credentials_ = nullptr;
    gnutls_priority_t tds7_ = nullptr;
    gnutls_priority_t tds8_ = nullptr;
    std::string fingerprint_;
    std::string certFile_;
};

}  // namespace sandbox::tds
