#pragma once
// EXECUTE of the system procedures sp_getapplock and sp_releaseapplock, as SQL Server runs
// them: arguments by position or by name, the return code in the statement's result (and in
// its status variable), and SQL Server's messages for arguments it refuses: 201 (a required
// one missing), 8145 (an unknown name), 1224 (a NULL resource), 1225 (an unknown mode),
// 15625 (an unknown owner), 15626 (a transaction owner, since the sandbox has no
// transactions), 1227 (a time-out below -1), 1223 (releasing a lock not held). Any other
// procedure is 2812.

#include <mutex>

#include "sandbox/Engine.h"
#include "sandbox/sql/Ast.h"
#include "sandbox/sql/Instance.h"
#include "sandbox/sql/SessionFacts.h"

namespace sandbox::sql {

class AppLockProcedures {
  public:
    // Runs `call` in the session; `held` is the session's hold of the instance lock, given up
    // while a lock request waits. Sets result.returnStatus (and the status variable), puts
    // informational messages in result.infos; throws SqlError for the errors.
    static void run(const Execute& call, Instance& instance, SessionFacts& session,
                    StatementResult& result, std::unique_lock<std::mutex>& held);
};

}  // namespace sandbox::sql
