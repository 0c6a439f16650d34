#include "db/Providers.h"

#include <algorithm>
#include <cctype>

#include "db/ConnectionStrings.h"
#include "db/DbError.h"
#include "db/odbc/OdbcSession.h"
#ifdef DSADMIN_HAVE_JET_PROVIDER
#include "db/jet/JetSession.h"
#endif

namespace dsadmin {
namespace {

bool isProvider(const std::string& given, const std::string& name) {
    auto same = [](const std::string& a, const std::string& b) {
        return std::equal(
            a.begin(), a.end(), b.begin(), b.end(),
            [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
    };
    return same(given, name) || same(given, name + ".1");
}

}  // namespace

std::unique_ptr<ProviderSession> OpenProviderSession(const std::string& provider,
                                                     const OleDbString& properties) {
    if (isProvider(provider, kServerProvider)) return OdbcSession::Open(properties);
#ifdef DSADMIN_HAVE_JET_PROVIDER
    if (isProvider(provider, kJetProvider)) return JetSession::Open(properties);
#endif
    if (provider.empty()) throw DbError("No provider was named for the connection.");
    throw DbError("Provider '" + provider + "' cannot be found. It may not be properly installed.");
}

}  // namespace dsadmin
