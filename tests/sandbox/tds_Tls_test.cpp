// Encrypted logins and sessions against the real dsadmin-sandbox, through the real clients
// (FreeTDS tsql and its ODBC driver, tedious), with a recording relay on loopback to show what
// crosses the wire in clear.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/RecordingRelay.h"
#include "support/SandboxProcess.h"
#include "tds_Command.h"

using tdstest::runCommand;
using tdstest::shellQuote;
using testsupport::RecordingRelay;
using testsupport::SandboxProcess;

namespace {

const std::string kPassword = "Tls;pw-7781";

std::string uniqueName(const std::string& prefix) {
    static std::atomic<int> counter{0};
    return prefix + std::to_string(::getpid()) + "_" + std::to_string(counter++);
}

// How LOGIN7 and SQL batches carry text.
std::string utf16(const std::string& ascii) {
    std::string out;
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
}

bool contains(const std::string& haystack, const std::string& needle) {
    return haystack.find(needle) != std::string::npos;
}

std::string odbc(std::uint16_t port, const std::string& app, const std::string& extra = "") {
    return "Driver=FreeTDS;Server=127.0.0.1;Port=" + std::to_string(port) + ";UID=sa;PWD={" +
           kPassword + "};Database=master;TDS_Version=7.4;ClientCharset=UTF-8;APP=" + app + extra;
}

tdstest::CommandResult isql(const std::string& input, const std::string& connection) {
    return runCommand("isql -v -b -k " + shellQuote(connection), input);
}

// The log line of the login whose application name is app (the server logs it after answering).
std::string loginLine(const SandboxProcess& sandbox, const std::string& app) {
    const std::string mark = "app '" + app + "'";
    for (int i = 0; i < 100; ++i) {
        const std::string log = sandbox.log();
        std::size_t at = log.find(mark);
        if (at != std::string::npos) {
            std::size_t start = log.rfind('\n', at) + 1;
            return log.substr(start, log.find('\n', at) - start);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return "(no login of " + app + " in the log)";
}

std::string waitForLog(const SandboxProcess& sandbox, const std::string& text) {
    std::string log;
    for (int i = 0; i < 100 && !contains(log = sandbox.log(), text); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return log;
}

std::string freetdsConf(const SandboxProcess& sandbox, const std::string& body) {
    const std::string path = sandbox.dataDir() + "/" + uniqueName("freetds") + ".conf";
    std::ofstream(path) << body;
    return path;
}

std::string tsqlWithConf(const std::string& conf, const std::string& section,
                         const std::string& input) {
    return runCommand("env FREETDSCONF=" + shellQuote(conf) + " tsql -S " + section + " -U sa -P " +
                          shellQuote(kPassword),
                      input)
        .output;
}

// The SHA-256 of the certificate's DER bytes, computed by coreutils as "ab:cd:..." upper case.
std::string certificateFingerprint(const std::string& pem) {
    auto r = runCommand(
        "sh -c " + shellQuote("grep -v -- ----- " + shellQuote(pem) + " | base64 -d | sha256sum"));
    std::string hex = r.output.substr(0, 64), out;
    for (std::size_t i = 0; i < hex.size(); i += 2)
        out += (i ? ":" : "") +
               std::string{char(std::toupper(hex[i])), char(std::toupper(hex[i + 1]))};
    return out;
}

class TdsTls : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        SandboxProcess::Options o;
        o.saPassword = kPassword;
        sandbox_ = new SandboxProcess(o);
    }
    static void TearDownTestSuite() {
        delete sandbox_;
        sandbox_ = nullptr;
    }
    static SandboxProcess* sandbox_;
};
SandboxProcess* TdsTls::sandbox_ = nullptr;

std::string tediousScenario(const std::string& scenario, std::uint16_t port,
                            const std::string& environment = "") {
    std::string script = std::string(DSADMIN_SOURCE_DIR) + "/tests/sandbox/node/tedious_session.js";
    return runCommand("env " + environment + " node " + shellQuote(script) + " " + scenario + " " +
                      std::to_string(port) + " " + shellQuote(kPassword) + " " + uniqueName("t"))
        .output;
}

}  // namespace

// FreeTDS's default (encryption = request) against the sandbox's default: the LOGIN7 packet
// inside TLS, the statements after it in clear, as with SQL Server; with Encryption=off the
// login itself is readable on the wire.
TEST_F(TdsTls, OdbcDefaultEncryptsTheLoginOnlyAndOffSendsItInClear) {
    {
        RecordingRelay relay(sandbox_->port());
        auto r = isql("select 'marker_after_login'\n", odbc(relay.port(), "TlsLoginOnly"));
        EXPECT_TRUE(contains(r.output, "| marker_after_login")) << r.output;
        const std::string wire = relay.fromClients();
        EXPECT_FALSE(contains(wire, utf16("TlsLoginOnly")));
        EXPECT_TRUE(contains(wire, utf16("marker_after_login")));
        EXPECT_TRUE(
            contains(loginLine(*sandbox_, "TlsLoginOnly"), "encryption: login only, (TLS1.2)"));
    }
    {
        RecordingRelay relay(sandbox_->port());
        auto r = isql("select 'marker_clear'\n", odbc(relay.port(), "TlsOff", ";Encryption=off"));
        EXPECT_TRUE(contains(r.output, "| marker_clear")) << r.output;
        EXPECT_TRUE(contains(relay.fromClients(), utf16("TlsOff")));
        EXPECT_TRUE(contains(loginLine(*sandbox_, "TlsOff"), "encryption: none"));
    }
}

// Encryption=require (ODBC) and encryption = require (freetds.conf, tsql): the whole session.
TEST_F(TdsTls, FreetdsRequiringEncryptionEncryptsTheWholeSession) {
    {
        RecordingRelay relay(sandbox_->port());
        auto r = isql("select 'marker_odbc_tls'\n",
                      odbc(relay.port(), "TlsOdbcRequire", ";Encryption=require"));
        EXPECT_TRUE(contains(r.output, "| marker_odbc_tls")) << r.output;
        const std::string wire = relay.fromClients() + relay.fromServer();
        EXPECT_FALSE(contains(wire, utf16("TlsOdbcRequire")));
        EXPECT_FALSE(contains(wire, utf16("marker_odbc_tls")));
        EXPECT_TRUE(contains(loginLine(*sandbox_, "TlsOdbcRequire"), "encryption: whole session"));
    }
    RecordingRelay relay(sandbox_->port());
    const std::string conf = freetdsConf(
        *sandbox_, "[req]\n\thost = 127.0.0.1\n\tport = " + std::to_string(relay.port()) +
                       "\n\ttds version = 7.4\n"
                       "\tencryption = require\n");
    auto out = tsqlWithConf(conf, "req", "select 'marker_tsql_tls'\ngo\nexit\n");
    EXPECT_TRUE(contains(out, "marker_tsql_tls\n(1 row affected)")) << out;
    EXPECT_FALSE(contains(relay.fromClients(), utf16("marker_tsql_tls")));
    EXPECT_FALSE(contains(relay.fromClients(), utf16("TSQL")));
}

// FreeTDS checks the certificate only when given a CA file: the sandbox's own certificate
// names 127.0.0.1 and localhost; another CA, or a host name the certificate lacks, fails.
TEST_F(TdsTls, FreetdsChecksCertificateAndHostNameAgainstItsCaFile) {
    const std::string cert = sandbox_->dataDir() + "/sandbox-cert.pem";
    auto section = [&](const std::string& name, const std::string& host, const std::string& ca) {
        return "[" + name + "]\n\thost = " + host +
               "\n\tport = " + std::to_string(sandbox_->port()) +
               "\n\ttds version = 7.4\n\tencryption = require\n\tca file = " + ca + "\n";
    };
    // Another certificate, from a second sandbox: untrusted.
    SandboxProcess other;
    const std::string conf = freetdsConf(
        *sandbox_, section("ip", "127.0.0.1", cert) + section("name", "localhost", cert) +
                       section("foreign", "127.0.0.1", other.dataDir() + "/sandbox-cert.pem"));
    EXPECT_TRUE(contains(tsqlWithConf(conf, "ip", "select 5\ngo\nexit\n"), "5\n(1 row affected)"));
    EXPECT_TRUE(
        contains(tsqlWithConf(conf, "name", "select 6\ngo\nexit\n"), "6\n(1 row affected)"));
    auto refused = tsqlWithConf(conf, "foreign", "select 7\ngo\nexit\n");
    EXPECT_TRUE(contains(refused, "There was a problem connecting to the server")) << refused;
}

TEST_F(TdsTls, TediousEncryptsTheWholeSessionAndSpeaksTds8) {
    RecordingRelay relay(sandbox_->port());
    auto out = tediousScenario("encryptedSelect", relay.port());
    EXPECT_TRUE(contains(out, "encryptedSelect: ok")) << out;
    EXPECT_FALSE(contains(relay.fromClients() + relay.fromServer(), utf16("tls_marker_")));
    EXPECT_TRUE(contains(loginLine(*sandbox_, "Tedious"), "encryption: whole session"));

    out =
        tediousScenario("strict", sandbox_->port(),
                        "DSADMIN_TEST_CA=" + shellQuote(sandbox_->dataDir() + "/sandbox-cert.pem"));
    EXPECT_TRUE(contains(out, "strict: ok")) << out;
    EXPECT_TRUE(contains(waitForLog(*sandbox_, "encryption: TDS 8.0 (TLS1.3)"), "ALPN tds/8.0"));
}

// The certificate made on the first start stays (its key readable by the owner only), the
// fingerprint printed is the certificate's, and --tls-cert/--tls-key use given files instead.
TEST(TdsTlsCertificate, MadeOnceKeptAndPrintedOrTakenFromFiles) {
    SandboxProcess sandbox;
    const std::string cert = sandbox.dataDir() + "/sandbox-cert.pem";
    const std::string key = sandbox.dataDir() + "/sandbox-key.pem";
    struct stat st {};
    ASSERT_EQ(::stat(key.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const std::string fingerprint = certificateFingerprint(cert);
    ASSERT_EQ(fingerprint.size(), 95u);
    EXPECT_TRUE(contains(sandbox.log(), "SHA-256 " + fingerprint));
    sandbox.restart();
    EXPECT_EQ(certificateFingerprint(cert), fingerprint);

    SandboxProcess::Options o;
    o.extraArgs = {"--tls-cert", cert, "--tls-key", key};
    SandboxProcess second(o);
    EXPECT_TRUE(contains(second.log(), "certificate " + cert + " SHA-256 " + fingerprint));
    EXPECT_FALSE(std::filesystem::exists(second.dataDir() + "/sandbox-cert.pem"));

    // A key without its certificate is refused rather than replaced.
    std::filesystem::remove(cert);
    sandbox.stop();
    EXPECT_THROW(sandbox.restart(), std::runtime_error);
    EXPECT_TRUE(std::filesystem::exists(key));
}

// --encryption force ends the connection of a client that will not encrypt (FreeTDS
// Encryption=off, tedious encrypt: false) and encrypts everything for the others; off is the
// old sandbox: a client that requires encryption cannot log in.
TEST(TdsTlsModes, ForceRefusesClientsWithoutEncryptionAndOffRefusesClientsThatRequireIt) {
    SandboxProcess::Options o;
    o.saPassword = kPassword;
    o.extraArgs = {"--encryption", "force"};
    SandboxProcess force(o);
    auto refused = isql("select 1\n", odbc(force.port(), "ForceOff", ";Encryption=off"));
    EXPECT_TRUE(contains(refused.output, "Adaptive Server connection failed")) << refused.output;
    EXPECT_TRUE(contains(waitForLog(force, "cannot encrypt"),
                         "closed before login: the client cannot encrypt and this server requires "
                         "encryption"));
    auto ok = isql("select 'forced'\n", odbc(force.port(), "ForceDefault"));
    EXPECT_TRUE(contains(ok.output, "| forced")) << ok.output;
    EXPECT_TRUE(contains(loginLine(force, "ForceDefault"), "encryption: whole session"));
    auto out = tediousScenario("clearRefused", force.port());
    EXPECT_TRUE(contains(out, "clearRefused: ok")) << out;

    o.extraArgs = {"--encryption", "off"};
    SandboxProcess off(o);
    refused = isql("select 1\n", odbc(off.port(), "OffRequire", ";Encryption=require"));
    EXPECT_TRUE(contains(refused.output, "Adaptive Server connection failed")) << refused.output;
    ok = isql("select 'plain'\n", odbc(off.port(), "OffDefault"));
    EXPECT_TRUE(contains(ok.output, "| plain")) << ok.output;
    EXPECT_TRUE(contains(loginLine(off, "OffDefault"), "encryption: none"));
}

// An old server's TLS (1.0 and 1.1 only): FreeTDS 1.3.17 on Debian 12 still accepts it (its
// GnuTLS priorities keep both versions), tedious (Node's OpenSSL) refuses it.
TEST(TdsTlsModes, OldTlsVersionsOnly) {
    SandboxProcess::Options o;
    o.saPassword = kPassword;
    o.extraArgs = {"--tls-max-version", "1.1"};
    SandboxProcess old(o);
    auto r = isql("select 'old'\n", odbc(old.port(), "OldTls"));
    EXPECT_TRUE(contains(r.output, "| old")) << r.output;
    EXPECT_TRUE(contains(loginLine(old, "OldTls"), "(TLS1.1)"));
    auto out = tediousScenario("oldTlsRefused", old.port());
    EXPECT_TRUE(contains(out, "oldTlsRefused: ok")) << out;
}
