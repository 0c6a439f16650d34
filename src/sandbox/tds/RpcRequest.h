#pragma once
// RPC request (MS-TDS 2.2.6.6): ALL_HEADERS (7.2+), the procedure (a well-known id or a
// name), option flags, then parameters to the end of the message. Both FreeTDS and tedious
// send one call per message; a second call (after a 0x80/0xFF separator) is refused.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sandbox/Engine.h"
#include "sandbox/tds/TypedValue.h"

namespace sandbox::tds {

enum ProcId : std::uint16_t {
    kSpExecuteSql = 10,
    kSpPrepare = 11,
    kSpExecute = 12,
    kSpPrepExec = 13,
    kSpUnprepare = 15,
};

struct RpcParam {
    std::string name;         // with its '@', or empty
    std::uint8_t status = 0;  // 0x01 output
    ParamValue value;
};

struct RpcRequest {
    std::uint16_t procId = 0;  // 0 when the call names the procedure
    std::string procName;
    std::vector<RpcParam> params;

    // The name for messages: "sp_executesql" for id 10, else the given name.
    std::string displayName() const;
    // The well-known id also for calls by name ("sp_execute", "master..sp_prepexec", any
    // case); 0 for other procedures.
    std::uint16_t wellKnownId() const;
    bool isExecuteSql() const { return wellKnownId() == kSpExecuteSql; }
};

// Throws ProtocolError for malformed bytes, UnsupportedRequest for well-formed requests the
// sandbox does not handle (several calls in one message, unsupported parameter types).
RpcRequest parseRpcRequest(std::string_view payload, std::uint32_t tdsVersion);

// The statement and parameters of an sp_executesql call. Values whose name is empty (FreeTDS
// ODBC) take their names from the @params declaration in order. Throws UnsupportedRequest
// when the statement is missing or is not text.
struct ExecuteSqlCall {
    std::string sql;
    std::vector<Param> params;
};
ExecuteSqlCall toExecuteSql(const RpcRequest& request);

// The text of parameter `index`: empty when absent or NULL. Throws UnsupportedRequest naming
// `what` when it is not text.
std::string textParam(const RpcRequest& request, std::size_t index, const std::string& what);
// The whole number in parameter `index`. Throws UnsupportedRequest when absent or not one.
std::int64_t intParam(const RpcRequest& request, std::size_t index, const std::string& what);
// Parameters `first`.. as engine parameters, unnamed ones named after `declaration`.
std::vector<Param> bindValues(const RpcRequest& request, std::size_t first,
                              std::string_view declaration);

// The parameter names in a declaration such as "@a int, @b decimal(10,2) OUTPUT".
std::vector<std::string> declaredParamNames(std::string_view declaration);

}  // namespace sandbox::tds
