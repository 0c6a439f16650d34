// dsadmin-sandbox killed (SIGKILL) at each step of a create run and of a modify run: just
// before the k-th request of the run reaches it, for every k until the run gets through. The
// run must report the failure (the create run in its error box, the modify run by throwing),
// and after a restart a second run must do what the runs promise: the create run stops at a
// database that exists, and a modify run then creates exactly the tables still missing. And a
// stream of statements cut by a kill loses none that the client saw succeed.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "KillingProxy.h"
#include "db/Connection.h"
#include "db/ConnectionStrings.h"
#include "db/DbError.h"
#include "db/Recordset.h"
#include "runs/CreateDatabaseRun.h"
#include "runs/ModifyDatabaseRun.h"
#include "settings/PrivateProfile.h"
#include "settings/TestFolder.h"
#include "support/SandboxProcess.h"
#include "support/ScriptedMsgBox.h"

namespace faults {
namespace {

using namespace dsadmin;
using dsadmin::test::ScriptedMsgBox;
using dsadmin::test::TestFolder;
using testsupport::SandboxProcess;
using namespace std::chrono_literals;

const std::vector<std::string> kTables = {"Alpha", "Beta", "Gamma"};

// One line per attempt for the test log: where the server died, after which requests. Every
// answer the server sent on the way must have passed the strict token reader.
void Report(int k, const KillingProxy& proxy) {
    std::string line = proxy.killed() ? "killed before request " + std::to_string(k) + " after:"
                                      : "not killed; the run sent:";
    for (const std::string& text : proxy.passed()) line += "\n    " + text.substr(0, 60);
    std::printf("%s\n", line.c_str());
    for (const std::string& why : proxy.malformedAnswers()) ADD_FAILURE() << "answer: " << why;
}

class SandboxKill : public testing::Test {
  protected:
    void SetUp() override {
        std::string tsv = "ftable\tfname\tflb\tflong\tfauto\tfindex\n";
        for (const std::string& t : kTables)
            tsv += t + "\tID\tInt\t0\t1\t1\n" + t + "\tName\tVarChar\t20\t0\t0\n";
        TestFolder::write(folder.file("rows.tsv"), tsv);
        const std::string cmd = std::string(DSADMIN_BIN_DIR) + "/dsfile write '" +
                                folder.file("K.DS") + "' < '" + folder.file("rows.tsv") + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        WriteIniString(folder.file("Setup.ini"), "DataBase", "DSName", "K");
    }

    // The run's input with the server box pointing at `port`.
    RunInput input(MsgBox& boxes, const std::string& db, std::uint16_t port) {
        texts = {"SQL Server",          "127.0.0.1," + std::to_string(port), "sa", "", db,
                 folder.path().string()};
        return {texts, folder.file("Setup.ini"), folder.path().string(), boxes};
    }

    KillingProxy proxyKillingAt(int k) {
        return KillingProxy(sandbox.port(), k, [this] { kill(sandbox.pid(), SIGKILL); });
    }

    Connection admin(const std::string& db = "master") {
        Connection c;
        c.Provider(kServerProvider);
        c.ConnectionString(
            ServerConnectionString("sa", "", "127.0.0.1," + std::to_string(sandbox.port())));
        c.Open();
        if (db != "master") c.DefaultDatabase(db);
        return c;
    }

    std::vector<std::string> tables(const std::string& db) {
        Connection c = admin(db);
        Recordset rs;
        rs.Open("select name from sys.tables", c, kOpenKeyset, kLockReadOnly, kUnspecified);
        std::vector<std::string> names;
        for (; !rs.Eof(); rs.MoveNext()) names.push_back(rs.Fields("name").text());
        std::sort(names.begin(), names.end());
        return names;
    }

    bool hasDatabase(const std::string& db) {
        Connection c = admin();
        Recordset rs;
        rs.Open("select name from sys.databases where name = '" + db + "'", c, kOpenKeyset,
                kLockReadOnly, kUnspecified);
        return !rs.Eof();
    }

    static int countStyle(const ScriptedMsgBox& boxes, int style) {
        return static_cast<int>(std::count_if(boxes.boxes().begin(), boxes.boxes().end(),
                                              [&](const auto& b) { return b.style == style; }));
    }

