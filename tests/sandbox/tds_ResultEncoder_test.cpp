#include <gtest/gtest.h>

#include "sandbox/tds/Login7.h"
#include "sandbox/tds/ResultEncoder.h"
#include "tds_TokenReader.h"

using namespace sandbox::tds;
using sandbox::Column;
using sandbox::Message;
using sandbox::ResultSet;
using sandbox::SandboxColumnType;
using sandbox::StatementResult;

namespace {

StatementResult ok() {
    return {};
}
StatementResult failed(int number) {
    StatementResult r;
    r.error = Message{number, 1, 16, "failed", 1};
    return r;
}
StatementResult selected(int rows) {
    StatementResult r;
    r.rows = ResultSet{{{"name", SandboxColumnType::NVarChar, 128, false}}, {}};
    for (int i = 0; i < rows; ++i) r.rows->rows.push_back({std::string("t") + char('0' + i)});
    r.rowCount = rows;
    return r;
}
StatementResult used(const std::string& db) {
    StatementResult r;
    r.newDatabase = db;
    r.infos.push_back({5701, 1, 0, "Changed database context to '" + db + "'.", 1});
    return r;
}

std::vector<tdstest::Token> batch(const std::vector<StatementResult>& results, std::string& db) {
    TokenWriter w(kTds74, "S");
    ResultEncoder(w).batch(results, db);
    return tdstest::readTokens(w.take());
}

}  // namespace

TEST(TdsResultEncoder, EveryDoneButTheLastCarriesMore) {
    std::string db = "master";
    auto tokens = batch({ok(), failed(2714), selected(2)}, db);
    ASSERT_EQ(tdstest::tokenNames(tokens), "DONE ERROR DONE COLMETADATA ROW ROW DONE");
    EXPECT_EQ(tokens[0].status, kDoneMore);
    EXPECT_EQ(tokens[2].status, kDoneMore | kDoneError);
    EXPECT_EQ(tokens[6].status, kDoneCount);
    EXPECT_EQ(tokens[6].rowCount, 2u);
}

TEST(TdsResultEncoder, PrecedingErrorsComeBeforeTheErrorAndShareItsDone) {
    std::string db = "master";
    StatementResult r = failed(1802);
    r.precedingErrors.push_back({5123, 1, 16, "CREATE FILE encountered ...", 1});
    auto tokens = batch({r}, db);
    ASSERT_EQ(tdstest::tokenNames(tokens), "ERROR ERROR DONE");
    EXPECT_EQ(tokens[0].number, 5123);
    EXPECT_EQ(tokens[1].number, 1802);
    EXPECT_EQ(tokens[2].status, kDoneError);
}

TEST(TdsResultEncoder, EmptyBatchStillGetsOneFinalDone) {
    std::string db = "master";
    auto tokens = batch({}, db);
    ASSERT_EQ(tdstest::tokenNames(tokens), "DONE");
    EXPECT_EQ(tokens[0].status, kDoneFinal);
}

TEST(TdsResultEncoder, SelectWithoutRowsKeepsItsMetadata) {
    std::string db = "master";
    auto tokens = batch({selected(0)}, db);
    ASSERT_EQ(tdstest::tokenNames(tokens), "COLMETADATA DONE");
    EXPECT_EQ(tokens[1].status, kDoneCount);
    EXPECT_EQ(tokens[1].rowCount, 0u);
}

TEST(TdsResultEncoder, UseSendsEnvChangeWithOldNameThenInfo) {
    std::string db = "master";
    auto tokens = batch({used("sales")}, db);
    ASSERT_EQ(tdstest::tokenNames(tokens), "ENVCHANGE INFO DONE");
    EXPECT_EQ(tokens[0].envType, 1);
    EXPECT_EQ(tokens[0].text, "sales");
    EXPECT_EQ(tokens[0].oldValue, "master");
    EXPECT_EQ(tokens[1].number, 5701);
    EXPECT_EQ(db, "sales");
}

TEST(TdsResultEncoder, ProcedureEndsStatementsWithDoneInProcThenStatusAndDoneProc) {
    std::string db = "master";
    TokenWriter w(kTds74, "S");
    ResultEncoder(w).procedure({selected(1), used("x")}, db, std::string("master"));
    auto tokens = tdstest::readTokens(w.take());
    ASSERT_EQ(tdstest::tokenNames(tokens),
              "COLMETADATA ROW DONEINPROC ENVCHANGE INFO DONEINPROC ENVCHANGE RETURNSTATUS "
              "DONEPROC");
    EXPECT_EQ(tokens[2].status, kDoneMore | kDoneCount);
    EXPECT_EQ(tokens[5].status, kDoneMore);
    EXPECT_EQ(tokens[6].text, "master");
    EXPECT_EQ(tokens[6].oldValue, "x");
    EXPECT_EQ(tokens[8].status, kDoneFinal);
    EXPECT_EQ(db, "master");
}

TEST(TdsResultEncoder, ProcedureErrorMarksItsDoneInProcAndTheDoneProc) {
    std::string db = "master";
    TokenWriter w(kTds74, "S");
    ResultEncoder(w).procedure({failed(208)}, db, std::nullopt);
    auto tokens = tdstest::readTokens(w.take());
    ASSERT_EQ(tdstest::tokenNames(tokens), "ERROR DONEINPROC RETURNSTATUS DONEPROC");
    EXPECT_EQ(tokens[1].status, kDoneMore | kDoneError);
    EXPECT_EQ(tokens[3].status, kDoneError);
}

TEST(TdsResultEncoder, ColumnsWidenToFitTheirValues) {
    ResultSet rs{{{"a", SandboxColumnType::NVarChar, 2, false},
                  {"b", SandboxColumnType::Int, 0, false},
                  {"c", SandboxColumnType::NVarChar, 10, false}},
                 {{std::string("abcd"), sandbox::Cell{}, std::string(5000, 'x')}}};
    auto cols = ResultEncoder::fitColumns(rs);
    EXPECT_EQ(cols[0].maxChars, 4);
    EXPECT_FALSE(cols[0].nullable);
    EXPECT_TRUE(cols[1].nullable);
    EXPECT_EQ(cols[2].maxChars, 0);  // nvarchar(max)
}
