#pragma once
// The dynamic management views a client reads to see who holds an application lock:
// sys.dm_tran_locks (the granted application locks: resource_type, resource_database_id,
// resource_description "<db id>:[<first 32 characters of the name>]:(<hash>)", request_mode,
// request_type, request_status, request_owner_type, request_session_id) and sys.dm_exec_sessions
// (session_id, login_time, host_name, program_name, host_process_id, login_name, status,
// database_id) with SQL Server's column names. Built whole; SelectRunner filters them.

#include <string>

#include "sandbox/Engine.h"
#include "sandbox/sql/Instance.h"

namespace sandbox::sql {

class ServerStateViews {
  public:
    static bool has(const std::string& schema, const std::string& view);
    static ResultSet build(const std::string& view, Instance& instance);
};

}  // namespace sandbox::sql
