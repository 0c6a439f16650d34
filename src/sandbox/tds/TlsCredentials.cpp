#include "sandbox/tds/TlsCredentials.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gnutls/crypto.h>
#include <gnutls/x509.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace sandbox::tds {
namespace {

void check(int rc, const std::string& what) {
    if (rc < 0) throw std::runtime_error(what + ": " + gnutls_strerror(rc));
}

struct Datum {
    gnutls_datum_t d{nullptr, 0};
    ~Datum() { gnutls_free(d.data); }
    std::string text() const { return std::string(reinterpret_cast<const char*>(d.data), d.size); }
};

struct Certificate {
    gnutls_x509_crt_t crt = nullptr;
    Certificate() { check(gnutls_x509_crt_init(&crt), "gnutls_x509_crt_init"); }
    ~Certificate() { gnutls_x509_crt_deinit(crt); }
};

struct PrivateKey {
    gnutls_x509_privkey_t key = nullptr;
    PrivateKey() { check(gnutls_x509_privkey_init(&key), "gnutls_x509_privkey_init"); }
    ~PrivateKey() { gnutls_x509_privkey_deinit(key); }
};

std::string readFile(const std::string& path, const char* what) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        throw std::runtime_error("the " + std::string(what) + " " + path + " is a folder");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read the " + std::string(what) + " " + path + ": " +
                                 std::strerror(errno));
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Writes text to path through a temporary file in the same folder, with the given mode.
void writeFile(const std::string& path, const std::string& text, mode_t mode) {
    const std::string temp = path + ".tmp";
    ::unlink(temp.c_str());
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) throw std::runtime_error("cannot write " + temp + ": " + std::strerror(errno));
    bool ok = ::fchmod(fd, mode) == 0 &&
              ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
              ::fsync(fd) == 0;
    const int error = errno;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(ok ? errno : error));
    }
}

void addIp(gnutls_x509_crt_t crt, int family, const char* text) {
    unsigned char bytes[16];
    if (inet_pton(family, text, bytes) != 1) return;
    check(gnutls_x509_crt_set_subject_alt_name(crt, GNUTLS_SAN_IPADDRESS, bytes,
                                               family == AF_INET ? 4 : 16, GNUTLS_FSAN_APPEND),
          "subject alternative name");
}

void addDns(gnutls_x509_crt_t crt, const std::string& name) {
    check(gnutls_x509_crt_set_subject_alt_name(crt, GNUTLS_SAN_DNSNAME, name.data(),
                                               static_cast<unsigned>(name.size()),
                                               GNUTLS_FSAN_APPEND),
          "subject alternative name");
}

// A self-signed certificate and its key, both PEM (the key as PKCS #8).
void makeSelfSigned(std::string& certPem, std::string& keyPem) {
    PrivateKey key;
    check(gnutls_x509_privkey_generate(key.key, GNUTLS_PK_ECDSA,
                                       GNUTLS_CURVE_TO_BITS(GNUTLS_ECC_CURVE_SECP256R1), 0),
          "generating the key");
    Certificate cert;
    gnutls_x509_crt_t crt = cert.crt;
    unsigned char serial[16];
    check(gnutls_rnd(GNUTLS_RND_NONCE, serial, sizeof serial), "gnutls_rnd");
    serial[0] &= 0x7F;  // a positive number
    const std::time_t now = std::time(nullptr);
    check(gnutls_x509_crt_set_version(crt, 3), "certificate version");
    check(gnutls_x509_crt_set_serial(crt, serial, sizeof serial), "certificate serial");
    check(gnutls_x509_crt_set_activation_time(crt, now - 24 * 3600), "certificate start");
    check(gnutls_x509_crt_set_expiration_time(crt, now + 10L * 365 * 24 * 3600), "certificate end");
    const char* error = nullptr;
    check(gnutls_x509_crt_set_dn(crt, "CN=localhost,O=dsadmin-sandbox", &error),
          "certificate name");
    check(gnutls_x509_crt_set_key(crt, key.key), "certificate key");
    addDns(crt, "localhost");
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0 && *host && std::string(host) != "localhost")
        addDns(crt, host);
    addIp(crt, AF_INET, "127.0.0.1");
    addIp(crt, AF_INET6, "::1");
    check(gnutls_x509_crt_set_basic_constraints(crt, 1, -1), "basic constraints");
    check(
        gnutls_x509_crt_set_key_usage(crt, GNUTLS_KEY_DIGITAL_SIGNATURE | GNUTLS_KEY_KEY_CERT_SIGN),
        "key usage");
    check(gnutls_x509_crt_set_key_purpose_oid(crt, GNUTLS_KP_TLS_WWW_SERVER, 0), "key purpose");
    check(gnutls_x509_crt_sign2(crt, crt, key.key, GNUTLS_DIG_SHA256, 0), "signing");
    Datum c, k;
    check(gnutls_x509_crt_export2(crt, GNUTLS_X509_FMT_PEM, &c.d), "exporting the certificate");
    check(gnutls_x509_privkey_export2_pkcs8(key.key, GNUTLS_X509_FMT_PEM, nullptr,
                                            GNUTLS_PKCS_PLAIN, &k.d),
          "exporting the key");
    certPem = c.text();
    keyPem = k.text();
}

