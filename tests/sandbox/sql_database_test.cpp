// Logins, CREATE/USE/DROP DATABASE, persistence across restarts and sessions on many threads.

#include <filesystem>
#include <fstream>
#include <thread>

#include "SqlEngineFixture.h"
#include "sandbox/sql/MasterCatalog.h"
#include "sandbox/sql/SqliteDb.h"

namespace sandbox::test {

namespace fs = std::filesystem;

class SqlDatabaseTest : public SqlEngineTest {
  protected:
    // The statement the create run sends, to the character.
    std::string toolCreate(const std::string& name, const std::string& folder) {
        return "CREATE DATABASE " + name + " on (name=" + name + "_dat,FILENAME ='" + folder + "/" +
               name + "_dat.mdf' ,maxsize=unlimited)";
    }
};

TEST_F(SqlDatabaseTest, LoginChecksUserAndPassword) {
    Message error;
    EXPECT_NE(engine_->login("SA", "Secret1", "", error), nullptr);
    EXPECT_EQ(engine_->login("sa", "secret1", "", error), nullptr);
    EXPECT_EQ(error.number, 18456);
    EXPECT_EQ(error.severity, 14);
    EXPECT_EQ(error.text, "Login failed for user 'sa'.");
    EXPECT_EQ(engine_->login("bob", "Secret1", "", error), nullptr);
    EXPECT_EQ(error.text, "Login failed for user 'bob'.");
    EXPECT_EQ(engine_->login("sa", "", "", error), nullptr);
}

TEST_F(SqlDatabaseTest, LoginToUnknownDatabaseIsRefusedWith4060) {
    Message error;
    EXPECT_EQ(engine_->login("sa", "Secret1", "Nope", error), nullptr);
    EXPECT_EQ(error.number, 4060);
    EXPECT_EQ(error.severity, 11);
    EXPECT_EQ(error.text,
              "Cannot open database \"Nope\" requested by the login. The login failed.");
    ok(toolCreate("Sales", saveDir()));
    auto s = engine_->login("sa", "Secret1", "SALES", error);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->database(), "Sales");
    EXPECT_EQ(session_->database(), "master");
}

TEST_F(SqlDatabaseTest, ToolCreateStatementMakesDataAndLogFiles) {
    const StatementResult r = ok(toolCreate("Sales", saveDir()));
    EXPECT_FALSE(r.rows);
    EXPECT_FALSE(r.rowCount);
    EXPECT_TRUE(fs::exists(saveDir() + "/Sales_dat.mdf"));
    // Without LOG ON the log goes to the default log-file location, not beside the data.
    EXPECT_TRUE(fs::exists(logDir() + "/Sales_log.ldf"));
    EXPECT_FALSE(fs::exists(saveDir() + "/Sales_log.ldf"));
    EXPECT_EQ(rows(ok("select name, database_id from sys.databases where name = 'sales'")),
              std::vector<std::string>{"Sales|5"});
}

TEST_F(SqlDatabaseTest, CreateWithoutOnUsesTheDataFolder) {
    ok("create database Plain");
    EXPECT_TRUE(fs::exists(dataDir() + "/Plain.mdf"));
    EXPECT_TRUE(fs::exists(logDir() + "/Plain_log.ldf"));
    ok("create database Logged on primary (name = d, filename = '" + saveDir() +
       "/d.mdf', size = 8MB, filegrowth = 10%) log on (name = l, filename = '" + saveDir() +
       "/l.ldf')");
    EXPECT_TRUE(fs::exists(saveDir() + "/l.ldf"));
}

struct CreateFailure {
    std::string path;  // relative to the save folder, or absolute when it starts with '!'
    int first;
    std::string firstText;
};

class SqlCreateFailures : public SqlDatabaseTest,
                          public ::testing::WithParamInterface<CreateFailure> {};

