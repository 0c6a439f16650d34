// dsadmin-cli, the executable, where the settings or the server fail it: a Setup.ini that is
// there but cannot be read, a server that takes the connection and never answers.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/SilentListener.h"

namespace {

namespace fs = std::filesystem;

struct Result {
    int code = -1;
    std::string out, err;
};

class CliFailSafe : public testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "dsadmin-cli-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        app = pattern;
    }
    void TearDown() override { fs::remove_all(app); }

    static std::string read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    // Runs dsadmin-cli with `args` (shell words, no quotes needed), this test's folder as the
    // application folder and stdin empty.
    Result run(const std::string& args) const {
        const std::string command = std::string(DSADMIN_BIN_DIR) + "/dsadmin-cli " + args +
                                    " --app-folder '" + app.string() + "' < /dev/null > '" +
                                    (app / "out").string() + "' 2> '" + (app / "err").string() +
                                    "'";
        Result r;
        r.code = WEXITSTATUS(std::system(command.c_str()));
        r.out = read(app / "out");
        r.err = read(app / "err");
        return r;
    }

    fs::path app;
};

// A folder in Setup.ini's place stands for any file that cannot be read (the tests run as
// root, whom permissions do not stop; the settings tests drop to nobody for that case).
TEST_F(CliFailSafe, UnreadableSetupIniIsNamedAndNothingIsSent) {
    fs::create_directory(app / "Setup.ini");
    const std::string expected = "dsadmin-cli: 无法读取设置文件“" + (app / "Setup.ini").string() +
                                 "”：是文件夹，不是文件。\n";
    Result r = run("check --server 127.0.0.1,1");
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, expected);
    EXPECT_EQ(r.out, "");
    // With every value given on the command line the file is not needed; the run goes on and
    // fails at the server (nothing listens on port 1).
    std::ofstream(app / "T.DS") << "x";
    r = run("check --server 127.0.0.1,1 --structure '" + (app / "T.DS").string() +
            "' --login sa --database D --password-env HOME");
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_EQ(r.err.find("设置文件"), std::string::npos) << r.err;
}

// A server that never answers ends the run after --login-timeout with a time-out, not a hang;
// the option's value is checked like --lock-timeout's.
TEST_F(CliFailSafe, ASilentServerEndsTheRunAfterTheLoginTimeOut) {
    testsupport::SilentListener silent;
    const std::string common = "check --server 127.0.0.1," + std::to_string(silent.port()) +
                               " --structure '" + DSADMIN_BIN_DIR +
                               "/Sample.DS' --login sa --database D --password-env HOME --json";
    const auto start = std::chrono::steady_clock::now();
    Result r = run(common + " --login-timeout 2");
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_NE(r.out.find("\"timeout\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("127.0.0.1:" + std::to_string(silent.port())), std::string::npos) << r.out;
    EXPECT_LT(waited, std::chrono::seconds(12));  // the default would wait 15

    r = run(common + " --query-timeout soon");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.out.find("--query-timeout"), std::string::npos) << r.out;
}

}  // namespace