std::string priorityString(TlsMaxVersion max, bool tds8) {
    // By TlsMaxVersion up to 1.2; at 1.3 only TDS 8 goes past 1.2.
    static constexpr const char* kUpTo[] = {"NORMAL:-VERS-ALL:+VERS-TLS1.0",
                                            "NORMAL:-VERS-ALL:+VERS-TLS1.1:+VERS-TLS1.0",
                                            "NORMAL:-VERS-ALL:+VERS-TLS1.2"};
    static_assert(std::size(kUpTo) == static_cast<std::size_t>(TlsMaxVersion::Tls13));
    if (max != TlsMaxVersion::Tls13) return kUpTo[static_cast<std::size_t>(max)];
    return tds8 ? "NORMAL:-VERS-ALL:+VERS-TLS1.3:+VERS-TLS1.2" : "NORMAL:-VERS-ALL:+VERS-TLS1.2";
}

}  // namespace

TlsMaxVersion parseTlsMaxVersion(const std::string& text) {
    if (text == "1.0") return TlsMaxVersion::Tls10;
    if (text == "1.1") return TlsMaxVersion::Tls11;
    if (text == "1.2") return TlsMaxVersion::Tls12;
    if (text == "1.3") return TlsMaxVersion::Tls13;
    throw std::invalid_argument("--tls-max-version needs 1.0, 1.1, 1.2 or 1.3, not '" + text + "'");
}

TlsCredentials TlsCredentials::fromFiles(const std::string& certFile, const std::string& keyFile,
                                         TlsMaxVersion maxVersion) {
    TlsCredentials c;
    c.loadPem(readFile(certFile, "certificate file"), readFile(keyFile, "key file"), certFile,
              maxVersion);
    return c;
}

TlsCredentials TlsCredentials::ownCertificate(const std::string& dataDir,
                                              TlsMaxVersion maxVersion) {
    const std::string certFile = dataDir + "/sandbox-cert.pem";
    const std::string keyFile = dataDir + "/sandbox-key.pem";
    std::error_code ec;
    const bool haveCert = std::filesystem::exists(certFile, ec);
    const bool haveKey = std::filesystem::exists(keyFile, ec);
    if (haveCert != haveKey)
        throw std::runtime_error((haveCert ? keyFile : certFile) + " is missing beside " +
                                 (haveCert ? certFile : keyFile) +
                                 ": remove the other one too (a new certificate is then made) or "
                                 "give --tls-cert and --tls-key");
    if (!haveCert) {
        std::string certPem, keyPem;
        makeSelfSigned(certPem, keyPem);
        writeFile(keyFile, keyPem, 0600);
        writeFile(certFile, certPem, 0644);
    }
    return fromFiles(certFile, keyFile, maxVersion);
}

void TlsCredentials::loadPem(const std::string& cert, const std::string& key,
                             const std::string& certFile, TlsMaxVersion maxVersion) {
    certFile_ = certFile;
    check(gnutls_certificate_allocate_credentials(&credentials_), "TLS credentials");
    gnutls_datum_t c{reinterpret_cast<unsigned char*>(const_cast<char*>(cert.data())),
                     static_cast<unsigned>(cert.size())};
    gnutls_datum_t k{reinterpret_cast<unsigned char*>(const_cast<char*>(key.data())),
                     static_cast<unsigned>(key.size())};
    int rc = gnutls_certificate_set_x509_key_mem(credentials_, &c, &k, GNUTLS_X509_FMT_PEM);
    if (rc < 0)
        throw std::runtime_error("cannot use the certificate " + certFile +
                                 " with its key: " + gnutls_strerror(rc));
    Certificate first;
    check(gnutls_x509_crt_import(first.crt, &c, GNUTLS_X509_FMT_PEM), "reading " + certFile);
    unsigned char digest[32];
    std::size_t size = sizeof digest;
    check(gnutls_x509_crt_get_fingerprint(first.crt, GNUTLS_DIG_SHA256, digest, &size),
          "fingerprint");
    char hex[4];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(hex, sizeof hex, i ? ":%02X" : "%02X", digest[i]);
        fingerprint_ += hex;
    }
    const char* where = nullptr;
    check(gnutls_priority_init(&tds7_, priorityString(maxVersion, false).c_str(), &where),
          "TLS priorities");
    check(gnutls_priority_init(&tds8_, priorityString(maxVersion, true).c_str(), &where),
          "TLS priorities");
}

TlsCredentials::TlsCredentials(TlsCredentials&& other) noexcept {
    *this = std::move(other);
}

TlsCredentials& TlsCredentials::operator=(TlsCredentials&& other) noexcept {
    std::swap(credentials_, other.credentials_);
    std::swap(tds7_, other.tds7_);
    std::swap(tds8_, other.tds8_);
    std::swap(fingerprint_, other.fingerprint_);
    std::swap(certFile_, other.certFile_);
    return *this;
}

TlsCredentials::~TlsCredentials() {
    if (tds7_) gnutls_priority_deinit(tds7_);
    if (tds8_) gnutls_priority_deinit(tds8_);
    if (credentials_) gnutls_certificate_free_credentials(credentials_);
}

}  // namespace sandbox::tds
