// dsadmin-cli's encryption options against dsadmin-sandbox in its three modes: what FreeTDS
// is told, what the session got (JSON "encryption"), and the Chinese text for each way an
// encrypted connection fails. A delete of a database that does not exist shows a login that
// worked (the server's 3701) without changing anything.

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "db/odbc/EncryptionFailure.h"
#include "support/SandboxProcess.h"

namespace {

using testsupport::SandboxProcess;

const std::string kPassword = "Cli-tls#9";

std::string quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Result {
    int code = -1;
    std::string out, err;
};

class CliEncryption : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        SandboxProcess::Options o;
        o.saPassword = kPassword;
        sandbox_ = std::make_unique<SandboxProcess>(o);
    }
    static void TearDownTestSuite() { sandbox_.reset(); }

    void SetUp() override {
        folder_ = sandbox_->dataDir() + "/cli-" + std::to_string(counter_++);
        std::filesystem::create_directories(folder_);
        // delete is for a super user only, as the window's button
        std::ofstream(folder_ + "/Setup.ini") << "[Setup]\nSupperUser=1\n";
    }

    // dsadmin-cli delete --yes --json on port (the test's own server address), with `args`
    // and `environment` (shell words) added; TDSPORT and FREETDSCONF from outside removed.
    Result run(std::uint16_t port, const std::string& args, const std::string& environment = "",
               const std::string& host = "127.0.0.1") {
        const std::string command =
            "env -u TDSPORT -u FREETDSCONF CLI_TLS_PW=" + quote(kPassword) + " " + environment +
            " " + std::string(DSADMIN_BIN_DIR) + "/dsadmin-cli delete --yes --json --app-folder " +
            quote(folder_) + " --server " + host + "," + std::to_string(port) +
            " --database no_such_db_tls --password-env CLI_TLS_PW " + args + " > " +
            quote(folder_ + "/out") + " 2> " + quote(folder_ + "/err") + " < /dev/null";
        Result r;
        r.code = WEXITSTATUS(std::system(command.c_str()));
        r.out = read(folder_ + "/out");
        r.err = read(folder_ + "/err");
        return r;
    }

    static bool loggedIn(const Result& r) {
        return r.out.find("\"number\": 3701") != std::string::npos;
    }

    std::string cert() const { return sandbox_->dataDir() + "/sandbox-cert.pem"; }

    static std::unique_ptr<SandboxProcess> sandbox_;
    static int counter_;
    std::string folder_;
};
std::unique_ptr<SandboxProcess> CliEncryption::sandbox_;
int CliEncryption::counter_ = 0;

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string waitForLog(const SandboxProcess& sandbox, const std::string& text) {
    std::string log;
    for (int i = 0; i < 100 && !has(log = sandbox.log(), text); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return log;
}

}  // namespace

// Without options the driver's default meets the sandbox's: the login encrypted only; the
// server sees the program's name.
TEST_F(CliEncryption, DefaultAndOptionalGetLoginEncryptionMandatoryTheWholeSession) {
    Result r = run(sandbox_->port(), "");
    EXPECT_TRUE(loggedIn(r)) << r.out << r.err;
    EXPECT_TRUE(has(r.out, "\"encryption\": \"login\"")) << r.out;
    EXPECT_TRUE(has(waitForLog(*sandbox_, "app 'dsadmin-cli', encryption: login only"),
                    "app 'dsadmin-cli', encryption: login only"));

    r = run(sandbox_->port(), "--encrypt optional");
    EXPECT_TRUE(loggedIn(r)) << r.out << r.err;
    EXPECT_TRUE(has(r.out, "\"encryption\": \"login\"")) << r.out;

    // Checked against the sandbox's own certificate, by address and by name.
    r = run(sandbox_->port(), "--encrypt mandatory --ca-file " + quote(cert()));
    EXPECT_TRUE(loggedIn(r)) << r.out << r.err;
    EXPECT_TRUE(has(r.out, "\"encryption\": \"session\"")) << r.out;
    r = run(sandbox_->port(), "--encrypt mandatory --ca-file " + quote(cert()), "", "localhost");
    EXPECT_TRUE(loggedIn(r)) << r.out << r.err;

    r = run(sandbox_->port(), "--encrypt mandatory --trust-server-certificate");
    EXPECT_TRUE(loggedIn(r)) << r.out << r.err;
    EXPECT_TRUE(
        has(waitForLog(*sandbox_, "encryption: whole session"), "encryption: whole session"));
}

