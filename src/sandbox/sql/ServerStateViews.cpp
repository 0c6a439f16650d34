#include "sandbox/sql/ServerStateViews.h"

#include <cstdio>
#include <functional>

#include "sandbox/sql/CatalogViews.h"
#include "sandbox/sql/Names.h"

namespace sandbox::sql {
namespace {

Column Text(const char* name, std::uint16_t chars = 128, bool nullable = true) {
    return Column{name, ColumnType::NVarChar, chars, nullable};
}
Column Number(const char* name, ColumnType type = ColumnType::Int) {
    return Column{name, type, 0, false};
}

// SQL Server's short mode names as the view shows them.
const char* ShortMode(AppLocks::Mode mode) {
    switch (mode) {
        case AppLocks::Mode::Shared:
            return "S";
        case AppLocks::Mode::Update:
            return "U";
        case AppLocks::Mode::IntentShared:
            return "IS";
        case AppLocks::Mode::IntentExclusive:
            return "IX";
        case AppLocks::Mode::Exclusive:
            return "X";
    }
    return "";
}

ResultSet Locks(Instance& instance) {
    ResultSet r;
    r.columns = {Text("resource_type", 60, false),      Number("resource_database_id"),
                 Text("resource_description", 256),     Text("request_mode", 60, false),
                 Text("request_type", 60, false),       Text("request_status", 60, false),
                 Text("request_owner_type", 60, false), Number("request_session_id")};
    for (const AppLocks::Grant& g : instance.appLocks().grants()) {
        const std::optional<DatabaseInfo> db = instance.findDatabase(g.database);
        const std::int64_t id = db ? db->id : 0;
        char hash[16];
        std::snprintf(hash, sizeof hash, "%08zx",
                      std::hash<std::string>{}(g.resource) & 0xffffffffu);
        r.rows.push_back({std::string("APPLICATION"), id,
                          std::to_string(id) + ":[" + g.resource.substr(0, 32) + "]:(" + hash + ")",
                          std::string(ShortMode(g.mode)), std::string("LOCK"), std::string("GRANT"),
                          std::string("SESSION"), std::int64_t{g.spid}});
    }
    return r;
}

ResultSet Sessions(Instance& instance) {
    ResultSet r;
    r.columns = {Number("session_id", ColumnType::SmallInt),
                 Column{"login_time", ColumnType::DateTime, 0, false},
                 Text("host_name"),
                 Text("program_name"),
                 Number("host_process_id"),
                 Text("login_name", 128, false),
                 Text("status", 30, false),
                 Number("database_id", ColumnType::SmallInt)};
    for (const auto& [spid, s] : instance.sessions()) {
        const std::optional<DatabaseInfo> db = instance.findDatabase(s.database);
        r.rows.push_back({std::int64_t{spid}, CatalogViews::toDateTime(s.loginTime), Cell{}, Cell{},
                          Cell{}, s.login, std::string("running"), std::int64_t{db ? db->id : 1}});
    }
    return r;
}

}  // namespace

bool ServerStateViews::has(const std::string& schema, const std::string& view) {
    return equalsName(schema, "sys") &&
           (equalsName(view, "dm_tran_locks") || equalsName(view, "dm_exec_sessions"));
}

ResultSet ServerStateViews::build(const std::string& view, Instance& instance) {
    return equalsName(view, "dm_tran_locks") ? Locks(instance) : Sessions(instance);
}

}  // namespace sandbox::sql
