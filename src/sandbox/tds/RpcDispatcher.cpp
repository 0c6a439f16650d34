#include "sandbox/tds/RpcDispatcher.h"

#include <cctype>

#include "sandbox/tds/ProtocolError.h"

namespace sandbox::tds {

ProcedureRun RpcDispatcher::call(const RpcRequest& request, Session& session) {
    ProcedureRun run;
    if (request.isExecuteSql()) {
        ExecuteSqlCall c = toExecuteSql(request);
        run.sql = c.sql;
        run.results = session.execute(c.sql, c.params);
        return run;
    }
    switch (request.wellKnownId()) {
        case kSpPrepare:  // @handle OUTPUT, @params, @stmt, @options
            run.handle = prepare(request);
            return run;
        case kSpPrepExec: {  // @handle OUTPUT, @params, @stmt, values...
            run.handle = prepare(request);
            const Prepared& p = prepared_.at(*run.handle);
            run.sql = p.sql;
            run.results = session.execute(p.sql, bindValues(request, 3, p.declaration));
            return run;
        }
        case kSpExecute: {  // @handle, values...
            const Prepared& p = find(intParam(request, 0, "@handle"));
            run.sql = p.sql;
            run.results = session.execute(p.sql, bindValues(request, 1, p.declaration));
            return run;
        }
        case kSpUnprepare:
            find(intParam(request, 0, "@handle"));
            prepared_.erase(static_cast<std::int32_t>(intParam(request, 0, "@handle")));
            return run;
        default:
            if (isAppLockProcedure(request)) {
                run.sql = procedureBatch(request);
                run.results = session.execute(run.sql, appLockParams(request));
                return run;
            }
            throw UnsupportedRequest(
                "Could not find stored procedure '" + request.displayName() + "'.", 2812);
    }
}

namespace {

std::string ArgumentName(std::size_t i) {
    return "@rpc" + std::to_string(i);
}

// The procedure's own name, lower case, without database and schema.
std::string BareName(const RpcRequest& request) {
    std::string name = request.procName;
    if (const auto dot = name.rfind('.'); dot != std::string::npos) name = name.substr(dot + 1);
    for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return name;
}

}  // namespace

bool RpcDispatcher::isAppLockProcedure(const RpcRequest& request) {
    const std::string name = BareName(request);
    return request.procId == 0 && (name == "sp_getapplock" || name == "sp_releaseapplock");
}

// The call as the batch "EXECUTE <procedure> [@name =] @rpcN, ...", its values passed as
// parameters (never spliced into the text), so that the engine runs it as it runs the
// statement.
std::string RpcDispatcher::procedureBatch(const RpcRequest& request) {
    std::string sql = "EXECUTE " + BareName(request);
    for (std::size_t i = 0; i < request.params.size(); ++i) {
        const RpcParam& p = request.params[i];
        if (p.status & 0x01)
            throw UnsupportedRequest(
                "The sandbox takes no OUTPUT parameter of " + request.procName + ".", 50000);
        sql += i ? ", " : " ";
        if (!p.name.empty()) {
            for (std::size_t k = 1; k < p.name.size(); ++k)
                if (!std::isalnum(static_cast<unsigned char>(p.name[k])) && p.name[k] != '_')
                    throw UnsupportedRequest("Invalid parameter name " + p.name + ".", 50000);
            if (p.name[0] != '@') throw UnsupportedRequest("Invalid parameter name.", 50000);
            sql += p.name + " = ";
        }
        sql += ArgumentName(i);
    }
    return sql;
}

std::vector<Param> RpcDispatcher::appLockParams(const RpcRequest& request) {
    std::vector<Param> values;
    for (std::size_t i = 0; i < request.params.size(); ++i) {
        Param param;
        param.name = ArgumentName(i);
        std::visit([&](const auto& v) { param.value = v; }, request.params[i].value);
        values.push_back(std::move(param));
    }
    return values;
}

std::int32_t RpcDispatcher::prepare(const RpcRequest& request) {
    Prepared p{textParam(request, 2, "@stmt"), textParam(request, 1, "@params")};
    if (p.sql.empty())
        throw UnsupportedRequest(
            "Procedure expects parameter '@stmt' of type 'ntext/nchar/nvarchar'.", 214);
    std::int32_t handle = nextHandle_++;
    prepared_[handle] = std::move(p);
    return handle;
}

const RpcDispatcher::Prepared& RpcDispatcher::find(std::int64_t handle) const {
    auto it = prepared_.find(static_cast<std::int32_t>(handle));
    if (it == prepared_.end())
        throw UnsupportedRequest(
            "Could not find prepared statement with handle " + std::to_string(handle) + ".", 8179);
    return it->second;
}

}  // namespace sandbox::tds
