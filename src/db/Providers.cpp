#include "db/Providers.h"

#include <map>
#include <mutex>

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

struct Registry {
    std::mutex mutex;
    std::map<std::string, ProviderFactory> factories;  // by the name in lower case, no ".1"
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

std::string RegistryKey(const std::string& name) {
    std::string key = AsciiLower(name);
    if (key.ends_with(".1")) key.resize(key.size() - 2);
    return key;
}

}  // namespace

void RegisterProvider(const std::string& name, ProviderFactory factory) {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    r.factories[RegistryKey(name)] = std::move(factory);
}

void UnregisterProvider(const std::string& name) {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    r.factories.erase(RegistryKey(name));
}

std::unique_ptr<ProviderSession> OpenProviderSession(const std::string& provider,
                                                     const OleDbString& properties,
                                                     const SessionOptions& options) {
    ProviderFactory registered;
    {
        Registry& r = TheRegistry();
        std::lock_guard lock(r.mutex);
        if (const auto it = r.factories.find(RegistryKey(provider)); it != r.factories.end())
            registered = it->second;
    }
    if (registered) return registered(properties);
    if (isProvider(provider, kServerProvider)) return OdbcSession::Open(properties, options);
    if (isProvider(provider, kJetProvider)) return JetSession::Open(properties, options);
    if (provider.empty()) throw DbError("连接没有指定提供程序。");
    throw DbError("未找到提供程序“" + provider + "”。该程序可能未正确安装。");
}

}  // namespace dsadmin