    TestFolder folder;
    SandboxProcess sandbox;
    RunFields texts;
};

TEST_F(SandboxKill, CreateRunKilledAtEachStepFailsAndASecondRunFinishesTheJob) {
    int steps = 0;
    for (int k = 1; k < 20; ++k) {
        SCOPED_TRACE("server killed at request " + std::to_string(k));
        const std::string db = "KillCreate" + std::to_string(k);
        ScriptedMsgBox boxes;
        {
            auto proxy = proxyKillingAt(k);
            CreateDatabaseRun(input(boxes, db, proxy.port()));
            Report(k, proxy);
            if (!proxy.killed()) {
                EXPECT_EQ(boxes.boxes().back().text, kCreateDoneText);
                break;
            }
        }
        ++steps;
        ASSERT_EQ(boxes.boxes().size(), 2u);  // the question, then the failure
        EXPECT_EQ(boxes.boxes()[1].title, kErrorTitle);
        EXPECT_EQ(boxes.boxes()[1].style, kInformation);
        EXPECT_EQ(boxes.boxes()[1].text.rfind(kSystemErrorPrefix, 0), 0u) << boxes.boxes()[1].text;

        sandbox.restart();
        const bool made = hasDatabase(db);
        EXPECT_EQ(made, k > 1) << "only the first request is CREATE DATABASE";
        ScriptedMsgBox again;
        CreateDatabaseRun(input(again, db, sandbox.port()));
        if (!made) {
            EXPECT_EQ(again.boxes().back().text, kCreateDoneText);
        } else {
            EXPECT_NE(again.boxes().back().text.find("already exists"), std::string::npos)
                << again.boxes().back().text;
            ScriptedMsgBox modify;
            ModifyDatabaseRun(input(modify, db, sandbox.port()));
            EXPECT_EQ(modify.boxes().back().text, kModifyDoneText);
        }
        EXPECT_EQ(tables(db), kTables);
    }
    // CREATE DATABASE, the switch, three tables: at least five places to fail.
    EXPECT_GE(steps, 5);
}

TEST_F(SandboxKill, ModifyRunKilledAtEachStepThrowsAndASecondRunCreatesWhatIsMissing) {
    int steps = 0;
    for (int k = 1; k < 20; ++k) {
        SCOPED_TRACE("server killed at request " + std::to_string(k));
        const std::string db = "KillModify" + std::to_string(k);
        {
            Connection c = admin();
            c.Execute("CREATE DATABASE " + db);
            c.DefaultDatabase(db);
            c.Execute("CREATE TABLE Beta (ID Int)");
        }
        ScriptedMsgBox boxes;
        {
            auto proxy = proxyKillingAt(k);
            try {
                ModifyDatabaseRun(input(boxes, db, proxy.port()));
                Report(k, proxy);
                EXPECT_FALSE(proxy.killed());
                EXPECT_EQ(boxes.boxes().back().text, kModifyDoneText);
                break;
            } catch (const DbError& e) {
                Report(k, proxy);
                EXPECT_TRUE(proxy.killed()) << e.what();
                EXPECT_STRNE(e.what(), "");
            }
        }
        ++steps;
        EXPECT_NE(boxes.boxes().back().text, kModifyDoneText);

        sandbox.restart();
        const std::vector<std::string> before = tables(db);
        ScriptedMsgBox again;
        ModifyDatabaseRun(input(again, db, sandbox.port()));
        EXPECT_EQ(again.boxes().back().text, kModifyDoneText);
        // One preview per table that was still missing, and then none is.
        EXPECT_EQ(countStyle(again, kOkOnly), static_cast<int>(kTables.size() - before.size()));
        EXPECT_EQ(tables(db), kTables);
    }
    // The switch, three existence queries, two statements.
    EXPECT_GE(steps, 6);
}

// A stream of CREATE TABLE statements over one connection, the server killed (SIGKILL) at a
// moment the client does not choose: after the restart every statement the client saw succeed
// is there, and at most the one in flight besides. Three kills, each in a database of its own
// and at a different moment; then a fourth with four clients at once, each in its own database
// (their statements run side by side, each under its own file's lock).
TEST_F(SandboxKill, EveryStatementSeenToSucceedSurvivesAKillMidStream) {
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const int clients = round == 3 ? 4 : 1;
        std::vector<std::string> dbs;
        std::vector<std::atomic<int>> acknowledged(clients);
        std::vector<std::thread> threads;
        for (int i = 0; i < clients; ++i) {
            dbs.push_back("KillStream" + std::to_string(round) +
                          (clients > 1 ? "_" + std::to_string(i) : ""));
            Connection c = admin();
            c.Execute("CREATE DATABASE " + dbs.back());
            c.DefaultDatabase(dbs.back());
            threads.emplace_back([&seen = acknowledged[i], c = std::move(c)]() mutable {
                try {
                    for (int t = 0; t < 100000; ++t) {
                        c.Execute("CREATE TABLE S" + std::to_string(t) +
                                  " (ID Int IDENTITY(1,1) PRIMARY KEY,Name VarChar(20))");
                        seen = t + 1;
                    }
                } catch (const DbError&) {
                    // the server is gone
                }
            });
        }
        // Past a first batch, then a few milliseconds more: somewhere inside a statement.
        for (const std::atomic<int>& a : acknowledged)
            while (a < 100 * (round % 3 + 1)) std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(std::chrono::milliseconds(3 * round + 1));
        ::kill(sandbox.pid(), SIGKILL);
        for (std::thread& t : threads) t.join();

        sandbox.restart();
        for (int i = 0; i < clients; ++i) {
            const int seen = acknowledged[i];
            const std::vector<std::string> names = tables(dbs[i]);
            std::set<std::string> present(names.begin(), names.end());
            for (int t = 0; t < seen; ++t)
                ASSERT_TRUE(present.count("S" + std::to_string(t)))
                    << dbs[i] << ": S" << t << " of " << seen;
            EXPECT_LE(names.size(), static_cast<std::size_t>(seen) + 1);
            // The database takes statements again.
            Connection c = admin(dbs[i]);
            c.Execute("CREATE TABLE After (ID Int)");
            std::printf("round %d, %s: %d statements acknowledged, %zu tables after the restart\n",
                        round, dbs[i].c_str(), seen, names.size());
        }
    }
}

}  // namespace
}  // namespace faults