TEST_P(SqlCreateFailures, SendsTheFileErrorThen1802AndLeavesNothing) {
    fs::create_directories(saveDir() + "/taken.mdf");
    const CreateFailure& f = GetParam();
    const std::string path = f.path[0] == '!' ? f.path.substr(1) : saveDir() + "/" + f.path;
    const StatementResult r = one("CREATE DATABASE Sales on (name=Sales_dat,FILENAME ='" + path +
                                  "' ,maxsize=unlimited)");
    EXPECT_SQL_ERROR(r, 1802, 16,
                     "CREATE DATABASE failed. Some file names listed could not be created. Check "
                     "related errors.");
    ASSERT_EQ(r.precedingErrors.size(), 1u);
    EXPECT_EQ(r.precedingErrors[0].number, f.first);
    EXPECT_EQ(r.precedingErrors[0].severity, 16);
    std::string text = f.firstText;
    text.replace(text.find("%p"), 2, path);
    EXPECT_EQ(r.precedingErrors[0].text, text);
    EXPECT_TRUE(rows(ok("select name from sys.databases where name = 'Sales'")).empty());
    EXPECT_FALSE(fs::exists(logDir() + "/Sales_log.ldf"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, SqlCreateFailures,
    ::testing::Values(
        CreateFailure{
            "missing/Sales_dat.mdf", 5123,
            "CREATE FILE encountered operating system error 3(The system cannot find the "
            "path specified.) while attempting to open or create the physical file '%p'."},
        CreateFailure{"taken.mdf", 5170,
                      "Cannot create file '%p' because it already exists. Change the file path or "
                      "the file name, and retry the operation."},
        CreateFailure{
            "!relative/Sales_dat.mdf", 5105,
            "A file activation error occurred. The physical file name '%p' may be "
            "incorrect. Diagnose and correct additional errors, and retry the operation."}));

TEST_F(SqlDatabaseTest, ExistingDatabaseIs1801WhateverTheCase) {
    ok(toolCreate("Sales", saveDir()));
    EXPECT_SQL_ERROR(one("create database SALES"), 1801, 16,
                     "Database 'SALES' already exists. Choose a different database name.");
    EXPECT_SQL_ERROR(one("create database Master"), 1801, 16,
                     "Database 'Master' already exists. Choose a different database name.");
    ok("create database [Ölbase]");
    EXPECT_SQL_ERROR(one("create database [ölbase]"), 1801, 16,
                     "Database 'ölbase' already exists. Choose a different database name.");
}

struct CreateRefusal {
    std::string sql;
    int number;
    int severity;
    std::string text;
    int first = 0;  // the message sent before it, if any
};

class SqlCreateRefusals : public SqlDatabaseTest,
                          public ::testing::WithParamInterface<CreateRefusal> {};

TEST_P(SqlCreateRefusals, AnswerAsSqlServerAndCreateNothing) {
    const CreateRefusal& c = GetParam();
    std::string sql = c.sql;
    for (std::size_t at; (at = sql.find("%s")) != std::string::npos;) sql.replace(at, 2, saveDir());
    const StatementResult r = one(sql);
    EXPECT_SQL_ERROR(r, c.number, c.severity, c.text);
    ASSERT_EQ(r.precedingErrors.size(), c.first ? 1u : 0u);
    if (c.first) {
        EXPECT_EQ(r.precedingErrors[0].number, c.first);
    }
    EXPECT_TRUE(rows(ok("select name from sys.databases where database_id > 4")).empty());
    EXPECT_TRUE(fs::is_empty(saveDir()));
}

// 123 characters fit beside "_log"; a character outside the BMP counts as two, as in UTF-16.
const std::string k123 = std::string(121, 'a') + "\xF0\x9F\x98\x80";

INSTANTIATE_TEST_SUITE_P(
    Files, SqlCreateRefusals,
    ::testing::Values(
        CreateRefusal{"create database " + std::string(124, 'n'), 1802, 16,
                      "CREATE DATABASE failed. Some file names listed could not be created. Check "
                      "related errors.",
                      1819},
        CreateRefusal{"create database [" + k123 + "b] on (name = d, filename = '%s/d.mdf')", 1802,
                      16,
                      "CREATE DATABASE failed. Some file names listed could not be created. Check "
                      "related errors.",
                      1819},
        CreateRefusal{"create database S on (name = f, filename = '%s/a.mdf'), (name = F, filename "
                      "= '%s/b.ndf') log on (name = l, filename = '%s/l.ldf')",
                      1828, 16,
                      "The logical file name \"F\" is already in use. Choose a different name."},
        CreateRefusal{"create database S on (name = S_log, filename = '%s/a.mdf')", 1828, 16,
                      "The logical file name \"S_log\" is already in use. Choose a different "
                      "name."},
        CreateRefusal{"create database S on (name = d, filename = '%s/a.mdf', size = 2GB, "
                      "maxsize = 100MB)",
                      5103, 16, "MAXSIZE cannot be less than SIZE for file 'd'."},
        CreateRefusal{"create database S log on (name = l, filename = '%s/l.ldf')", 188, 15,
                      "Cannot specify a log file in a CREATE DATABASE statement without also "
                      "specifying at least one data file."}));

TEST_F(SqlDatabaseTest, NameOf123CharactersWithoutLogOnIsAccepted) {
    ok("create database [" + k123 + "] on (name = d, filename = '" + saveDir() + "/d.mdf')");
    ok("create database " + std::string(128, 'x') + " on (name = d, filename = '" + saveDir() +
       "/e.mdf') log on (name = l, filename = '" + saveDir() +
       "/e.ldf', size = 1MB, maxsize = "
       "1024KB)");
}

TEST_F(SqlDatabaseTest, NamesThatCannotBeFilesAreRefused) {
    EXPECT_EQ(one("create database [a/b]").error->number, 50000);
    EXPECT_EQ(one("create database [..]").error->number, 50000);
    EXPECT_FALSE(fs::exists(root_ + "/b.mdf"));
}

TEST_F(SqlDatabaseTest, UseSwitchesAndReportsTheChange) {
    ok(toolCreate("Sales", saveDir()));
    const StatementResult r = ok("use [sales]");
    EXPECT_EQ(r.newDatabase, "Sales");
    ASSERT_EQ(r.infos.size(), 1u);
    EXPECT_EQ(r.infos[0].number, 5701);
    EXPECT_EQ(r.infos[0].severity, 0);
    EXPECT_EQ(r.infos[0].text, "Changed database context to 'Sales'.");
    EXPECT_EQ(session_->database(), "Sales");
    EXPECT_EQ(rows(ok("select db_name()")), std::vector<std::string>{"Sales"});
    const StatementResult missing = session_->useDatabase("Nope");
    EXPECT_SQL_ERROR(
        missing, 911, 16,
        "Database 'Nope' does not exist. Make sure that the name is entered correctly.");
    EXPECT_FALSE(missing.newDatabase);
    EXPECT_EQ(session_->database(), "Sales");
}

TEST_F(SqlDatabaseTest, ToolDropRemovesDatabaseAndFiles) {
    ok(toolCreate("Sales", saveDir()));
    ok("Drop Database Sales");
    EXPECT_FALSE(fs::exists(saveDir() + "/Sales_dat.mdf"));
    EXPECT_FALSE(fs::exists(logDir() + "/Sales_log.ldf"));
    EXPECT_SQL_ERROR(one("Drop Database Sales"), 3701, 11,
                     "Cannot drop the database 'Sales', because it does not exist or you do not "
                     "have permission.");
    ok(toolCreate("Sales", saveDir()));  // the name and the files can be used again
}

TEST_F(SqlDatabaseTest, SystemDatabasesCannotBeDropped) {
    for (const std::string name : {"master", "tempdb", "model", "msdb"})
        EXPECT_SQL_ERROR(
            one("Drop Database " + name), 3708, 16,
            "Cannot drop the database '" + name + "' because it is a system database.");
}

TEST_F(SqlDatabaseTest, DatabaseInUseCannotBeDropped) {
    ok(toolCreate("Sales", saveDir()));
    auto other = login("Sales");
    EXPECT_SQL_ERROR(one("Drop Database Sales"), 3702, 16,
                     "Cannot drop database \"Sales\" because it is currently in use.");
    other->useDatabase("master");
    ok("use Sales");
    EXPECT_SQL_ERROR(one("Drop Database Sales"), 3702, 16,
                     "Cannot drop database \"Sales\" because it is currently in use.");
    ok("use master");
    other.reset();
    ok("Drop Database Sales");
}

// A client's session ends when its thread reads the close, a moment after the client has
// gone; a drop sent in that moment waits for it instead of failing.
TEST_F(SqlDatabaseTest, DropWaitsForASessionThatIsLeaving) {
    ok(toolCreate("Sales", saveDir()));
    auto other = login("Sales");
    std::thread leaving([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        other.reset();
    });
    ok("Drop Database Sales");
    leaving.join();
    EXPECT_SQL_ERROR(one("use Sales"), 911, 16,
                     "Database 'Sales' does not exist. Make sure that the name is entered "
                     "correctly.");
}

TEST_F(SqlDatabaseTest, DropOfSeveralNamesDropsWhatExistsAndReportsTheRest) {
    ok("create database A");
    ok("create database B");
    const StatementResult r = one("drop database A, Nope, B, master");
    EXPECT_EQ(r.error->number, 3708);
    ASSERT_EQ(r.precedingErrors.size(), 1u);
    EXPECT_EQ(r.precedingErrors[0].number, 3701);
    EXPECT_EQ(rows(ok("select count_me = name from sys.databases where database_id = 5")).size(),
              0u);
    ok("drop database if exists A, Nope");
}

TEST_F(SqlDatabaseTest, RestartKeepsDatabasesAndTablesAndEmptiesTempdb) {
    ok(toolCreate("Sales", saveDir()));
    ok("use Sales");
    ok("CREATE TABLE Person (ID Int IDENTITY(1,1) PRIMARY KEY,Name VarChar(20))");
    ok("use tempdb");
    ok("create table Scratch (x int)");
    ok("use master");
    restart();
    EXPECT_EQ(rows(ok("select name from sys.databases order by database_id")),
              (std::vector<std::string>{"master", "tempdb", "model", "msdb", "Sales"}));
    ok("use Sales");
    EXPECT_EQ(rows(ok("select name from sys.tables")), std::vector<std::string>{"Person"});
    ok("use tempdb");
    EXPECT_TRUE(rows(ok("select name from sys.tables")).empty());
}

// What a server killed half-way through CREATE or DROP DATABASE leaves: files recorded as
// intents, which the next start removes (saying so), and files it never made, which it
// reports and leaves alone.
TEST_F(SqlDatabaseTest, StartRemovesFilesLeftByAnInterruptedCreateOrDropAndReportsOthers) {
    ok(toolCreate("Kept", saveDir()));
    session_.reset();
    engine_.reset();
    const std::string leftData = saveDir() + "/Ghost_dat.mdf";
    const std::string leftLog = logDir() + "/Ghost_log.ldf";
    const std::string foreign = dataDir() + "/foreign.mdf";
    {
        sql::MasterCatalog catalog(dataDir() + "/master.sqlite", dataDir());
        catalog.recordIntents("Ghost", "create", {leftData, leftLog});
        catalog.recordIntents("Kept", "drop", {saveDir() + "/Kept_dat.mdf"});  // still owned
    }
    for (const std::string& f : {leftData, leftLog, leftData + "-journal", foreign})
        std::ofstream(f) << "x";
    std::vector<std::string> lines;
    EngineOptions o = options();
    o.log = [&lines](const std::string& line) { lines.push_back(line); };
    engine_ = openEngine(o);
    session_ = login();
    EXPECT_FALSE(fs::exists(leftData));
    EXPECT_FALSE(fs::exists(leftData + "-journal"));
    EXPECT_FALSE(fs::exists(leftLog));
    EXPECT_TRUE(fs::exists(foreign));
    EXPECT_TRUE(fs::exists(saveDir() + "/Kept_dat.mdf"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "removed " + leftLog + ", left by an interrupted CREATE DATABASE Ghost");
    EXPECT_EQ(lines[1], "removed " + leftData + ", left by an interrupted CREATE DATABASE Ghost");
    EXPECT_EQ(lines[2], "found " + foreign +
                            ", which no database owns and this server did not leave; left "
                            "alone");
    ok(toolCreate("Ghost", saveDir()));
    ok("use Kept");
    EXPECT_TRUE(sql::MasterCatalog(dataDir() + "/master.sqlite", dataDir()).intents().empty());
}

TEST_F(SqlDatabaseTest, DatabaseWhoseFileVanishedCannotBeUsed) {
    ok(toolCreate("Sales", saveDir()));
    ok("use Sales");
    ok("create table Orders (id int)");  // the server now holds the file open
    ok("use master");
    fs::remove(saveDir() + "/Sales_dat.mdf");
    EXPECT_EQ(one("use Sales").error->number, 945);
    ok("drop database Sales");
}

TEST_F(SqlDatabaseTest, DatabaseDroppedAndCreatedAgainStartsEmpty) {
    for (int round = 0; round < 2; ++round) {
        ok(toolCreate("Sales", saveDir()));
        ok("use Sales");
        EXPECT_TRUE(rows(ok("select name from sys.tables")).empty()) << round;
        ok("create table Orders (id int)");
        ok("use master");
        ok("drop database Sales");
    }
}

TEST_F(SqlDatabaseTest, SessionsOnManyThreadsWorkAtOnce) {
    constexpr int kThreads = 6;
    std::vector<std::thread> threads;
    std::vector<int> failures(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t, &failures] {
            Message error;
            auto s = engine_->login("sa", "Secret1", "", error);
            const std::string db = "Db" + std::to_string(t);
            auto check = [&](const std::string& sql) {
                for (const auto& r : s->execute(sql)) failures[t] += r.error ? 1 : 0;
            };
            check(toolCreate(db, saveDir()));
            check("use " + db);
            for (int i = 0; i < 5; ++i) check("create table T" + std::to_string(i) + " (a int)");
            check("select * from sys.tables; select * from sys.databases");
            check("use master; drop database " + db);
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
    EXPECT_EQ(rows(ok("select name from sys.databases")).size(), 4u);
}

// Compiled statements are kept per connection and lent out: a second use of a text while the
// first is still stepping gets a statement of its own, and one handed back carries neither its
// position, its bindings nor the error of its last step.
TEST_F(SqlEngineTest, KeptStatementsNestAndComeBackClean) {
    using sql::SqliteDb;
    SqliteDb db(dataDir() + "/kept.sqlite", SqliteDb::Mode::CreateNew);
    db.exec("CREATE TABLE x (a INTEGER PRIMARY KEY, b TEXT)");
    const std::string insert = "INSERT INTO x VALUES (?, ?)";
    for (int a = 1; a <= 3; ++a) db.prepare(insert).bind(1, a).bind(2, "v").step();
    const std::string all = "SELECT a, b FROM x ORDER BY a";
    {
        sql::SqliteStatement outer = db.prepare(all);
        ASSERT_TRUE(outer.step());
        EXPECT_EQ(outer.integer(0), 1);
        std::vector<std::int64_t> inner;
        for (sql::SqliteStatement s = db.prepare(all); s.step();) inner.push_back(s.integer(0));
        EXPECT_EQ(inner, (std::vector<std::int64_t>{1, 2, 3}));
        ASSERT_TRUE(outer.step());
        EXPECT_EQ(outer.integer(0), 2);
    }
    EXPECT_THROW(db.prepare(insert).bind(1, 2).bind(2, "twice").step(), std::runtime_error);
    db.prepare(insert).bind(1, 4).step();  // b left unbound: NULL, not the last value
    sql::SqliteStatement again = db.prepare(all);
    std::vector<std::string> seen;
    while (again.step()) seen.push_back(again.isNull(1) ? "NULL" : again.text(1));
    EXPECT_EQ(seen, (std::vector<std::string>{"v", "v", "v", "NULL"}));
}

}  // namespace sandbox::test
