#pragma once
// One dsadmin-sandbox for a test suite, reached as "(local)" (TDSPORT points FreeTDS at its
// port), and per test an application folder with Setup.ini, a structure file written by
// dsfile and a save folder, plus a database name of its own, dropped before and after.
//
// With DSADMIN_TEST_SERVER="host,port" the suite uses that SQL Server instead, logging in
// with DSADMIN_TEST_LOGIN (default sa) and DSADMIN_TEST_PASSWORD; DSADMIN_TEST_SAVE_FOLDER
// names a folder the server can write its data files to (default: the test's own folder,
// right when the server runs on this machine). Tests that read the sandbox's log or files
// skip there (SANDBOX_ONLY).

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "db/Connection.h"
#include "runs/RunInput.h"
#include "support/SandboxProcess.h"
#include "support/ScriptedMsgBox.h"

namespace runs_test {

inline constexpr const char* kSaPassword = "Sandbox#1";

// Skips the current test when the suite runs against a real SQL Server.
#define SANDBOX_ONLY() \
    if (!onSandbox())  \
    GTEST_SKIP() << "needs the sandbox's log or files (DSADMIN_TEST_SERVER is set)"

class ServerFixture : public testing::Test {
  protected:
    // Starts the suite's sandbox with sa's password `password` (kSaPassword by default) and
    // points FreeTDS at it; with DSADMIN_TEST_SERVER set, takes that server instead.
    static void StartSandbox(const std::string& password);
    static void SetUpTestSuite() { StartSandbox(kSaPassword); }
    static bool onSandbox() { return sandbox != nullptr; }
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Writes app/T.DS from tab-separated rows (header ftable fname flb flong fauto findex).
    void writeStructure(const std::string& tsv);
    dsadmin::RunInput input(dsadmin::MsgBox& boxes) const {
        return {texts, app / "Setup.ini", app.path(), boxes};
    }
    std::string setting(const std::string& key) const;

    // A connection of the test's own as sa, in `database`.
    static dsadmin::Connection admin(const std::string& database = "master");
    static std::vector<std::string> column(dsadmin::Connection& c, const std::string& query);
    static bool databaseExists(const std::string& name);
    // The user tables of `database`, "schema.table", sorted.
    static std::vector<std::string> tables(const std::string& database);
    static void dropIfExists(const std::string& name);
    // The statements the sandbox refused since the last call (or the test's start), one
    // "error N): text | statement" a line. Waits until the log has been quiet for 0.4 s (at
    // most 4 s): the sandbox writes a refusal after it has answered.
    std::string refusals();
    // A text with the test's names replaced by {db} and {dir}.
    std::string generic(const std::string& text) const;
    // The run's transcript: every box, then the statements the server refused, made generic.
    // The sandbox shortens a long statement in its log to 120 characters: such a statement
    // is kept up to the test's folder, whose length varies.
    std::string transcript(const dsadmin::test::ScriptedMsgBox& boxes);

    static std::unique_ptr<testsupport::SandboxProcess> sandbox;
    static std::string serverName, login, password;  // what the tests log in with
    TempFolder app;
    std::string db;  // this test's database name
    dsadmin::RunFields texts;
    std::size_t logStart = 0;
};

// Compares `actual` with the golden file tests/data/<name>.txt; with DSADMIN_UPDATE_GOLDEN=1
// in the environment the file is rewritten instead (review the diff before committing).
void ExpectGolden(const std::string& name, const std::string& actual);

}  // namespace runs_test
