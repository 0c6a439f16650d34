#pragma once
// Runs the remote procedure calls the clients send on their own: sp_executesql (tedious,
// mssql, FreeTDS ODBC with parameters), and the prepared-statement family FreeTDS ODBC uses
// for SQLPrepare/SQLExecute and tedious for prepare/execute: sp_prepare, sp_prepexec,
// sp_execute, sp_unprepare; and sp_getapplock and sp_releaseapplock, run as the statement
// EXECUTE would run them. Prepared statements live as long as the connection; a handle is
// just a number that names the statement text and its parameter declaration.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sandbox/Engine.h"
#include "sandbox/tds/RpcRequest.h"

namespace sandbox::tds {

struct ProcedureRun {
    std::string sql;                       // what ran (for the log)
    std::vector<StatementResult> results;  // one per statement that ran
    std::optional<std::int32_t> handle;    // the @handle output parameter to return
};

class RpcDispatcher {
  public:
    // Runs `request` in `session`. Throws UnsupportedRequest, before anything runs, for an
    // unknown procedure (2812), a missing statement (214) or an unknown handle (8179).
    ProcedureRun call(const RpcRequest& request, Session& session);

  private:
    struct Prepared {
        std::string sql;
        std::string declaration;
    };

    std::int32_t prepare(const RpcRequest& request);
    // sp_getapplock and sp_releaseapplock called by name (with any database and schema).
    static bool isAppLockProcedure(const RpcRequest& request);
    static std::string procedureBatch(const RpcRequest& request);
    static std::vector<Param> appLockParams(const RpcRequest& request);
    const Prepared& find(std::int64_t handle) const;

    std::map<std::int32_t, Prepared> prepared_;
    std::int32_t nextHandle_ = 1;
};

}  // namespace sandbox::tds
