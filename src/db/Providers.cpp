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
                                                     const OleDbString& properties,
                                                     const SessionOptions& options) {
    if (isProvider(provider, kServerProvider)) return OdbcSession::Open(properties, options);
    if (isProvider(provider, kJetProvider)) return JetSession::Open(properties);
    if (provider.empty()) throw DbError("连接没有指定提供程序。");
    throw DbError("未找到提供程序“" + provider + "”。该程序可能未正确安装。");
}

}  // namespace dsadmin
