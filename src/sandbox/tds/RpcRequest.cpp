#include "sandbox/tds/RpcRequest.h"

#include "base/AsciiText.h"
#include "sandbox/tds/ByteReader.h"
#include "sandbox/tds/ProtocolError.h"
#include "sandbox/tds/SqlBatch.h"

namespace sandbox::tds {

std::string RpcRequest::displayName() const {
    switch (procId) {
        case 0:
            return procName;
        case kSpExecuteSql:
            return "sp_executesql";
        case kSpPrepare:
            return "sp_prepare";
        case kSpExecute:
            return "sp_execute";
        case kSpPrepExec:
            return "sp_prepexec";
        case kSpUnprepare:
            return "sp_unprepare";
        default:
            return "procedure id " + std::to_string(procId);
    }
}

std::uint16_t RpcRequest::wellKnownId() const {
    if (procId != 0) return procId;
    std::string name = dsadmin::AsciiLower(procName);
    for (const char* prefix : {"master.dbo.", "master..", "sys.", "dbo."})
        if (name.rfind(prefix, 0) == 0) name = name.substr(std::string_view(prefix).size());
    static const std::pair<const char*, std::uint16_t> kNames[] = {{"sp_executesql", kSpExecuteSql},
                                                                   {"sp_prepare", kSpPrepare},
                                                                   {"sp_execute", kSpExecute},
                                                                   {"sp_prepexec", kSpPrepExec},
                                                                   {"sp_unprepare", kSpUnprepare}};
    for (const auto& [known, id] : kNames)
        if (name == known) return id;
    return 0;
}

RpcRequest parseRpcRequest(std::string_view payload, std::uint32_t tdsVersion) {
    ByteReader in(payload);
    in.seek(skipAllHeaders(payload, tdsVersion));
    RpcRequest request;
    std::uint16_t nameLength = in.u16le();
    if (nameLength == 0xFFFF)
        request.procId = in.u16le();
    else
        request.procName = in.ucs2(nameLength);
    in.u16le();  // option flags: recompile / no metadata; nothing to do for either
    while (!in.atEnd()) {
        std::uint8_t next = static_cast<std::uint8_t>(payload[in.position()]);
        if (next == 0x80 || next == 0xFF)
            throw UnsupportedRequest("The sandbox accepts one remote procedure call per request.");
        RpcParam param;
        param.name = in.bVarchar();
        param.status = in.u8();
        param.value = readTypedValue(in);
        request.params.push_back(std::move(param));
    }
    return request;
}

std::vector<std::string> declaredParamNames(std::string_view declaration) {
    std::vector<std::string> names;
    int depth = 0;
    bool expectName = true;
    for (std::size_t i = 0; i < declaration.size(); ++i) {
        char c = declaration[i];
        if (c == '(')
            ++depth;
        else if (c == ')')
            depth = std::max(0, depth - 1);
        else if (c == ',' && depth == 0)
            expectName = true;
        else if (c == '@' && expectName && depth == 0) {
            std::size_t end = i + 1;
            while (end < declaration.size() &&
                   (std::isalnum(static_cast<unsigned char>(declaration[end])) ||
                    declaration[end] == '_' || declaration[end] == '@' || declaration[end] == '#' ||
                    declaration[end] == '$' ||
                    static_cast<unsigned char>(declaration[end]) >= 0x80))
                ++end;
            names.emplace_back(declaration.substr(i, end - i));
            expectName = false;
            i = end - 1;
        }
    }
    return names;
}

std::string textParam(const RpcRequest& request, std::size_t index, const std::string& what) {
    if (index >= request.params.size()) return {};
    const ParamValue& v = request.params[index].value;
    if (std::holds_alternative<std::monostate>(v)) return {};
    if (auto text = std::get_if<std::string>(&v)) return *text;
    throw UnsupportedRequest(
        "Procedure expects parameter '" + what + "' of type 'ntext/nchar/nvarchar'.", 214);
}

std::int64_t intParam(const RpcRequest& request, std::size_t index, const std::string& what) {
    if (index < request.params.size())
        if (auto i = std::get_if<std::int64_t>(&request.params[index].value)) return *i;
    throw UnsupportedRequest(
        "Procedure or function expects parameter '" + what + "', which was not supplied.", 201);
}

std::vector<Param> bindValues(const RpcRequest& request, std::size_t first,
                              std::string_view declaration) {
    std::vector<std::string> declared = declaredParamNames(declaration);
    std::vector<Param> values;
    for (std::size_t i = first; i < request.params.size(); ++i) {
        const RpcParam& p = request.params[i];
        Param param;
        param.name = p.name;
        if (param.name.empty() && i - first < declared.size()) param.name = declared[i - first];
        std::visit([&](const auto& v) { param.value = v; }, p.value);
        values.push_back(std::move(param));
    }
    return values;
}

ExecuteSqlCall toExecuteSql(const RpcRequest& request) {
    if (request.params.empty() || !std::holds_alternative<std::string>(request.params[0].value))
        throw UnsupportedRequest(
            "Procedure expects parameter '@statement' of type 'ntext/nchar/nvarchar'.", 214);
    ExecuteSqlCall call;
    call.sql = std::get<std::string>(request.params[0].value);
    call.params = bindValues(request, 2, textParam(request, 1, "@params"));
    return call;
}

}  // namespace sandbox::tds
