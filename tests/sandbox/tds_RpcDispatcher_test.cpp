#include <gtest/gtest.h>

#include "sandbox/tds/ProtocolError.h"
#include "sandbox/tds/RpcDispatcher.h"
#include "tds_StubEngine.h"

using namespace sandbox::tds;

namespace {

RpcParam text(const std::string& name, const std::string& value) {
    return {name, 0, value};
}
RpcParam number(const std::string& name, std::int64_t value) {
    return {name, 0, value};
}

std::string firstCell(const ProcedureRun& run) {
    return std::get<std::string>(run.results.at(0).rows->rows.at(0).at(0));
}

}  // namespace

TEST(TdsRpcDispatcher, PrepExecReturnsAHandleThatExecuteReuses) {
    RpcDispatcher d;
    tdstest::StubSession session("master");
    RpcRequest prepexec{kSpPrepExec,
                        "",
                        {{"@handle", 1, std::monostate{}},
                         text("@params", "@P1 nvarchar(10)"),
                         text("@stmt", "select v"),
                         text("", "a")}};
    ProcedureRun first = d.call(prepexec, session);
    ASSERT_TRUE(first.handle);
    EXPECT_EQ(firstCell(first), "v|@P1=a");
    RpcRequest execute{0, "sp_execute", {number("@handle", *first.handle), text("", "b")}};
    ProcedureRun second = d.call(execute, session);
    EXPECT_FALSE(second.handle);
    EXPECT_EQ(firstCell(second), "v|@P1=b");
    RpcRequest unprepare{kSpUnprepare, "", {number("@handle", *first.handle)}};
    d.call(unprepare, session);
    try {
        d.call(execute, session);
        FAIL() << "executed an unprepared handle";
    } catch (const UnsupportedRequest& e) {
        EXPECT_EQ(e.number(), 8179);
        EXPECT_STREQ(e.what(), "Could not find prepared statement with handle 1.");
    }
}

TEST(TdsRpcDispatcher, PrepareOnlyRunsNothing) {
    RpcDispatcher d;
    tdstest::StubSession session("master");
    RpcRequest prepare{kSpPrepare,
                       "",
                       {{"@handle", 1, std::monostate{}},
                        text("@params", ""),
                        text("@stmt", "use elsewhere"),
                        number("@options", 1)}};
    ProcedureRun run = d.call(prepare, session);
    EXPECT_TRUE(run.handle);
    EXPECT_TRUE(run.results.empty());
    EXPECT_EQ(session.database(), "master");
}

TEST(TdsRpcDispatcher, OtherProceduresAreNotFound) {
    RpcDispatcher d;
    tdstest::StubSession session("master");
    try {
        d.call(RpcRequest{0, "sp_tables", {}}, session);
        FAIL();
    } catch (const UnsupportedRequest& e) {
        EXPECT_EQ(e.number(), 2812);
        EXPECT_STREQ(e.what(), "Could not find stored procedure 'sp_tables'.");
    }
}
