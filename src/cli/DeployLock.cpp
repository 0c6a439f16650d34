#include "cli/DeployLock.h"

#include "base/CaseFolding.h"
#include "db/Recordset.h"
#include "db/TableStatements.h"
#include "runs/RunInput.h"

namespace dsadmin::cli {
namespace {

// The application lock's text as sys.dm_tran_locks shows it holds the name's first 32
// characters in brackets.
std::string ShownName(const std::string& name) {
    return "[" + name.substr(0, 32) + "]";
}

std::string Quoted(const std::string& text) {
    return "N'" + DoubleQuotes(text) + "'";
}

}  // namespace

std::string DeployLock::Name(const std::string& database) {
    return "dsadmin:" + FoldCase(database);
}

std::string DeployLock::AcquireStatement(const std::string& name, long timeoutMs) {
    return "declare @r int; exec @r = sp_getapplock @Resource = " + Quoted(name) +
           ", @LockMode = 'Exclusive', @LockOwner = 'Session', @LockTimeout = " +
           std::to_string(timeoutMs) + "; select @r as result";
}

std::string DeployLock::ReleaseStatement(const std::string& name) {
    return "exec sp_releaseapplock @Resource = " + Quoted(name) + ", @LockOwner = 'Session'";
}

DeployLock::DeployLock(const RunInput& input, const std::string& database, int timeoutSeconds)
    : name_(Name(database)) {
    OpenServerConnection(connection_, input);
    // The request waits for the lock itself: give it that long on top of the usual answer
    // time, or the command time-out would end a wait the operator allowed.
    if (input.commandTimeout > 0) connection_.CommandTimeout(input.commandTimeout + timeoutSeconds);
    const auto start = std::chrono::steady_clock::now();
    Recordset result;
    result.Open(AcquireStatement(name_, timeoutSeconds * 1000L), connection_);
    waited_ = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    const std::string code = result.Eof() ? std::string() : result.Fields("result").text();
    result.Close();
    if (code == "0" || code == "1") return;
    const std::string what = "数据库 " + database + " 的应用程序锁 " + name_ + "（master）";
    if (code == "-1")
        throw LockNotTaken(what + "已被另一次运行持有" + holder() + "，等待 " +
                           std::to_string(timeoutSeconds) + " 秒后放弃（--lock-timeout）");
    if (code == "-3") throw LockNotTaken(what + "未能取得：服务器选择本次请求作为死锁牺牲品");
    throw LockNotTaken(what + "未能取得：sp_getapplock 返回 " + (code.empty() ? "空值" : code));
}

DeployLock::~DeployLock() {
    try {
        connection_.Execute(ReleaseStatement(name_));
        connection_.Close();
    } catch (...) {  // the server frees the lock with the session
    }
}

// "（会话 53，登录 sa，主机 build-2，程序 …，自 … 起）" as far as the server's views tell it
// (they need VIEW SERVER STATE on SQL Server), or "" when they tell nothing.
std::string DeployLock::holder() {
    try {
        Recordset locks;
        locks.Open(
            "select request_session_id, resource_description from sys.dm_tran_locks "
            "where resource_type = N'APPLICATION' and request_status = N'GRANT' and "
            "resource_database_id = 1",
            connection_);
        std::string session;
        for (; !locks.Eof() && session.empty(); locks.MoveNext())
            if (locks.Fields("resource_description").text().find(ShownName(name_)) !=
                std::string::npos)
                session = locks.Fields("request_session_id").text();
        locks.Close();
        if (session.empty() || session.find_first_not_of("0123456789") != std::string::npos)
            return {};
        Recordset who;
        who.Open(
            "select login_name, host_name, program_name, host_process_id, login_time "
            "from sys.dm_exec_sessions where session_id = " +
                session,
            connection_);
        std::string text = "（会话 " + session;
        if (!who.Eof()) {
            const auto add = [&](const char* label, const char* field) {
                const std::string v = who.Fields(field).text();
                if (!v.empty()) text += std::string("，") + label + " " + v;
            };
            add("登录", "login_name");
            add("主机", "host_name");
            add("程序", "program_name");
            add("进程", "host_process_id");
            add("登录时间", "login_time");
        }
        who.Close();
        return text + "）";
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace dsadmin::cli
