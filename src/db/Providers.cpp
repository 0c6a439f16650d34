#include "db/Providers.h"

#include "base/AsciiText.h"
#include "db/ConnectionStrings.h"
#include "db/DbError.h"
#include "db/jet/JetSession.h"
#include "db/odbc/OdbcSession.h"

namespace dsadmin {
namespace {

bool isProvider(const std::string& given, const std::string& name) {
    return EqualsIgnoringAsciiCase(given, name) || EqualsIgnoringAsciiCase(given, name + ".1");
}

}  // namespace

std::unique_ptr<ProviderSession> OpenProviderSession(const std::string& provider,
                                                     const OleDbString& properties) {
    if (isProvider(provider, kServerProvider)) return OdbcSession::Open(properties);
    if (isProvider(provider, kJetProvider)) return JetSession::Open(properties);
    if (provider.empty()) throw DbError("No provider was named for the connection.");
    throw DbError("Provider '" + provider + "' cannot be found. It may not be properly installed.");
}

}  // namespace dsadmin
