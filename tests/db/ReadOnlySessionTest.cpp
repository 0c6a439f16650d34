// The guard a plan puts on its server connection: which command texts count as reading, and
// that a refused one never reaches the session behind it.
#include "db/ReadOnlySession.h"

#include <gtest/gtest.h>

#include "ExpectDbError.h"
#include "db/TableStatements.h"

using namespace dsadmin;

namespace {

struct ReadingCase {
    const char* text;
    bool reading;
};

class IsReadingQueryCase : public testing::TestWithParam<ReadingCase> {};

TEST_P(IsReadingQueryCase, Classifies) {
    EXPECT_EQ(IsReadingQuery(GetParam().text), GetParam().reading) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    ReadOnlySession, IsReadingQueryCase,
    testing::Values(
        // What the runs and the check send while planning or checking.
        ReadingCase{"select * from sys.tables where name = N'Stock'", true},
        ReadingCase{"  SELECT object_id, index_id from sys.indexes where is_primary_key = 1", true},
        ReadingCase{"select object_id, column_id, name, [precision], [scale] from sys.columns",
                    true},
        // Names and literals may hold anything without changing what the query does.
        ReadingCase{"select * from sys.tables where name = N'a;drop database x'", true},
        ReadingCase{"select * from sys.tables where name = N'it''s into'", true},
        ReadingCase{"select [into] from [t;]]x]", true},
        ReadingCase{"select 1 -- ; drop database x\n", true},
        ReadingCase{"select /* into */ 1", true},
        // Everything that changes, or might.
        ReadingCase{"CREATE DATABASE Sales on (name=Sales_dat,FILENAME ='/d' ,maxsize=unlimited)",
                    false},
        ReadingCase{"CREATE TABLE Stock (Qty Int)", false},
        ReadingCase{"Drop Database Sales", false},
        ReadingCase{"select 1; drop database Sales", false},
        ReadingCase{"select 1\ndrop database Sales", false},  // a batch needs no ";"
        ReadingCase{"select 1 insert into t values (1)", false},
        ReadingCase{"select * into Copy from Stock", false},
        ReadingCase{"select * from openrowset('SQLNCLI', 'x', 'exec sp_x')", false},
        ReadingCase{"exec sp_who", false},
        ReadingCase{"with x as (select 1 a) select * from x", false}, ReadingCase{"", false},
        ReadingCase{"select 'unclosed", false}, ReadingCase{"select [unclosed", false},
        ReadingCase{"select 1 /* unclosed", false},
        ReadingCase{"select 1 /* /* nested */ */", false}));

// Answers every command with no rows and records it.
class RecordingSession : public ProviderSession {
  public:
    explicit RecordingSession(std::vector<std::string>& sent) : sent_(sent) {}
    std::optional<RowSet> run(const std::string& text) override {
        sent_.push_back(text);
        return std::nullopt;
    }
    void setDefaultDatabase(const std::string& name) override { sent_.push_back("use " + name); }
    std::string defaultDatabase() override { return "master"; }
    void close() override { sent_.push_back("close"); }

  private:
    std::vector<std::string>& sent_;
};

TEST(ReadOnlySession, PassesReadsAndDatabaseSwitchesAndRefusesTheRestUnsent) {
    std::vector<std::string> sent;
    ReadOnlySession session(std::make_unique<RecordingSession>(sent));
    session.setDefaultDatabase("Sales");
    session.run("select * from sys.tables where name = N'Stock'");
    const std::string create = CreateDatabaseStatement("Sales", "/data/Sales_dat.mdf");
    EXPECT_DB_ERROR(session.run(create), kReadOnlyRefusal + create);
    EXPECT_DB_ERROR(session.run(DropDatabaseStatement("Sales")),
                    std::string(kReadOnlyRefusal) + "Drop Database Sales");
    session.close();
    EXPECT_EQ(sent, (std::vector<std::string>{
                        "use Sales", "select * from sys.tables where name = N'Stock'", "close"}));
}

}  // namespace
