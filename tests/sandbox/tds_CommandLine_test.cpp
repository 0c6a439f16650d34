#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "sandbox/tds/CommandLine.h"

using namespace sandbox::tds;

TEST(TdsCommandLine, DefaultsToLocalPort1433AndTheStateFolder) {
    ::setenv("XDG_STATE_HOME", "/tmp/state", 1);
    CommandLine cl = parseCommandLine({});
    EXPECT_EQ(cl.host, "127.0.0.1");
    EXPECT_EQ(cl.port, 1433);
    EXPECT_EQ(cl.dataDir, "/tmp/state/dsadmin-sandbox");
    EXPECT_EQ(cl.logDir, "/tmp/state/dsadmin-sandbox/log");
    EXPECT_EQ(cl.saPassword, "");
    ::unsetenv("XDG_STATE_HOME");
    ::setenv("HOME", "/home/x", 1);
    EXPECT_EQ(parseCommandLine({}).dataDir, "/home/x/.local/state/dsadmin-sandbox");
}

TEST(TdsCommandLine, ReadsEveryOption) {
    CommandLine cl =
        parseCommandLine({"--listen", "[::1]:0", "--data=/d", "--log-dir", "/l", "--sa-password",
                          "p w", "--read-timeout", "5", "--max-connections", "3"});
    EXPECT_EQ(cl.host, "::1");
    EXPECT_EQ(cl.port, 0);
    EXPECT_EQ(cl.dataDir, "/d");
    EXPECT_EQ(cl.logDir, "/l");
    EXPECT_EQ(cl.saPassword, "p w");
    EXPECT_EQ(cl.readTimeoutSeconds, 5);
    EXPECT_EQ(cl.maxConnections, 3u);
}

// Relative folders are taken from where the server starts: CREATE DATABASE's default log
// path must be absolute, as the server's own file checks require.
TEST(TdsCommandLine, FoldersAreMadeAbsolute) {
    const std::string here = std::filesystem::current_path().string();
    CommandLine cl = parseCommandLine({"--data", "state/./sb/"});
    EXPECT_EQ(cl.dataDir, here + "/state/sb");
    EXPECT_EQ(cl.logDir, here + "/state/sb/log");
    EXPECT_EQ(parseCommandLine({"--data", "/d/", "--log-dir", "logs"}).logDir, here + "/logs");
}

// The password stays out of process listings: a file (its first line) or the environment.
TEST(TdsCommandLine, PasswordComesFromTheOptionElseTheFileElseTheEnvironment) {
    const std::string file = testing::TempDir() + "sa-password-test";
    std::ofstream(file, std::ios::binary) << "秘密 pw\r\nsecond line\n";
    ::setenv(kSaPasswordVariable, "from env", 1);
    EXPECT_EQ(saPassword(parseCommandLine({"--sa-password-file", file})), "秘密 pw");
    EXPECT_EQ(saPassword(parseCommandLine({"--sa-password", "given"})), "given");
    EXPECT_EQ(saPassword(parseCommandLine({})), "from env");
    ::unsetenv(kSaPasswordVariable);
    EXPECT_EQ(saPassword(parseCommandLine({})), "");
    EXPECT_THROW(parseCommandLine({"--sa-password", "a", "--sa-password-file", file}),
                 std::invalid_argument);
    std::filesystem::remove(file);
    for (const std::string& bad : {file, testing::TempDir()}) {
        try {
            saPassword(parseCommandLine({"--sa-password-file", bad}));
            ADD_FAILURE() << bad;
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
        }
    }
}

class TdsBadCommandLine : public testing::TestWithParam<std::vector<std::string>> {};
TEST_P(TdsBadCommandLine, IsAUsageError) {
    EXPECT_THROW(parseCommandLine(GetParam()), std::invalid_argument);
}
INSTANTIATE_TEST_SUITE_P(Args, TdsBadCommandLine,
                         testing::Values(std::vector<std::string>{"--listen"},
                                         std::vector<std::string>{"--listen", "1433"},
                                         std::vector<std::string>{"--listen", "h:70000"},
                                         std::vector<std::string>{"--listen", "h:x"},
                                         std::vector<std::string>{"--port", "1"},
                                         std::vector<std::string>{"--read-timeout", "0"},
                                         std::vector<std::string>{"extra"}));
