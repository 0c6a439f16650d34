#include "sandbox/tds/RpcDispatcher.h"

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
            throw UnsupportedRequest(
                "Could not find stored procedure '" + request.displayName() + "'.", 2812);
    }
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