// A self-signed certificate is not among the machine's trusted CAs; another CA file does not
// vouch for it; and the sandbox's certificate does not name 127.0.0.2.
TEST_F(CliEncryption, CertificateThatFailsTheCheckIsNamedAsSuch) {
    Result r = run(sandbox_->port(), "--encrypt mandatory");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(has(r.err, dsadmin::CertificateUntrustedText("system"))) << r.err;

    SandboxProcess other;
    const std::string foreign = other.dataDir() + "/sandbox-cert.pem";
    r = run(sandbox_->port(), "--encrypt mandatory --ca-file " + quote(foreign));
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(has(r.err, dsadmin::CertificateUntrustedText(foreign))) << r.err;

    SandboxProcess::Options o;
    o.saPassword = kPassword;
    o.extraArgs = {"--listen", "0.0.0.0:0"};
    SandboxProcess everywhere(o);
    const std::string own = everywhere.dataDir() + "/sandbox-cert.pem";
    r = run(everywhere.port(), "--ca-file " + quote(own), "", "127.0.0.2");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(has(r.err, dsadmin::CertificateNameMismatchText("127.0.0.2"))) << r.err;
    EXPECT_TRUE(loggedIn(run(everywhere.port(), "--ca-file " + quote(own))));
}

// A server that cannot encrypt, a client that will not, a driver without TDS 8.0.
TEST_F(CliEncryption, EncryptionRefusedEitherWayAndStrictWithoutDriverSupport) {
    SandboxProcess::Options o;
    o.saPassword = kPassword;
    o.extraArgs = {"--encryption", "off"};
    SandboxProcess plain(o);
    Result r = run(plain.port(), "--encrypt mandatory");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(has(r.err, dsadmin::kServerCannotEncryptText)) << r.err;
    EXPECT_TRUE(has(r.out, "\"encryption\": \"none\"")) << r.out;
    EXPECT_TRUE(loggedIn(run(plain.port(), "")));

    o.extraArgs = {"--encryption", "force"};
    SandboxProcess forced(o);
    // The site's odbcinst.ini says Encryption = off; --encrypt wins over it.
    std::ofstream(folder_ + "/odbcinst.ini")
        << "[FreeTDS]\nDriver=libtdsodbc.so\nEncryption = off\n";
    const std::string site = "ODBCSYSINI=" + quote(folder_);
    r = run(forced.port(), "", site);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(has(r.err, dsadmin::kServerRequiresEncryptionText)) << r.err;
    r = run(forced.port(), "--encrypt optional", site);
    EXPECT_TRUE(loggedIn(r)) << r.err;
    EXPECT_TRUE(has(r.out, "\"encryption\": \"session\"")) << r.out;

    r = run(sandbox_->port(), "--encrypt strict --trust-server-certificate");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(has(r.err, dsadmin::kStrictUnsupportedText)) << r.err;
}

TEST_F(CliEncryption, OptionsThatContradictAreUsageErrors) {
    Result r = run(sandbox_->port(), "--encrypt always");
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(has(r.err, "--encrypt 应为 optional、mandatory 或 strict")) << r.err;
    r = run(sandbox_->port(), "--ca-file " + quote(cert()) + " --trust-server-certificate");
    EXPECT_EQ(r.code, 2);
    r = run(sandbox_->port(), "--ca-file " + quote(folder_ + "/missing.pem"));
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(has(r.err, "无法读取 CA 文件")) << r.err;
}

namespace {

// A 64 KiB tmpfs mounted for a test (read-only when asked), unmounted (lazily) at the end.
class SmallTmpfs {
  public:
    SmallTmpfs(const std::string& path, unsigned long flags) : path_(path) {
        std::filesystem::create_directories(path);
        mounted_ = ::mount("tmpfs", path.c_str(), "tmpfs", flags, "size=64k") == 0;
    }
    ~SmallTmpfs() {
        if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }

  private:
    std::string path_;
    bool mounted_ = false;
};

}  // namespace

// The certificate check needs a freetds.conf of the connection's own in TMPDIR: a read-only or
// full disk there ends the run with what went wrong, in Chinese, before any connection is made.
TEST_F(CliEncryption, PrivateConfThatCannotBeWrittenIsNamed) {
    const std::string readOnly = folder_ + "/ro", full = folder_ + "/full";
    SmallTmpfs ro(readOnly, MS_RDONLY), small(full, 0);
    if (!ro.mounted() || !small.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    const std::string check = "--encrypt mandatory --ca-file " + quote(cert());
    Result r = run(sandbox_->port(), check, "TMPDIR=" + quote(readOnly));
    EXPECT_TRUE(has(r.out, "无法在“" + readOnly + "”中创建临时文件夹：文件系统是只读的。"))
        << r.out << r.err;

    std::ofstream filler(full + "/filler", std::ios::binary);
    const std::string block(4096, 'x');
    while (filler.write(block.data(), block.size()).flush()) {
    }
    r = run(sandbox_->port(), check, "TMPDIR=" + quote(full));
    EXPECT_TRUE(has(r.out, "/freetds.conf”：磁盘空间不足。")) << r.out << r.err;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(full),
                            std::filesystem::directory_iterator()),
              1)
        << "the temporary folder was left behind";
}
