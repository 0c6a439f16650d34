#include "sandbox/sql/AppLockProcedures.h"

#include <array>

#include "sandbox/sql/Names.h"
#include "sandbox/sql/ServerMessages.h"
#include "sandbox/sql/SqlError.h"

namespace sandbox::sql {
namespace {

constexpr std::size_t kMaxResource = 255;  // nvarchar(255): longer names are cut
constexpr std::int32_t kFailed = -999;

template <std::size_t N>
struct Signature {
    const char* procedure;
    std::array<const char*, N> parameters;
};
const Signature<5> kGet{"sp_getapplock",
                        {"@Resource", "@LockMode", "@LockOwner", "@LockTimeout", "@DbPrincipal"}};
const Signature<3> kRelease{"sp_releaseapplock", {"@Resource", "@LockOwner", "@DbPrincipal"}};

// The procedure's arguments by parameter: unset when not given, monostate for NULL.
template <std::size_t N>
std::array<std::optional<Cell>, N> Bind(const Signature<N>& sig, const Execute& call) {
    std::array<std::optional<Cell>, N> bound;
    std::size_t position = 0;
    for (const ProcArgument& a : call.arguments) {
        std::size_t i = position++;
        if (!a.name.empty()) {
            i = N;
            for (std::size_t k = 0; k < N; ++k)
                if (equalsName(a.name, sig.parameters[k])) i = k;
            if (i == N)
                throw SqlError(
                    msg::make(8145, 16, 2,
                              a.name + " is not a parameter for procedure " + sig.procedure + "."));
        }
        if (i >= N)
            throw SqlError(msg::make(8144, 16, 2,
                                     std::string("Procedure or function ") + sig.procedure +
                                         " has too many arguments specified."));
        bound[i] = a.value;
    }
    return bound;
}

std::optional<std::string> Text(const std::optional<Cell>& c) {
    if (!c) return std::nullopt;
    if (const auto* s = std::get_if<std::string>(&*c)) return *s;
    if (const auto* n = std::get_if<std::int64_t>(&*c)) return std::to_string(*n);
    return std::nullopt;
}

bool IsNull(const std::optional<Cell>& c) {
    return c && std::holds_alternative<std::monostate>(*c);
}

// The resource as the lock manager keys it; nullopt after reporting a NULL one.
std::optional<std::string> Resource(const std::optional<Cell>& arg, const char* procedure) {
    if (IsNull(arg))
        throw SqlError(msg::make(
            1224, 16, 1,
            std::string("An invalid application lock resource was passed to ") + procedure + "."));
    std::optional<std::string> r = Text(arg);
    if (r && r->size() > kMaxResource) r->resize(kMaxResource);  // bytes; names here are short
    return r;
}

// An owner other than Session: 15625 for an unknown one, 15626 for Transaction (there are no
// transactions here). Both are informational and make the call return -999.
bool SessionOwned(const std::optional<Cell>& arg, StatementResult& result) {
    const std::string owner = Text(arg).value_or("Transaction");
    if (equalsName(owner, "Session")) return true;
    if (equalsName(owner, "Transaction"))
        result.infos.push_back(
            msg::make(15626, 10, 1,
                      "You attempted to acquire a transactional application lock without an active "
                      "transaction."));
    else
        result.infos.push_back(msg::make(
            15625, 10, 1, "Option '" + owner + "' not recognized for '@LockOwner' parameter."));
    return false;
}

std::int32_t GetAppLock(const Execute& call, Instance& instance, SessionFacts& session,
                        StatementResult& result, std::unique_lock<std::mutex>& held) {
    const auto args = Bind(kGet, call);
    if (!args[1])
        throw SqlError(msg::make(201, 16, 4,
                                 "Procedure or function 'sp_getapplock' expects parameter "
                                 "'@LockMode', which was not supplied."));
    const std::optional<std::string> resource = Resource(args[0], kGet.procedure);
    if (!resource) return kFailed;
    const std::optional<AppLocks::Mode> mode = AppLocks::parseMode(Text(args[1]).value_or(""));
    if (!mode)
        throw SqlError(msg::make(1225, 16, 1,
                                 "An invalid application lock mode was passed to sp_getapplock."));
    if (!SessionOwned(args[2], result)) return kFailed;
    std::int64_t timeout = -1;  // @@LOCK_TIMEOUT: wait for ever
    if (args[3] && !IsNull(args[3])) {
        const auto* n = std::get_if<std::int64_t>(&*args[3]);
        if (!n || *n < -1)
            throw SqlError(msg::make(
                1227, 16, 1, "An invalid application lock time-out was passed to sp_getapplock."));
        timeout = *n;
    }
    return instance.appLocks().acquire(session.spid, session.database, *resource, *mode,
                                       std::chrono::milliseconds(timeout), held);
}

std::int32_t ReleaseAppLock(const Execute& call, Instance& instance, SessionFacts& session,
                            StatementResult& result) {
    const auto args = Bind(kRelease, call);
    const std::optional<std::string> resource = Resource(args[0], kRelease.procedure);
    if (!resource) return kFailed;
    if (!SessionOwned(args[1], result)) return kFailed;
    if (instance.appLocks().release(session.spid, session.database, *resource)) return 0;
    const std::string principal = Text(args[2]).value_or("public");
    throw SqlError(msg::make(1223, 16, 1,
                             "Cannot release the application lock (Database Principal: '" +
                                 principal + "', Resource: '" + *resource +
                                 "') because it is not currently held."));
}

}  // namespace

void AppLockProcedures::run(const Execute& call, Instance& instance, SessionFacts& session,
                            StatementResult& result, std::unique_lock<std::mutex>& held) {
    const std::string& name = call.procedure.name();
    const std::string schema = call.procedure.schema();
    const bool systemSchema =
        schema.empty() || equalsName(schema, "sys") || equalsName(schema, "dbo");
    std::int32_t status = 0;
    try {
        if (systemSchema && equalsName(name, kGet.procedure))
            status = GetAppLock(call, instance, session, result, held);
        else if (systemSchema && equalsName(name, kRelease.procedure))
            status = ReleaseAppLock(call, instance, session, result);
        else
            throw SqlError(msg::make(
                2812, 16, 62, "Could not find stored procedure '" + call.procedure.text + "'."));
    } catch (SqlError&) {
        // A refused call still returns -999 to its status variable, as SQL Server's do.
        if (!call.statusVariable.empty())
            session.variables[call.statusVariable].second = std::int64_t{kFailed};
        throw;
    }
    result.returnStatus = status;
    if (!call.statusVariable.empty())
        session.variables[call.statusVariable].second = std::int64_t{status};
}

}  // namespace sandbox::sql
