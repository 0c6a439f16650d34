// dsadmin-cli when the link to the server breaks under one of its statements: the relay drops
// the connection as the first CREATE TABLE of a modify run starts to arrive, so the server
// never sees it and the client cannot know. The JSON report must call that statement
// "unknown", not "refused", and name a connection failure.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "KillingProxy.h"
#include "db/Connection.h"
#include "db/ConnectionStrings.h"
#include "settings/PrivateProfile.h"
#include "settings/TestFolder.h"
#include "support/SandboxProcess.h"

namespace faults {
namespace {

using namespace dsadmin;
using dsadmin::test::TestFolder;
using testsupport::SandboxProcess;

const char* const kPassword = "Cut0ff!pw";

SandboxProcess::Options WithPassword() {
    SandboxProcess::Options o;
    o.saPassword = kPassword;
    return o;
}

class CliCutOff : public testing::Test {
  protected:
    void SetUp() override {
        TestFolder::write(folder.file("rows.tsv"),
                          "ftable\tfname\tflb\tflong\tfauto\tfindex\n"
                          "Alpha\tID\tInt\t0\t0\t0\nBeta\tID\tInt\t0\t0\t0\n");
        const std::string cmd = std::string(DSADMIN_BIN_DIR) + "/dsfile write '" +
                                folder.file("K.DS") + "' < '" + folder.file("rows.tsv") + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        WriteIniString(folder.file("Setup.ini"), "DataBase", "DSName", "K");
        setenv("CLI_CUT_PW", kPassword, 1);
    }

    void createDatabase(const std::string& db) {
        Connection c;
        c.Provider(kServerProvider);
        c.ConnectionString(
            ServerConnectionString("sa", kPassword, "127.0.0.1," + std::to_string(sandbox.port())));
        c.Open();
        c.Execute("DROP DATABASE IF EXISTS " + db);
        c.Execute("CREATE DATABASE " + db);
    }

    // Runs modify --json through `port`; returns the report.
    std::string modify(const std::string& db, std::uint16_t port) {
        const std::string out = folder.file("out.json");
        const std::string cmd = std::string(DSADMIN_BIN_DIR) + "/dsadmin-cli modify --yes --json" +
                                " --app-folder '" + folder.path().string() +
                                "' --server 127.0.0.1," + std::to_string(port) + " --database " +
                                db + " --password-env CLI_CUT_PW > '" + out + "' 2>/dev/null";
        exitCode = WEXITSTATUS(std::system(cmd.c_str()));
        return TestFolder::read(out);
    }

    TestFolder folder;
    SandboxProcess sandbox{WithPassword()};
    int exitCode = -1;
};

TEST_F(CliCutOff, AStatementUnderWhichTheLinkBreaksIsUnknownNotRefused) {
    const std::string db = "CutOff";
    createDatabase(db);
    int createAt = 0;  // the request number of the run's first CREATE TABLE
    {
        KillingProxy count(sandbox.port(), 1000, [] {});
        modify(db, count.port());
        ASSERT_EQ(exitCode, 0);
        const std::vector<std::string> passed = count.passed();
        for (std::size_t i = 0; i < passed.size() && !createAt; ++i)
            if (passed[i].rfind("CREATE TABLE", 0) == 0) createAt = static_cast<int>(i) + 1;
        ASSERT_GT(createAt, 0);
    }
    createDatabase(db);
    KillingProxy cut(sandbox.port(), createAt, [] {});
    const std::string report = modify(db, cut.port());
    EXPECT_TRUE(cut.killed());
    EXPECT_EQ(exitCode, 1);
    EXPECT_NE(report.find("\"text\": \"CREATE TABLE Alpha (ID Int)\",\n      \"outcome\": "
                          "\"unknown\""),
              std::string::npos)
        << report;
    EXPECT_EQ(report.find("\"outcome\": \"refused\""), std::string::npos) << report;
    EXPECT_NE(report.find("\"kind\": \"connect\""), std::string::npos) << report;
    EXPECT_NE(report.find("\"sqlState\": \"08S01\""), std::string::npos) << report;
}

}  // namespace
}  // namespace faults
